#pragma once

#include <QElapsedTimer>
#include <QProgressDialog>

// A progress window with 中止 that opens only while its work runs: at a report of the work
// once the delay has passed, never from a timer of its own, so it cannot come up over what
// follows the work (a "done" message). finish() closes it for good.
class ProgressWindow : public QProgressDialog
{
    Q_OBJECT
public:
    ProgressWindow(const QString &label, QWidget *parent, int maximum = 0, int delayMs = 500);

    // Lets pending events run and opens the window once the delay has passed; value, when not
    // negative, is the work done so far. False once the user stopped the work.
    bool step(int value = -1);
    // The work has ended: the window closes and stays closed.
    void finish();
    bool finished() const { return m_finished; }

public Q_SLOTS:
    // Esc stops the work as 中止 does.
    void reject() override { cancel(); }

private:
    QElapsedTimer m_started;
    int m_delayMs;
    bool m_finished = false;
};
