#pragma once
// One document as the readers see it: where it is, and the UTF-16 text they make of it. The
// catalogue keeps its documents more compactly (engine/Catalog.h), but describes them the same way.

#include "platform/Text.h"

#include <cstdint>
#include <string>

namespace tessarel {

struct FileInfo {
    // Full path as the walk produced it, for pages and links. Paths are unbounded strings, so a
    // long path is never cut into another file's name.
    std::u16string path;
    // The same path as the file-name bytes, for opening the file (a name that is not UTF-8 still
    // opens); the catalogue leaves it empty when they are the path's own UTF-8.
    std::string nativePath;
    // After the last "." of the path, lower-cased.
    std::u16string extension;
    std::int64_t size = 0;
    // Last-write time, seconds since 1970-01-01 UTC.
    std::int64_t modified = 0;

    // The name to open the file by: its own bytes, or the path in UTF-8 for a record made from
    // a path alone.
    std::string fileName() const { return nativePath.empty() ? ToUtf8(path) : nativePath; }
};

struct FileRecord : FileInfo {
    // What the reader made of the document. A reading worker reuses one record for all its
    // documents, so a reader that clears and appends keeps the buffer it grew.
    std::u16string text;
};

} // namespace tessarel
