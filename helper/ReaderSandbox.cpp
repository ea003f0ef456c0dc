#include "helper/ReaderSandbox.h"

#include "platform/Landlock.h"

#include <seccomp.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <linux/capability.h>
#include <linux/landlock.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tessarel {

namespace {

// The rights of later ABIs, which the system's header may not name yet (their values are fixed).
constexpr std::uint64_t kFsRefer = 1ull << 13;    // ABI 2
constexpr std::uint64_t kFsTruncate = 1ull << 14; // ABI 3
constexpr std::uint64_t kFsIoctlDev = 1ull << 15; // ABI 5
constexpr std::uint64_t kNetBindTcp = 1ull << 0;  // ABI 4
constexpr std::uint64_t kNetConnectTcp = 1ull << 1;
constexpr std::uint64_t kScopeAbstractUnixSocket = 1ull << 0; // ABI 6
constexpr std::uint64_t kScopeSignal = 1ull << 1;

// The ruleset as ABI 6 and later know it; an older kernel takes the prefix it knows.
struct RulesetAttributes {
    std::uint64_t handledAccessFs;
    std::uint64_t handledAccessNet;
    std::uint64_t scoped;
};

constexpr std::uint64_t kFsRightsOfAbi1 = (1ull << 13) - 1; // execute .. make symlink

std::uint64_t HandledFsRights(int abi) {
    std::uint64_t rights = kFsRightsOfAbi1;
    if (abi >= 2)
        rights |= kFsRefer;
    if (abi >= 3)
        rights |= kFsTruncate;
    if (abi >= 5)
        rights |= kFsIoctlDev;
    return rights;
}

std::string Failure(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// Grants `rights` beneath `path` (a folder, or the file itself); a path that is not there is
// skipped, since the parsers then can't need it.
bool AddPathRule(int ruleset, const char* path, std::uint64_t rights, bool mustExist, std::string& why) {
    const int fd = ::open(path, O_PATH | O_CLOEXEC);
    if (fd < 0) {
        if (!mustExist && errno == ENOENT)
            return true;
        why = Failure("Landlock: cannot open the path of a rule");
        return false;
    }
    landlock_path_beneath_attr beneath{};
    beneath.allowed_access = rights;
    beneath.parent_fd = fd;
    const long added = ::syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &beneath, 0);
    ::close(fd);
    if (added != 0)
        why = Failure("Landlock: a rule was refused");
    return added == 0;
}

bool RestrictWithLandlock(int abi, const std::string& tempPath, const std::string& recognitionData,
                          std::string& why) {
    RulesetAttributes attributes{};
    attributes.handledAccessFs = HandledFsRights(abi);
    // No rule grants a port: handled, TCP binding and connecting are refused.
    attributes.handledAccessNet = abi >= 4 ? kNetBindTcp | kNetConnectTcp : 0;
    attributes.scoped = abi >= 6 ? kScopeAbstractUnixSocket | kScopeSignal : 0;
    const int ruleset =
        static_cast<int>(::syscall(SYS_landlock_create_ruleset, &attributes, sizeof attributes, 0));
    if (ruleset < 0) {
        why = Failure("Landlock: the ruleset was refused");
        return false;
    }
    const std::uint64_t read = LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_READ_DIR;
    const std::uint64_t temp = (LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_WRITE_FILE | kFsTruncate) &
                               attributes.handledAccessFs;
    bool ok = true;
    for (const char* path : kReaderReadablePaths)
        ok = ok && AddPathRule(ruleset, path, read, false, why);
    // The recognition languages' data, when it lies elsewhere (TESSDATA_PREFIX).
    if (ok && !recognitionData.empty() &&
        std::none_of(std::begin(kReaderReadablePaths), std::end(kReaderReadablePaths), [&](const char* path) {
            return recognitionData.rfind(std::string(path) + "/", 0) == 0;
        }))
        ok = AddPathRule(ruleset, recognitionData.c_str(), read, false, why);
    if (ok && !tempPath.empty())
        ok = AddPathRule(ruleset, tempPath.c_str(), temp, true, why);
    if (ok && ::syscall(SYS_landlock_restrict_self, ruleset, 0) != 0) {
        why = Failure("Landlock: the ruleset could not be applied");
        ok = false;
    }
    ::close(ruleset);
    return ok;
}

// Root's capabilities would reach past the filter (another process's memory through /proc):
// a helper keeps none. Without execve they never come back.
bool DropCapabilities(std::string& why) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capset, &header, none) != 0) {
        why = Failure("cannot drop capabilities");
        return false;
    }
    return ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) == 0 || errno == EINVAL;
}

constexpr int kReadingCalls[] = {
    // Files: the document's descriptor, the temporary file, the parsers' own data (fonts, code pages).
    SCMP_SYS(read), SCMP_SYS(write), SCMP_SYS(readv), SCMP_SYS(writev), SCMP_SYS(pread64), SCMP_SYS(pwrite64),
    SCMP_SYS(lseek), SCMP_SYS(open), SCMP_SYS(openat), SCMP_SYS(close), SCMP_SYS(fstat), SCMP_SYS(stat),
    SCMP_SYS(lstat), SCMP_SYS(newfstatat), SCMP_SYS(statx), SCMP_SYS(access), SCMP_SYS(faccessat),
    SCMP_SYS(faccessat2), SCMP_SYS(readlink), SCMP_SYS(readlinkat), SCMP_SYS(getdents64), SCMP_SYS(getcwd),
    SCMP_SYS(dup), SCMP_SYS(dup2), SCMP_SYS(dup3), SCMP_SYS(ftruncate), SCMP_SYS(fsync), SCMP_SYS(fdatasync),
    SCMP_SYS(fadvise64),
    // Memory.
    SCMP_SYS(brk), SCMP_SYS(mmap), SCMP_SYS(munmap), SCMP_SYS(mremap), SCMP_SYS(mprotect), SCMP_SYS(madvise),
    // The process itself: locks, its own signals, time, its end.
    SCMP_SYS(futex), SCMP_SYS(set_robust_list), SCMP_SYS(get_robust_list), SCMP_SYS(rseq),
    SCMP_SYS(rt_sigreturn), SCMP_SYS(rt_sigprocmask), SCMP_SYS(rt_sigaction), SCMP_SYS(sigaltstack),
    SCMP_SYS(getpid), SCMP_SYS(gettid), SCMP_SYS(getppid), SCMP_SYS(getuid), SCMP_SYS(geteuid),
    SCMP_SYS(getgid), SCMP_SYS(getegid), SCMP_SYS(clock_gettime), SCMP_SYS(clock_getres),
    SCMP_SYS(gettimeofday), SCMP_SYS(clock_nanosleep), SCMP_SYS(nanosleep), SCMP_SYS(getrandom),
    SCMP_SYS(sched_yield), SCMP_SYS(sched_getaffinity), SCMP_SYS(uname), SCMP_SYS(sysinfo),
    SCMP_SYS(getrlimit), SCMP_SYS(exit), SCMP_SYS(exit_group)};

// The descriptor commands that only read or set the descriptor's own state. Asking for a signal
// on it (F_SETOWN, F_SETOWN_EX, F_SETSIG, O_ASYNC) would let the helper signal any process.
constexpr int kDescriptorCommands[] = {F_DUPFD,      F_DUPFD_CLOEXEC, F_GETFD,    F_SETFD,     F_GETFL,
                                       F_GETLK,      F_SETLK,         F_SETLKW,   F_OFD_GETLK, F_OFD_SETLK,
                                       F_OFD_SETLKW, F_GETPIPE_SZ,    F_GET_SEALS};

bool AddRules(scmp_filter_ctx filter) {
    // A call the architecture does not have is simply not added.
    for (const int call : kReadingCalls)
        ::seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0);
    const auto self = static_cast<scmp_datum_t>(::getpid());
    // abort() signals the process itself, and nothing else may be signalled; the comparisons
    // take all 64 bits, so a process id with high bits set is another process, and refused.
    const scmp_arg_cmp toSelf{0, SCMP_CMP_EQ, self, 0};
    const scmp_arg_cmp ownProcess{0, SCMP_CMP_EQ, 0, 0};
    const scmp_arg_cmp requests{0, SCMP_CMP_EQ, STDIN_FILENO, 0};
    bool ok = ::seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(tgkill), 1, toSelf) == 0 &&
              ::seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(kill), 1, toSelf) == 0 &&
              // Limits: the helper's own only (0 names the caller).
              ::seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(prlimit64), 1, toSelf) == 0 &&
              ::seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(prlimit64), 1, ownProcess) == 0 &&
              // Requests and their documents' descriptors arrive on standard input.
              ::seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(recvmsg), 1, requests) == 0;
    for (const int command : kDescriptorCommands) {
        const scmp_arg_cmp is{1, SCMP_CMP_EQ, static_cast<scmp_datum_t>(command), 0};
        ok = ok && ::seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(fcntl), 1, is) == 0;
    }
    const scmp_arg_cmp setFlags{1, SCMP_CMP_EQ, F_SETFL, 0};
    const scmp_arg_cmp withoutAsync{2, SCMP_CMP_MASKED_EQ, O_ASYNC, 0};
    return ok && ::seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(fcntl), 2, setFlags, withoutAsync) == 0;
}

bool InstallFilter(std::string& why) {
    scmp_filter_ctx filter = ::seccomp_init(SCMP_ACT_ERRNO(EPERM));
    if (!filter) {
        why = "the system-call filter could not be made";
        return false;
    }
    const bool made = AddRules(filter);
    const int loaded = made ? ::seccomp_load(filter) : 0;
    ::seccomp_release(filter);
    if (!made)
        why = "the system-call filter's rules were refused";
    else if (loaded != 0)
        why = std::string("the system-call filter was refused: ") + std::strerror(-loaded);
    return made && loaded == 0;
}

} // namespace

ReaderSandboxOutcome InstallReaderSandbox(const std::string& tempPath, const std::string& recognitionData) {
    ReaderSandboxOutcome outcome;
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        outcome.why = Failure("no new privileges refused");
        return outcome;
    }
    // A kernel without Landlock leaves the filter alone; a Landlock that refuses its rules
    // leaves the helper unread, as a refused filter does.
    outcome.landlockAbi = LandlockAbi();
    if (outcome.landlockAbi > 0 && !RestrictWithLandlock(outcome.landlockAbi, tempPath, recognitionData, outcome.why))
        return outcome;
    if (!DropCapabilities(outcome.why) || !InstallFilter(outcome.why))
        return outcome;
    outcome.installed = true;
    return outcome;
}

} // namespace tessarel
