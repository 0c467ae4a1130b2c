#pragma once

// The signals that end a process by default, taken for the check's whole run: blocked, and
// read from a signalfd where the check waits or looks, so that it stops its child and removes
// what it wrote before it ends by the signal, as it would have ended without it. A signal
// ignored when the check started (nohup, a background job) stays ignored.

#include <sys/types.h>

struct EndingSignal {
    int number = 0;   // 0 for none
    pid_t sender = 0; // the process that sent it; 0 when the kernel or the terminal did
};

// Blocks them and opens the signalfd; call before anything it would have to clean up.
void takeEndingSignals();

// The descriptor to poll for them, or -1.
int endingSignalDescriptor();

// The first such signal that arrived, read without waiting; the same one from then on.
EndingSignal endingSignalArrived();

// Forgets the signal that arrived, once it was dealt with otherwise: one the library sent.
void dismissEndingSignal();

// In the child: the signal mask the check started with, so that the library runs as in the window.
void restoreStartingSignalMask();

// Ends the check by the signal, with the default disposition it started with.
[[noreturn]] void endBySignal(int signal);
