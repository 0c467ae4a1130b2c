#pragma once

#include "cardreads.h"

// The window's last word when the driver library takes the process down during one of its
// calls: one line on standard error naming the call and the signal (a crash or an abort) or
// the exit status (the library called exit). The process then ends as it would have: the
// signal goes on to whatever handled it before, the library's own handler or the default.

// Marks a call of the library as running, and catches the signals a crash raises while it runs.
void vendorCallStarts(DriverCall call);
// Hands the signals back to their earlier handlers, unless the library replaced ours meanwhile,
// and puts /dev/null on a standard descriptor the call closed.
void vendorCallEnded();
