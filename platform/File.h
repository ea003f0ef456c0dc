#pragma once
// A C stream owned by its scope: closed however the scope is left.

#include <cstdio>
#include <memory>

namespace tessarel {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

} // namespace tessarel
