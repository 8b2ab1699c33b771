#pragma once

class QMainWindow;
class QRect;
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

// A frame moved and, when larger, shrunk into the work area: a place remembered on a larger
// screen, or before the screen's scale grew, would otherwise hang over its edges.
QRect inside(const QRect &frame, const QRect &area);
// Fits the shown window into its screen's work area.
void keepInside(QMainWindow &w);

} // namespace WindowPlace
