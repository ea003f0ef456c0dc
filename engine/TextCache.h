#pragma once
// The persistent cache of extracted texts: one SQLite row per document, keyed by everything that
// changes when the document or its reader does, so a reading run can skip the documents it read
// before. A cache that is damaged, locked or unwritable is bypassed, never trusted.

#include "platform/SettingsStore.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <vector>

struct stat;

namespace tessarel {

class SqliteConnection;

// Bump whenever a reader's output (its text or its log lines) can change for the same file:
// every row stored by an older reader then misses.
inline constexpr std::uint32_t kReaderVersion = 1;

struct TextCacheKey {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    // The file-name bytes, as the walk produced them.
    std::string path;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    // The change time moves on any rewrite, even one that restores size and modification time.
    std::int64_t changedNs = 0;
    std::uint32_t readerVersion = kReaderVersion;

    bool operator==(const TextCacheKey&) const = default;
};

TextCacheKey TextCacheKeyOf(const struct stat& st, std::string path);

class TextCache {
public:
    struct Entry {
        std::u16string text;
        std::vector<std::u16string> logLines;
    };
    struct Stats {
        std::int64_t rows = 0;
        // What the rows hold (compressed), the measure of the size limit.
        std::int64_t bytes = 0;
        // The database and its write-ahead log on disk.
        std::int64_t fileBytes = 0;
        std::string location;
    };

    static constexpr const char* kFileName = "texts.sqlite";
    static constexpr std::uint64_t kDefaultLimitMB = 1024;

    // Opens the cache in folder (made with mode 0700 when missing), rebuilding a damaged file.
    // nullptr, with the reason in why, when the cache can't be used: the run goes on without it.
    static std::unique_ptr<TextCache> open(const std::string& folder, std::uint64_t limitBytes,
                                           std::string* why = nullptr);
    // $XDG_CACHE_HOME/Tessarel, else $HOME/.cache/Tessarel; empty when neither is set.
    static std::string defaultFolder();

    // Writes what is queued, then closes; a cache found damaged is deleted here, to be made anew.
    ~TextCache();
    TextCache(const TextCache&) = delete;
    TextCache& operator=(const TextCache&) = delete;

    // The exact text and log lines stored under key, or nothing. Safe from any number of
    // threads at once: each borrows a read connection of its own from a pool.
    std::optional<Entry> lookup(const TextCacheKey& key);
    // Queues the row for the cache's writer thread and returns: the caller never waits for the
    // database. A row for the same path replaces the older one. Dropped when the cache is off.
    void store(const TextCacheKey& key, std::u16string_view text,
               const std::vector<std::u16string>& logLines);
    // Drops the rows of files under folder (a "/" boundary) that are not in seenPaths.
    void forgetMissing(const std::string& folder, std::unordered_set<std::string> seenPaths);
    // Waits until everything queued so far is written (or dropped).
    void flush();

    std::optional<Stats> stats();
    // Removes every row; false when the database could not be written.
    bool clear();

    const std::string& location() const { return path_; }
    // True once a fault (damage, a lock held too long, failing writes) switched lookups or stores off.
    bool bypassed() const { return lookupsOff_.load() || storesOff_.load(); }

private:
    struct Operation;
    struct Touch {
        std::string path;
        std::int64_t usedAt;
    };
    struct ReadConnection;
    struct WriteStatements;

    TextCache(std::string path, std::uint64_t limitBytes, std::unique_ptr<SqliteConnection> writer);

    std::unique_ptr<ReadConnection> borrowReader();
    void returnReader(std::unique_ptr<ReadConnection> reader);
    void enqueue(Operation operation, std::size_t bytes);
    void noteReadFailure(int rc);
    void writerLoop();
    // One transaction; true when it held a Clear and was committed.
    bool writeBatch(std::vector<Operation>& batch, std::vector<Touch>& touches);
    int apply(WriteStatements& statements, Operation& operation);
    int evict(bool& shrunk);

    const std::string path_;
    const std::uint64_t limitBytes_;
    std::unique_ptr<SqliteConnection> writer_;

    std::mutex readersMutex_;
    std::vector<std::unique_ptr<ReadConnection>> idleReaders_;

    // The writer's queue; lookups add their hits' last-used times to it without waking the writer.
    std::mutex queueMutex_;
    std::condition_variable wake_;
    std::condition_variable written_;
    std::vector<Operation> pending_;
    std::vector<Touch> touches_;
    std::size_t queuedBytes_ = 0;
    std::uint64_t requested_ = 0;
    std::uint64_t done_ = 0;
    int flushWaiters_ = 0;
    bool stopping_ = false;
    bool clearFailed_ = false;
    // Touched by the writer thread only.
    int failedBatches_ = 0;
    std::thread writerThread_;

    std::atomic<int> busyLookups_{0};
    std::atomic<bool> lookupsOff_{false};
    std::atomic<bool> storesOff_{false};
    std::atomic<bool> damaged_{false};
};

// Setting TextCache: on unless it is 0 (a missing key is on).
bool TextCacheEnabled(SettingsStore& settings);
// Setting TextCacheLimitMB in bytes; missing or not positive gives the default.
std::uint64_t TextCacheLimitBytes(SettingsStore& settings);

} // namespace tessarel
