#include "lastword.h"

#include "signalname.h"
#include "standarddescriptors.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// A crash signal (CrashSignals) takes the process down whatever handled it before.
// What else ends a process by default and a library brings on itself: a write to its daemon's
// closed socket, its alarm, a resource limit, a SIGTERM to itself. A handler of the library's
// own for one of these means it does not end the process, so it is left alone.
constexpr int EndingSignals[] = {SIGPIPE, SIGALRM, SIGXCPU, SIGXFSZ, SIGTERM};
constexpr int WatchedCount = sizeof CrashSignals / sizeof(int) + sizeof EndingSignals / sizeof(int);

pid_t windowPid = 0;
pid_t windowThread = 0;
// A private duplicate of the standard error the window started with, and what it was.
int lastWordFd = -1;
struct stat lastWordFile;
// Its path, when it has one to open it by again (a file, a terminal, a named pipe).
char lastWordPath[256] = {};

// Whether the descriptor is still the standard error the window started with.
bool isLastWordFile(int fd)
{
    struct stat now;
    return fd >= 0 && fstat(fd, &now) == 0 && now.st_dev == lastWordFile.st_dev && now.st_ino == lastWordFile.st_ino;
}
// The call running, as a DriverCall, or -1; read by the signal and exit handlers.
volatile sig_atomic_t currentCall = -1;
struct sigaction earlier[WatchedCount];

int watched(int at)
{
    constexpr int crashes = sizeof CrashSignals / sizeof(int);
    return at < crashes ? CrashSignals[at] : EndingSignals[at - crashes];
}

int indexOf(int signal)
{
    for (int at = 0; at < WatchedCount; ++at)
        if (watched(at) == signal)
            return at;
    return 0;
}

bool isCrash(int signal)
{
    for (const int crash : CrashSignals)
        if (crash == signal)
            return true;
    return false;
}

pid_t threadId()
{
    return pid_t(syscall(SYS_gettid));
}

// A line built in a fixed buffer, as a signal handler may: no allocation, no stdio.
class Line
{
public:
    Line &operator<<(const char *text)
    {
        while (text && *text && length < sizeof buffer - 1)
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
    // To the standard error the window started with: through its duplicate, or descriptor 2,
    // while either is still that file, else opened anew by its path. The library may have closed
    // both and let the numbers go to files of its own, such as its log or the X connection.
    void write()
    {
        buffer[length++] = '\n';
        int fd = isLastWordFile(lastWordFd) ? lastWordFd : isLastWordFile(STDERR_FILENO) ? STDERR_FILENO : -1;
        const bool reopened = fd < 0 && lastWordPath[0] == '/';
        if (reopened)
            fd = open(lastWordPath, O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        const ssize_t written = fd >= 0 ? ::write(fd, buffer, length) : 0;
        static_cast<void>(written);
        if (reopened && fd >= 0)
            close(fd);
    }

private:
    char buffer[200];
    size_t length = 0;
};

// The start of the line, on a line of its own whatever the library left unfinished: the call
// running, or none, and the thread when it is not the window's.
Line lineAbout(const char *libraryDid, const char *processDid)
{
    Line line;
    line << "\nidcardshow: ";
    if (currentCall >= 0)
        line << "the driver library " << libraryDid << " in " << driverCallName(static_cast<DriverCall>(currentCall));
    else
        line << "the process " << processDid << " outside any driver call";
    const pid_t thread = threadId();
    if (thread != windowThread)
        line << ", in thread " << long(thread) << ", not the window's";
    return line;
}

bool sentByAnotherProcess(const siginfo_t &info)
{
    return (info.si_code == SI_USER || info.si_code == SI_QUEUE || info.si_code == SI_TKILL) && info.si_pid != getpid();
}

void onSignal(int signal, siginfo_t *info, void *)
{
    const int saved = errno;
    const bool speaks = getpid() == windowPid && !(signal == SIGTERM && sentByAnotherProcess(*info));
    if (speaks) {
        const bool crash = isCrash(signal);
        Line line = lineAbout(crash ? "crashed" : "ended the process", crash ? "crashed" : "was ended");
        (line << ": signal " << long(signal) << " (" << signalName(signal) << ")").write();
    }
    sigaction(signal, &earlier[indexOf(signal)], nullptr);
    // A fault happens again when the instruction is retried, now for the earlier handler with
    // its own details; a trap, a seccomp kill and a signal that was sent must be sent again.
    const bool fault = signal == SIGSEGV || signal == SIGBUS || signal == SIGILL || signal == SIGFPE;
    if (!fault || info->si_code <= 0)
        raise(signal);
    errno = saved;
}

bool isOurs(const struct sigaction &action)
{
    return (action.sa_flags & SA_SIGINFO) && action.sa_sigaction == onSignal;
}

// Ours where the signal is not ignored and, for a signal that is no crash, would end the process.
void takeSignals()
{
    struct sigaction ours;
    std::memset(&ours, 0, sizeof ours);
    ours.sa_sigaction = onSignal;
    ours.sa_flags = SA_SIGINFO;
    sigemptyset(&ours.sa_mask);
    for (int at = 0; at < WatchedCount; ++at) {
        const int signal = watched(at);
        struct sigaction now;
        if (sigaction(signal, nullptr, &now) != 0 || isOurs(now))
            continue;
        const bool ignored = !(now.sa_flags & SA_SIGINFO) && now.sa_handler == SIG_IGN;
        const bool byDefault = !(now.sa_flags & SA_SIGINFO) && now.sa_handler == SIG_DFL;
        if (ignored || (!isCrash(signal) && !byDefault))
            continue;
        earlier[at] = now;
        sigaction(signal, &ours, nullptr);
    }
}

void unblockCrashSignals()
{
    sigset_t crashes;
    sigemptyset(&crashes);
    for (const int signal : CrashSignals)
        sigaddset(&crashes, signal);
    pthread_sigmask(SIG_UNBLOCK, &crashes, nullptr);
}

void onExit(int status, void *)
{
    if (currentCall >= 0 && getpid() == windowPid)
        (lineAbout("ended the process", "ended") << ": exit status " << long(status)).write();
}

// Registered in a forked copy, so it runs before every handler the window registered: those
// belong to the window, and one may wait for what only the window would do.
void endForkedCopyAtOnce(int status, void *)
{
    _exit(status);
}

void onFork()
{
    on_exit(endForkedCopyAtOnce, nullptr);
}

}

void watchForLastWord()
{
    if (windowPid != 0)
        return;
    windowPid = getpid();
    windowThread = threadId();
    lastWordFd = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (lastWordFd >= 0 && fstat(lastWordFd, &lastWordFile) != 0)
        lastWordFd = -1;
    // The system call, as readlink of a buffer this size needs no fortify check, and
    // hardening-check takes a program with only unchecked calls for one built without fortify.
    if (syscall(SYS_readlinkat, AT_FDCWD, "/proc/self/fd/2", lastWordPath, sizeof lastWordPath - 1) < 0)
        lastWordPath[0] = '\0';
    pthread_atfork(nullptr, nullptr, onFork);
    takeSignals();
}

void vendorCallStarts(DriverCall call)
{
    watchForLastWord();
    // glibc's on_exit rather than atexit: only it is told the status the library passed to
    // exit. Registered at the first call, after the toolkit's own handlers, so it runs first.
    static const bool exitWatched = on_exit(onExit, nullptr) == 0;
    static_cast<void>(exitWatched);
    takeSignals();
    unblockCrashSignals();
    currentCall = static_cast<sig_atomic_t>(call);
}

void vendorCallEnded()
{
    // A copy the library forked must not go on as a second window on the same X connection.
    if (getpid() != windowPid)
        _exit(EXIT_FAILURE);
    currentCall = -1;
    reopenClosedStandardDescriptors();
}

void reportOverrun(const Overrun &overrun)
{
    Line line;
    line << "\nidcardshow: the driver library wrote past the end of its " << driverBufferName(overrun.buffer) << " buffer ("
         << long(driverBufferSize(overrun.buffer)) << " bytes) in " << driverCallName(overrun.call) << ": ";
    if (overrun.pastGuard())
        line << "more than " << long(GuardBytes - 1) << " bytes, over other memory of the process; the window ends";
    else
        line << "at least " << long(overrun.beyond) << (overrun.beyond == 1 ? " byte" : " bytes") << "; the read failed";
    line.write();
    if (overrun.pastGuard())
        _exit(EXIT_FAILURE);
}
