#pragma once

#include <sys/prctl.h>
#include <sys/resource.h>

// A core file would hold the card data a process has read: both programs write none, and
// set the hard limit too, so nothing they start can raise it again. Not dumpable either, so
// that no core reaches a handler that core_pattern pipes to, and no other process of the user
// may ptrace it or read its memory through /proc.
inline void disableCoreDumps()
{
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    prctl(PR_SET_DUMPABLE, 0);
}
