#include "yIni.h"

#include "app/Usr.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"
#include "platform/TextFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

const QString yIni::kHelpBase = QStringLiteral("https://linkwell.example.org/help/");

namespace {

QString withSlash(QString path)
{
    path = QDir::fromNativeSeparators(path);
    if (!path.endsWith(u'/'))
        path += u'/';
    return path;
}

// A folder the program can keep its files in: it exists (or was made) and takes a new file.
bool usableFolder(const QString &path, QString *why)
{
    if (!QDir().mkpath(path)) {
        *why = QStringLiteral("ﾌｫﾙﾀﾞを作成できません");
        return false;
    }
    QTemporaryFile probe(path + QStringLiteral(".write-test-XXXXXX"));
    if (!probe.open()) {
        *why = probe.errorString();
        return false;
    }
    return true;
}

} // namespace

bool yIni::W_UserData(const QString &dataDir, QString *error)
{
    QString why;
    if (!dataDir.isEmpty()) {
        const QString path = withSlash(QDir(dataDir).absolutePath());
        if (!usableFolder(path, &why)) {
            if (error)
                *error = QStringLiteral("ﾃﾞｰﾀｰﾌｫﾙﾀﾞ ") + path + QStringLiteral(" が使えません: ") + why;
            return false;
        }
        Usr::sDataPh = path;
        return true;
    }
    // Portable: beside the executable.
    const QString portable = withSlash(QCoreApplication::applicationDirPath()) + QStringLiteral("usData/");
    if (usableFolder(portable, &why)) {
        Usr::sDataPh = portable;
        return true;
    }
    // Installed for the whole system: the user's own data folder.
    const QString personal = withSlash(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        + QStringLiteral("usData/");
    if (usableFolder(personal, &why)) {
        Usr::sDataPh = personal;
        return true;
    }
    if (error)
        *error = QStringLiteral("ﾃﾞｰﾀｰﾌｫﾙﾀﾞ ") + personal + QStringLiteral(" が使えません: ") + why;
    return false;
}

bool yIni::F_ChkSb(const QString &sPh, const QStringList &Ary, QString *error)
{
    for (const QString &name : Ary) {
        const QString path = sPh + name;
        if (QFileInfo(path).isDir())
            continue;
        if (!QDir().mkdir(path)) {
            if (error)
                *error = QStringLiteral("ﾌｫﾙﾀﾞ ") + path + QStringLiteral(" を作成できません");
            return false;
        }
    }
    return true;
}

bool yIni::F_CreateFld(const QString &sFd)
{
    if (sFd.isEmpty())
        return false;
    return QFileInfo(sFd).isDir() || QDir().mkpath(sFd);
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
    case 9: where = QStandardPaths::ApplicationsLocation; break; // "Open with" entries
    case 26: where = QStandardPaths::GenericDataLocation; break;
    default: return {};
    }
    return QStandardPaths::writableLocation(where);
}

bool yIni::writeShortcut(const QString &path, const QString &type, const QString &name,
                         const QString &target)
{
    QString text = QStringLiteral("[Desktop Entry]\nType=") + type + QStringLiteral("\nName=") + name
        + u'\n';
    if (type == u"Link") {
        text += QStringLiteral("URL=") + target + u'\n';
    } else {
        QString exec = target;
        exec.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
        text += QStringLiteral("Exec=\"") + exec + QStringLiteral("\" %U\nTerminal=false\n");
    }
    QString why;
    if (!TextFile::writeAtomic(path, text.toUtf8(), &why)) {
        Dialogs::message(QStringLiteral("ｼｮｰﾄｶｯﾄ ") + path + QStringLiteral(" を作成できません: ") + why);
        return false;
    }
    return true;
}

void yIni::W_SendTo()
{
    const QString folder = FsGtSpFld(9);
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return;
    const QString exe = QCoreApplication::applicationFilePath();
    const QString path = withSlash(folder) + Usr::sPgName + QStringLiteral(".desktop");
    if (!writeShortcut(path, QStringLiteral("Application"), Usr::sPgName, exe))
        return;
    Dialogs::message(exe + QStringLiteral(" のｼｮｰﾄｶｯﾄを ") + folder + QStringLiteral(" に作成しました"));
}

void yIni::W_Help(const QString &sJob)
{
    QString page = sJob.toLower();
    if (!page.contains(u'.'))
        page += QStringLiteral(".htm");
    const QString path = Usr::sDataPh + Usr::sPgName + QStringLiteral("_help.desktop");
    if (writeShortcut(path, QStringLiteral("Link"), Usr::sPgName, kHelpBase + page))
        Shell::open(path);
}

void yIni::W_HtmView(const QString &sURL)
{
    const QString folder = Usr::sDataPh + QStringLiteral("Wrk");
    if (!F_CreateFld(folder))
        return;
    const QString path = folder + QStringLiteral("/htm_view.desktop");
    if (writeShortcut(path, QStringLiteral("Link"), QStringLiteral("htm_view"), sURL))
        Shell::open(path);
}
