#include "helper/ReaderSandbox.h"

#include <seccomp.h>
#include <unistd.h>

#include <cerrno>

namespace tessarel {

namespace {

constexpr int kReadingCalls[] = {
    // Files: the document, the temporary file, the parsers' own data (fonts, code pages).
    SCMP_SYS(read), SCMP_SYS(write), SCMP_SYS(readv), SCMP_SYS(writev), SCMP_SYS(pread64), SCMP_SYS(pwrite64),
    SCMP_SYS(lseek), SCMP_SYS(open), SCMP_SYS(openat), SCMP_SYS(close), SCMP_SYS(fstat), SCMP_SYS(stat),
    SCMP_SYS(lstat), SCMP_SYS(newfstatat), SCMP_SYS(statx), SCMP_SYS(access), SCMP_SYS(faccessat),
    SCMP_SYS(faccessat2), SCMP_SYS(readlink), SCMP_SYS(readlinkat), SCMP_SYS(getdents64), SCMP_SYS(getcwd),
    SCMP_SYS(fcntl), SCMP_SYS(dup), SCMP_SYS(dup2), SCMP_SYS(dup3), SCMP_SYS(ftruncate), SCMP_SYS(fsync),
    SCMP_SYS(fdatasync), SCMP_SYS(fadvise64),
    // Memory.
    SCMP_SYS(brk), SCMP_SYS(mmap), SCMP_SYS(munmap), SCMP_SYS(mremap), SCMP_SYS(mprotect), SCMP_SYS(madvise),
    // The process itself: locks, its own signals, time, its end.
    SCMP_SYS(futex), SCMP_SYS(set_robust_list), SCMP_SYS(get_robust_list), SCMP_SYS(rseq),
    SCMP_SYS(rt_sigreturn), SCMP_SYS(rt_sigprocmask), SCMP_SYS(rt_sigaction), SCMP_SYS(sigaltstack),
    SCMP_SYS(getpid), SCMP_SYS(gettid), SCMP_SYS(getppid), SCMP_SYS(getuid), SCMP_SYS(geteuid),
    SCMP_SYS(getgid), SCMP_SYS(getegid), SCMP_SYS(clock_gettime), SCMP_SYS(clock_getres),
    SCMP_SYS(gettimeofday), SCMP_SYS(clock_nanosleep), SCMP_SYS(nanosleep), SCMP_SYS(getrandom),
    SCMP_SYS(sched_yield), SCMP_SYS(sched_getaffinity), SCMP_SYS(uname), SCMP_SYS(sysinfo),
    SCMP_SYS(prlimit64), SCMP_SYS(getrlimit), SCMP_SYS(exit), SCMP_SYS(exit_group)};

} // namespace

bool InstallReaderSandbox() {
    scmp_filter_ctx filter = ::seccomp_init(SCMP_ACT_ERRNO(EPERM));
    if (!filter)
        return false;
    // A call the architecture does not have is simply not added.
    for (const int call : kReadingCalls)
        ::seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0);
    // abort() signals the process itself, and nothing else may be signalled.
    const scmp_arg_cmp toSelf{0, SCMP_CMP_EQ, static_cast<scmp_datum_t>(::getpid()), 0};
    bool ok = ::seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(tgkill), 1, toSelf) == 0 &&
              ::seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(kill), 1, toSelf) == 0;
    ok = ok && ::seccomp_load(filter) == 0;
    ::seccomp_release(filter);
    return ok;
}

} // namespace tessarel
