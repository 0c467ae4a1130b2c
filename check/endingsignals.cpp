#include "endingsignals.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <sys/signalfd.h>
#include <unistd.h>
#include <vector>

namespace {

sigset_t startingMask;
int descriptor = -1;
EndingSignal arrived;

// Every signal whose default action ends the process but those the kernel raises for a fault
// of the process itself (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGSYS, SIGABRT), which a
// blocked mask cannot hold back.
std::vector<int> endingSignals()
{
    std::vector<int> signals{SIGHUP, SIGINT, SIGQUIT, SIGUSR1, SIGUSR2, SIGPIPE, SIGALRM, SIGTERM,
                             SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO, SIGPWR};
#ifdef SIGSTKFLT
    signals.push_back(SIGSTKFLT);
#endif
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal)
        signals.push_back(signal);
    return signals;
}

bool ignoredAtStart(int signal)
{
    struct sigaction now;
    return sigaction(signal, nullptr, &now) == 0 && !(now.sa_flags & SA_SIGINFO) && now.sa_handler == SIG_IGN;
}

}

void takeEndingSignals()
{
    sigset_t taken;
    sigemptyset(&taken);
    for (int signal : endingSignals())
        if (!ignoredAtStart(signal))
            sigaddset(&taken, signal);
    sigprocmask(SIG_BLOCK, &taken, &startingMask);
    descriptor = signalfd(-1, &taken, SFD_NONBLOCK | SFD_CLOEXEC);
}

int endingSignalDescriptor()
{
    return descriptor;
}

EndingSignal endingSignalArrived()
{
    signalfd_siginfo info;
    while (arrived.number == 0 && descriptor >= 0 && read(descriptor, &info, sizeof info) == ssize_t(sizeof info)) {
        arrived.number = int(info.ssi_signo);
        // Only a signal sent with kill, tkill or sigqueue names a process.
        const bool sent = info.ssi_code == SI_USER || info.ssi_code == SI_TKILL || info.ssi_code == SI_QUEUE;
        arrived.sender = sent ? pid_t(info.ssi_pid) : 0;
    }
    return arrived;
}

void dismissEndingSignal()
{
    arrived = EndingSignal();
}

void restoreStartingSignalMask()
{
    sigprocmask(SIG_SETMASK, &startingMask, nullptr);
}

void endBySignal(int signal)
{
    std::fflush(stdout);
    std::signal(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    raise(signal);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    // Not reached for a signal that ends the process; for safety, an exit a shell reads alike.
    _exit(128 + signal);
}
