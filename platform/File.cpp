#include "platform/File.h"

#include <fcntl.h>
#include <unistd.h>

namespace tessarel {

int ReopenDescriptor(int fd) {
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own >= 0 && ::lseek(own, 0, SEEK_SET) != 0) {
        ::close(own);
        return -1;
    }
    return own;
}

UniqueFile OpenForReading(const std::string& path, int fd) {
    if (fd < 0)
        return UniqueFile(std::fopen(path.c_str(), "rb"));
    const int own = ReopenDescriptor(fd);
    if (own < 0)
        return nullptr;
    UniqueFile f(::fdopen(own, "rb"));
    if (!f)
        ::close(own);
    return f;
}

UniqueFile CreateForWriting(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return nullptr;
    UniqueFile f(::fdopen(fd, "wb"));
    if (!f)
        ::close(fd);
    return f;
}

} // namespace tessarel
