#include "Launch.h"

#include "app/Usr.h"
#include "platform/DataFolder.h"
#include "platform/Dialogs.h"
#include "platform/SystemText.h"
#include "search/TextPieces.h"
#include "settings/Language.h"
#include "settings/yIni.h"
#include "store/LinkStore.h"
#include "store/Store.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <cerrno>

namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(Launch)
};

// QLockFile keeps no system error: the folder is asked directly why no file can be made.
QString lockFailure(const QString &lockPath, QLockFile::LockError error)
{
    QFile probe(lockPath + QStringLiteral(".probe"));
    errno = 0;
    if (!probe.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return SystemText::reason(errno ? errno : EACCES);
    probe.close();
    probe.remove();
    return error == QLockFile::PermissionError ? SystemText::reason(EACCES)
                                               : Tr::tr("原因不明のｴﾗｰです");
}

} // namespace

Launch::Launch(bool qtTexts)
    : m_qtTexts(qtTexts)
{
    Usr::sPgName = Usr::programNameFrom(QCoreApplication::applicationFilePath());
    QCoreApplication::setApplicationName(Usr::sPgName);
    QCoreApplication::setApplicationVersion(QStringLiteral(LINKWELL_VERSION));
    Dialogs::setTitle(Usr::sPgName);
    Language::install(Language::choose(QString()), m_qtTexts);
}

Launch::~Launch() = default;

void Launch::chooseLanguage(const QString &setting)
{
    if (const Language::Choice chosen = Language::choose(setting); chosen != Language::installed())
        Language::install(chosen, m_qtTexts);
}

Launch::Status Launch::openFolder(const QString &dataDir, Access access, bool settingsLanguage)
{
    m_error.clear();
    yIni ini;
    if (!ini.W_UserData(dataDir, &m_error, access == Access::Write))
        return Failed;
    // The settings file is only read here, never made or changed.
    if (settingsLanguage)
        chooseLanguage(Language::settingInFile(DataFolder::settings(Usr::sDataPh)));
    if (access == Access::Read)
        return Ok;

    // One program that writes per data folder; a lock left by one that was killed is taken.
    const QString lockPath = DataFolder::lock(Usr::sDataPh);
    const QString lockName = QDir::toNativeSeparators(lockPath);
    if (QFileInfo::exists(lockPath) && !QFileInfo(lockPath).isFile()) {
        m_error = Tr::tr("ﾛｯｸﾌｧｲﾙ %1 を作成できません: %2")
                      .arg(lockName, Tr::tr("同じ名前のﾌｧｲﾙ以外のものがあります"));
        return Failed;
    }
    m_lock = std::make_unique<QLockFile>(lockPath);
    if (!m_lock->tryLock(0)) {
        if (m_lock->error() == QLockFile::LockFailedError) {
            m_error = Tr::tr("ﾃﾞｰﾀｰﾌｫﾙﾀﾞ %1 は他の %2 が使用中です")
                          .arg(QDir::toNativeSeparators(Usr::sDataPh), Usr::sPgName);
            return InUse;
        }
        m_error = Tr::tr("ﾛｯｸﾌｧｲﾙ %1 を作成できません: %2")
                      .arg(lockName, lockFailure(lockPath, m_lock->error()));
        return Failed;
    }
    // "Doc", "Pic" and "Arc" (the saved copies of pages).
    if (!ini.F_ChkSb(Usr::sDataPh, DataFolder::subFolders(), &m_error))
        return Failed;
    return Ok;
}

Launch::Status Launch::openDatabase()
{
    m_error.clear();
    // The page-text index is opened by the rule folders too, with the search's tokenizer.
    TextPieces::useEverywhere();
    return Store::OpenDb(DataFolder::database(Usr::sDataPh), &m_error) ? Ok : Failed;
}

bool Launch::collectionIsEmpty()
{
    qint64 next = 0;
    return LinkStore::nextLinkNumber(next) && next == 100;
}

QString Launch::startPage()
{
    // The menu's own names, without their key marks.
    const auto menu = [](const char *text) {
        return QCoreApplication::translate("MainMenus", text)
            .remove(QStringLiteral("(&F)"))
            .remove(QStringLiteral("(&I)..."))
            .remove(u'&')
            .remove(QStringLiteral("..."));
    };
    const QString import = Tr::tr("ﾌﾞﾗｳｻﾞのﾌﾞｯｸﾏｰｸは「%1」→「%2」で取り込めます")
                               .arg(menu("ﾌｧｲﾙ(&F)"), menu("ﾌﾞｯｸﾏｰｸの取込(&I)..."));
    return QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>%1</title>"
                          "</head><body style=\"font-family:sans-serif;margin:2em\"><h1>%1</h1>"
                          "<p>%2</p><ul><li>%3</li><li>%4</li></ul></body></html>")
        .arg(Usr::sPgName.toHtmlEscaped(), Tr::tr("ﾘﾝｸ集はまだ空です"), import.toHtmlEscaped(),
             Tr::tr("ﾍﾟｰｼﾞを開いて F3 を押すと、そのﾍﾟｰｼﾞを登録します"));
}
