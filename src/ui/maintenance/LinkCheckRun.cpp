#include "LinkCheckRun.h"

#include "check/CheckRun.h"
#include "platform/Dialogs.h"
#include "platform/widgets/Grid.h"

#include <QCoreApplication>
#include <QHash>
#include <QProgressDialog>

#include <memory>

namespace LinkCheckRun {
namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(LinkCheckRun)
};

} // namespace

void run(QWidget *window, Grid *g, const std::vector<int> &rows, bool showing, int deadlineMs,
         QProgressDialog **progressOut, std::initializer_list<QWidget *> hold)
{
    for (QWidget *w : hold)
        w->setEnabled(false);
    // Rows are keyed by their link number; rows without one were never stored and have no address.
    QList<CheckRun::Link> links;
    QHash<qint64, int> rowOf;
    for (const int r : rows) {
        if (r < 1 || r > g->MaxRows())
            continue;
        for (const int c : {7, 8, 9})
            g->SetText(c, r, QString());
        bool ok = false;
        const qint64 n = g->GetText(2, r).toLongLong(&ok);
        if (!ok)
            continue;
        links.append({n, g->GetText(6, r)});
        rowOf.insert(n, r);
    }
    auto rowFor = [&](qint64 n) {
        int r = rowOf.value(n);
        if (r >= 1 && r <= g->MaxRows() && g->GetText(2, r).toLongLong() == n)
            return r;
        for (r = 1; r <= g->MaxRows(); ++r) {
            if (g->GetText(2, r).toLongLong() == n)
                return r;
        }
        return 0;
    };
    CheckRun check;
    check.engine().setDeadlineMs(deadlineMs);
    // A block still runs concurrently; its answers are shown one after the other in row order.
    check.engine().setOrder(showing ? LinkCheck::Order::RowOrder : LinkCheck::Order::AsAnswered);
    std::unique_ptr<QProgressDialog> progress;
    if (!showing && !links.isEmpty()) {
        progress = std::make_unique<QProgressDialog>(window);
        progress->setWindowTitle(Dialogs::title());
        progress->setCancelButtonText(Tr::tr("中止"));
        progress->setRange(0, int(links.size()));
        progress->setMinimumDuration(500);
        progress->setWindowModality(Qt::WindowModal);
        QObject::connect(progress.get(), &QProgressDialog::canceled, &check, &CheckRun::stop);
        QObject::connect(&check, &CheckRun::progress, progress.get(),
                         [&progress](int checked, int total, int dead) {
                             progress->setLabelText(Tr::tr("%1 / %2　ﾘﾝｸ切れ %3")
                                                        .arg(QString::number(checked),
                                                             QString::number(total),
                                                             QString::number(dead)));
                             progress->setValue(checked);
                         });
        *progressOut = progress.get();
    }
    QObject::connect(&check, &CheckRun::checked, window, [&](const CheckRun::Checked &c) {
        const int row = rowFor(c.nURL);
        if (row == 0)
            return;
        // Marks and times are the program's writes: the row does not count as changed.
        g->SetText(7, row, c.mark);
        g->SetText(8, row, c.result.timeText());
        g->SetText(9, row, c.result.movedTo);
        if (showing)
            Dialogs::message(c.result.headers);
        if (row > 10)
            g->SetTopRow(row - 9);
    });
    QString error;
    if (!check.run(links, &error))
        Dialogs::message(error);
    *progressOut = nullptr;
    g->SetTopRow(1);
    for (QWidget *w : hold)
        w->setEnabled(true);
}

} // namespace LinkCheckRun
