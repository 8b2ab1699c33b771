#include "ProgressWindow.h"

#include "platform/Dialogs.h"

#include <QCoreApplication>
#include <QTimer>

ProgressWindow::ProgressWindow(const QString &label, QWidget *parent, int maximum, int delayMs)
    : QProgressDialog(parent)
    , m_delayMs(delayMs)
{
    setWindowTitle(Dialogs::title());
    setLabelText(label);
    setCancelButtonText(tr("中止"));
    setWindowModality(Qt::WindowModal);
    setAutoReset(false);
    setAutoClose(false);
    setRange(0, maximum);
    // The dialog's own timer would show it whenever it fires, the work done or not.
    for (QTimer *timer : findChildren<QTimer *>(Qt::FindDirectChildrenOnly))
        timer->stop();
    setMinimumDuration(std::numeric_limits<int>::max());
    m_started.start();
}

bool ProgressWindow::step(int value)
{
    if (m_finished)
        return !wasCanceled();
    if (value >= 0 && value != this->value())
        setValue(qMin(value, maximum() > 0 ? maximum() : value));
    if (!isVisible() && m_started.elapsed() >= m_delayMs)
        show();
    QCoreApplication::processEvents();
    return !wasCanceled();
}

void ProgressWindow::finish()
{
    m_finished = true;
    hide();
}
