#include "processtree.h"

#include <QFile>
#include <QMap>
#include <QSet>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct ProcessEntry {
    pid_t parent;
    bool zombie;
    QByteArray name;
};

// Each process's parent, state and name from /proc/PID/stat; the name, in parentheses, may
// hold spaces and parentheses itself.
QMap<pid_t, ProcessEntry> processTable()
{
    QMap<pid_t, ProcessEntry> table;
    DIR *folder = opendir("/proc");
    if (!folder)
        return table;
    while (const dirent *entry = readdir(folder)) {
        const pid_t pid = pid_t(atoi(entry->d_name));
        if (pid <= 0)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const int open = line.indexOf('('), close = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (open < 0 || close < open || fields.size() < 2)
            continue;
        table.insert(pid, {pid_t(fields[1].toInt()), fields[0] == "Z", line.mid(open + 1, close - open - 1)});
    }
    closedir(folder);
    return table;
}

QList<pid_t> descendantsOf(pid_t ancestor, const QMap<pid_t, ProcessEntry> &table)
{
    QMultiMap<pid_t, pid_t> children;
    for (auto it = table.cbegin(); it != table.cend(); ++it)
        children.insert(it->parent, it.key());
    QList<pid_t> found = children.values(ancestor);
    for (int at = 0; at < found.size(); ++at)
        found += children.values(found[at]);
    return found;
}

void reapAll()
{
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
}

}

void adoptOrphans()
{
    prctl(PR_SET_CHILD_SUBREAPER, 1);
}

StoppedDescendants stopDescendants(pid_t child, int graceMs)
{
    StoppedDescendants stopped;
    QSet<pid_t> killed;
    for (int waited = 0;; waited += 5) {
        const QMap<pid_t, ProcessEntry> table = processTable();
        bool running = false;
        for (pid_t pid : descendantsOf(getpid(), table)) {
            const ProcessEntry &process = table[pid];
            if (process.zombie)
                continue;
            running = true;
            kill(pid, SIGKILL);
            if (pid != child && !killed.contains(pid))
                stopped.others << QByteArray::number(pid) + " (" + process.name + ")";
            killed.insert(pid);
        }
        reapAll();
        if (!running)
            break;
        if (waited >= graceMs) {
            stopped.stillRunning = true;
            break;
        }
        usleep(5 * 1000);
    }
    return stopped;
}

bool descendsFrom(pid_t pid, pid_t ancestor)
{
    const QMap<pid_t, ProcessEntry> table = processTable();
    for (int depth = 0; depth < 1024 && table.contains(pid); ++depth) {
        pid = table[pid].parent;
        if (pid == ancestor)
            return true;
    }
    return false;
}
