#pragma once
// Runs Convert on a file or on bytes and hands back the target's text.

#include "wordbin/Convert.h"

#include <cstdint>
#include <cstdio>
#include <fstream>

#include <gtest/gtest.h>
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

// Every line of the output ends in CR LF; the tests compare lines, so they see "\n" alone.
inline std::string LinesOf(const std::string& output) {
    std::string lines;
    lines.reserve(output.size());
    for (std::size_t i = 0; i < output.size(); ++i) {
        if (output[i] == '\r' && i + 1 < output.size() && output[i + 1] == '\n') {
            lines.push_back('\n');
            ++i;
        } else {
            if (output[i] == '\n')
                ADD_FAILURE() << "a line feed without its carriage return at byte " << i;
            lines.push_back(output[i]);
        }
    }
    return lines;
}

inline std::string ConvertFile(const std::string& source) {
    const std::string target = TempPath("out.txt");
    Convert(source, target);
    std::string text = LinesOf(ReadWhole(target));
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
