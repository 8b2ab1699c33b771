#pragma once

#include <QString>

class QWidget;

namespace Usr {

// The program's entry: name, settings object, data folder, settings file, main window; then
// the event loop. Returns the process's exit status.
int Main(int argc, char *argv[]);

// The page a command-line argument names: an http, https or file address as given, or a local
// file (relative to the current folder) as a file address. Empty, with *error naming the
// argument and the reason, when it names none of these.
QString startAddress(const QString &argument, QString *error = nullptr);

// The orderly end: closes the other windows, merges and writes the settings file once, and
// ends the event loop. Called by the main window when it unloads.
void EndApp();

// The hidden window created at start-up that owns shell operations.
QWidget *ownerWindow();

} // namespace Usr
