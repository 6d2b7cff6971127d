#include "TuvoCliSignalWatcher.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
int pipeFds[2] = {-1, -1};
}

TuvoCliSignalWatcher::TuvoCliSignalWatcher(QObject *parent)
    : QObject(parent)
{
    std::signal(SIGPIPE, SIG_IGN);
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TuvoCliSignalWatcher::handleReadable);
    struct sigaction action = {};
    action.sa_handler = &TuvoCliSignalWatcher::handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

TuvoCliSignalWatcher::~TuvoCliSignalWatcher()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    if (pipeFds[0] >= 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        pipeFds[0] = pipeFds[1] = -1;
    }
}

void TuvoCliSignalWatcher::handler(int signal)
{
    const unsigned char number = static_cast<unsigned char>(signal);
    // Nothing else is safe in a signal handler; a full pipe just loses a repeat.
    [[maybe_unused]] const ssize_t written = ::write(pipeFds[1], &number, 1);
}

void TuvoCliSignalWatcher::handleReadable()
{
    unsigned char number = 0;
    while (::read(pipeFds[0], &number, 1) == 1)
        Q_EMIT interrupted(number, ++m_count);
}
