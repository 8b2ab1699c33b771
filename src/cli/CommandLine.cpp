#include "CommandLine.h"
#include "platform/DataFolder.h"

#include "app/Usr.h"
#include "cli/Commands.h"
#include "output/OutputFile.h"
#include "platform/Dialogs.h"
#include "settings/Language.h"
#include "settings/yIni.h"
#include "store/Store.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QLockFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

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
    QString t = QStringLiteral("Usage: %1 [--data-dir DIR] [COMMAND [ARGUMENTS]]\n\n"
                               "Linkwell keeps your collection of web links. Without a command "
                               "it opens its window.\n\nCommands:\n")
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
        if (a == "--data-dir" || isQtValueOption(a)) {
            ++i;
            continue;
        }
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
    // The same name as the window's, so that the default data folder is the same one.
    Usr::sPgName = Usr::programNameFrom(QCoreApplication::applicationFilePath());
    QCoreApplication::setApplicationName(Usr::sPgName);
    QCoreApplication::setApplicationVersion(QStringLiteral(LINKWELL_VERSION));
    Dialogs::setTitle(Usr::sPgName);
    // The locale's language until the data folder's settings may say otherwise.
    Language::install(Language::choose(QString()));

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
        message(why + QStringLiteral("\nTry '%1 --help'.").arg(Usr::sPgName));
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

    QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return usage(QStringLiteral("no command given"));
    const Command *command = find(args.takeFirst());
    if (!command)
        return usage(QStringLiteral("unknown command '%1'").arg(parser.positionalArguments()[0]));
    Invocation in;
    for (const QString &name : declared) {
        if (!parser.isSet(name))
            continue;
        const bool own = std::any_of(command->options.begin(), command->options.end(),
                                     [&](const CommandOption &o) { return o.name == name; });
        if (!own)
            return usage(QStringLiteral("%1: unknown option '--%2'").arg(command->name, name));
        in.options.insert(name, parser.value(name));
    }
    QStringList given;
    for (const QString &name : command->exclusive) {
        if (in.options.contains(name))
            given << QStringLiteral("--") + name;
    }
    if (given.size() > 1)
        return usage(QStringLiteral("%1: %2 cannot be used together")
                         .arg(command->name, given.join(QStringLiteral(" and "))));
    if (args.size() < command->minArgs || (command->maxArgs >= 0 && args.size() > command->maxArgs))
        return usage(QStringLiteral("usage: %1 %2").arg(Usr::sPgName, command->synopsis));
    in.args = args;
    in.out = [](QByteArrayView bytes) { writeTo(stdout, bytes); };
    in.err = message;

    // The data folder the window uses, unless another is named.
    yIni ini;
    QString error;
    if (!ini.W_UserData(parser.value(dataDir), &error)) {
        message(Tr::tr("ﾃﾞｰﾀｰﾌｫﾙﾀﾞ %1 が使えません: %2")
                    .arg(QDir::toNativeSeparators(Usr::sDataPh), error));
        return BadInput;
    }
    // The language the settings choose, as in the window; the file is only read.
    if (const Language::Choice chosen
        = Language::choose(Language::settingInFile(DataFolder::settings(Usr::sDataPh)));
        chosen != Language::installed())
        Language::install(chosen);
    // Changes wait for no one: while the window or another command holds the folder, they
    // refuse. A lock left by a program that ended without freeing it is taken over.
    QLockFile lock(DataFolder::lock(Usr::sDataPh));
    if (command->changes && !lock.tryLock(0)) {
        if (lock.error() == QLockFile::LockFailedError) {
            message(Tr::tr("ﾃﾞｰﾀｰﾌｫﾙﾀﾞ %1 は他の %2 が使用中です")
                        .arg(QDir::toNativeSeparators(Usr::sDataPh), Usr::sPgName));
            return InUse;
        }
        message(OutputFile::writeFailedText(lock.fileName(),
                                            lock.error() == QLockFile::PermissionError
                                                ? QStringLiteral("Permission denied")
                                                : QStringLiteral("unknown error")));
        return BadInput;
    }
    if (!Store::OpenDb(DataFolder::database(Usr::sDataPh), &error)) {
        message(error);
        return BadInput;
    }
    const Status status = command->run(in);
    Store::CloseDb();
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        message(QStringLiteral("standard output: ") + QString::fromLocal8Bit(std::strerror(errno)));
        return BadInput;
    }
    return status;
}

} // namespace Cli
