#include "installer/InstallFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <utility>

namespace tessarel {
namespace {

// An open descriptor, closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    Descriptor(Descriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    bool valid() const { return fd_ >= 0; }
    // Closes now, so a failing close (a full disk may only show there) can be seen.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

// The pieces of a path relative to D; nothing when one of them could lead out of D.
std::optional<QStringList> Components(const QString& relative) {
    const QStringList parts = relative.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty() || relative.startsWith(QLatin1Char('/')))
        return std::nullopt;
    for (const QString& part : parts)
        if (part == QLatin1String(".") || part == QLatin1String(".."))
            return std::nullopt;
    return parts;
}

Descriptor OpenFolder(const QString& path) {
    return Descriptor(::open(Native(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// Opens root/folders..., each a real folder and not a link; makes missing ones when asked.
// errno tells why it failed (ELOOP or ENOTDIR for a link, ENOENT for a missing folder).
Descriptor OpenBeneath(const QString& root, const QStringList& folders, bool make) {
    Descriptor current = OpenFolder(root);
    for (const QString& folder : folders) {
        if (!current.valid())
            break;
        const QByteArray name = Native(folder);
        if (make && ::mkdirat(current.get(), name.constData(), 0755) != 0 && errno != EEXIST)
            return Descriptor();
        current = Descriptor(
            ::openat(current.get(), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    return current;
}

bool WriteAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

// Writes the new file under a temporary name beside the old one and renames it over the old one:
// until the rename the old file is whole, and a program running from it keeps its own copy.
bool WriteReplacing(int folder, const QString& name, mode_t mode, const std::function<bool(int)>& fill) {
    const QByteArray target = Native(name);
    struct stat existing {};
    if (::fstatat(folder, target.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
        !S_ISREG(existing.st_mode))
        return false;
    QByteArray temporary;
    Descriptor file;
    for (int attempt = 0; attempt < 100 && !file.valid(); ++attempt) {
        temporary = "." + target + ".new-" + QByteArray::number(QRandomGenerator::global()->generate(), 16);
        file = Descriptor(::openat(folder, temporary.constData(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!file.valid() && errno != EEXIST)
            return false;
    }
    bool written =
        file.valid() && fill(file.get()) && ::fchmod(file.get(), mode) == 0 && ::fsync(file.get()) == 0;
    written = file.close() && written;
    if (written && ::renameat(folder, temporary.constData(), folder, target.constData()) == 0)
        return true;
    ::unlinkat(folder, temporary.constData(), 0);
    return false;
}

bool WriteBytes(int fd, const QByteArray& bytes) {
    return WriteAll(fd, bytes.constData(), bytes.size());
}

RemoveResult RemoveAt(int folder, const QString& name, bool isFolder) {
    const QByteArray native = Native(name);
    struct stat status {};
    if (::fstatat(folder, native.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? RemoveResult::Absent : RemoveResult::Failed;
    if (isFolder != S_ISDIR(status.st_mode))
        return RemoveResult::Failed;
    if (::unlinkat(folder, native.constData(), isFolder ? AT_REMOVEDIR : 0) == 0)
        return RemoveResult::Removed;
    if (isFolder && (errno == ENOTEMPTY || errno == EEXIST))
        return RemoveResult::Kept;
    return RemoveResult::Failed;
}

RemoveResult RemoveBeneath(const QString& root, const QString& relative, bool isFolder) {
    const std::optional<QStringList> parts = Components(relative);
    if (!parts)
        return RemoveResult::Failed;
    const Descriptor folder = OpenBeneath(root, parts->mid(0, parts->size() - 1), false);
    if (!folder.valid())
        return errno == ENOENT ? RemoveResult::Absent : RemoveResult::Failed;
    return RemoveAt(folder.get(), parts->last(), isFolder);
}

} // namespace

bool ReplaceFile(const QString& path, const QByteArray& bytes, bool executable) {
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return false;
    const Descriptor folder = OpenFolder(info.absolutePath());
    if (!folder.valid())
        return false;
    return WriteReplacing(folder.get(), info.fileName(), executable ? 0755 : 0644,
                          [&bytes](int fd) { return WriteBytes(fd, bytes); });
}

std::optional<QByteArray> ReadOwnFile(const QString& path) {
    Descriptor file(::open(Native(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat status {};
    if (!file.valid() || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    QFile reader;
    if (!reader.open(file.get(), QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = reader.readAll();
    if (reader.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

RemoveResult RemoveOwnFile(const QString& path) {
    const QFileInfo info(path);
    const Descriptor folder = OpenFolder(info.absolutePath());
    if (!folder.valid())
        return errno == ENOENT ? RemoveResult::Absent : RemoveResult::Failed;
    const QByteArray name = Native(info.fileName());
    struct stat status {};
    if (::fstatat(folder.get(), name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
        !S_ISREG(status.st_mode))
        return RemoveResult::Failed;
    return RemoveAt(folder.get(), info.fileName(), false);
}

bool MakeFolderBeneath(const QString& root, const QString& relative) {
    const std::optional<QStringList> parts = Components(relative);
    return parts && OpenBeneath(root, *parts, true).valid();
}

bool CopyFileBeneath(const QString& source, const QString& root, const QString& relative) {
    const std::optional<QStringList> parts = Components(relative);
    if (!parts)
        return false;
    const Descriptor input(::open(Native(source).constData(), O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (!input.valid() || ::fstat(input.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    const Descriptor folder = OpenBeneath(root, parts->mid(0, parts->size() - 1), true);
    if (!folder.valid())
        return false;
    return WriteReplacing(folder.get(), parts->last(), status.st_mode & 0777, [&input](int fd) {
        char buffer[65536];
        for (;;) {
            const ssize_t got = ::read(input.get(), buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return false;
            if (got == 0)
                return true;
            if (!WriteAll(fd, buffer, got))
                return false;
        }
    });
}

RemoveResult RemoveFileBeneath(const QString& root, const QString& relative) {
    return RemoveBeneath(root, relative, false);
}

RemoveResult RemoveFolderBeneath(const QString& root, const QString& relative) {
    return RemoveBeneath(root, relative, true);
}

QStringList FilesBeneath(const QString& root, const QString& relative) {
    const std::optional<QStringList> parts = Components(relative);
    if (!parts)
        return {};
    Descriptor folder = OpenBeneath(root, *parts, false);
    if (!folder.valid())
        return {};
    const int fd = folder.get();
    DIR* listing = ::fdopendir(fd);
    if (listing == nullptr)
        return {};
    // The listing owns the descriptor from here.
    folder.release();
    QStringList names;
    while (const dirent* entry = ::readdir(listing)) {
        struct stat status {};
        if (::fstatat(fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(status.st_mode))
            names << QFile::decodeName(entry->d_name);
    }
    ::closedir(listing);
    return names;
}

} // namespace tessarel
