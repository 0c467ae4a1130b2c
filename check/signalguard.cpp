#include "signalguard.h"

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

#if defined(__x86_64__)
constexpr __u32 ThisArchitecture = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr __u32 ThisArchitecture = AUDIT_ARCH_AARCH64;
#else
constexpr __u32 ThisArchitecture = 0;
#endif

#ifndef SYS_pidfd_send_signal
#define SYS_pidfd_send_signal 424 // the same on every architecture; older headers lack it
#endif

// A call refused when each of its conditions holds: the argument at that index is one of the
// values.
struct Condition {
    int argument;
    std::vector<__u32> values;
};
struct RefusedCall {
    long number;
    std::vector<Condition> when;
};

constexpr __u32 argumentAt(int index)
{
    // The low 32 bits of the argument, which hold a pid or a signal, on a little-endian machine.
    return __u32(offsetof(seccomp_data, args) + 8 * index);
}

// A filter program built forwards: each test jumps to "refuse" or to the next test.
class Program
{
public:
    void load(__u32 offset) { m_code.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offset)); }
    // Jumps `skip` instructions ahead when the loaded word equals the value.
    void skipIfEqual(__u32 value, __u8 skip) { m_code.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, value, skip, 0)); }
    void give(__u32 action) { m_code.push_back(BPF_STMT(BPF_RET | BPF_K, action)); }
    // Refuses the call when the loaded word is the value or above it.
    void refuseFrom(__u32 value)
    {
        m_code.push_back(BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, value, 0, 1));
        give(SECCOMP_RET_ERRNO | EPERM);
    }
    std::vector<sock_filter> &code() { return m_code; }

private:
    std::vector<sock_filter> m_code;
};

// For one call: refuses it when every condition holds, else allows it; the block ends with a
// return either way.
void refuseCall(Program &program, const RefusedCall &call)
{
    for (const Condition &condition : call.when) {
        program.load(argumentAt(condition.argument));
        for (size_t i = 0; i < condition.values.size(); ++i)
            program.skipIfEqual(condition.values[i], __u8(condition.values.size() - i));
        program.give(SECCOMP_RET_ALLOW);
    }
    program.give(SECCOMP_RET_ERRNO | EPERM);
}
}

void forbidKillingOrStopping(pid_t parent)
{
    if (ThisArchitecture == 0)
        return;
    const std::vector<__u32> targets{__u32(parent), __u32(-1), __u32(-getpgid(parent))};
    const std::vector<__u32> signals{SIGKILL, SIGSTOP, SIGTSTP, SIGTTIN, SIGTTOU};
    const std::vector<RefusedCall> calls{
        {SYS_kill, {{0, targets}, {1, signals}}},
        {SYS_tkill, {{0, targets}, {1, signals}}},
        {SYS_tgkill, {{0, targets}, {2, signals}}},
        {SYS_rt_sigqueueinfo, {{0, targets}, {1, signals}}},
        {SYS_rt_tgsigqueueinfo, {{0, targets}, {2, signals}}},
        // A pidfd names its process by a descriptor, which a filter cannot follow: refused
        // for these signals whatever the target.
        {SYS_pidfd_send_signal, {{1, signals}}},
        // Limits set on the check could end it, or blind it to what the library left running.
        {SYS_prlimit64, {{0, {__u32(parent)}}}},
    };
    std::vector<Program> blocks(calls.size());
    for (size_t i = 0; i < blocks.size(); ++i)
        refuseCall(blocks[i], calls[i]);
    Program program;
    // Another architecture's calls (i386's int 0x80 on x86-64) have numbers of their own.
    program.load(offsetof(seccomp_data, arch));
    program.skipIfEqual(ThisArchitecture, 1);
    program.give(SECCOMP_RET_ERRNO | EPERM);
    program.load(offsetof(seccomp_data, nr));
    // x32's calls are x86-64's with this bit set.
    program.refuseFrom(0x40000000);
    // One test per call, each jumping past the tests after it and the blocks before its own.
    size_t skipBlocks = 0;
    for (size_t i = 0; i < blocks.size(); ++i) {
        program.skipIfEqual(__u32(calls[i].number), __u8(blocks.size() - i + skipBlocks));
        skipBlocks += blocks[i].code().size();
    }
    program.give(SECCOMP_RET_ALLOW);
    for (Program &block : blocks)
        program.code().insert(program.code().end(), block.code().begin(), block.code().end());
    sock_fprog filter{static_cast<unsigned short>(program.code().size()), program.code().data()};
    prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter);
}
