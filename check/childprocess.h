#pragma once

// The child process that runs the vendor's code (driverchild.h), as the check starts it and
// sees it: its channel, output pipes and shared notes, and its state without reaping it.

#include "childprotocol.h"
#include "signalname.h"

#include <sys/types.h>

enum Pipe { Channel, Output, Error, PipeCount };

struct StartedChild {
    pid_t pid = -1;
    int error = 0;                  // errno when it could not be started
    int fds[PipeCount] = {-1, -1, -1}; // the check's ends, not blocking
    ChildNotes *notes = nullptr;    // shared with the child; releaseNotes() when done
};

// Makes the check the reaper of whatever the child leaves, forks the child and gives it the
// token of its first frame.
StartedChild startDriverChild(Token firstToken);

void releaseNotes(ChildNotes *notes);

struct ChildState {
    enum Kind { Running, Ended, Stopped } kind = Running;
    bool signalled = false; // ended by a signal
    int status = 0;         // the exit status, or the signal that ended or stopped it
    bool traced = false;    // a ptrace stop: the library made the check its tracer
};

// Looks at the child without reaping it. A ptrace stop for a signal that neither crashes nor
// stops is passed on, and the child goes on running.
ChildState lookAtChild(pid_t child);
