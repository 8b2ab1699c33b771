#include "DataFolder.h"

#include <QCoreApplication>

#include <QFileInfo>

namespace DataFolder {

QString database(const QString &dataPh)
{
    return dataPh + QStringLiteral("dbLink.mdb");
}

QString settings(const QString &dataPh)
{
    return dataPh + QStringLiteral("User.xml");
}

QString lock(const QString &dataPh)
{
    return dataPh + QStringLiteral("linkwell.lock");
}

QString pictures(const QString &dataPh)
{
    return dataPh + QStringLiteral("Pic/");
}

QString copies(const QString &dataPh)
{
    return dataPh + QStringLiteral("Arc/");
}

QString documents(const QString &dataPh)
{
    return dataPh + QStringLiteral("Doc");
}

QString indexes(const QString &dataPh)
{
    return dataPh + QStringLiteral("Idx/");
}

QString textIndex(const QString &dataPh)
{
    return indexes(dataPh) + QStringLiteral("text.db");
}

QString picture(const QString &dataPh, const QString &number)
{
    return pictures(dataPh) + number.trimmed() + QStringLiteral(".jpg");
}

QString picture(const QString &dataPh, qint64 nURL)
{
    return picture(dataPh, QString::number(nURL));
}

namespace {

// A missing file's path goes through its folder's canonical path.
QString canonical(const QString &path)
{
    const QFileInfo info(path);
    const QString whole = info.canonicalFilePath();
    if (!whole.isEmpty())
        return whole;
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? info.absoluteFilePath() : folder + u'/' + info.fileName();
}

} // namespace

bool owns(const QString &dataPh, const QString &path)
{
    const QString target = canonical(path);
    const QString db = database(dataPh);
    const QString files[] = {db,
                             db + QStringLiteral("-journal"),
                             db + QStringLiteral("-wal"),
                             db + QStringLiteral("-shm"),
                             settings(dataPh),
                             lock(dataPh)};
    for (const QString &file : files) {
        if (target == canonical(file))
            return true;
    }
    const QString folders[] = {pictures(dataPh), copies(dataPh), indexes(dataPh)};
    for (const QString &folder : folders) {
        const QString inside = canonical(folder.chopped(1));
        if (target == inside || target.startsWith(inside + u'/'))
            return true;
    }
    return false;
}

QString ofDatabase(const QString &databasePath)
{
    return QFileInfo(databasePath).absolutePath() + u'/';
}

QStringList subFolders()
{
    return {QStringLiteral("Doc"), QStringLiteral("Pic"), QStringLiteral("Arc")};
}

QString ownsText()
{
    return QCoreApplication::translate("OutputFile", "ﾃﾞｰﾀｰﾌｫﾙﾀﾞのﾌｧｲﾙには書き出せません");
}

} // namespace DataFolder
