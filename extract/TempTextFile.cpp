#include "extract/TempTextFile.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessarel {

TempTextFile::~TempTextFile() {
    release();
}

void TempTextFile::release() {
    if (fd_ >= 0) {
        if (ownName_)
            ::unlink(path_.c_str());
        ::close(fd_);
    }
    fd_ = -1;
    ownName_ = false;
    path_.clear();
}

const std::string& TempTextFile::acquire(const std::string& contentsPath) {
    release();
    const std::string shared = contentsPath + "wts.txt";
    // Private to the user, and never a link planted to make the readers write elsewhere.
    int fd = ::open(shared.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fchmod(fd, 0600) == 0) {
        fd_ = fd;
        path_ = shared;
        return path_;
    }
    if (fd >= 0)
        ::close(fd);
    // Another process is reading with the shared file: use a name of this process's own.
    const std::string own = contentsPath + "wts-" + std::to_string(::getpid()) + ".txt";
    fd = ::open(own.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 && ::fchmod(fd, 0600) == 0) {
        fd_ = fd;
        path_ = own;
        ownName_ = true;
    }
    return path_;
}

void TempTextFile::truncate() const {
    if (!path_.empty())
        TruncateFile(path_);
}

namespace {

// The process id in a per-process temporary file's name, or 0 for any other name.
pid_t OwnerOf(std::string_view name) {
    if (!name.starts_with("wts-") || !name.ends_with(".txt"))
        return 0;
    name = name.substr(4, name.size() - 8);
    const std::size_t dash = name.find('-');
    const std::string_view pid = name.substr(0, dash);
    const std::string_view number =
        dash == std::string_view::npos ? std::string_view() : name.substr(dash + 1);
    const auto digits = [](std::string_view s) {
        return !s.empty() && s.size() < 10 &&
               std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!digits(pid) || (dash != std::string_view::npos && !digits(number)))
        return 0;
    return static_cast<pid_t>(std::stol(std::string(pid)));
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

} // namespace

void SweepTemporaryFiles(const std::string& contentsPath) {
    std::unique_ptr<DIR, DirCloser> folder(::opendir(contentsPath.c_str()));
    if (!folder)
        return;
    while (const dirent* entry = ::readdir(folder.get())) {
        const pid_t owner = OwnerOf(entry->d_name);
        // A process that is there (this one, another Tessarel, or one that took a dead one's
        // number) keeps its files.
        if (owner > 0 && ::kill(owner, 0) != 0 && errno == ESRCH)
            ::unlinkat(::dirfd(folder.get()), entry->d_name, 0);
    }
}

bool TruncateFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace tessarel
