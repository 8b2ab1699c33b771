#include "LinkCheckRun.h"

#include "check/CheckHistory.h"
#include "check/LinkCheck.h"
#include "platform/Dialogs.h"
#include "platform/widgets/Grid.h"
#include "store/LinkStore.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHash>
#include <QProgressDialog>

#include <memory>

namespace LinkCheckRun {
namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(LinkCheckRun)
};

// The run goes into the history in one transaction; then a dead row whose link has been dead
// in checks at least a day apart gets the lasting mark.
void record(Grid *g, const QList<CheckRecord> &history, const std::function<int(int)> &rowFor)
{
    QString error;
    if (history.isEmpty())
        return;
    if (!LinkStore::recordChecks(history, &error)) {
        Dialogs::message(Tr::tr("ﾁｪｯｸ結果を記録できませんでした: %1").arg(error));
        return;
    }
    QList<CheckRecord> last;
    for (const CheckRecord &c : history) {
        const int row = c.verdict == CheckRecord::Dead ? rowFor(c.nURL) : 0;
        if (row != 0 && LinkStore::lastChecks(c.nURL, last))
            g->SetText(7, row,
                       CheckHistory::mark(LinkResult::Verdict::Dead, CheckHistory::deadRun(last)));
    }
}

} // namespace

void run(QWidget *window, Grid *g, int first, int last, int deadlineMs,
         QProgressDialog **progressOut, std::initializer_list<QWidget *> hold)
{
    for (QWidget *w : hold)
        w->setEnabled(false);
    const bool showing = first != 0;
    if (!showing) {
        first = 1;
        last = g->MaxRows();
    }
    last = qMin(last, g->MaxRows());
    // Rows are keyed by their link number; rows without one were never stored and have no address.
    QList<LinkCheck::Row> jobs;
    QHash<int, int> rowOf;
    for (int r = first; r <= last; ++r) {
        for (const int c : {7, 8, 9})
            g->SetText(c, r, QString());
        bool ok = false;
        const int n = g->GetText(2, r).toInt(&ok);
        if (!ok)
            continue;
        jobs.append({n, g->GetText(6, r)});
        rowOf.insert(n, r);
    }
    auto rowFor = [&](int n) {
        int r = rowOf.value(n);
        if (r >= 1 && r <= g->MaxRows() && g->GetText(2, r).toInt() == n)
            return r;
        for (r = 1; r <= g->MaxRows(); ++r) {
            if (g->GetText(2, r).toInt() == n)
                return r;
        }
        return 0;
    };
    LinkCheck check;
    check.setDeadlineMs(deadlineMs);
    // A block still runs concurrently; its answers are shown one after the other in row order.
    check.setOrder(showing ? LinkCheck::Order::RowOrder : LinkCheck::Order::AsAnswered);
    std::unique_ptr<QProgressDialog> progress;
    if (!showing && !jobs.isEmpty()) {
        progress = std::make_unique<QProgressDialog>(window);
        progress->setWindowTitle(Dialogs::title());
        progress->setCancelButtonText(Tr::tr("中止"));
        progress->setRange(0, int(jobs.size()));
        progress->setMinimumDuration(500);
        progress->setWindowModality(Qt::WindowModal);
        QObject::connect(progress.get(), &QProgressDialog::canceled, &check, &LinkCheck::cancel);
        QObject::connect(&check, &LinkCheck::progress, progress.get(),
                         [&progress](int checked, int total, int dead) {
                             progress->setLabelText(Tr::tr("%1 / %2　ﾘﾝｸ切れ %3")
                                                        .arg(QString::number(checked),
                                                             QString::number(total),
                                                             QString::number(dead)));
                             progress->setValue(checked);
                         });
        *progressOut = progress.get();
    }
    QList<CheckRecord> history;
    QObject::connect(&check, &LinkCheck::rowChecked, window, [&](int n, const LinkResult &result) {
        history.append(CheckHistory::record(n, result));
        const int row = rowFor(n);
        if (row == 0)
            return;
        // Marks and times are the program's writes: the row does not count as changed.
        g->SetText(7, row, result.mark());
        g->SetText(8, row, result.timeText());
        g->SetText(9, row, result.movedTo);
        if (showing)
            Dialogs::message(result.headers);
        if (row > 10)
            g->SetTopRow(row - 9);
    });
    QEventLoop wait;
    QObject::connect(&check, &LinkCheck::finished, &wait, &QEventLoop::quit);
    if (check.start(jobs))
        wait.exec();
    *progressOut = nullptr;
    record(g, history, rowFor);
    g->SetTopRow(1);
    for (QWidget *w : hold)
        w->setEnabled(true);
}

} // namespace LinkCheckRun
