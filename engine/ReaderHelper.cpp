#include "engine/ReaderHelper.h"

#include "platform/Landlock.h"
#include "platform/Text.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <string_view>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
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

// An open descriptor closed with its scope.
struct OwnedFd {
    int fd = -1;
    ~OwnedFd() { CloseFd(fd); }
};

// The helper's error output is the parsers' messages: shown as log lines of the document, never
// as bytes for a terminal (a hostile helper could send escape sequences).
std::u16string ErrorLine(std::string_view bytes) {
    std::string clean(bytes);
    for (char& c : clean)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return u"Reader: " + FromUtf8(clean);
}

// Runs that have helpers without Landlock, and whether the program was dumpable before the first.
std::mutex nonDumpableMutex;
int nonDumpableRuns = 0;
int dumpableBefore = 1;

void HoldNonDumpable() {
    std::lock_guard lock(nonDumpableMutex);
    if (nonDumpableRuns++ == 0) {
        dumpableBefore = ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0);
        ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    }
}

void ReleaseNonDumpable() {
    std::lock_guard lock(nonDumpableMutex);
    if (--nonDumpableRuns == 0 && dumpableBefore > 0)
        ::prctl(PR_SET_DUMPABLE, dumpableBefore, 0, 0, 0);
}

} // namespace

ReaderRun::ReaderRun() : landlockAbi_(LandlockAbi()) {
    // Without Landlock a helper under its filter alone could still open the program's memory
    // through /proc; a non-dumpable process's entries are out of its reach.
    if (!landlock())
        HoldNonDumpable();
}

ReaderRun::~ReaderRun() {
    if (!landlock())
        ReleaseNonDumpable();
}

ReaderHelper::ReaderHelper(std::string executable, std::string contentsPath, ReaderLimits limits,
                           ReaderRun* run)
    : executable_(std::move(executable)), contentsPath_(std::move(contentsPath)), limits_(limits), run_(run) {
}

ReaderHelper::~ReaderHelper() {
    end();
}

bool ReaderHelper::runnable(const std::string& path) {
    return IsExecutable(path);
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
    int errors[2];
    // Requests go through a socket so that writing to a helper that died fails instead of
    // raising SIGPIPE in the program, and so that they can carry the documents' descriptors.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, request) != 0)
        return false;
    if (::pipe2(reply, O_CLOEXEC) != 0) {
        ::close(request[0]);
        ::close(request[1]);
        return false;
    }
    if (::pipe2(errors, O_CLOEXEC) != 0) {
        for (int fd : {request[0], request[1], reply[0], reply[1]})
            ::close(fd);
        return false;
    }
    ::fcntl(reply[0], F_SETPIPE_SZ, kReplyPipeBytes);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, request[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, reply[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
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
    // The recognition engine's parallel runtime reads its limit as it loads, before the helper's
    // code runs: one thread each, since the reading run's parallelism is its several helpers
    // (and the sandbox starts no threads).
    std::vector<char*> environment;
    for (char** variable = environ; *variable; ++variable)
        if (std::string_view(*variable).rfind("OMP_THREAD_LIMIT=", 0) != 0)
            environment.push_back(*variable);
    static char kOneThread[] = "OMP_THREAD_LIMIT=1";
    environment.push_back(kOneThread);
    environment.push_back(nullptr);
    pid_t pid = -1;
    const int spawned =
        posix_spawn(&pid, executable_.c_str(), &actions, &attributes, argv.data(), environment.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(request[1]);
    ::close(reply[1]);
    ::close(errors[1]);
    if (spawned != 0) {
        ::close(request[0]);
        ::close(reply[0]);
        ::close(errors[0]);
        return false;
    }
    pid_ = pid;
    ready_ = false;
    requestFd_ = request[0];
    replyFd_ = reply[0];
    errorFd_ = errors[0];
    for (int fd : {replyFd_, errorFd_})
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    return true;
}

void ReaderHelper::readErrors() {
    char bytes[4096];
    while (errorFd_ >= 0) {
        const ssize_t n = ::read(errorFd_, bytes, sizeof bytes);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            CloseFd(errorFd_); // the helper closed it: nothing more will come
        if (n <= 0)
            return;
        // Beyond the bound the output is still drained, so the helper never blocks on it.
        errors_.append(bytes, std::min(static_cast<std::size_t>(n),
                                       kMaxErrorBytes - std::min(kMaxErrorBytes, errors_.size())));
    }
}

void ReaderHelper::takeErrors(std::vector<std::u16string>& lines) {
    std::string_view rest = errors_;
    while (!rest.empty() && lines.size() < protocol::kMaxLogLines) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.remove_suffix(1);
        if (!line.empty())
            lines.push_back(ErrorLine(line));
    }
    errors_.clear();
}

void ReaderHelper::reap(std::chrono::milliseconds grace) {
    CloseFd(requestFd_);
    CloseFd(replyFd_);
    if (pid_ > 0) {
        // A helper that said it ends gets a moment to do so; then it is killed, so no wait on it
        // is without end.
        const auto deadline = std::chrono::steady_clock::now() + grace;
        pid_t reaped = 0;
        while ((reaped = ::waitpid(pid_, &status_, WNOHANG)) == 0 &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (reaped == 0) {
            ::kill(pid_, SIGKILL);
            while (::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
            }
        }
    }
    readErrors();
    CloseFd(errorFd_);
    pid_ = -1;
    ready_ = false;
    // A helper that ended may have left half a document in its file.
    if (!tempPath_.empty())
        ::unlink(tempPath_.c_str());
    tempPath_.clear();
}

void ReaderHelper::end() {
    if (pid_ > 0)
        ::kill(pid_, SIGKILL);
    reap(std::chrono::milliseconds(0));
}

std::string ReaderHelper::endedWhy() const {
    if (WIFSIGNALED(status_))
        return "killed by signal " + std::to_string(WTERMSIG(status_));
    return "exited with status " + std::to_string(WEXITSTATUS(status_));
}

ReaderHelper::Wait ReaderHelper::awaitReply(Deadline& deadline, int stopFd, std::string& why,
                                            const std::function<void(int, int)>& onPage) {
    reader_.reset();
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline.at - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            why = "time limit";
            return Wait::Failed;
        }
        pollfd fds[3] = {{replyFd_, POLLIN, 0}, {errorFd_, POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int ready =
            ::poll(fds, stopFd >= 0 ? 3 : 2, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR) {
            why = "the reader could not be watched";
            return Wait::Failed;
        }
        if (stopFd >= 0 && (fds[2].revents & POLLIN))
            return Wait::Stopped;
        if (ready <= 0)
            continue;
        if (fds[1].revents != 0)
            readErrors();
        if (fds[0].revents == 0)
            continue;
        switch (reader_.readAvailable(replyFd_)) {
        case protocol::ReplyReader::State::NeedMore:
            continue;
        case protocol::ReplyReader::State::Complete:
            // A page recognised is a sign of life: the next one gets its own budget.
            if (ready_ && deadline.renewal.count() > 0 && reader_.peekStatus() == ReadReply::Progress) {
                const ReadReply progress = reader_.take();
                if (onPage)
                    onPage(static_cast<int>(progress.pagesDone), static_cast<int>(progress.pages));
                deadline.at = std::min(deadline.cap, std::chrono::steady_clock::now() + deadline.renewal);
                reader_.reset();
                continue;
            }
            // What the helper wrote on its error output before the reply is in the pipe now.
            readErrors();
            return Wait::Reply;
        case protocol::ReplyReader::State::Malformed:
            why = "malformed reply";
            return Wait::Failed;
        case protocol::ReplyReader::State::Closed:
            return Wait::Closed;
        }
    }
}

ReaderHelper::Outcome ReaderHelper::exchange(int documentFd, const ReadRequest& request, ReadReply& reply,
                                             int stopFd, std::string& why,
                                             const std::function<void(int, int)>& onPage) {
    const auto now = std::chrono::steady_clock::now();
    Deadline deadline{now + limits_.time, now + limits_.time, {}};
    if (request.recognition.on) {
        deadline.renewal = limits_.time + request.recognition.pageBudget;
        deadline.at = now + deadline.renewal;
        deadline.cap = now + limits_.time + request.recognition.documentBudget;
    }
    Wait wait = protocol::WriteRequest(requestFd_, request, documentFd) ? Wait::Reply : Wait::Closed;
    if (!ready_) {
        // The helper's first frame says its sandbox is in place: one that ends before it could
        // not start, whatever the document.
        if (wait == Wait::Reply)
            wait = awaitReply(deadline, stopFd, why);
        if (wait == Wait::Reply && reader_.take().status != ReadReply::Ready) {
            wait = Wait::Failed;
            why = "malformed reply";
        }
        if (wait == Wait::Stopped) {
            end();
            return Outcome::Stopped;
        }
        if (wait != Wait::Reply) {
            if (wait == Wait::Closed)
                reap(kEndingTime); // its exit status says why
            else
                end();
            why = "the reader could not start (" + (wait == Wait::Closed ? endedWhy() : why) + ")";
            if (run_ && run_->helperFailedToStart())
                why += "; no reader is started again in this reading run";
            return Outcome::Failed;
        }
        ready_ = true;
        if (run_)
            run_->helperReady();
        wait = awaitReply(deadline, stopFd, why, onPage);
    } else if (wait == Wait::Reply) {
        wait = awaitReply(deadline, stopFd, why, onPage);
    } else {
        why = "the reader ended";
        wait = Wait::Failed;
    }
    switch (wait) {
    case Wait::Stopped:
        end();
        return Outcome::Stopped;
    case Wait::Closed:
        why = "the reader crashed";
        end();
        return Outcome::Failed;
    case Wait::Failed:
        end();
        return Outcome::Failed;
    case Wait::Reply:
        break;
    }
    reply = reader_.take();
    if (reply.status == ReadReply::OutOfMemory) {
        reap(kEndingTime); // it ends itself after running out of memory
        why = "memory limit";
        return Outcome::Failed;
    }
    // Unread is an answer too: the helper could not open or read the file this time.
    if (reply.status != ReadReply::Read && reply.status != ReadReply::Unread) {
        end();
        why = "malformed reply";
        return Outcome::Failed;
    }
    return Outcome::Read;
}

ReaderHelper::Outcome ReaderHelper::read(const FileRecord& record, ReadReply& reply, int stopFd,
                                         std::string& why, const RecognitionSettings& recognition,
                                         const std::function<void(int, int)>& onPage) {
    reply = ReadReply{};
    Outcome outcome = Outcome::Failed;
    try {
        if (pid_ < 0 && run_ && !run_->startsAllowed())
            return Outcome::NotStarted;
        if (pid_ < 0 && !spawn()) {
            why = "the reader could not be started";
            return Outcome::Failed;
        }
        // The helper can't open the user's files: the document goes over as a descriptor. One
        // that can't be opened here has the empty text, as a reader would give it.
        OwnedFd document{::open(record.fileName().c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)};
        struct stat st;
        if (document.fd < 0 || ::fstat(document.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            // Not the file's answer but the moment's (no descriptor left, say): never kept.
            reply.status = ReadReply::Unread;
            return Outcome::Read;
        }
        ReadRequest request;
        request.path = record.fileName();
        request.extension = record.extension;
        request.size = record.size;
        request.recognition = recognition;
        outcome = exchange(document.fd, request, reply, stopFd, why, onPage);
    } catch (const std::exception& e) {
        // Out of memory for a reply, say: the helper is out of step with this end, so it goes.
        end();
        reply = ReadReply{};
        why = std::string("the reply could not be taken (") + e.what() + ")";
        outcome = Outcome::Failed;
    }
    takeErrors(reply.logLines);
    return outcome;
}

} // namespace tessarel
