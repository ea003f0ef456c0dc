#include "wordbin/SourceFile.h"

#include "wordbin/Report.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace tessarel::wordbin {

bool SourceFile::Open(const std::string& path) {
    m_bytes.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
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
    m_bytes.resize(static_cast<std::size_t>(info.st_size));
    const std::size_t got = m_bytes.empty() ? 0 : std::fread(m_bytes.data(), 1, m_bytes.size(), file);
    std::fclose(file);
    // A file that shrank while being read is taken as far as it was read.
    m_bytes.resize(got);
    return true;
}

bool SourceFile::Read(std::uint64_t offset, std::size_t count, std::uint8_t* destination) const {
    if (offset > m_bytes.size() || count > m_bytes.size() - offset)
        return false;
    if (count)
        std::memcpy(destination, m_bytes.data() + offset, count);
    return true;
}

std::span<const std::uint8_t> SourceFile::View(std::uint64_t offset, std::size_t count) const {
    if (offset > m_bytes.size() || count > m_bytes.size() - offset)
        return {};
    return {m_bytes.data() + offset, count};
}

std::uint32_t SourceFile::ReadLong(std::uint64_t offset) const {
    std::uint8_t bytes[4] = {};
    if (!Read(offset, 4, bytes))
        Report(Status::Fatal, "Read long 0x%lx not possible", static_cast<unsigned long>(offset));
    return Get32(bytes, 0);
}

} // namespace tessarel::wordbin
