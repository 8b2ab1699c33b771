#pragma once

// The program without its window: "linkwell [--data-dir DIR] COMMAND …". No display is needed,
// results go to standard output and messages to standard error.
namespace Cli {

// Whether the arguments name a subcommand or ask for the help or the version; otherwise the
// window starts. Qt's own window options and their values are no subcommand.
bool wanted(int argc, char **argv);

// Runs the command line under a QCoreApplication; returns the exit status: 0 success, 1 bad
// input, 2 usage error, 3 data folder in use.
int run(int argc, char **argv);

} // namespace Cli
