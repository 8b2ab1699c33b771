#pragma once

class fmLink;

// The main window's bookmark commands of the "ﾌｧｲﾙ(&F)" menu: the dialogs around the shared
// import and export steps.
namespace BookmarkCommands {

// Asks for a bookmark file, shows what it would bring in, and imports it on OK with a progress
// window whose cancel undoes everything; the group selector and the list are then refilled.
void importFile(fmLink &w);
// Asks where to write the whole collection as a bookmark file and writes it.
void exportFile();

} // namespace BookmarkCommands
