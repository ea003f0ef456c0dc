#pragma once
// One catalogued document. `text` and `foldedText` always have the same length, so an offset
// found in one is valid in the other.

#include "platform/Text.h"

#include <cstdint>
#include <memory_resource>
#include <string>

namespace tessarel {

struct FileRecord {
    FileRecord() = default;
    // A record whose texts are taken from `texts` (the catalogue's arena). A copy takes its texts
    // from the default allocator, so it never depends on the arena's lifetime.
    explicit FileRecord(std::pmr::memory_resource* texts) : text(texts), foldedText(texts) {}

    // Full path as the walk produced it, for pages and links. Paths are unbounded strings, so a
    // long path is never cut into another file's name.
    std::u16string path;
    // The same path as the file-name bytes, for opening the file (a name that is not UTF-8 still opens).
    std::string nativePath;
    // After the last "." of the path, lower-cased.
    std::u16string extension;
    std::pmr::u16string text;
    std::pmr::u16string foldedText;
    std::int64_t size = 0;
    // Last-write time, seconds since 1970-01-01 UTC.
    std::int64_t modified = 0;

    // The name to open the file by: its own bytes, or the path in UTF-8 for a record made from
    // a path alone.
    std::string fileName() const { return nativePath.empty() ? ToUtf8(path) : nativePath; }
};

} // namespace tessarel
