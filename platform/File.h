#pragma once
// A C stream owned by its scope: closed however the scope is left.

#include <cstdio>
#include <memory>
#include <string>

namespace tessarel {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// A reader helper can't open the user's files by name: the reading run opens each document and
// hands the descriptor over. These open a document by that descriptor when there is one
// (`fd` >= 0), from its start and with a descriptor of their own, and by name otherwise.
UniqueFile OpenForReading(const std::string& path, int fd);
// A descriptor of its own (to close) at the file's start, or -1.
int ReopenDescriptor(int fd);

// Creates or empties a temporary file for writing, private to the user, and never through a
// link planted to make a reader write elsewhere.
UniqueFile CreateForWriting(const std::string& path);

} // namespace tessarel
