#pragma once

class QWidget;

namespace Usr {

// The program's entry: name, settings object, data folder, settings file, main window; then
// the event loop. Returns the process's exit status.
int Main(int argc, char *argv[]);

// The orderly end: closes the other windows, merges and writes the settings file once, and
// ends the event loop. Called by the main window when it unloads.
void EndApp();

// The hidden window created at start-up that owns shell operations.
QWidget *ownerWindow();

} // namespace Usr
