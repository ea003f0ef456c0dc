#include "wordbin/SourceFile.h"

#include "platform/File.h"
#include "wordbin/Report.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace tessarel::wordbin {

bool SourceFile::open(const std::string& path, int fd) {
    bytes_.clear();
    std::FILE* file = OpenForReading(path, fd).release();
    if (!file) {
        Report(Status::StepFails, "I can't open '%s' for reading", path.c_str());
        return false;
    }
    struct stat info {};
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
        std::fclose(file);
        Report(Status::StepFails, "I can't get the size of '%s'", path.c_str());
        return false;
    }
    bytes_.resize(static_cast<std::size_t>(info.st_size));
    const std::size_t got = bytes_.empty() ? 0 : std::fread(bytes_.data(), 1, bytes_.size(), file);
    std::fclose(file);
    // A file that shrank while being read is taken as far as it was read.
    bytes_.resize(got);
    return true;
}

bool SourceFile::read(std::uint64_t offset, std::size_t count, std::uint8_t* destination) const {
    if (offset > bytes_.size() || count > bytes_.size() - offset)
        return false;
    if (count)
        std::memcpy(destination, bytes_.data() + offset, count);
    return true;
}

std::span<const std::uint8_t> SourceFile::view(std::uint64_t offset, std::size_t count) const {
    if (offset > bytes_.size() || count > bytes_.size() - offset)
        return {};
    return {bytes_.data() + offset, count};
}

std::uint32_t SourceFile::readLong(std::uint64_t offset) const {
    std::uint8_t bytes[4] = {};
    if (!read(offset, 4, bytes))
        Report(Status::Fatal, "Read long 0x%lx not possible", static_cast<unsigned long>(offset));
    return Get32(bytes, 0);
}

} // namespace tessarel::wordbin
