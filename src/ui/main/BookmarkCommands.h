#pragma once

class QWidget;

// The main window's bookmark commands of the "ﾌｧｲﾙ(&F)" menu: the dialogs around the shared
// import and export steps.
namespace BookmarkCommands {

// Asks for a bookmark file, shows what it would bring in, and imports it on OK with a progress
// window whose cancel undoes everything. True when links were written: the window refills
// what shows them.
bool importFile(QWidget *parent);
// Asks where to write the whole collection as a bookmark file and writes it.
void exportFile(QWidget *parent);

} // namespace BookmarkCommands
