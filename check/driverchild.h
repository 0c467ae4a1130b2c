#pragma once

// The child process that runs the vendor's code for the check: the libraries' loading and
// both reads, in one process, since the reader's state lives there. It reports each step over
// the channel before it runs it and again after it, with the result, errno and duration, and
// which standard descriptor the step closed or replaced. Standard output and error go to the
// parent, which relays them as the library's; standard input is /dev/null.

#include "childprotocol.h"

#include <sys/types.h>

// Runs in the child right after fork: takes its end of the channel (a stream socket: frames go
// out, and the token for the next frame comes back for each frame the parent has taken in,
// the first before any frame) and the two output pipes' write ends, makes the child die with
// `parent`, puts it in a session of its own and closes every other descriptor it inherited.
// Writes `notes` when the channel is lost or a forked copy returns. Never returns: it ends the
// process with status 0 after reporting Finished.
[[noreturn]] void runDriverChild(int channel, int output, int error, pid_t parent, ChildNotes *notes);
