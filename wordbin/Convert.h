#pragma once
// The Word binary reader's entry: converts one Word document into a UTF-8 text file.

#include <string>

namespace tessarel::wordbin {

// Creates or truncates `targetPath` before anything else, then writes the document's text to it
// (nothing when the document can't be read). Returns 0 on success; the glue does not look at it.
// Paths are UTF-8 bytes. One conversion at a time: everything it builds is freed before it returns.
int Convert(const std::string& sourcePath, const std::string& targetPath);

} // namespace tessarel::wordbin
