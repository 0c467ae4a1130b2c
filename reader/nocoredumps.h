#pragma once

#include <sys/prctl.h>
#include <sys/resource.h>

// A core file would hold the card data a process has read: both programs write none, and
// set the hard limit too, so nothing they start can raise it again. Not dumpable either, so
// that no core reaches a handler that core_pattern pipes to, and no other process of the user
// may ptrace it or read its memory through /proc; but in a build with AddressSanitizer, whose
// leak check stops the process from a task of its own with ptrace, which a process that is not
// dumpable refuses to a user without CAP_SYS_PTRACE.
inline void disableCoreDumps()
{
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
#ifndef __SANITIZE_ADDRESS__
    prctl(PR_SET_DUMPABLE, 0);
#endif
}

