#pragma once
// The engine log "tessarel.log" of the contents folder: which files the latest reading run read,
// in order, and which it refused for their size. UTF-16LE after FF FE, one entry a line.

#include "platform/Notifier.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace tessarel {

class CLogFile {
public:
    // Empties the log (creating it when missing). A log that can't be written is reported once
    // through the notifier; work goes on without it.
    CLogFile(const std::string& programDirectory, Notifier& notifier);
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;
    ~CLogFile();

    void append(std::u16string_view text);
    const std::string& path() const { return path_; }

private:
    void report(int error);

    std::string path_;
    Notifier& notifier_;
    // Opened at the first entry and kept: a reading run writes thousands of entries. Every entry
    // is flushed at once, so the log is whole whenever the program stops.
    std::FILE* file_ = nullptr;
    bool reported_ = false;
};

} // namespace tessarel
