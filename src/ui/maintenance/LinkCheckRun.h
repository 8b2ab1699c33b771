#pragma once

#include <initializer_list>
#include <vector>

class Grid;
class QProgressDialog;
class QWidget;

// The link check of rows of the maintenance window's link grid, shown in the grid: each row's
// mark, seconds and the address its page has moved to for good (hidden). In the showing mode the
// rows' answers come one after the other, each with its headers in a box; otherwise a progress
// window whose 中止 stops the run. Results find their row by link number, never by a row index
// taken at the start. The widgets in hold are disabled while the check runs.
namespace LinkCheckRun {

void run(QWidget *window, Grid *links, const std::vector<int> &rows, bool showing, int deadlineMs,
         QProgressDialog **progress, std::initializer_list<QWidget *> hold);

} // namespace LinkCheckRun
