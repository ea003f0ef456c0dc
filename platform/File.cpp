#include "platform/File.h"

#include <fcntl.h>
#include <unistd.h>

namespace tessarel {
namespace {

// A stream that owns `fd` (closed also when no stream could be made); null for -1.
UniqueFile StreamOver(int fd, const char* mode) {
    if (fd < 0)
        return nullptr;
    UniqueFile f(::fdopen(fd, mode));
    if (!f)
        ::close(fd);
    return f;
}

} // namespace

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
    return StreamOver(ReopenDescriptor(fd), "rb");
}

UniqueFile CreateForWriting(const std::string& path) {
    return StreamOver(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600),
                      "wb");
}

} // namespace tessarel
