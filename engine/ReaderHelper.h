#pragma once
// One reader helper process, seen from the reading run: it reads one document at a time within a
// time and a memory limit, and is ended and started afresh when it crashes, passes a limit or
// sends rubbish. Each helper has a temporary extraction file of its own, removed when it ends.

#include "extract/FileRecord.h"
#include "extract/ReaderProtocol.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace tessarel {

struct ReaderLimits {
    std::chrono::milliseconds time{30000};
    std::uint64_t memoryBytes = 2ull * 1024 * 1024 * 1024;
};

class ReaderHelper {
public:
    enum class Outcome { Read, Failed, Stopped };

    // `contentsPath` ends in "/"; the temporary file is made there.
    ReaderHelper(std::string executable, std::string contentsPath, ReaderLimits limits);
    ReaderHelper(const ReaderHelper&) = delete;
    ReaderHelper& operator=(const ReaderHelper&) = delete;
    // Ends the process at once and removes its temporary file.
    ~ReaderHelper();

    // Reads the record's document into `reply`. Failed leaves the reason in `why`; Stopped means
    // `stopFd` became readable while the helper worked (the helper is ended).
    Outcome read(const FileRecord& record, ReadReply& reply, int stopFd, std::string& why);
    // The running helper's process id, or -1 (for tests that kill it).
    pid_t pid() const { return pid_; }

    // The helper executable beside the running program, or in the build tree; empty when none.
    static std::string locate();

private:
    bool spawn();
    void end();
    void reap();

    std::string executable_;
    std::string contentsPath_;
    std::string tempPath_;
    ReaderLimits limits_;
    pid_t pid_ = -1;
    int requestFd_ = -1;
    int replyFd_ = -1;
    protocol::ReplyReader reader_;
};

} // namespace tessarel
