#pragma once

#include "cardreads.h"

// The window's last word when the process ends by a signal or, during a driver call, by exit:
// one line, on the standard error the window started with, naming the call running (or saying
// there was none), the thread when it is not the window's, and the signal or exit status. The
// process then ends as it would have: the signal goes on to whatever handled it before, the
// library's own handler or the default. A copy of the process that the library forked never
// speaks for the window, and ends at once if it calls exit or returns from the call.

// Starts watching, for the rest of the process's life; the thread calling it is the window's.
// Signals ignored now stay ignored.
void watchForLastWord();
// Marks a call of the library as running; takes back the signals the library took over, unless
// it set a handler of its own for a signal that would otherwise end the process, and unblocks
// the crash signals, which a blocked crash would otherwise end silently.
void vendorCallStarts(DriverCall call);
// Marks the call as returned, and puts /dev/null on a standard descriptor the call closed.
void vendorCallEnded();

// A call that wrote past the end of a buffer: one line on the same standard error, naming the
// call, the buffer, its documented size and how far past it the library wrote. Past the buffer's
// guard, other memory of the process may be spoiled, the stack the caller returns through among
// it: the process then ends at once, its exit handlers not run.
void reportOverrun(const Overrun &overrun);
