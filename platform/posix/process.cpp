// Process set-up on POSIX systems: the standard descriptors and the signals that end the demo.
#include "shell/process.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

static constexpr int CLOSE_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
static volatile sig_atomic_t pendingCloseSignal = 0;

static void recordCloseSignal(int signal) { pendingCloseSignal = signal; }

static void openMissingStandardDescriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            // The lowest free descriptor is fd itself.
            open("/dev/null", O_RDWR);
        }
    }
}

void prepareProcess()
{
    openMissingStandardDescriptors();
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, nullptr);

    for (int signal : CLOSE_SIGNALS) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction close {};
        close.sa_handler = recordCloseSignal;
        close.sa_flags = SA_RESTART;
        sigemptyset(&close.sa_mask);
        sigaction(signal, &close, nullptr);
    }
}

int takeCloseSignal()
{
    int signal = pendingCloseSignal;
    pendingCloseSignal = 0;
    return signal;
}
