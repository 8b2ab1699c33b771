#include "CommandLine.h"

#include "app/Launch.h"
#include "app/Usr.h"
#include "cli/Commands.h"
#include "platform/SystemText.h"
#include "store/Store.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace Cli {
namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(Cli)
};

// Qt's window options that take the next argument as their value (-platform offscreen …).
bool isQtValueOption(QByteArrayView arg)
{
    if (arg.startsWith("--"))
        arg = arg.sliced(1);
    for (const char *o : {"-platform", "-platformpluginpath", "-platformtheme", "-plugin",
                          "-display", "-geometry", "-style", "-stylesheet", "-session",
                          "-qwindowgeometry", "-qwindowtitle", "-qwindowicon", "-title"}) {
        if (arg == o)
            return true;
    }
    return false;
}

void writeTo(FILE *f, QByteArrayView bytes)
{
    if (!bytes.isEmpty())
        std::fwrite(bytes.data(), 1, size_t(bytes.size()), f);
}

void message(const QString &text)
{
    writeTo(stderr, (Usr::sPgName + QStringLiteral(": ") + text + u'\n').toUtf8());
}

QString helpText()
{
    const QString name = Usr::sPgName;
    QString t = QStringLiteral("Usage: %1 [--data-dir DIR] [ADDRESS]\n"
                               "  or:  %1 [--data-dir DIR] COMMAND [ARGUMENTS]\n\n"
                               "Linkwell keeps your collection of web links. Without a command "
                               "it opens its window, on ADDRESS when one is given (an http, "
                               "https or file address, or a local file).\n\nCommands:\n")
                    .arg(name);
    for (const Command &c : commands()) {
        t += QStringLiteral("  %1\n      %2\n").arg(c.synopsis, c.description);
        for (const CommandOption &o : c.options) {
            const QString option = QStringLiteral("--") + o.name
                + (o.valueName.isEmpty() ? QString() : u' ' + o.valueName);
            t += QStringLiteral("      %1  %2\n").arg(option.leftJustified(14), o.description);
        }
    }
    t += QStringLiteral(
        "\nOptions (before or after the command):\n"
        "  --data-dir DIR    Keep the link database, settings and page images in DIR.\n"
        "  -h, --help        Show this help.\n"
        "  -v, --version     Show the version.\n\n");
    QStringList changing;
    for (const Command &c : commands()) {
        if (c.changes)
            changing << c.name;
    }
    t += QStringLiteral("Commands that change the collection (%1) refuse while the window uses "
                        "the data folder.\n"
                        "Exit status: 0 success, 1 bad input, 2 usage error, 3 data folder in "
                        "use, 4 check found dead links, 130/143 stopped by SIGINT/SIGTERM.\n")
             .arg(changing.join(QStringLiteral(", ")));
    return t;
}

} // namespace

bool wanted(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArrayView a(argv[i]);
        if (a == "--")
            return i + 1 < argc;
        if (a == "-h" || a == "--help" || a == "-?" || a == "--help-all" || a == "-v"
            || a == "--version")
            return true;
        // A folder option without a folder, and options the window does not know, are usage
        // errors: said here, where no display is needed.
        if (a == "--data-dir") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0')
                return true;
            ++i;
            continue;
        }
        if (a == "--data-dir=")
            return true;
        if (isQtValueOption(a)) {
            ++i;
            continue;
        }
        if (a.startsWith("--") && !a.startsWith("--data-dir="))
            return true;
        if (a.startsWith("-"))
            continue;
        // A subcommand, or a word meant as one; an address or a file to open is the window's.
        const QString word = QString::fromLocal8Bit(a);
        return find(word) || !(word.contains(u':') || word.contains(u'/') || word.contains(u'.'));
    }
    return false;
}

int run(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The same names and language as the window's, so that the default data folder is the
    // same one.
    Launch launch;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption dataDir(QStringLiteral("data-dir"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption help(QStringList {QStringLiteral("h"), QStringLiteral("help"),
                                               QStringLiteral("?"), QStringLiteral("help-all")});
    const QCommandLineOption version(QStringList {QStringLiteral("v"), QStringLiteral("version")});
    parser.addOptions({dataDir, help, version});
    QStringList declared;
    for (const Command &c : commands()) {
        for (const CommandOption &o : c.options) {
            if (!declared.contains(o.name))
                parser.addOption(QCommandLineOption(o.name, o.description, o.valueName));
            declared << o.name;
        }
    }
    auto usage = [](const QString &why) {
        message(why + u'\n' + Tr::tr("'%1 --help' で使い方を表示します").arg(Usr::sPgName));
        return int(UsageError);
    };
    if (!parser.parse(QCoreApplication::arguments()))
        return usage(parser.errorText());
    if (parser.isSet(help)) {
        writeTo(stdout, helpText().toUtf8());
        return Success;
    }
    if (parser.isSet(version)) {
        writeTo(stdout, (Usr::sPgName + u' ' + QStringLiteral(LINKWELL_VERSION) + u'\n').toUtf8());
        return Success;
    }

    if (parser.isSet(dataDir) && parser.value(dataDir).isEmpty())
        return usage(Tr::tr("--data-dir にﾌｫﾙﾀﾞがありません"));
    QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return usage(Tr::tr("ｺﾏﾝﾄﾞがありません"));
    const Command *command = find(args.takeFirst());
    if (!command)
        return usage(Tr::tr("ｺﾏﾝﾄﾞ '%1' はありません").arg(parser.positionalArguments()[0]));
    Invocation in;
    for (const QString &name : declared) {
        if (!parser.isSet(name))
            continue;
        const bool own = std::any_of(command->options.begin(), command->options.end(),
                                     [&](const CommandOption &o) { return o.name == name; });
        if (!own)
            return usage(Tr::tr("%1: ｵﾌﾟｼｮﾝ '--%2' はありません").arg(command->name, name));
        in.options.insert(name, parser.value(name));
    }
    QStringList given;
    for (const QString &name : command->exclusive) {
        if (in.options.contains(name))
            given << QStringLiteral("--") + name;
    }
    if (given.size() > 1)
        return usage(Tr::tr("%1: %2 は一緒に使えません")
                         .arg(command->name, given.join(QStringLiteral(", "))));
    if (args.size() < command->minArgs || (command->maxArgs >= 0 && args.size() > command->maxArgs))
        return usage(Tr::tr("使い方: %1 %2").arg(Usr::sPgName, command->synopsis));
    in.args = args;
    in.out = [](QByteArrayView bytes) { writeTo(stdout, bytes); };
    in.err = message;

    // The data folder the window uses, unless another is named. Reading needs neither the
    // lock nor a folder it may write; changes refuse while the window or another command
    // holds the folder.
    const Launch::Status opened = launch.openFolder(
        parser.value(dataDir), command->changes ? Launch::Access::Write : Launch::Access::Read);
    if (opened != Launch::Ok || launch.openDatabase() != Launch::Ok) {
        message(launch.error());
        return opened == Launch::InUse ? InUse : BadInput;
    }
    const Status status = command->run(in);
    Store::CloseDb();
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        message(Tr::tr("標準出力に書き込めません: %1").arg(SystemText::reason(errno)));
        return BadInput;
    }
    return status;
}

} // namespace Cli
