#pragma once

// The processes the check's child starts, wherever they go: daemonized helpers come back to
// the check as their reaper, and at the end every process that descends from the check is
// stopped, whatever process group or session it moved to.

#include <QByteArray>
#include <QList>
#include <sys/types.h>

// Makes the check the reaper of every orphan its descendants leave, instead of init.
void adoptOrphans();

struct StoppedDescendants {
    QList<QByteArray> others;  // "PID (name)" of each running process besides the child
    bool stillRunning = false; // some did not go within the grace time: stuck in the kernel
};

// Kills every process that descends from the check and reaps them all, the child too, within
// about `graceMs` for those that take time to go.
StoppedDescendants stopDescendants(pid_t child, int graceMs);

// Whether the process descends from `ancestor`, as /proc has it now.
bool descendsFrom(pid_t pid, pid_t ancestor);
