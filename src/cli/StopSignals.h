#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// While it lives, SIGINT and SIGTERM no longer end the process: the first one calls stop with
// its number from the event loop, so a long command can keep what it has done and end in its
// own time. A second signal ends the process as usual.
class StopSignals : public QObject
{
    Q_OBJECT
public:
    explicit StopSignals(std::function<void(int signal)> stop);
    ~StopSignals() override;

    // The signal taken, or 0.
    int received() const;

private:
    std::function<void(int)> m_stop;
    QSocketNotifier *m_notifier = nullptr;
};
