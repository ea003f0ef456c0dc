#include "extract/TempTextFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessarel {

TempTextFile::~TempTextFile() { release(); }

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

bool TruncateFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace tessarel
