#include "StopSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The handler may only write to a pipe; the event loop reads it.
int g_pipe[2] = {-1, -1};
volatile std::sig_atomic_t g_received = 0;
struct sigaction g_previous[2];
constexpr int kSignals[2] = {SIGINT, SIGTERM};

void onSignal(int signal)
{
    g_received = signal;
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
}

} // namespace

StopSignals::StopSignals(std::function<void(int)> stop)
    : m_stop(std::move(stop))
{
    g_received = 0;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (::read(g_pipe[0], &byte, 1) == 1) {
            if (m_stop)
                m_stop(byte);
        }
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // Once: the next one ends the process, for a person who does not want to wait.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    for (int i = 0; i < 2; ++i)
        ::sigaction(kSignals[i], &action, &g_previous[i]);
}

StopSignals::~StopSignals()
{
    if (g_pipe[0] < 0)
        return;
    for (int i = 0; i < 2; ++i)
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

int StopSignals::received() const
{
    return g_received;
}
