#pragma once
// The Word binary reader's entry: converts one Word document into a UTF-8 text file.

#include <cstdint>
#include <string>

namespace tessarel::wordbin {

// The most text one conversion writes, and the most a reader of its output takes: far above any
// real document, and small enough that a hostile one can't make a run's memory balloon.
inline constexpr std::uint64_t kMaxConvertedBytes = 64ull * 1024 * 1024;

// Creates or truncates `targetPath` before anything else, then writes the document's text to it
// (nothing when the document can't be read): the text file is the whole answer.
// Paths are UTF-8 bytes. One conversion at a time: everything it builds is freed before it returns.
// `sourceFd`, when it is an open descriptor of the document, is read instead of opening the path.
void Convert(const std::string& sourcePath, const std::string& targetPath, int sourceFd = -1);

} // namespace tessarel::wordbin
