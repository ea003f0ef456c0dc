#include "engine/TextCache.h"

#include "engine/Sqlite.h"
#include "engine/TextCacheCodec.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessarel {
namespace {

// Raised whenever the table changes shape; an older table is dropped and made anew.
constexpr int kSchemaVersion = 1;
constexpr const char* kSchema = "CREATE TABLE texts("
                                " path BLOB PRIMARY KEY,"
                                " bytes INTEGER NOT NULL,"
                                " last_used INTEGER NOT NULL,"
                                " device INTEGER NOT NULL,"
                                " inode INTEGER NOT NULL,"
                                " size INTEGER NOT NULL,"
                                " modified_ns INTEGER NOT NULL,"
                                " changed_ns INTEGER NOT NULL,"
                                " reader INTEGER NOT NULL,"
                                " checksum INTEGER NOT NULL,"
                                " units INTEGER NOT NULL,"
                                " log BLOB NOT NULL,"
                                // Last, so that the small columns stay on the row's first page.
                                " text BLOB NOT NULL);"
                                "CREATE INDEX texts_by_use ON texts(last_used);"
                                "PRAGMA user_version = 1;";

constexpr const char* kLookup =
    "SELECT device, inode, size, modified_ns, changed_ns, reader, checksum, units, "
    "log, text FROM texts WHERE path = ?1";
constexpr const char* kInsert =
    "INSERT OR REPLACE INTO texts(path, bytes, last_used, device, inode, size, modified_ns, changed_ns, "
    "reader, "
    "checksum, units, log, text) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)";

// The writer may wait this long for another process's transaction; a lookup much less, since a
// reading run does thousands of them. Past these a write is dropped and a lookup misses.
constexpr int kWriteBusyMilliseconds = 1000;
constexpr int kReadBusyMilliseconds = 100;
// After this many lookups that found the database held, the rest of this cache's life misses at
// once; after this many failed batches, stores are dropped.
constexpr int kMaxBusyLookups = 3;
constexpr int kMaxFailedBatches = 2;
// Stores that arrive within this window share one transaction.
constexpr auto kBatchWindow = std::chrono::milliseconds(20);
constexpr std::size_t kBatchRows = 512;
// What may wait for the writer; beyond it stores are dropped rather than held in memory.
constexpr std::size_t kMaxQueuedBytes = 128u << 20;
// The row's cost beyond its blobs, for the size limit.
constexpr std::int64_t kRowOverhead = 96;

// Last-used times in microseconds, strictly increasing within the process so that the order of
// use is the order of the times even when two uses fall in the same microsecond.
std::int64_t NextUseTime() {
    static std::atomic<std::int64_t> last{0};
    const std::int64_t now = std::chrono::duration_cast<std::chrono::microseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    std::int64_t previous = last.load();
    std::int64_t next;
    do {
        next = std::max(now, previous + 1);
    } while (!last.compare_exchange_weak(previous, next));
    return next;
}

std::int64_t Signed(std::uint64_t v) {
    return static_cast<std::int64_t>(v);
}

// The checksum covers the key as well as the text, so that a text found under another row's key
// (a damaged page, a row moved by damage) never passes.
std::uint64_t RowChecksum(const TextCacheKey& key, std::string_view textBytes, std::string_view log) {
    const std::int64_t fields[] = {Signed(key.device), Signed(key.inode), key.size,
                                   key.modifiedNs,     key.changedNs,     key.readerVersion};
    std::uint64_t h = Checksum64({reinterpret_cast<const char*>(fields), sizeof fields}, 0);
    h = Checksum64(key.path, h);
    h = Checksum64(textBytes, h);
    return Checksum64(log, h);
}

std::string_view Bytes(std::u16string_view text) {
    return {reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t)};
}

std::string Parent(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

// mkdir -p with mode 0700 for every folder it makes.
bool MakeFolders(const std::string& folder, std::string* why) {
    struct stat st;
    if (stat(folder.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return true;
        if (why)
            *why = folder + ": not a folder";
        return false;
    }
    const std::string parent = Parent(folder);
    if (!parent.empty() && !MakeFolders(parent, why))
        return false;
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        if (why)
            *why = folder + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void RemoveDatabase(const std::string& path) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        unlink((path + suffix).c_str());
}

std::int64_t FileSize(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : 0;
}

// Settles the connection's modes and the table; the SQLite result code.
int PrepareDatabase(SqliteConnection& db) {
    int rc = SQLITE_OK;
    // Reading the schema is what finds a file that is no database, or a truncated one.
    db.queryInt("SELECT count(*) FROM sqlite_schema", &rc);
    if (rc != SQLITE_OK)
        return rc;
    // Only takes effect on a new, empty file: lets evictions give pages back to the disk.
    if ((rc = db.exec("PRAGMA auto_vacuum = INCREMENTAL")) != SQLITE_OK)
        return rc;
    const std::optional<std::string> mode = db.queryText("PRAGMA journal_mode = WAL", &rc);
    if (rc != SQLITE_OK)
        return rc;
    if (mode != "wal")
        return SQLITE_CANTOPEN;
    if ((rc = db.exec("PRAGMA synchronous = NORMAL; PRAGMA journal_size_limit = 16777216")) != SQLITE_OK)
        return rc;
    const std::optional<std::int64_t> version = db.queryInt("PRAGMA user_version", &rc);
    if (rc != SQLITE_OK)
        return rc;
    if (version == kSchemaVersion)
        return SQLITE_OK;
    if ((rc = db.exec("BEGIN IMMEDIATE")) != SQLITE_OK)
        return rc;
    // Another process may have made the table meanwhile.
    if (db.queryInt("PRAGMA user_version", &rc) != kSchemaVersion && rc == SQLITE_OK) {
        rc = db.exec("DROP TABLE IF EXISTS texts");
        if (rc == SQLITE_OK)
            rc = db.exec(kSchema);
    }
    if (rc == SQLITE_OK)
        rc = db.exec("COMMIT");
    if (rc != SQLITE_OK)
        db.exec("ROLLBACK");
    return rc;
}

} // namespace

struct TextCache::Operation {
    enum Kind { Store, Drop, Forget, Clear };
    Kind kind = Store;
    TextCacheKey key;
    std::int64_t checksum = 0;
    std::int64_t units = 0;
    std::int64_t bytes = 0;
    std::int64_t usedAt = 0;
    std::string text;
    std::string log;
    std::unordered_set<std::string> seen;
};

struct TextCache::ReadConnection {
    std::unique_ptr<SqliteConnection> db;
    SqliteStatement lookup;
};

// The writer's statements, prepared once per batch on the writer's connection.
struct TextCache::WriteStatements {
    SqliteStatement insert;
    SqliteStatement drop;
    SqliteStatement touch;
    SqliteStatement under;
    SqliteStatement remove;

    int prepare(SqliteConnection& db) {
        int rc = insert.prepare(db, kInsert);
        if (rc == SQLITE_OK)
            rc = drop.prepare(db, "DELETE FROM texts WHERE path = ?1 AND checksum = ?2");
        if (rc == SQLITE_OK)
            rc = touch.prepare(db, "UPDATE texts SET last_used = ?1 WHERE path = ?2 AND last_used < ?1");
        if (rc == SQLITE_OK)
            rc = under.prepare(db, "SELECT rowid, path FROM texts WHERE path >= ?1 AND path < ?2");
        if (rc == SQLITE_OK)
            rc = remove.prepare(db, "DELETE FROM texts WHERE rowid = ?1");
        return rc;
    }
};

TextCacheKey TextCacheKeyOf(const struct stat& st, std::string path) {
    TextCacheKey key;
    key.device = static_cast<std::uint64_t>(st.st_dev);
    key.inode = static_cast<std::uint64_t>(st.st_ino);
    key.path = std::move(path);
    key.size = static_cast<std::int64_t>(st.st_size);
    key.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    key.changedNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return key;
}

std::string TextCache::defaultFolder() {
    // As the XDG base directories have it: a relative path in these variables is ignored.
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/')
        return std::string(cache) + "/Tessarel";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.cache/Tessarel";
    return {};
}

std::unique_ptr<TextCache> TextCache::open(const std::string& folder, std::uint64_t limitBytes,
                                           std::string* why) {
    if (folder.empty()) {
        if (why)
            *why = "no cache folder: neither XDG_CACHE_HOME nor HOME is set";
        return nullptr;
    }
    if (!MakeFolders(folder, why))
        return nullptr;
    const std::string path = folder + "/" + kFileName;
    for (int attempt = 0;; ++attempt) {
        // Made here, not by SQLite, so that the texts are never readable by others; the
        // write-ahead log and shared-memory files take the same mode.
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            if (why)
                *why = path + ": " + std::strerror(errno);
            return nullptr;
        }
        close(fd);
        std::unique_ptr<SqliteConnection> db =
            SqliteConnection::open(path, false, kWriteBusyMilliseconds, why);
        if (!db)
            return nullptr;
        const int rc = PrepareDatabase(*db);
        if (rc == SQLITE_OK)
            return std::unique_ptr<TextCache>(new TextCache(path, limitBytes, std::move(db)));
        if (why)
            *why = path + ": " + db->message();
        db.reset();
        // A damaged file is rebuilt once; anything else (a lock, a read-only folder) is bypassed.
        if (!IsDamage(rc) || attempt > 0)
            return nullptr;
        RemoveDatabase(path);
    }
}

TextCache::TextCache(std::string path, std::uint64_t limitBytes, std::unique_ptr<SqliteConnection> writer)
    : path_(std::move(path)), limitBytes_(limitBytes), writer_(std::move(writer)) {
    writerThread_ = std::thread([this] { writerLoop(); });
}

TextCache::~TextCache() {
    {
        std::lock_guard lock(queueMutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    writerThread_.join();
    idleReaders_.clear();
    writer_.reset();
    if (damaged_.load())
        RemoveDatabase(path_);
}

std::unique_ptr<TextCache::ReadConnection> TextCache::borrowReader() {
    {
        std::lock_guard lock(readersMutex_);
        if (!idleReaders_.empty()) {
            std::unique_ptr<ReadConnection> reader = std::move(idleReaders_.back());
            idleReaders_.pop_back();
            return reader;
        }
    }
    auto reader = std::make_unique<ReadConnection>();
    reader->db = SqliteConnection::open(path_, false, kReadBusyMilliseconds, nullptr);
    if (!reader->db)
        return nullptr;
    const int rc = reader->lookup.prepare(*reader->db, kLookup);
    if (rc != SQLITE_OK) {
        noteReadFailure(rc);
        return nullptr;
    }
    reader->db->exec("PRAGMA query_only = 1");
    return reader;
}

void TextCache::returnReader(std::unique_ptr<ReadConnection> reader) {
    std::lock_guard lock(readersMutex_);
    idleReaders_.push_back(std::move(reader));
}

void TextCache::noteReadFailure(int rc) {
    if (IsDamage(rc)) {
        damaged_.store(true);
        lookupsOff_.store(true);
        storesOff_.store(true);
    } else if (IsBusy(rc) && busyLookups_.fetch_add(1) + 1 >= kMaxBusyLookups) {
        lookupsOff_.store(true);
    }
}

std::optional<TextCache::Entry> TextCache::lookup(const TextCacheKey& key) {
    if (lookupsOff_.load(std::memory_order_relaxed))
        return std::nullopt;
    std::unique_ptr<ReadConnection> reader = borrowReader();
    if (!reader)
        return std::nullopt;
    SqliteStatement& row = reader->lookup;
    row.bindBlob(1, key.path);
    const int rc = row.step();
    std::optional<Entry> entry;
    std::int64_t checksum = 0;
    bool bad = false;
    if (rc == SQLITE_ROW) {
        checksum = row.columnInt(6);
        // A row of another version of the file is a plain miss: the caller reads the file and
        // its store replaces the row.
        if (row.columnInt(0) == Signed(key.device) && row.columnInt(1) == Signed(key.inode) &&
            row.columnInt(2) == key.size && row.columnInt(3) == key.modifiedNs &&
            row.columnInt(4) == key.changedNs && row.columnInt(5) == key.readerVersion) {
            const std::string_view log = row.columnBlob(8);
            const std::int64_t units = row.columnInt(7);
            std::optional<std::u16string> text =
                units >= 0 ? DecompressText(row.columnBlob(9), static_cast<std::size_t>(units))
                           : std::nullopt;
            std::optional<std::vector<std::u16string>> lines = UnpackLines(log);
            if (text && lines && RowChecksum(key, Bytes(*text), log) == static_cast<std::uint64_t>(checksum))
                entry = Entry{std::move(*text), std::move(*lines)};
            else
                bad = true;
        }
    } else if (rc != SQLITE_DONE) {
        noteReadFailure(rc);
    }
    row.reset();
    returnReader(std::move(reader));

    if (bad) {
        // Never trusted again: the row goes, and the document is read afresh.
        Operation drop;
        drop.kind = Operation::Drop;
        drop.key.path = key.path;
        drop.checksum = checksum;
        enqueue(std::move(drop), key.path.size());
    } else if (entry) {
        std::lock_guard lock(queueMutex_);
        touches_.push_back({key.path, NextUseTime()});
    }
    return entry;
}

void TextCache::store(const TextCacheKey& key, std::u16string_view text,
                      const std::vector<std::u16string>& logLines) {
    if (storesOff_.load(std::memory_order_relaxed))
        return;
    Operation row;
    row.kind = Operation::Store;
    row.text = CompressText(text);
    if (row.text.empty())
        return;
    row.key = key;
    row.log = PackLines(logLines);
    row.checksum = static_cast<std::int64_t>(RowChecksum(key, Bytes(text), row.log));
    row.units = static_cast<std::int64_t>(text.size());
    row.bytes = static_cast<std::int64_t>(row.text.size() + row.log.size() + key.path.size()) + kRowOverhead;
    row.usedAt = NextUseTime();
    // A row larger than the whole cache would only push everything else out and go itself.
    if (static_cast<std::uint64_t>(row.bytes) > limitBytes_)
        return;
    const auto bytes = static_cast<std::size_t>(row.bytes);
    enqueue(std::move(row), bytes);
}

void TextCache::forgetMissing(const std::string& folder, std::unordered_set<std::string> seenPaths) {
    std::string base = folder;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    if (base.empty())
        return;
    Operation forget;
    forget.kind = Operation::Forget;
    forget.key.path = base;
    forget.seen = std::move(seenPaths);
    enqueue(std::move(forget), 0);
}

void TextCache::enqueue(Operation operation, std::size_t bytes) {
    {
        std::lock_guard lock(queueMutex_);
        if (storesOff_.load() || queuedBytes_ + bytes > kMaxQueuedBytes)
            return;
        queuedBytes_ += bytes;
        pending_.push_back(std::move(operation));
        ++requested_;
    }
    wake_.notify_one();
}

void TextCache::flush() {
    std::unique_lock lock(queueMutex_);
    const std::uint64_t target = ++requested_;
    ++flushWaiters_;
    wake_.notify_one();
    written_.wait(lock, [&] { return done_ >= target; });
    --flushWaiters_;
}

std::optional<TextCache::Stats> TextCache::stats() {
    flush();
    std::unique_ptr<ReadConnection> reader = borrowReader();
    if (!reader)
        return std::nullopt;
    Stats stats;
    SqliteStatement count;
    int rc = count.prepare(*reader->db, "SELECT count(*), coalesce(sum(bytes), 0) FROM texts");
    if (rc == SQLITE_OK && (rc = count.step()) == SQLITE_ROW) {
        stats.rows = count.columnInt(0);
        stats.bytes = count.columnInt(1);
    }
    count.reset();
    returnReader(std::move(reader));
    if (rc != SQLITE_ROW) {
        noteReadFailure(rc);
        return std::nullopt;
    }
    stats.fileBytes = FileSize(path_) + FileSize(path_ + "-wal");
    stats.location = path_;
    return stats;
}

bool TextCache::clear() {
    Operation clear;
    clear.kind = Operation::Clear;
    {
        std::lock_guard lock(queueMutex_);
        clearFailed_ = true;
    }
    enqueue(std::move(clear), 0);
    flush();
    std::lock_guard lock(queueMutex_);
    return !clearFailed_;
}

void TextCache::writerLoop() {
    std::unique_lock lock(queueMutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || done_ < requested_; });
        // A reading run stores documents one by one: gathering them spares a commit each.
        wake_.wait_for(lock, kBatchWindow,
                       [&] { return stopping_ || flushWaiters_ > 0 || pending_.size() >= kBatchRows; });
        std::vector<Operation> batch = std::move(pending_);
        std::vector<Touch> touches = std::move(touches_);
        pending_.clear();
        touches_.clear();
        queuedBytes_ = 0;
        const std::uint64_t upTo = requested_;
        lock.unlock();
        const bool cleared = (!batch.empty() || !touches.empty()) && writeBatch(batch, touches);
        batch.clear();
        touches.clear();
        lock.lock();
        if (cleared)
            clearFailed_ = false;
        done_ = upTo;
        written_.notify_all();
        if (stopping_ && done_ == requested_)
            return;
    }
}

bool TextCache::writeBatch(std::vector<Operation>& batch, std::vector<Touch>& touches) {
    if (storesOff_.load())
        return false;
    WriteStatements statements;
    int rc = writer_->exec("BEGIN IMMEDIATE");
    if (rc == SQLITE_OK)
        rc = statements.prepare(*writer_);
    bool stored = false;
    bool cleared = false;
    bool shrunk = false;
    for (Operation& operation : batch) {
        if (rc != SQLITE_OK)
            break;
        rc = apply(statements, operation);
        stored |= operation.kind == Operation::Store;
        cleared |= operation.kind == Operation::Clear;
        shrunk |= operation.kind != Operation::Store;
    }
    for (const Touch& touch : touches) {
        if (rc != SQLITE_OK)
            break;
        statements.touch.bind(1, touch.usedAt);
        statements.touch.bindBlob(2, touch.path);
        rc = statements.touch.step();
        statements.touch.reset();
        rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
    }
    if (rc == SQLITE_OK && stored)
        rc = evict(shrunk);
    if (rc == SQLITE_OK)
        rc = writer_->exec("COMMIT");
    if (rc != SQLITE_OK) {
        writer_->exec("ROLLBACK");
        if (IsDamage(rc)) {
            damaged_.store(true);
            lookupsOff_.store(true);
            storesOff_.store(true);
        } else if (++failedBatches_ >= kMaxFailedBatches) {
            // A full disk, a read-only file or a lock held by another process: the rows of this
            // run are dropped rather than retried forever.
            storesOff_.store(true);
        }
        return false;
    }
    failedBatches_ = 0;
    if (cleared)
        writer_->exec("PRAGMA incremental_vacuum; PRAGMA wal_checkpoint(TRUNCATE)");
    else if (shrunk && writer_->queryInt("PRAGMA freelist_count").value_or(0) * 4 >
                           writer_->queryInt("PRAGMA page_count").value_or(0))
        writer_->exec("PRAGMA incremental_vacuum");
    return cleared;
}

int TextCache::apply(WriteStatements& statements, Operation& operation) {
    int rc = SQLITE_DONE;
    switch (operation.kind) {
    case Operation::Store: {
        SqliteStatement& insert = statements.insert;
        const TextCacheKey& key = operation.key;
        insert.bindBlob(1, key.path);
        insert.bind(2, operation.bytes);
        insert.bind(3, operation.usedAt);
        insert.bind(4, Signed(key.device));
        insert.bind(5, Signed(key.inode));
        insert.bind(6, key.size);
        insert.bind(7, key.modifiedNs);
        insert.bind(8, key.changedNs);
        insert.bind(9, key.readerVersion);
        insert.bind(10, operation.checksum);
        insert.bind(11, operation.units);
        insert.bindBlob(12, operation.log);
        insert.bindBlob(13, operation.text);
        rc = insert.step();
        insert.reset();
        break;
    }
    case Operation::Drop:
        statements.drop.bindBlob(1, operation.key.path);
        statements.drop.bind(2, operation.checksum);
        rc = statements.drop.step();
        statements.drop.reset();
        break;
    case Operation::Forget: {
        // Every path below the folder: from "folder/" up to, not including, "folder0" ('0'
        // follows '/'), compared as bytes.
        const std::string& folder = operation.key.path;
        const std::string low = folder == "/" ? folder : folder + "/";
        const std::string high = folder == "/" ? std::string("0") : folder + "0";
        std::vector<std::int64_t> gone;
        statements.under.bindBlob(1, low);
        statements.under.bindBlob(2, high);
        while ((rc = statements.under.step()) == SQLITE_ROW)
            if (!operation.seen.count(std::string(statements.under.columnBlob(1))))
                gone.push_back(statements.under.columnInt(0));
        statements.under.reset();
        for (std::int64_t rowid : gone) {
            if (rc != SQLITE_DONE)
                break;
            statements.remove.bind(1, rowid);
            rc = statements.remove.step();
            statements.remove.reset();
        }
        break;
    }
    case Operation::Clear:
        rc = writer_->exec("DELETE FROM texts");
        rc = rc == SQLITE_OK ? SQLITE_DONE : rc;
        break;
    }
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int TextCache::evict(bool& shrunk) {
    int rc = SQLITE_OK;
    const std::int64_t total =
        writer_->queryInt("SELECT coalesce(sum(bytes), 0) FROM texts", &rc).value_or(0);
    const auto limit = static_cast<std::int64_t>(std::min<std::uint64_t>(limitBytes_, INT64_MAX));
    if (rc != SQLITE_OK || total <= limit)
        return rc;
    // Down to seven eighths of the limit, so that the next few stores don't evict again.
    std::int64_t excess = total - (limit - limit / 8);
    std::vector<std::int64_t> gone;
    SqliteStatement oldest;
    rc = oldest.prepare(*writer_, "SELECT rowid, bytes FROM texts ORDER BY last_used, rowid");
    while (rc == SQLITE_OK && excess > 0 && oldest.step() == SQLITE_ROW) {
        gone.push_back(oldest.columnInt(0));
        excess -= oldest.columnInt(1);
    }
    oldest.reset();
    SqliteStatement remove;
    if (rc == SQLITE_OK)
        rc = remove.prepare(*writer_, "DELETE FROM texts WHERE rowid = ?1");
    for (std::int64_t rowid : gone) {
        if (rc != SQLITE_OK)
            break;
        remove.bind(1, rowid);
        rc = remove.step();
        remove.reset();
        rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
    }
    shrunk = shrunk || !gone.empty();
    return rc;
}

bool TextCacheEnabled(SettingsStore& settings) {
    return settings.readInt(kSettingsSection, "TextCache", 1) != 0;
}

std::uint64_t TextCacheLimitBytes(SettingsStore& settings) {
    const std::int32_t megabytes = settings.readInt(kSettingsSection, "TextCacheLimitMB",
                                                    static_cast<std::int32_t>(TextCache::kDefaultLimitMB));
    const std::uint64_t limit =
        megabytes > 0 ? static_cast<std::uint64_t>(megabytes) : TextCache::kDefaultLimitMB;
    return limit << 20;
}

} // namespace tessarel
