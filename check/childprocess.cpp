#include "childprocess.h"

#include "driverchild.h"
#include "processtree.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <new>
#include <sys/mman.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool isStopSignal(int signal)
{
    return signal == SIGSTOP || signal == SIGTSTP || signal == SIGTTIN || signal == SIGTTOU;
}

// Memory the child and the parent share, for the child's notes (childprotocol.h).
ChildNotes *sharedNotes()
{
    void *page = mmap(nullptr, sizeof(ChildNotes), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED)
        return nullptr;
    auto *notes = new (page) ChildNotes();
    sem_init(&notes->answered, 1, 0);
    return notes;
}

// The channel and the two output pipes, closed on exec so that no program the library starts
// holds them; errno of the first that failed, or 0.
int makePipes(int (&pipes)[PipeCount][2], int &made)
{
    made = 0;
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pipes[Channel]) != 0)
        return errno;
    for (made = 1; made < PipeCount; ++made)
        if (pipe2(pipes[made], O_CLOEXEC) != 0)
            return errno;
    return 0;
}

}

StartedChild startDriverChild(Token firstToken)
{
    StartedChild started;
    int pipes[PipeCount][2];
    int made = 0;
    started.error = makePipes(pipes, made);
    started.notes = started.error ? nullptr : sharedNotes();
    if (!started.error && !started.notes)
        started.error = errno;
    adoptOrphans();
    std::fflush(stdout);
    const pid_t parent = getpid();
    started.pid = started.error ? -1 : fork();
    if (started.pid == 0)
        runDriverChild(pipes[Channel][1], pipes[Output][1], pipes[Error][1], parent, started.notes);
    if (started.pid < 0 && !started.error)
        started.error = errno;
    for (int pipe = 0; pipe < made; ++pipe) {
        close(pipes[pipe][1]);
        started.fds[pipe] = pipes[pipe][0];
        fcntl(started.fds[pipe], F_SETFL, O_NONBLOCK);
        if (started.pid < 0)
            close(started.fds[pipe]);
    }
    if (started.pid < 0) {
        releaseNotes(started.notes);
        return started;
    }
    started.notes->nextToken = firstToken;
    sem_post(&started.notes->answered);
    return started;
}

void releaseNotes(ChildNotes *notes)
{
    if (!notes)
        return;
    sem_destroy(&notes->answered);
    munmap(notes, sizeof(ChildNotes));
}

ChildState lookAtChild(pid_t child)
{
    ChildState state;
    siginfo_t info;
    info.si_pid = 0;
    if (waitid(P_PID, id_t(child), &info, WEXITED | WSTOPPED | WNOHANG | WNOWAIT) != 0 || info.si_pid != child)
        return state;
    state.status = info.si_status;
    state.traced = info.si_code == CLD_TRAPPED;
    if (info.si_code != CLD_STOPPED && info.si_code != CLD_TRAPPED) {
        state.kind = ChildState::Ended;
        state.signalled = info.si_code == CLD_KILLED || info.si_code == CLD_DUMPED;
    } else if (!state.traced || isCrashSignal(state.status) || isStopSignal(state.status)) {
        state.kind = ChildState::Stopped;
    } else {
        int status;
        waitpid(child, &status, WNOHANG | WUNTRACED);
        ptrace(PTRACE_CONT, child, nullptr, reinterpret_cast<void *>(intptr_t(state.status)));
    }
    return state;
}
