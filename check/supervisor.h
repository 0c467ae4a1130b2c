#pragma once

// The check's side of the child process that runs the vendor's code (driverchild.h): starts
// it (childprocess.h), hands its frames to the decoder (reportdecoder.h) and its output to the
// relays (relay.h), stops a step that runs past the deadline or the child on an ending signal,
// stops everything it started (processtree.h), and tells how the child ended.

#include "childevents.h"

#include <QByteArray>
#include <QList>

struct ChildEnd {
    enum How {
        Finished,      // both reads done, or nothing to read
        NotStarted,    // fork or pipe failed; code is errno
        Crashed,       // code is the signal
        Exited,        // the vendor's code ended the process; code is the status
        Hung,          // a call or loading ran past the deadline and was stopped
        Silent,        // the check's own code between steps reported nothing by the deadline
        Stopped,       // the vendor's code stopped the process; code is the signal
        Garbled,       // the child's reports stopped making sense, or stopped half-way
        ChannelBroken, // the vendor's code closed or replaced the channel
        SignalledCheck, // the vendor's code sent the check an ending signal; code is the signal
        Interrupted,   // an ending signal from elsewhere (Ctrl-C, a closed terminal); code is the signal
    } how = Finished;
    int code = 0;
    Step step;                 // the step running then, or the last one reported
    bool traced = false;       // the crash or stop showed as a ptrace stop: the library made the check its tracer
    bool stillRunning = false; // killed, but not gone within a second: stuck in the kernel
    QList<QByteArray> leftRunning; // "PID (name)" of the processes besides the child that the check stopped
    bool forkedCopy = false;   // a copy the library forked returned into the check's code, and was ended
    Step forkedCopyStep;       // where the fork happened
};

// Runs the child, handing its reports to `events` as they arrive, until it ends, a step runs
// for longer than `timeoutSeconds`, or an ending signal arrives (endingsignals.h); then stops
// the child and everything it started.
ChildEnd superviseDriverChild(int timeoutSeconds, ChildEvents &events);
