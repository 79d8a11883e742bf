#include "platform/termination.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace kelmor::platform {

namespace {

int g_pipe[2] = {-1, -1};
const std::array<int, 3> Signals = {SIGTERM, SIGINT, SIGHUP};
struct sigaction g_previous[3];

void onSignal(int signalNumber)
{
    // Only async-signal-safe calls here; a full socket just drops the repeat. The interrupted
    // code keeps its errno.
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

TerminationWatcher::TerminationWatcher(QObject *parent)
    : QObject(parent)
{
    if (g_pipe[0] != -1)
        return;
    // Non-blocking: a handler that wrote into a full socket would wait for a reader that is the
    // very thread it interrupted.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        if (::read(g_pipe[1], &byte, 1) == 1)
            Q_EMIT terminationRequested(byte);
    });
    for (std::size_t i = 0; i < Signals.size(); ++i) {
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(Signals[i], &action, &g_previous[i]);
    }
}

TerminationWatcher::~TerminationWatcher()
{
    if (!m_notifier)
        return;
    for (std::size_t i = 0; i < Signals.size(); ++i)
        ::sigaction(Signals[i], &g_previous[i], nullptr);
    delete m_notifier;
    m_notifier = nullptr;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

} // namespace kelmor::platform
