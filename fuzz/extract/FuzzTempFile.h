#pragma once
// A file of this process's own that holds the input of one run.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace tessarel::fuzz {

inline const std::string& FuzzFolder() {
    static const std::string folder = [] {
        std::string pattern = "/tmp/tessarel-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            std::abort();
        return pattern;
    }();
    return folder;
}

inline std::string WriteInput(const std::string& name, const std::uint8_t* data, std::size_t size) {
    const std::string path = FuzzFolder() + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    if (size)
        std::fwrite(data, 1, size, f);
    std::fclose(f);
    return path;
}

} // namespace tessarel::fuzz
