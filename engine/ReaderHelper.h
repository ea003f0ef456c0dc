#pragma once
// One reader helper process, seen from the reading run: it reads one document at a time within a
// time and a memory limit, and is ended and started afresh when it crashes, passes a limit or
// sends rubbish. Each helper has a temporary extraction file of its own, removed when it ends.
// Every wait on a helper has a deadline, after which the helper is killed.

#include "extract/FileRecord.h"
#include "extract/ReaderProtocol.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tessarel {

struct ReaderLimits {
    std::chrono::milliseconds time{30000};
    std::uint64_t memoryBytes = 2ull * 1024 * 1024 * 1024;
};

// What the helpers of one reading run share. A helper that ends before it is ready several times
// in a row can't run here (a missing library, a refused limit): no helper is started again in
// that run. Without Landlock the helpers' sandbox can't keep them from the program's /proc
// entries, so the program makes itself non-dumpable while any run has helpers.
class ReaderRun {
public:
    static constexpr int kMaxFailedStarts = 3;

    ReaderRun();
    ReaderRun(const ReaderRun&) = delete;
    ReaderRun& operator=(const ReaderRun&) = delete;
    ~ReaderRun();

    bool landlock() const { return landlockAbi_ > 0; }
    bool startsAllowed() const { return failedStarts_.load() < kMaxFailedStarts; }
    void helperReady() { failedStarts_.store(0); }
    // Counts a helper that ended before it was ready; true for the one failure that gives up.
    bool helperFailedToStart() { return failedStarts_.fetch_add(1) + 1 == kMaxFailedStarts; }

private:
    int landlockAbi_ = 0;
    std::atomic<int> failedStarts_{0};
};

class ReaderHelper {
public:
    // NotStarted: the run gave up on its helpers (ReaderRun), and the document was not read.
    enum class Outcome { Read, Failed, Stopped, NotStarted };
    // The most of a helper's error output kept for one document.
    static constexpr std::size_t kMaxErrorBytes = 16 * 1024;
    // How long a helper that said it ends may take before it is killed.
    static constexpr std::chrono::milliseconds kEndingTime{2000};

    // `contentsPath` ends in "/"; the temporary file is made there. `run`, when given, is shared
    // by the run's helpers and outlives this one.
    ReaderHelper(std::string executable, std::string contentsPath, ReaderLimits limits,
                 ReaderRun* run = nullptr);
    ReaderHelper(const ReaderHelper&) = delete;
    ReaderHelper& operator=(const ReaderHelper&) = delete;
    // Ends the process at once and removes its temporary file.
    ~ReaderHelper();

    // Reads the record's document into `reply`. Failed leaves the reason in `why`; Stopped means
    // `stopFd` became readable while the helper worked (the helper is ended). The helper's error
    // output while it read comes as log lines of the reply, after the reader's own, in every outcome.
    // With `recognition` on, the time limit grows by the page budget and is renewed with each
    // page the helper reports (to `onPage`: pages done, the document's pages), up to the
    // document's budget.
    Outcome read(const FileRecord& record, ReadReply& reply, int stopFd, std::string& why,
                 const RecognitionSettings& recognition = {}, const std::function<void(int, int)>& onPage = {});
    // The running helper's process id, or -1 (for tests that kill it).
    pid_t pid() const { return pid_; }

    // The helper executable beside the running program, or in the build tree; empty when none.
    static std::string locate();
    // True when `path` is an executable file.
    static bool runnable(const std::string& path);

private:
    // Closed: the helper ended.
    enum class Wait { Reply, Stopped, Closed, Failed };
    // When the helper's answer is due: `at`, moved on by `renewal` with each page reported, never past `cap`.
    struct Deadline {
        std::chrono::steady_clock::time_point at;
        std::chrono::steady_clock::time_point cap;
        std::chrono::milliseconds renewal{0};
    };
    bool spawn();
    Outcome exchange(int documentFd, const ReadRequest& request, ReadReply& reply, int stopFd,
                     std::string& why, const std::function<void(int, int)>& onPage);
    Wait awaitReply(Deadline& deadline, int stopFd, std::string& why,
                    const std::function<void(int, int)>& onPage = {});
    void takeErrors(std::vector<std::u16string>& lines);
    void readErrors();
    void end();
    void reap(std::chrono::milliseconds grace);
    // How the last helper reaped ended.
    std::string endedWhy() const;

    std::string executable_;
    std::string contentsPath_;
    std::string tempPath_;
    ReaderLimits limits_;
    ReaderRun* run_ = nullptr;
    pid_t pid_ = -1;
    bool ready_ = false;
    int status_ = 0; // of the last helper reaped
    int requestFd_ = -1;
    int replyFd_ = -1;
    int errorFd_ = -1;
    std::string errors_;
    protocol::ReplyReader reader_;
};

} // namespace tessarel
