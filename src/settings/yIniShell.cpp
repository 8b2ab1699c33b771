#include "platform/DataFolder.h"
#include "yIni.h"

#include "platform/Dialogs.h"
#include "platform/Shell.h"
#include "platform/SystemText.h"
#include "platform/TextFile.h"
#include "settings/ProgramState.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QUrl>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(yIni)
};

// Absolute, "/" separated, ending in "/".
QString asFolder(const QString &path)
{
    QString f = QDir::cleanPath(QFileInfo(QDir::fromNativeSeparators(path)).absoluteFilePath());
    if (!f.endsWith(u'/'))
        f += u'/';
    return f;
}

std::filesystem::path fsPath(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString reasonOf(const std::error_code &ec, const QString &path)
{
    if (ec)
        return SystemText::reason(ec.value());
    Q_UNUSED(path);
    return SystemText::reason(ENOTDIR);
}

bool makePath(const QString &folder, QString *error)
{
    if (folder.isEmpty()) {
        if (error)
            *error = QStringLiteral("no folder given");
        return false;
    }
    if (QFileInfo(folder).isDir())
        return true;
    std::error_code ec;
    std::filesystem::create_directories(fsPath(folder), ec);
    if (QFileInfo(folder).isDir())
        return true;
    if (error)
        *error = reasonOf(ec, folder);
    return false;
}

bool isWritableFolder(const QString &folder, QString *error)
{
    QTemporaryFile probe(folder + QStringLiteral(".write-test-XXXXXX"));
    if (probe.open())
        return true;
    if (error)
        *error = probe.errorString();
    return false;
}

// A folder that exists or was made and, when it is to be written, takes a new file.
bool usableFolder(const QString &folder, bool write, QString *error)
{
    return makePath(folder, error) && (!write || isWritableFolder(folder, error));
}

// Desktop entry values keep to one line; backslashes are doubled by the format's own rule.
QString entryValue(const QString &v)
{
    QString out;
    for (qsizetype i = 0; i < v.size(); ++i) {
        const QChar c = v.at(i);
        if (c == u'\\')
            out += QLatin1String("\\\\");
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c == u'\r')
            out += QLatin1String("\\r");
        else if (c == u'\t')
            out += QLatin1String("\\t");
        else if (c == u' ' && i == 0)
            out += QLatin1String("\\s");
        else
            out += c;
    }
    return out;
}

// One argument of an Exec line: quoted when the launcher would split or expand it.
QString execArgument(const QString &arg)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString a = arg;
    a.replace(u'%', QLatin1String("%%"));
    bool quote = a.isEmpty();
    for (const QChar c : a)
        quote = quote || reserved.contains(c);
    if (!quote)
        return a;
    QString q = QStringLiteral("\"");
    for (const QChar c : a) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            q += u'\\';
        q += c;
    }
    return q + u'"';
}

// A freedesktop shortcut file: a link to an address, or an entry starting a program.
bool writeShortcut(const QString &path, bool link, const QString &name, const QString &target,
                   QString *error)
{
    QString t = QStringLiteral("[Desktop Entry]\nType=") + (link ? u"Link" : u"Application")
        + QStringLiteral("\nName=") + entryValue(name)
        + (link ? QStringLiteral("\nURL=") + entryValue(target)
                : QStringLiteral("\nExec=") + entryValue(execArgument(target)))
        + u'\n';
    return TextFile::writeAtomic(path, t.toUtf8(), error);
}

bool requireDataFolder(QString *error)
{
    if (!Usr::sDataPh.isEmpty())
        return true;
    if (error)
        *error = QStringLiteral("the data folder is not set");
    return false;
}

// The message for a data folder that could not be made or written.
QString dataFolderFailure(const QString &folder, const QString &reason)
{
    return (QFileInfo(folder).isDir() ? Tr::tr("ﾃﾞｰﾀｰﾌｫﾙﾀﾞ %1 に書き込めません: %2")
                                      : Tr::tr("ﾃﾞｰﾀｰﾌｫﾙﾀﾞ %1 を作成できません: %2"))
        .arg(QDir::toNativeSeparators(folder), reason);
}

} // namespace

QString yIni::helpBase()
{
    return QStringLiteral("https://linkwell.example.org/help/");
}

QString yIni::perUserDataFolder()
{
    // Named after the program, not after the executable's file name (which
    // AppDataLocation would use): a renamed or "_dv" copy finds the same collection.
    return asFolder(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                    + QStringLiteral("/Linkwell/usData/"));
}

QString yIni::chooseDataFolder(const QString &own, const QString &perUser, bool write,
                               QString *error, QString *failedFolder)
{
    QString reason;
    const QString ownFolder = asFolder(own);
    // Only a portable install keeps its data beside the program: one that ships or made
    // usData/ there.
    if (QFileInfo(ownFolder).isDir()) {
        if (usableFolder(ownFolder, write, &reason))
            return ownFolder;
        // A collection that cannot be written is not quietly replaced by another one.
        if (QFileInfo::exists(DataFolder::database(ownFolder))) {
            const bool goOn
                = Dialogs::message(Tr::tr("ﾃﾞｰﾀｰﾌｫﾙﾀﾞ %1 のﾘﾝｸ集に書き込めません: %2")
                                           .arg(QDir::toNativeSeparators(ownFolder), reason)
                                       + u'\r'
                                       + Tr::tr("ﾕｰｻﾞｰ別のﾃﾞｰﾀｰﾌｫﾙﾀﾞ %1 を使って続けますか?")
                                             .arg(QDir::toNativeSeparators(asFolder(perUser))),
                                   Dialogs::Buttons::OkCancel);
            if (!goOn) {
                if (error)
                    error->clear();
                if (failedFolder)
                    *failedFolder = ownFolder;
                return QString();
            }
        }
    }
    const QString folder = asFolder(perUser);
    if (usableFolder(folder, write, &reason))
        return folder;
    if (error)
        *error = dataFolderFailure(folder, reason);
    if (failedFolder)
        *failedFolder = folder;
    return QString();
}

bool yIni::W_UserData(const QString &dataDir, QString *error, bool write)
{
    QString failed;
    QString folder;
    if (!dataDir.isEmpty()) {
        failed = asFolder(dataDir);
        QString reason;
        if (usableFolder(failed, write, &reason))
            folder = failed;
        else if (error)
            *error = dataFolderFailure(failed, reason);
    } else {
        folder
            = chooseDataFolder(QCoreApplication::applicationDirPath() + QStringLiteral("/usData/"),
                               perUserDataFolder(), write, error, &failed);
    }
    Usr::sDataPh = folder.isEmpty() ? failed : folder;
    return !folder.isEmpty();
}

bool yIni::F_CreateFld(const QString &sFd, QString *error)
{
    return makePath(sFd, error);
}

bool yIni::F_ChkSb(const QString &sPh, const QStringList &Ary, QString *error)
{
    QString base = QDir::fromNativeSeparators(sPh);
    if (!base.endsWith(u'/'))
        base += u'/';
    bool all = true;
    for (const QString &name : Ary) {
        const QString path = base + name;
        if (QFileInfo(path).isDir())
            continue;
        std::error_code ec;
        std::filesystem::create_directory(fsPath(path), ec);
        if (QFileInfo(path).isDir())
            continue;
        if (all && error)
            *error = Tr::tr("ﾌｫﾙﾀﾞ %1 を作成できません: %2")
                         .arg(QDir::toNativeSeparators(path), reasonOf(ec, path));
        all = false;
    }
    return all;
}

void yIni::W_ExpFd(const QString &sFld, bool bOpn)
{
    if (sFld.isEmpty())
        return;
    if (bOpn) {
        Shell::open(sFld);
        return;
    }
    if (QFileInfo(sFld).isDir())
        Shell::explore(sFld);
}

QString yIni::FsGtSpFld(int nFlg)
{
    QStandardPaths::StandardLocation where;
    switch (nFlg) {
    case 0: where = QStandardPaths::DesktopLocation; break;
    case 5: where = QStandardPaths::DocumentsLocation; break;
    case 9: // the Send To folder: entries there are offered for opening files
        where = QStandardPaths::ApplicationsLocation;
        break;
    case 26: where = QStandardPaths::GenericDataLocation; break;
    default: return QString();
    }
    return QStandardPaths::writableLocation(where);
}

bool yIni::W_SendTo(QString *error)
{
    const QString folder = FsGtSpFld(9);
    if (!makePath(folder, error))
        return false;
    const QString exe = QCoreApplication::applicationFilePath();
    const QString path = folder + u'/' + Usr::sPgName + QStringLiteral(".desktop");
    if (!writeShortcut(path, false, Usr::sPgName, exe, error))
        return false;
    Dialogs::message(Tr::tr("%1 のｼｮｰﾄｶｯﾄを %2 に作成しました").arg(exe, folder),
                     Dialogs::Buttons::Ok);
    return true;
}

bool yIni::W_Help(const QString &sJob, QString *error)
{
    if (!requireDataFolder(error))
        return false;
    QString page = sJob.toLower();
    if (!page.contains(u'.'))
        page += QStringLiteral(".htm");
    const QString url = helpBase() + QString::fromLatin1(QUrl::toPercentEncoding(page, "/#"));
    const QString path = Usr::sDataPh + Usr::sPgName + QStringLiteral("_help.desktop");
    if (!writeShortcut(path, true, Usr::sPgName + QStringLiteral("_help"), url, error))
        return false;
    Shell::open(path);
    return true;
}

bool yIni::W_HtmView(const QString &sURL, QString *error)
{
    if (!requireDataFolder(error))
        return false;
    const QString folder = Usr::sDataPh + QStringLiteral("Wrk");
    if (!makePath(folder, error))
        return false;
    const QString path = folder + QStringLiteral("/htm_view.desktop");
    if (!writeShortcut(path, true, QStringLiteral("htm_view"), sURL, error))
        return false;
    Shell::open(path);
    return true;
}
