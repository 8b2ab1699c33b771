#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The subcommands of the command line, as a table: a new one is a row and a function.
namespace Cli {

// The process's exit status.
// 4: check found dead links; 128 + the signal's number: stopped by SIGINT (130) or SIGTERM (143).
enum Status { Success = 0, BadInput = 1, UsageError = 2, InUse = 3, DeadLinks = 4, Stopped = 128 };

// One run of a subcommand on the open collection.
struct Invocation
{
    QStringList args; // the positional arguments after the subcommand's name
    QHash<QString, QString> options; // the subcommand's options that were given: name to value
    std::function<void(QByteArrayView)> out; // the result, on standard output
    std::function<void(const QString &)> err; // a message, on standard error
};

// An option of a subcommand, as "--name VALUE" or a flag "--name".
struct CommandOption
{
    QString name;
    QString valueName; // empty for a flag
    QString description;
};

struct Command
{
    QString name;
    QString synopsis; // e.g. "import FILE"
    QString description;
    bool changes = false; // takes the data folder's lock
    int minArgs = 0, maxArgs = 0; // positional arguments; maxArgs -1 for any number
    QList<CommandOption> options = {};
    QStringList exclusive = {}; // options of which at most one may be given
    std::function<Status(const Invocation &)> run;
};

const QList<Command> &commands();
const Command *find(const QString &name);

} // namespace Cli
