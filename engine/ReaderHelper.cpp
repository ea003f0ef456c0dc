#include "engine/ReaderHelper.h"

#include "platform/Text.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace tessarel {
namespace {

constexpr const char* kExecutableName = "tessarel-reader";
// A reply pipe this large lets a helper hand over a text at memory speed, in few wake-ups.
constexpr int kReplyPipeBytes = 1 << 20;

std::atomic<unsigned> nextHelperNumber{0};

bool IsExecutable(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

void CloseFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

ReaderHelper::ReaderHelper(std::string executable, std::string contentsPath, ReaderLimits limits)
    : executable_(std::move(executable)), contentsPath_(std::move(contentsPath)), limits_(limits) {}

ReaderHelper::~ReaderHelper() {
    end();
}

std::string ReaderHelper::locate() {
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        std::string folder(self, static_cast<std::size_t>(n));
        folder.erase(folder.rfind('/') + 1);
        if (IsExecutable(folder + kExecutableName))
            return folder + kExecutableName;
    }
#ifdef TESSAREL_BUILD_HELPER
    // A program run from the build tree, where the helper has a folder of its own.
    if (IsExecutable(TESSAREL_BUILD_HELPER))
        return TESSAREL_BUILD_HELPER;
#endif
    return {};
}

bool ReaderHelper::spawn() {
    if (!contentsPath_.empty() && tempPath_.empty()) {
        const std::string path = contentsPath_ + "wts-" + std::to_string(::getpid()) + "-" +
                                 std::to_string(nextHelperNumber.fetch_add(1)) + ".txt";
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            tempPath_ = path;
        }
    }
    int request[2];
    int reply[2];
    // Requests go through a socket so that writing to a helper that died fails instead of
    // raising SIGPIPE in the program.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, request) != 0)
        return false;
    if (::pipe2(reply, O_CLOEXEC) != 0) {
        ::close(request[0]);
        ::close(request[1]);
        return false;
    }
    ::fcntl(reply[0], F_SETPIPE_SZ, kReplyPipeBytes);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, request[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, reply[1], STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    const std::string parent = std::to_string(::getpid());
    const std::string memory = std::to_string(limits_.memoryBytes);
    std::vector<char*> argv{const_cast<char*>(executable_.c_str()), const_cast<char*>(parent.c_str()),
                            const_cast<char*>(tempPath_.c_str()),   const_cast<char*>(contentsPath_.c_str()),
                            const_cast<char*>(memory.c_str()),      nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, executable_.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(request[1]);
    ::close(reply[1]);
    if (spawned != 0) {
        ::close(request[0]);
        ::close(reply[0]);
        return false;
    }
    pid_ = pid;
    requestFd_ = request[0];
    replyFd_ = reply[0];
    ::fcntl(replyFd_, F_SETFL, ::fcntl(replyFd_, F_GETFL) | O_NONBLOCK);
    return true;
}

void ReaderHelper::reap() {
    CloseFd(requestFd_);
    CloseFd(replyFd_);
    if (pid_ > 0)
        while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
    pid_ = -1;
    // A helper that ended may have left half a document in its file.
    if (!tempPath_.empty())
        ::unlink(tempPath_.c_str());
    tempPath_.clear();
}

void ReaderHelper::end() {
    if (pid_ > 0)
        ::kill(pid_, SIGKILL);
    reap();
}

ReaderHelper::Outcome ReaderHelper::read(const FileRecord& record, ReadReply& reply, int stopFd,
                                         std::string& why) {
    if (pid_ < 0 && !spawn()) {
        why = "the reader could not be started";
        return Outcome::Failed;
    }
    ReadRequest request;
    request.path = record.fileName();
    request.extension = record.extension;
    request.size = record.size;
    if (!protocol::WriteRequest(requestFd_, request)) {
        end();
        why = "the reader ended";
        return Outcome::Failed;
    }
    reader_.reset();
    const auto deadline = std::chrono::steady_clock::now() + limits_.time;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            end();
            why = "time limit";
            return Outcome::Failed;
        }
        pollfd fds[2] = {{replyFd_, POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int ready =
            ::poll(fds, stopFd >= 0 ? 2 : 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR) {
            end();
            why = "the reader could not be watched";
            return Outcome::Failed;
        }
        if (stopFd >= 0 && (fds[1].revents & POLLIN)) {
            end();
            return Outcome::Stopped;
        }
        if (ready <= 0 || fds[0].revents == 0)
            continue;
        switch (reader_.readAvailable(replyFd_)) {
        case protocol::ReplyReader::State::NeedMore:
            continue;
        case protocol::ReplyReader::State::Complete:
            reply = reader_.take();
            if (reply.status == ReadReply::OutOfMemory) {
                reap(); // it ends itself after running out of memory
                why = "memory limit";
                return Outcome::Failed;
            }
            return Outcome::Read;
        case protocol::ReplyReader::State::Malformed:
            end();
            why = "malformed reply";
            return Outcome::Failed;
        case protocol::ReplyReader::State::Closed:
            end();
            why = "the reader crashed";
            return Outcome::Failed;
        }
    }
}

} // namespace tessarel
