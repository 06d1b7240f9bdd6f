// SPDX-License-Identifier: GPL-3.0-or-later
// Self-pipe signal delivery.
#include "platform/SignalNotifier.h"

#include <QSocketNotifier>

#include <csignal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarnwick {

namespace {

int g_pipe[2] = {-1, -1};

void OnSignal(int number)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

SignalNotifier::SignalNotifier(std::initializer_list<int> signalNumbers, QObject* parent)
    : QObject(parent), m_signals(signalNumbers)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalNotifier::readPipe);
    for (int number : m_signals) {
        struct sigaction action = {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(number, &action, nullptr);
    }
}

SignalNotifier::~SignalNotifier()
{
    for (int number : m_signals)
        std::signal(number, SIG_DFL);
    delete m_notifier;
    for (int& fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void SignalNotifier::readPipe()
{
    unsigned char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1)
        emit received(byte);
}

} // namespace tarnwick
