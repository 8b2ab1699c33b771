#include "Startup.h"
#include "address/Address.h"
#include "platform/DataFolder.h"

#include "app/Launch.h"
#include "app/Usr.h"
#include "pages/PageArchive.h"
#include "platform/Cp932.h"
#include "platform/Dialogs.h"
#include "platform/widgets/QtDialogs.h"
#include "settings/Language.h"
#include "settings/yIni.h"
#include "ui/StartProbe.h"
#include "ui/main/fmLink.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QPointer>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <csignal>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace Usr {
namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(Startup)
};

QPointer<QWidget> g_owner;
QPointer<fmLink> g_main;
bool g_ended = false;
int g_signalFds[2] = {-1, -1};

void onTerminate(int)
{
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(g_signalFds[0], &c, 1);
}

// A session that ends or a plain kill closes the main window as its close box would, so the
// settings reach the file.
void closeOnTerminate(QObject *parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalFds) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalFds[1], QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, parent, [] {
        char c;
        [[maybe_unused]] const auto n = ::read(g_signalFds[1], &c, 1);
        if (g_main)
            g_main->close();
        else
            QCoreApplication::exit(0);
    });
    struct sigaction sa = {};
    sa.sa_handler = onTerminate;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

// A failure that ends the start: one message (none when the user chose to stop), then the
// status.
int fail(const QString &text, int status = Launch::Failed)
{
    if (!text.isEmpty())
        Dialogs::message(text);
    return status;
}

} // namespace

QWidget *ownerWindow()
{
    return g_owner;
}

QString startAddress(const QString &argument, QString *error)
{
    const auto refuse = [&](const QString &why) {
        if (error)
            *error = Tr::tr("ｱﾄﾞﾚｽ %1 は開けません: %2").arg(argument, why);
        return QString();
    };
    if (argument.isEmpty())
        return QString();
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]+):"));
    const QRegularExpressionMatch m = scheme.match(argument);
    if (m.hasMatch() && !QFileInfo::exists(argument)) {
        const QString name = m.captured(1).toLower();
        const QUrl url(argument, QUrl::StrictMode);
        if (!Address::isOpenable(argument))
            return refuse(Tr::tr("http, https, file 以外のｱﾄﾞﾚｽです"));
        if (!url.isValid() || (name != u"file" && url.host().isEmpty()))
            return refuse(Tr::tr("ｱﾄﾞﾚｽの形が正しくありません"));
        return url.toString();
    }
    // A local file, relative to the folder the program was started in.
    const QFileInfo file(argument);
    if (!file.exists())
        return refuse(Tr::tr("ﾌｧｲﾙがありません"));
    return QUrl::fromLocalFile(file.absoluteFilePath()).toString();
}

int Main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    closeOnTerminate(&app);
    // The desktop's own icon and entry, when installed.
    QGuiApplication::setDesktopFileName(QStringLiteral("linkwell"));
    QGuiApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("linkwell")));

    // The names, and the locale's language from the first message on.
    Launch launch(true);
    // Scripted runs get their messages on standard error instead of boxes nobody can answer.
    if (qEnvironmentVariableIsEmpty("LINKWELL_NONINTERACTIVE"))
        QtDialogs::install();

    // The help and the version are the command line's (Cli::wanted).
    QCommandLineParser parser;
    const QCommandLineOption dataDirOption(
        QStringLiteral("data-dir"),
        QStringLiteral("Keep the link database, settings and page images in <dir>."),
        QStringLiteral("dir"));
    parser.addOption(dataDirOption);
    parser.addPositionalArgument(
        QStringLiteral("address"),
        QStringLiteral("Start on this page (http, https or file address, or a local file) "
                       "instead of the search page."),
        QStringLiteral("[address]"));
    // Parsed, then decided: a usage error ends with status 2, as on the command line.
    if (!parser.parse(QCoreApplication::arguments()))
        return fail(parser.errorText(), Launch::Usage);
    if (parser.isSet(dataDirOption) && parser.value(dataDirOption).isEmpty())
        return fail(Tr::tr("--data-dir にﾌｫﾙﾀﾞがありません"), Launch::Usage);
    if (parser.positionalArguments().size() > 1) {
        Dialogs::message(Tr::tr("開くｱﾄﾞﾚｽは1つだけ指定してください: %1")
                             .arg(parser.positionalArguments().join(u' ')));
        return Launch::Usage;
    }
    QString error;
    QString address;
    if (!parser.positionalArguments().isEmpty()) {
        address = startAddress(parser.positionalArguments().constFirst(), &error);
        // The program still starts, on its usual page.
        if (address.isEmpty())
            Dialogs::message(error);
    }

    // Without the converter the settings could be neither read nor written as they are:
    // nothing is made or written.
    if (!Cp932::isAvailable())
        return fail(Tr::tr("%1: %2 を終了します").arg(Cp932::unavailableText(), sPgName));

    // The one settings object.
    auto ini = std::make_unique<yIni>();
    Ini = ini.get();

    // The hidden window that owns shell operations.
    auto owner = std::make_unique<QWidget>();
    owner->setObjectName(QStringLiteral("ownerWindow"));
    g_owner = owner.get();
    // The user data folder, the lock and the sub-folders; the language waits for the settings
    // object, which reports a damaged file once.
    if (const Launch::Status s
        = launch.openFolder(parser.value(dataDirOption), Launch::Access::Write, false);
        s != Launch::Ok)
        return fail(launch.error(), s);
    // Copies a run that ended midway was writing.
    PageArchive::removeParts(sDataPh);

    // The settings file and its one group.
    bool bOk = false;
    Ini->GetTxt(DataFolder::settings(sDataPh), bOk, &error);
    if (!bOk)
        return fail(error);
    Ini->GetGtx(QStringLiteral("画面"));
    // The settings as read now choose the language; the windows are built after this.
    launch.chooseLanguage(Language::settingOf(*Ini));

    // A first start on an empty collection shows how to fill it, not the search page.
    if (address.isEmpty() && launch.openDatabase() == Launch::Ok && Launch::collectionIsEmpty())
        address = QStringLiteral("data:text/html;charset=utf-8;base64,")
            + QString::fromLatin1(Launch::startPage().toUtf8().toBase64());

    // The main window; it opens the link database while it loads.
    auto main = std::make_unique<fmLink>();
    g_main = main.get();
    QObject::connect(main.get(), &fmLink::unloaded, &app, [] { EndApp(); });
    if (!address.isEmpty())
        main->setStartAddress(address);
    StartProbe::watch(*main);
    if (!main->Form_Load(&error))
        return fail(error);
    main->startReceiver();

    const int status = app.exec();
    g_main = nullptr;
    main.reset();
    owner.reset();
    Ini = nullptr;
    return status;
}

void EndApp()
{
    if (g_ended)
        return;
    g_ended = true;
    // Every other window goes.
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        if (w != g_main && w->isVisible())
            w->close();
    }
    // The settings reach the file, once.
    if (Ini) {
        Ini->SetGtx();
        bool bOk = false;
        QString error;
        Ini->SetTxt(bOk, &error);
        if (!bOk)
            Dialogs::message(
                Tr::tr("ﾕｰｻﾞｰ環境ﾌｧｲﾙ(%1) を保存できません: %2").arg(Ini->filePath(), error));
    }
    // The event loop ends and the process exits with status 0, also when the end comes before
    // the loop has started (a close while the window was still loading).
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
}

} // namespace Usr
