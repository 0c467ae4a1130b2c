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

// A call that sends a signal: which argument names the target and which the signal.
struct SignallingCall {
    long number;
    int target;
    int signal;
};

const SignallingCall SignallingCalls[] = {
    {SYS_kill, 0, 1}, {SYS_tkill, 0, 1}, {SYS_tgkill, 0, 2}, {SYS_rt_sigqueueinfo, 0, 1}, {SYS_rt_tgsigqueueinfo, 0, 2},
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
    std::vector<sock_filter> &code() { return m_code; }

private:
    std::vector<sock_filter> m_code;
};

// For one signalling call: refuses it when both its target and its signal are among those
// given, else allows it; the block ends with a return either way.
void refuseCall(Program &program, const SignallingCall &call, const std::vector<__u32> &targets, const std::vector<__u32> &signals)
{
    program.load(argumentAt(call.target));
    for (size_t i = 0; i < targets.size(); ++i)
        program.skipIfEqual(targets[i], __u8(targets.size() - i));
    program.give(SECCOMP_RET_ALLOW);
    program.load(argumentAt(call.signal));
    for (size_t i = 0; i < signals.size(); ++i)
        program.skipIfEqual(signals[i], __u8(signals.size() - i));
    program.give(SECCOMP_RET_ALLOW);
    program.give(SECCOMP_RET_ERRNO | EPERM);
}

}

void forbidKillingOrStopping(pid_t parent)
{
    if (ThisArchitecture == 0)
        return;
    const std::vector<__u32> targets{__u32(parent), __u32(-1), __u32(-getpgid(parent))};
    const std::vector<__u32> signals{SIGKILL, SIGSTOP, SIGTSTP, SIGTTIN, SIGTTOU};
    std::vector<Program> blocks(sizeof SignallingCalls / sizeof SignallingCalls[0]);
    for (size_t i = 0; i < blocks.size(); ++i)
        refuseCall(blocks[i], SignallingCalls[i], targets, signals);
    Program program;
    program.load(offsetof(seccomp_data, arch));
    program.skipIfEqual(ThisArchitecture, 1);
    program.give(SECCOMP_RET_ALLOW);
    program.load(offsetof(seccomp_data, nr));
    // One test per call, each jumping past the tests after it and the blocks before its own.
    size_t skipBlocks = 0;
    for (size_t i = 0; i < blocks.size(); ++i) {
        program.skipIfEqual(__u32(SignallingCalls[i].number), __u8(blocks.size() - i + skipBlocks));
        skipBlocks += blocks[i].code().size();
    }
    program.give(SECCOMP_RET_ALLOW);
    for (Program &block : blocks)
        program.code().insert(program.code().end(), block.code().begin(), block.code().end());
    sock_fprog filter{static_cast<unsigned short>(program.code().size()), program.code().data()};
    prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter);
}
