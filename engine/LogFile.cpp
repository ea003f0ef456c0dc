#include "engine/LogFile.h"

#include "engine/Paths.h"
#include "platform/Text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace tessarel {
namespace {

void WriteUtf16le(std::FILE* f, std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    std::fwrite(bytes.data(), 1, bytes.size(), f);
}

} // namespace

CLogFile::CLogFile(const std::string& programDirectory, Notifier& notifier)
    : path_(ContentsPath(programDirectory) + "tessarel.log"), notifier_(notifier) {
    // A missing log is created: the log is for diagnosis and should not cost the user a box.
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    if (!f) {
        report(errno);
        return;
    }
    std::fwrite("\xFF\xFE", 1, 2, f);
    std::fclose(f);
}

CLogFile::~CLogFile() {
    if (file_)
        std::fclose(file_);
}

void CLogFile::append(std::u16string_view text) {
    if (!file_)
        file_ = std::fopen(path_.c_str(), "ab");
    if (!file_) {
        report(errno);
        return;
    }
    WriteUtf16le(file_, text);
    WriteUtf16le(file_, u"\n");
    std::fflush(file_);
}

void CLogFile::report(int error) {
    // One box per log object: a reading run over thousands of files must not raise thousands.
    if (reported_)
        return;
    reported_ = true;
    std::string text = path_ + ": " + std::strerror(error);
    if (text.size() > 1023)
        text.resize(1023);
    notifier_.warn(u"Tessarel", FromUtf8(text));
}

} // namespace tessarel
