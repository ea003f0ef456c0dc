#pragma once
// The persistent cache of extracted texts: one SQLite row per file (device and inode), keyed by
// everything that changes when the document or its reader does, so a reading run can skip the
// documents it read before. A cache that is locked, unwritable or not the user's own is bypassed; a
// damaged one is removed at once and made anew; neither is ever trusted.

#include "engine/ReaderVersion.h"
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

// A row is found by its file (device and inode), whichever path led to it; everything else a
// reader's output depends on must match for the row to be served.
struct TextCacheKey {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    // The file-name bytes, as the walk produced them: the row's data, not its identity, so a
    // folder reached under two paths keeps one row per file.
    std::string path;
    // The lower-cased extension: it chooses the reader, so two links to one file may differ.
    std::string type;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    // The change time moves on any rewrite, even one that restores size and modification time.
    std::int64_t changedNs = 0;
    // Derived from the readers' sources by the build: a changed reader misses every older row.
    std::uint32_t readerVersion = kReaderVersion;
    // The Word reader's layout width (it follows COLUMNS); 0 for the readers that have none.
    std::int32_t layoutWidth = 0;

    bool operator==(const TextCacheKey&) const = default;
};

// The key's file fields from st; type and layout width stay for the caller.
TextCacheKey TextCacheKeyOf(const struct stat& st, std::string path);

// A file as the cache knows it.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileId&) const = default;
};
struct FileIdHash {
    std::size_t operator()(const FileId& id) const {
        return std::hash<std::uint64_t>()(id.inode * 31 + id.device);
    }
};

class TextCache {
public:
    struct Entry {
        std::u16string text;
        std::vector<std::u16string> logLines;
    };
    struct Stats {
        std::int64_t rows = 0;
        // What the rows hold (compressed texts, log lines, paths).
        std::int64_t bytes = 0;
        // The database, its write-ahead log and its shared-memory file on disk.
        std::int64_t fileBytes = 0;
        std::uint64_t limitBytes = 0;
        std::string location;
    };

    static constexpr const char* kFileName = "texts.sqlite";
    static constexpr std::uint64_t kDefaultLimitMB = 1024;

    // Opens the cache in folder (made when missing), rebuilding a damaged file. The folder and the
    // files are made the user's alone (0700, 0600) whatever their modes were; a folder or file of
    // another user, or a link in their place, is refused. nullptr, with the reason in why, when
    // the cache can't be used: the run goes on without it. The limit covers the database and
    // its write-ahead log together.
    static std::unique_ptr<TextCache> open(const std::string& folder, std::uint64_t limitBytes,
                                           std::string* why = nullptr);
    // $XDG_CACHE_HOME/Tessarel, else $HOME/.cache/Tessarel; empty when neither is set.
    static std::string defaultFolder();

    // Writes what is queued, then closes.
    ~TextCache();
    TextCache(const TextCache&) = delete;
    TextCache& operator=(const TextCache&) = delete;

    // The exact text and log lines stored under key, or nothing. Safe from any number of
    // threads at once: each borrows a read connection of its own from a pool.
    std::optional<Entry> lookup(const TextCacheKey& key);
    // Queues the row for the cache's writer thread and returns: the caller never waits for the
    // database. A row for the same file replaces the older one. Dropped when the cache is off.
    void store(const TextCacheKey& key, std::u16string_view text,
               const std::vector<std::u16string>& logLines);
    // Drops the rows stored under folder (a "/" boundary) whose files are not among seenFiles.
    void forgetMissing(const std::string& folder, std::unordered_set<FileId, FileIdHash> seenFiles);
    // Marks the end of a reading run: once what is queued is written, the write-ahead log is
    // copied into the database and emptied, so that a process that ends now leaves no log behind.
    void endOfRun();
    // Waits until everything queued so far is written (or dropped).
    void flush();

    std::optional<Stats> stats();
    // Removes every row; a damaged database is removed and made anew. False when the database
    // could not be written.
    bool clear();

    const std::string& location() const { return path_; }
    // True once a fault (a lock held too long, failing writes, damage found twice) switched
    // lookups or stores off.
    bool bypassed() const { return lookupsOff_.load() || storesOff_.load(); }
    // Why the cache is bypassed; empty while it is in use.
    std::string bypassReason() const;

private:
    struct Operation;
    struct Touch {
        FileId file;
        std::int64_t usedAt;
    };
    struct ReadConnection;
    struct WriteStatements;

    TextCache(std::string path, std::uint64_t limitBytes, std::unique_ptr<SqliteConnection> writer);

    std::unique_ptr<ReadConnection> borrowReader();
    void returnReader(std::unique_ptr<ReadConnection> reader);
    void enqueue(Operation operation);
    // A failed statement on a connection to the database of the given generation.
    void noteFailure(int rc, std::uint64_t generation);
    void writerLoop();
    // One transaction; true when it held a Clear and was committed.
    bool writeBatch(std::vector<Operation>& batch, std::vector<Touch>& touches);
    int apply(WriteStatements& statements, Operation& operation);
    int evict(bool& shrunk);
    // Copies the write-ahead log into the database and empties it when it passed its share of
    // the limit, or always when asked.
    void limitLog(bool always);
    // Makes the database anew after damage removed it; true when the cache is in use again.
    bool rebuild();
    std::uint64_t generation();
    void setReason(std::string reason);

    const std::string path_;
    const std::uint64_t limitBytes_;
    // Touched by the writer thread only (and by the constructor and the destructor).
    std::unique_ptr<SqliteConnection> writer_;
    int failedBatches_ = 0;
    int rebuilds_ = 0;

    std::mutex readersMutex_;
    std::vector<std::unique_ptr<ReadConnection>> idleReaders_;

    // A damaged database is removed by the thread that finds the damage, at once; the writer
    // then makes a new one, the next generation. Connections to an older generation are dropped.
    mutable std::mutex stateMutex_;
    std::uint64_t generation_ = 0;
    bool damaged_ = false;
    std::string reason_;

    // The writer's queue; lookups add their hits' last-used times to it without waking the writer.
    std::mutex queueMutex_;
    std::condition_variable wake_;
    std::condition_variable written_;
    std::vector<Operation> pending_;
    std::vector<Touch> touches_;
    // The memory the queued operations hold, buffers' capacities included.
    std::size_t queuedBytes_ = 0;
    std::uint64_t requested_ = 0;
    std::uint64_t done_ = 0;
    int flushWaiters_ = 0;
    bool stopping_ = false;
    bool clearFailed_ = false;
    bool rebuildWanted_ = false;
    std::thread writerThread_;

    std::atomic<int> busyLookups_{0};
    std::atomic<bool> lookupsOff_{false};
    std::atomic<bool> storesOff_{false};
};

// Setting TextCache: on unless it is 0 (a missing key is on).
bool TextCacheEnabled(SettingsStore& settings);
// Setting TextCacheLimitMB in bytes; missing or not positive gives the default.
std::uint64_t TextCacheLimitBytes(SettingsStore& settings);

} // namespace tessarel
