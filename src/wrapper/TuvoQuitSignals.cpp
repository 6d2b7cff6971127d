#include "TuvoQuitSignals.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
int s_pipe[2] = {-1, -1};
}

TuvoQuitSignals::TuvoQuitSignals(QObject *parent)
    : QObject(parent)
{
    if (s_pipe[0] >= 0 || ::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning() << "TuvoQuitSignals: cannot install the signal handlers";
        return;
    }
    m_notifier = new QSocketNotifier(s_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TuvoQuitSignals::handleSignal);

    struct sigaction action = {};
    action.sa_handler = &TuvoQuitSignals::signalHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

TuvoQuitSignals::~TuvoQuitSignals()
{
    if (!m_notifier)
        return;
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGINT, SIG_DFL);
    ::close(s_pipe[0]);
    ::close(s_pipe[1]);
    s_pipe[0] = s_pipe[1] = -1;
}

void TuvoQuitSignals::signalHandler(int signal)
{
    const char byte = char(signal);
    // Nothing else is safe here; a full pipe already holds a pending quit.
    [[maybe_unused]] const ssize_t written = ::write(s_pipe[1], &byte, 1);
}

void TuvoQuitSignals::handleSignal()
{
    char bytes[16];
    while (::read(s_pipe[0], bytes, sizeof bytes) > 0) {
    }
    QCoreApplication::quit();
}
