#pragma once
// Runs Convert on a file or on bytes and hands back the target's text.

#include "wordbin/Convert.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace tessarel::wordbin::testing {

inline std::string TempPath(const char* tag) {
    return "/tmp/tessarel-wordbin-" + std::to_string(getpid()) + "-" + tag;
}

inline std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::string ConvertFile(const std::string& source) {
    const std::string target = TempPath("out.txt");
    Convert(source, target);
    std::string text = ReadWhole(target);
    std::remove(target.c_str());
    return text;
}

inline std::string ConvertBytes(const std::vector<std::uint8_t>& bytes) {
    const std::string source = TempPath("in.doc");
    {
        std::ofstream out(source, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    std::string text = ConvertFile(source);
    std::remove(source.c_str());
    return text;
}

} // namespace tessarel::wordbin::testing
