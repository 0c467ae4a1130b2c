#include "lastword.h"

#include "signalname.h"
#include "standarddescriptors.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

constexpr int CrashSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr int CrashSignalCount = sizeof CrashSignals / sizeof CrashSignals[0];

// The call running, as a DriverCall, or -1; read by the signal and exit handlers.
volatile sig_atomic_t currentCall = -1;
struct sigaction earlier[CrashSignalCount];

int indexOf(int signal)
{
    for (int i = 0; i < CrashSignalCount; ++i)
        if (CrashSignals[i] == signal)
            return i;
    return 0;
}

// A line built in a fixed buffer, as a signal handler may: no allocation, no stdio.
class Line
{
public:
    Line &operator<<(const char *text)
    {
        while (*text && length < sizeof buffer - 1)
            buffer[length++] = *text++;
        return *this;
    }
    Line &operator<<(long number)
    {
        char digits[24];
        int count = 0;
        unsigned long magnitude = number < 0 ? 0UL - static_cast<unsigned long>(number) : static_cast<unsigned long>(number);
        do {
            digits[count++] = char('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude > 0);
        if (number < 0)
            *this << "-";
        while (count > 0 && length < sizeof buffer - 1)
            buffer[length++] = digits[--count];
        return *this;
    }
    void writeToStandardError()
    {
        buffer[length++] = '\n';
        const ssize_t written = write(STDERR_FILENO, buffer, length);
        static_cast<void>(written);
    }

private:
    char buffer[160];
    size_t length = 0;
};

const char *runningCallName()
{
    return driverCallName(static_cast<DriverCall>(currentCall));
}

void onCrash(int signal, siginfo_t *info, void *)
{
    const int saved = errno;
    if (currentCall >= 0)
        (Line() << "idcardshow: the driver library crashed in " << runningCallName() << ": signal " << long(signal)
                << " (" << signalName(signal) << ")").writeToStandardError();
    sigaction(signal, &earlier[indexOf(signal)], nullptr);
    // A fault happens again when the instruction is retried, now for the earlier handler with
    // its own details; a signal that was sent, as abort sends SIGABRT, must be sent again.
    if (info->si_code <= 0)
        raise(signal);
    errno = saved;
}

void onExit(int status, void *)
{
    if (currentCall >= 0)
        (Line() << "idcardshow: the driver library ended the process in " << runningCallName() << ": exit status "
                << long(status)).writeToStandardError();
}

bool isOurs(const struct sigaction &action)
{
    return (action.sa_flags & SA_SIGINFO) && action.sa_sigaction == onCrash;
}

}

void vendorCallStarts(DriverCall call)
{
    // glibc's on_exit rather than atexit: only it is told the status the library passed to exit.
    static const bool exitWatched = on_exit(onExit, nullptr) == 0;
    static_cast<void>(exitWatched);
    struct sigaction ours;
    std::memset(&ours, 0, sizeof ours);
    ours.sa_sigaction = onCrash;
    ours.sa_flags = SA_SIGINFO;
    sigemptyset(&ours.sa_mask);
    for (int i = 0; i < CrashSignalCount; ++i)
        sigaction(CrashSignals[i], &ours, &earlier[i]);
    currentCall = static_cast<sig_atomic_t>(call);
}

void vendorCallEnded()
{
    currentCall = -1;
    for (int i = 0; i < CrashSignalCount; ++i) {
        struct sigaction now;
        if (sigaction(CrashSignals[i], nullptr, &now) == 0 && isOurs(now))
            sigaction(CrashSignals[i], &earlier[i], nullptr);
    }
    reopenClosedStandardDescriptors();
}
