#pragma once

#include <initializer_list>

class Grid;
class QProgressDialog;
class QWidget;

// The link check of the maintenance window's link grid: writes each row's mark (column 7: "◎",
// "×", "△", or "××" for a link dead in checks at least a day apart), time (column 8) and the
// address a page has moved to for good (column 9), and records the run in the link check
// history in one transaction. With a remembered block (first, last) only those rows are checked and
// each answer's headers are shown; otherwise every row, with a progress window whose Cancel stops
// the run. Results find their row by link number, never by a row index taken at the start.
// The widgets in hold are disabled while the check runs.
namespace LinkCheckRun {

void run(QWidget *window, Grid *links, int first, int last, int deadlineMs,
         QProgressDialog **progress, std::initializer_list<QWidget *> hold);

} // namespace LinkCheckRun
