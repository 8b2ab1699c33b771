#include "DataFolder.h"

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

QString picture(const QString &dataPh, const QString &number)
{
    return pictures(dataPh) + number.trimmed() + QStringLiteral(".jpg");
}

QString picture(const QString &dataPh, qint64 nURL)
{
    return picture(dataPh, QString::number(nURL));
}

QStringList subFolders()
{
    return {QStringLiteral("Doc"), QStringLiteral("Pic"), QStringLiteral("Arc")};
}

} // namespace DataFolder
