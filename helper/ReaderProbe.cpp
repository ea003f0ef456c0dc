#include "helper/ReaderProbe.h"

#include "platform/Text.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

namespace tessarel {
namespace {

// Each attempt says whether it got through.
struct Attempt {
    const char* name;
    bool (*tryIt)(const std::string& home, pid_t victim);
};

bool WroteThrough(int fd) {
    if (fd < 0)
        return false;
    const bool wrote = ::write(fd, "probe", 5) > 0;
    ::close(fd);
    return wrote;
}

std::string Parent(const char* entry) {
    return "/proc/" + std::to_string(::getppid()) + "/" + entry;
}

bool OpenedAsync(int fd, pid_t victim) {
    if (fd < 0)
        return false;
    const bool through = ::fcntl(fd, F_SETOWN, victim) == 0 || ::fcntl(fd, F_SETSIG, SIGTERM) == 0 ||
                         ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_ASYNC) == 0;
    return through;
}

const Attempt kAttempts[] = {
    {"write a file outside the temporary file",
     [](const std::string& home, pid_t) {
         return WroteThrough(::open((home + "/victim.txt").c_str(), O_WRONLY));
     }},
    {"truncate a file by descriptor",
     [](const std::string& home, pid_t) {
         return ::open((home + "/victim.txt").c_str(), O_WRONLY | O_TRUNC) >= 0;
     }},
    {"truncate a file by name",
     [](const std::string& home, pid_t) { return ::truncate((home + "/victim.txt").c_str(), 0) == 0; }},
    {"append to a file",
     [](const std::string& home, pid_t) {
         return WroteThrough(::open((home + "/.bashrc").c_str(), O_WRONLY | O_APPEND));
     }},
    {"create a file",
     [](const std::string& home, pid_t) {
         return ::open((home + "/created").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0755) >= 0;
     }},
    {"read a secret in the home folder",
     [](const std::string& home, pid_t) {
         char bytes[8];
         const int fd = ::open((home + "/.ssh/id_ed25519").c_str(), O_RDONLY);
         return fd >= 0 && ::read(fd, bytes, sizeof bytes) > 0;
     }},
    {"open the parent's memory",
     [](const std::string&, pid_t) { return ::open(Parent("mem").c_str(), O_RDWR) >= 0; }},
    {"read the parent's memory",
     [](const std::string&, pid_t) { return ::open(Parent("mem").c_str(), O_RDONLY) >= 0; }},
    {"reopen the parent's descriptors",
     [](const std::string&, pid_t) { return ::open((Parent("fd") + "/0").c_str(), O_RDONLY) >= 0; }},
    {"list the parent's descriptors",
     [](const std::string&, pid_t) { return ::open(Parent("fd").c_str(), O_RDONLY | O_DIRECTORY) >= 0; }},
    {"open a Unix socket", [](const std::string&, pid_t) { return ::socket(AF_UNIX, SOCK_STREAM, 0) >= 0; }},
    {"open a TCP socket", [](const std::string&, pid_t) { return ::socket(AF_INET, SOCK_STREAM, 0) >= 0; }},
    {"trace another process",
     [](const std::string&, pid_t victim) { return ::ptrace(PTRACE_ATTACH, victim, nullptr, nullptr) == 0; }},
    {"trace the parent",
     [](const std::string&, pid_t) { return ::ptrace(PTRACE_ATTACH, ::getppid(), nullptr, nullptr) == 0; }},
    {"limit another process",
     [](const std::string&, pid_t victim) {
         const rlimit one{1, 1};
         return ::syscall(SYS_prlimit64, victim, RLIMIT_NOFILE, &one, nullptr) == 0;
     }},
    {"limit another process under a widened id",
     [](const std::string&, pid_t victim) {
         const rlimit one{1, 1};
         return ::syscall(SYS_prlimit64, (1L << 32) | victim, RLIMIT_NOFILE, &one, nullptr) == 0;
     }},
    {"ask for signals to another process on the reply channel",
     [](const std::string&, pid_t victim) { return OpenedAsync(STDOUT_FILENO, victim); }},
    {"ask for signals on the reopened reply channel",
     [](const std::string&, pid_t victim) { return OpenedAsync(::open("/proc/self/fd/1", O_RDWR), victim); }},
    {"ask for signals through F_SETOWN_EX",
     [](const std::string&, pid_t victim) {
         const f_owner_ex owner{F_OWNER_PID, victim};
         return ::fcntl(STDOUT_FILENO, F_SETOWN_EX, &owner) == 0;
     }},
    {"signal another process", [](const std::string&, pid_t victim) { return ::kill(victim, SIGTERM) == 0; }},
    {"signal the parent", [](const std::string&, pid_t) { return ::kill(::getppid(), 0) == 0; }},
    {"signal another process's thread",
     [](const std::string&, pid_t victim) { return ::syscall(SYS_tgkill, victim, victim, SIGTERM) == 0; }},
    {"write another process's memory",
     [](const std::string&, pid_t victim) {
         char byte = 0;
         iovec local{&byte, 1};
         iovec remote{reinterpret_cast<void*>(0x400000), 1};
         return ::process_vm_writev(victim, &local, 1, &remote, 1, 0) >= 0;
     }},
    {"start a program",
     [](const std::string&, pid_t) {
         char* const argv[] = {const_cast<char*>("/bin/true"), nullptr};
         return ::execv("/bin/true", argv) == 0;
     }},
    {"start a process",
     [](const std::string&, pid_t) {
         const long child = ::syscall(SYS_fork);
         if (child == 0)
             ::_exit(0);
         return child > 0;
     }},
    {"remove a file",
     [](const std::string& home, pid_t) { return ::unlink((home + "/victim.txt").c_str()) == 0; }},
};

} // namespace

ReaderProbe ReaderProbe::fromEnvironment() {
    ReaderProbe probe;
    const char* home = std::getenv("TESSAREL_READER_PROBE");
    const char* victim = std::getenv("TESSAREL_READER_PROBE_PID");
    if (home && *home && victim && *victim) {
        probe.home_ = home;
        probe.victim_ = static_cast<pid_t>(std::atoi(victim));
    }
    return probe;
}

void ReaderProbe::run(const std::string& tempPath, std::vector<std::u16string>& lines) {
    if (!enabled() || done_)
        return;
    done_ = true;
    for (const Attempt& attempt : kAttempts)
        lines.push_back((attempt.tryIt(home_, victim_) ? u"got through: " : u"held: ") +
                        FromUtf8(attempt.name));
    // What the helper must still do, or the attempts held for the wrong reason.
    const bool wrote = WroteThrough(::open(tempPath.c_str(), O_WRONLY | O_TRUNC));
    lines.push_back((wrote ? u"allowed: " : u"refused: ") + std::u16string(u"write the temporary file"));
}

} // namespace tessarel
