#include "app/QuitSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tessadorn {

namespace {

// The pipe from the handler to the event loop. Never closed: a handler that runs while the
// program ends must not write into a file that took the number over.
int g_ReadFd = -1;
int g_WriteFd = -1;
volatile sig_atomic_t g_Pending = 0;

extern "C" void onQuitSignal(int signal) {
    if (g_Pending) {
        // Asked again: the default action, now.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    g_Pending = 1;
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    (void)!::write(g_WriteFd, &byte, 1);
    errno = saved;
}

} // namespace

QuitSignals::QuitSignals(std::function<void(int signal)> onSignal)
    : m_OnSignal(std::move(onSignal)) {
    if (g_ReadFd < 0) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
        g_ReadFd = fds[0];
        g_WriteFd = fds[1];
    }
    m_Notifier = new QSocketNotifier(g_ReadFd, QSocketNotifier::Read, this);
    QObject::connect(m_Notifier, &QSocketNotifier::activated, this, [this] { received(); });
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

QuitSignals::~QuitSignals() = default;

void QuitSignals::setOnSignal(std::function<void(int signal)> onSignal) {
    m_OnSignal = std::move(onSignal);
}

void QuitSignals::received() {
    unsigned char byte = 0;
    while (::read(g_ReadFd, &byte, 1) == 1)
        if (m_OnSignal) m_OnSignal(byte);
}

} // namespace tessadorn
