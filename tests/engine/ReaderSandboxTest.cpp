// The reader helper's system-call filter: reading and writing files, memory and its own signals
// still work; programs, processes, sockets and signals to others do not.

#include "helper/ReaderSandbox.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tessarel {
namespace {

// Runs in a child with the sandbox on; its exit status names the first check that failed. The
// document is opened before, as the reading run hands it over; `scratch` is the temporary file.
int ChecksUnderTheFilter(const std::string& document, const std::string& scratch) {
    const int in = ::open(document.c_str(), O_RDONLY | O_CLOEXEC);
    ::close(::open(scratch.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!InstallReaderSandbox(scratch).installed)
        return 10;
    char bytes[16];
    if (in < 0 || ::read(in, bytes, sizeof bytes) <= 0)
        return 11;
    ::close(in);
    // The parsers' own data stays readable.
    if (::access("/usr/share", R_OK) != 0 || ::open("/etc/passwd", O_RDONLY | O_CLOEXEC) < 0)
        return 20;
    const int out = ::open(scratch.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out < 0 || ::write(out, bytes, sizeof bytes) != sizeof bytes || ::ftruncate(out, 0) != 0)
        return 12;
    ::close(out);
    void* memory = ::mmap(nullptr, 1 << 20, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED || ::munmap(memory, 1 << 20) != 0)
        return 13;
    if (::socket(AF_UNIX, SOCK_STREAM, 0) != -1 || errno != EPERM)
        return 14;
    if (::socket(AF_INET, SOCK_STREAM, 0) != -1 || errno != EPERM)
        return 15;
    char* const argv[] = {const_cast<char*>("/bin/true"), nullptr};
    if (::execv("/bin/true", argv) != -1 || errno != EPERM)
        return 16;
    if (::fork() != -1 || errno != EPERM)
        return 17;
    if (::kill(::getppid(), 0) != -1 || errno != EPERM)
        return 18;
    if (::kill(::getpid(), 0) != 0)
        return 19;
    return 0;
}

TEST(ReaderSandbox, LeavesReadingAndTakesTheRest) {
    const std::string document = std::string(TESSAREL_TEST_DATA) + "/corpus/txt/cp1251.txt";
    const std::string scratch = ::testing::TempDir() + "reader-sandbox-" + std::to_string(::getpid());
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(ChecksUnderTheFilter(document, scratch));
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::unlink(scratch.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(ReaderSandbox, AbortStillEndsTheProcessWithItsSignal) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (!InstallReaderSandbox({}).installed)
            ::_exit(10);
        std::abort();
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGABRT);
}

} // namespace
} // namespace tessarel
