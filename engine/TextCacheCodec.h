#pragma once
// How a cached text is kept in the database: the text compressed with zstd, the reader's log
// lines packed into one blob, and a checksum that ties both to the row's key.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessarel {

// A fast 64-bit hash of bytes, seeded; not cryptographic. It only has to catch damage.
std::uint64_t Checksum64(std::string_view bytes, std::uint64_t seed);

// The text's UTF-16 units compressed as one zstd frame (units in the machine's byte order: a
// cache never leaves the machine). Empty when compression fails.
std::string CompressText(std::u16string_view text);
// The text of a frame made by CompressText, or nothing when the frame is damaged or does not
// hold exactly `units` units.
std::optional<std::u16string> DecompressText(std::string_view frame, std::size_t units);

// Log lines as one blob: a count, then each line's length and units.
std::string PackLines(const std::vector<std::u16string>& lines);
std::optional<std::vector<std::u16string>> UnpackLines(std::string_view blob);

} // namespace tessarel
