#include "platform/TermSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace sq::platform {

namespace {
int g_pipe[2] = {-1, -1};

extern "C" void writeSignalByte(int)
{
    const char byte = 1;
    // Only async-signal-safe calls here; a full pipe just drops the byte.
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
}
} // namespace

bool onTerminationRequest(std::function<void()> handler)
{
    if (g_pipe[0] >= 0)
        return false;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [handler = std::move(handler)] {
        char buf[16];
        while (::read(g_pipe[0], buf, sizeof buf) > 0) {
        }
        handler();
    });
    struct sigaction sa = {};
    sa.sa_handler = writeSignalByte;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        if (::sigaction(sig, &sa, nullptr) != 0)
            return false;
    return true;
}

} // namespace sq::platform
