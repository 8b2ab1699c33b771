#pragma once

class QMainWindow;
class QSplitter;
class yIni;

// Where the main window was: its position, size, maximised state and the splitter's panes, kept
// in the settings group "画面" ("WND_POS" x,y,width,height; "WND_MAX"; "WND_SPLIT" the panes'
// heights) from one run to the next.
namespace WindowPlace {

// Puts the window where it was; false (nothing changed) when nothing usable is stored, as at
// the first start, or when the place lies on no screen now.
bool restore(QMainWindow &w, QSplitter &split, yIni &ini);
void store(const QMainWindow &w, const QSplitter &split, yIni &ini);

} // namespace WindowPlace
