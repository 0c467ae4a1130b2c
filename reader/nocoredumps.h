#pragma once

#include <sys/resource.h>

// A core file would hold the card data a process has read: both programs write none, and
// set the hard limit too, so nothing they start can raise it again.
inline void disableCoreDumps()
{
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
}
