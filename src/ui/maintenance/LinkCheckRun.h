#pragma once

#include <initializer_list>

class Grid;
class QProgressDialog;
class QWidget;

// The link check of the maintenance window's link grid: writes each row's mark (column 7) and
// time (column 8). With a remembered block (first, last) only those rows are checked and each
// answer's headers are shown; otherwise every row, with a progress window whose Cancel stops
// the run. Results find their row by link number, never by a row index taken at the start.
// The widgets in hold are disabled while the check runs.
namespace LinkCheckRun {

void run(QWidget *window, Grid *links, int first, int last, int deadlineMs,
         QProgressDialog **progress, std::initializer_list<QWidget *> hold);

} // namespace LinkCheckRun
