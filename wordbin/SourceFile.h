#pragma once
// The document being converted, held in memory: every reader asks for byte ranges by file offset
// and gets a failure, never an overrun, when the range leaves the file.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tessarel::wordbin {

class SourceFile {
public:
    // False (with the reader's message) when the file can't be opened or is not a regular file.
    // By `fd` instead of the path when it is an open descriptor of the document.
    bool open(const std::string& path, int fd = -1);
    // For tests and the fuzz target: the document's bytes directly.
    void assign(std::vector<std::uint8_t> bytes) { bytes_ = std::move(bytes); }

    std::uint64_t size() const { return bytes_.size(); }
    // Exactly `count` bytes at `offset`, or false.
    bool read(std::uint64_t offset, std::size_t count, std::uint8_t* destination) const;
    // The bytes at `offset`, or an empty span when the range leaves the file.
    std::span<const std::uint8_t> view(std::uint64_t offset, std::size_t count) const;
    // A 32-bit little-endian value; fatal "Read long 0x%lx not possible" when it can't be read.
    std::uint32_t readLong(std::uint64_t offset) const;
    const std::uint8_t* data() const { return bytes_.data(); }

private:
    std::vector<std::uint8_t> bytes_;
};

// Little-endian readers over a byte span; 0 where the value would leave the span.
inline std::uint16_t Get16(std::span<const std::uint8_t> bytes, std::size_t at) {
    if (at + 2 > bytes.size() || at + 2 < at)
        return 0;
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}
inline std::uint32_t Get32(std::span<const std::uint8_t> bytes, std::size_t at) {
    if (at + 4 > bytes.size() || at + 4 < at)
        return 0;
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}
inline std::uint8_t Get8(std::span<const std::uint8_t> bytes, std::size_t at) {
    return at < bytes.size() ? bytes[at] : 0;
}

} // namespace tessarel::wordbin
