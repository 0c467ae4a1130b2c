#pragma once

// What the vendor's code may not do to the check: kill or stop it, which no handler could
// answer, so that the check would leave the reader held or end without a word.

#include <sys/types.h>

// In the child: makes kill, tkill, tgkill and sigqueue with SIGKILL or a stop signal fail with
// EPERM when aimed at `parent`, its process group or every process (-1), pidfd_send_signal with
// them whatever the target, prlimit on `parent`, and every call of another architecture; every
// other signal goes through, for the check to name. Inherited by whatever the child starts. Needs no new
// privileges for the child and what it starts: a set-user-ID program it runs gains none.
void forbidKillingOrStopping(pid_t parent);
