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

// Raised whenever the tables change shape; older tables are dropped and made anew.
constexpr int kSchemaVersion = 2;
// Rows are found by file; the paths have an index of their own for forgetting a folder's files.
// The running totals are kept by triggers in the same transactions as the rows, so that a stored
// batch never has to add up the table, whatever other processes wrote.
constexpr const char* kSchema = "CREATE TABLE texts("
                                " device INTEGER NOT NULL,"
                                " inode INTEGER NOT NULL,"
                                " path BLOB NOT NULL,"
                                " type BLOB NOT NULL,"
                                " bytes INTEGER NOT NULL,"
                                " last_used INTEGER NOT NULL,"
                                " size INTEGER NOT NULL,"
                                " modified_ns INTEGER NOT NULL,"
                                " changed_ns INTEGER NOT NULL,"
                                " reader INTEGER NOT NULL,"
                                " layout INTEGER NOT NULL,"
                                " checksum INTEGER NOT NULL,"
                                " units INTEGER NOT NULL,"
                                " log BLOB NOT NULL,"
                                // Last, so that the small columns stay on the row's first page.
                                " text BLOB NOT NULL,"
                                " PRIMARY KEY(device, inode));"
                                "CREATE INDEX texts_by_use ON texts(last_used);"
                                "CREATE INDEX texts_by_path ON texts(path);"
                                "CREATE TABLE totals(id INTEGER PRIMARY KEY CHECK(id = 0),"
                                " rows INTEGER NOT NULL, bytes INTEGER NOT NULL);"
                                "INSERT INTO totals VALUES(0, 0, 0);"
                                "CREATE TRIGGER texts_added AFTER INSERT ON texts BEGIN"
                                " UPDATE totals SET rows = rows + 1, bytes = bytes + NEW.bytes; END;"
                                "CREATE TRIGGER texts_removed AFTER DELETE ON texts BEGIN"
                                " UPDATE totals SET rows = rows - 1, bytes = bytes - OLD.bytes; END;"
                                "CREATE TRIGGER texts_changed AFTER UPDATE OF bytes ON texts BEGIN"
                                " UPDATE totals SET bytes = bytes - OLD.bytes + NEW.bytes; END;"
                                "PRAGMA user_version = 2;";

constexpr const char* kLookup = "SELECT path, type, size, modified_ns, changed_ns, reader, layout, checksum, "
                                "units, log, text FROM texts WHERE device = ?1 AND inode = ?2";
constexpr const char* kInsert =
    "INSERT INTO texts(device, inode, path, type, bytes, last_used, size, modified_ns, changed_ns, reader, "
    "layout, checksum, units, log, text) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, "
    "?15) ON CONFLICT(device, inode) DO UPDATE SET path = excluded.path, type = excluded.type, "
    "bytes = excluded.bytes, last_used = excluded.last_used, size = excluded.size, "
    "modified_ns = excluded.modified_ns, changed_ns = excluded.changed_ns, reader = excluded.reader, "
    "layout = excluded.layout, checksum = excluded.checksum, units = excluded.units, log = excluded.log, "
    "text = excluded.text";
constexpr const char* kDrop = "DELETE FROM texts WHERE device = ?1 AND inode = ?2 AND checksum = ?3";
constexpr const char* kTouch =
    "UPDATE texts SET last_used = ?1 WHERE device = ?2 AND inode = ?3 AND last_used < ?1";
constexpr const char* kUnder = "SELECT rowid, device, inode FROM texts WHERE path >= ?1 AND path < ?2";
constexpr const char* kRemove = "DELETE FROM texts WHERE rowid = ?1";
constexpr const char* kOldest = "SELECT rowid, bytes FROM texts ORDER BY last_used, rowid";
constexpr const char* kTotals = "SELECT rows, bytes FROM totals WHERE id = 0";

// The writer may wait this long for another process's transaction; a lookup much less, since a
// reading run does thousands of them. Past these a write is dropped and a lookup misses.
constexpr int kWriteBusyMilliseconds = 1000;
constexpr int kReadBusyMilliseconds = 100;
// After this many lookups that found the database held, the rest of this cache's life misses at
// once; after this many failed batches, stores are dropped.
constexpr int kMaxBusyLookups = 3;
constexpr int kMaxFailedBatches = 2;
// A disk that damages every new database as well is not written to forever.
constexpr int kMaxRebuilds = 2;
// Stores that arrive within this window share one transaction.
constexpr auto kBatchWindow = std::chrono::milliseconds(20);
constexpr std::size_t kBatchRows = 512;
// What may wait for the writer; beyond it stores are dropped rather than held in memory.
constexpr std::size_t kMaxQueuedBytes = 128u << 20;
// The row's cost beyond its blobs, for the totals.
constexpr std::int64_t kRowOverhead = 96;
// Of the limit, the write-ahead log may take one share; the database's pages get the rest but
// one more share, so that deleting rows (which writes to the log) never overshoots.
constexpr std::uint64_t kLogShareDivisor = 8;

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

std::uint64_t LogShare(std::uint64_t limit) {
    return limit / kLogShareDivisor;
}

// What the database's pages may hold: the limit less the log's share and a margin of one more.
std::uint64_t PageBudget(std::uint64_t limit) {
    const std::uint64_t reserved = 2 * LogShare(limit);
    return limit > reserved ? limit - reserved : 0;
}

// The checksum covers the key and the stored path as well as the text, so that a text found
// under another row's key (a damaged page, a row moved by damage) never passes.
std::uint64_t RowChecksum(const TextCacheKey& key, std::string_view path, std::string_view textBytes,
                          std::string_view log) {
    const std::int64_t fields[] = {Signed(key.device), Signed(key.inode), key.size,       key.modifiedNs,
                                   key.changedNs,      key.readerVersion, key.layoutWidth};
    std::uint64_t h = Checksum64({reinterpret_cast<const char*>(fields), sizeof fields}, 0);
    h = Checksum64(path, h);
    h = Checksum64(key.type, h);
    h = Checksum64(textBytes, h);
    return Checksum64(log, h);
}

// Our own statements fail with SQLITE_ERROR only when the tables are not of the shape this build
// made (edited, or another program's): damage like any other, not a cache bypassed for good.
int ShapeIsDamage(int rc) {
    return (rc & 0xFF) == SQLITE_ERROR ? SQLITE_CORRUPT : rc;
}

std::string_view Bytes(std::u16string_view text) {
    return {reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t)};
}

std::string Parent(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

bool Refuse(std::string* why, const std::string& reason) {
    if (why)
        *why = reason;
    return false;
}

// mkdir -p with mode 0700 for every folder it makes.
bool MakeFolders(const std::string& folder, std::string* why) {
    struct stat st;
    if (stat(folder.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) || Refuse(why, folder + ": not a folder");
    const std::string parent = Parent(folder);
    if (!parent.empty() && !MakeFolders(parent, why))
        return false;
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return Refuse(why, folder + ": " + std::strerror(errno));
    return true;
}

// The cache's own folder or file, opened without following a link: it must be the user's, and
// is made readable by the user alone whatever its mode was.
bool MakePrivate(int fd, const std::string& path, bool folder, std::string* why) {
    struct stat st;
    if (fstat(fd, &st) != 0)
        return Refuse(why, path + ": " + std::strerror(errno));
    if (folder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode))
        return Refuse(why, path + (folder ? ": not a folder" : ": not a regular file"));
    if (st.st_uid != geteuid())
        return Refuse(why, path + ": belongs to another user");
    const mode_t mode = folder ? 0700 : 0600;
    if ((st.st_mode & 07777) != mode && fchmod(fd, mode) != 0)
        return Refuse(why, path + ": " + std::strerror(errno));
    return true;
}

bool PrepareFolder(const std::string& folder, std::string* why) {
    if (!MakeFolders(folder, why))
        return false;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return Refuse(why, folder + ": " +
                               (errno == ENOTDIR || errno == ELOOP ? std::string("a link, not a folder")
                                                                   : std::strerror(errno)));
    const bool ok = MakePrivate(fd, folder, true, why);
    close(fd);
    return ok;
}

// The database (made when missing) and the log and shared-memory files that exist beside it.
// Made here, not by SQLite, so that the texts are never readable by others; SQLite gives the
// files it makes later the database's mode.
bool PrepareFiles(const std::string& path, std::string* why) {
    for (const char* suffix : {"", "-wal", "-shm"}) {
        const std::string file = path + suffix;
        const int create = suffix[0] == '\0' ? O_CREAT : 0;
        const int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | create, 0600);
        if (fd < 0) {
            if (errno == ENOENT && !create)
                continue;
            return Refuse(why,
                          file + ": " +
                              (errno == ELOOP ? std::string("a link, not a file") : std::strerror(errno)));
        }
        const bool ok = MakePrivate(fd, file, false, why);
        close(fd);
        if (!ok)
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

// Every statement the cache runs, prepared once: a table of another shape fails here.
int CheckStatements(SqliteConnection& db) {
    for (const char* sql : {kLookup, kInsert, kDrop, kTouch, kUnder, kRemove, kOldest, kTotals}) {
        SqliteStatement statement;
        if (const int rc = statement.prepare(db, sql); rc != SQLITE_OK)
            return ShapeIsDamage(rc);
    }
    return SQLITE_OK;
}

// Settles the connection's modes and the tables; the SQLite result code.
int PrepareDatabase(SqliteConnection& db, std::uint64_t limitBytes) {
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
    // The log is emptied back to its share of the limit; SQLite's own checkpoints come before it
    // grows past it.
    const std::uint64_t share = LogShare(limitBytes);
    const std::string modes =
        "PRAGMA synchronous = NORMAL; PRAGMA journal_size_limit = " + std::to_string(share) +
        "; PRAGMA wal_autocheckpoint = " +
        std::to_string(std::clamp<std::uint64_t>(share / 4096 / 2, 16, 1000));
    if ((rc = db.exec(modes.c_str())) != SQLITE_OK)
        return rc;
    const std::optional<std::int64_t> version = db.queryInt("PRAGMA user_version", &rc);
    if (rc != SQLITE_OK)
        return rc;
    if (version != kSchemaVersion) {
        if ((rc = db.exec("BEGIN IMMEDIATE")) != SQLITE_OK)
            return rc;
        // Another process may have made the tables meanwhile.
        if (db.queryInt("PRAGMA user_version", &rc) != kSchemaVersion && rc == SQLITE_OK) {
            rc = db.exec("DROP TABLE IF EXISTS texts; DROP TABLE IF EXISTS totals");
            if (rc == SQLITE_OK)
                rc = db.exec(kSchema);
        }
        if (rc == SQLITE_OK)
            rc = db.exec("COMMIT");
        if (rc != SQLITE_OK) {
            db.exec("ROLLBACK");
            return rc;
        }
    }
    return CheckStatements(db);
}

// A connection to the database at path, ready for the writer; nullptr with the reason in why.
std::unique_ptr<SqliteConnection> OpenDatabase(const std::string& path, std::uint64_t limitBytes, int& rc,
                                               std::string* why) {
    rc = SQLITE_CANTOPEN;
    if (!PrepareFiles(path, why))
        return nullptr;
    std::unique_ptr<SqliteConnection> db = SqliteConnection::open(path, false, kWriteBusyMilliseconds, why);
    if (!db)
        return nullptr;
    rc = PrepareDatabase(*db, limitBytes);
    if (rc == SQLITE_OK)
        return db;
    if (why)
        *why = path + ": " + db->message();
    return nullptr;
}

} // namespace

struct TextCache::Operation {
    enum Kind { Store, Drop, Forget, Clear, Checkpoint };
    Kind kind = Store;
    TextCacheKey key;
    std::int64_t checksum = 0;
    std::int64_t units = 0;
    std::int64_t bytes = 0;
    std::int64_t usedAt = 0;
    std::string text;
    std::string log;
    std::unordered_set<FileId, FileIdHash> seen;

    // The memory this operation holds while it waits.
    std::size_t heldBytes() const {
        return sizeof(Operation) + text.capacity() + log.capacity() + key.path.capacity() +
               key.type.capacity() + seen.size() * (sizeof(FileId) + 2 * sizeof(void*));
    }
};

struct TextCache::ReadConnection {
    std::unique_ptr<SqliteConnection> db;
    SqliteStatement lookup;
    std::uint64_t generation = 0;
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
            rc = drop.prepare(db, kDrop);
        if (rc == SQLITE_OK)
            rc = touch.prepare(db, kTouch);
        if (rc == SQLITE_OK)
            rc = under.prepare(db, kUnder);
        if (rc == SQLITE_OK)
            rc = remove.prepare(db, kRemove);
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
    if (!PrepareFolder(folder, why))
        return nullptr;
    const std::string path = folder + "/" + kFileName;
    for (int attempt = 0;; ++attempt) {
        int rc = SQLITE_OK;
        std::unique_ptr<SqliteConnection> db = OpenDatabase(path, limitBytes, rc, why);
        if (db)
            return std::unique_ptr<TextCache>(new TextCache(path, limitBytes, std::move(db)));
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
}

std::uint64_t TextCache::generation() {
    std::lock_guard lock(stateMutex_);
    return generation_;
}

void TextCache::setReason(std::string reason) {
    std::lock_guard lock(stateMutex_);
    if (reason_.empty())
        reason_ = std::move(reason);
}

std::string TextCache::bypassReason() const {
    if (!bypassed())
        return {};
    std::lock_guard lock(stateMutex_);
    return reason_.empty() ? std::string("the database failed") : reason_;
}

std::unique_ptr<TextCache::ReadConnection> TextCache::borrowReader() {
    const std::uint64_t current = generation();
    {
        std::lock_guard lock(readersMutex_);
        while (!idleReaders_.empty()) {
            std::unique_ptr<ReadConnection> reader = std::move(idleReaders_.back());
            idleReaders_.pop_back();
            if (reader->generation == current)
                return reader;
        }
    }
    auto reader = std::make_unique<ReadConnection>();
    reader->generation = current;
    reader->db = SqliteConnection::open(path_, false, kReadBusyMilliseconds, nullptr);
    if (!reader->db)
        return nullptr;
    const int rc = ShapeIsDamage(reader->lookup.prepare(*reader->db, kLookup));
    if (rc != SQLITE_OK) {
        noteFailure(rc, current);
        return nullptr;
    }
    reader->db->exec("PRAGMA query_only = 1");
    return reader;
}

void TextCache::returnReader(std::unique_ptr<ReadConnection> reader) {
    if (reader->generation != generation())
        return;
    std::lock_guard lock(readersMutex_);
    idleReaders_.push_back(std::move(reader));
}

void TextCache::noteFailure(int rc, std::uint64_t generation) {
    if (IsDamage(rc)) {
        {
            std::lock_guard lock(stateMutex_);
            // Damage of a database already replaced is no news.
            if (generation != generation_ || damaged_)
                return;
            damaged_ = true;
            lookupsOff_.store(true);
            storesOff_.store(true);
            // Removed at once, so that no process, however it ends, finds this file again.
            RemoveDatabase(path_);
        }
        {
            std::lock_guard lock(queueMutex_);
            rebuildWanted_ = true;
            ++requested_;
        }
        wake_.notify_one();
    } else if (IsBusy(rc) && busyLookups_.fetch_add(1) + 1 >= kMaxBusyLookups) {
        setReason("the database is held by another process");
        lookupsOff_.store(true);
    }
}

bool TextCache::rebuild() {
    {
        std::lock_guard lock(readersMutex_);
        idleReaders_.clear();
    }
    writer_.reset();
    std::string why;
    int rc = SQLITE_OK;
    std::unique_ptr<SqliteConnection> db =
        ++rebuilds_ <= kMaxRebuilds ? OpenDatabase(path_, limitBytes_, rc, &why) : nullptr;
    std::lock_guard lock(stateMutex_);
    ++generation_;
    damaged_ = false;
    if (!db) {
        reason_ = "the database was damaged and could not be made anew" + (why.empty() ? "" : ": " + why);
        return false;
    }
    writer_ = std::move(db);
    failedBatches_ = 0;
    busyLookups_.store(0);
    lookupsOff_.store(false);
    storesOff_.store(false);
    return true;
}

std::optional<TextCache::Entry> TextCache::lookup(const TextCacheKey& key) {
    if (lookupsOff_.load(std::memory_order_relaxed))
        return std::nullopt;
    std::unique_ptr<ReadConnection> reader = borrowReader();
    if (!reader)
        return std::nullopt;
    SqliteStatement& row = reader->lookup;
    row.bind(1, Signed(key.device));
    row.bind(2, Signed(key.inode));
    const int rc = ShapeIsDamage(row.step());
    std::optional<Entry> entry;
    std::int64_t checksum = 0;
    bool bad = false;
    if (rc == SQLITE_ROW) {
        checksum = row.columnInt(7);
        // A row of another version of the file is a plain miss: the caller reads the file and
        // its store replaces the row.
        if (row.columnBlob(1) == key.type && row.columnInt(2) == key.size &&
            row.columnInt(3) == key.modifiedNs && row.columnInt(4) == key.changedNs &&
            row.columnInt(5) == key.readerVersion && row.columnInt(6) == key.layoutWidth) {
            const std::string_view log = row.columnBlob(9);
            const std::int64_t units = row.columnInt(8);
            std::optional<std::u16string> text =
                units >= 0 ? DecompressText(row.columnBlob(10), static_cast<std::size_t>(units))
                           : std::nullopt;
            std::optional<std::vector<std::u16string>> lines = UnpackLines(log);
            if (text && lines &&
                RowChecksum(key, row.columnBlob(0), Bytes(*text), log) ==
                    static_cast<std::uint64_t>(checksum))
                entry = Entry{std::move(*text), std::move(*lines)};
            else
                bad = true;
        }
    } else if (rc != SQLITE_DONE) {
        noteFailure(rc, reader->generation);
    }
    row.reset();
    returnReader(std::move(reader));

    if (bad) {
        // Never trusted again: the row goes, and the document is read afresh.
        Operation drop;
        drop.kind = Operation::Drop;
        drop.key.device = key.device;
        drop.key.inode = key.inode;
        drop.checksum = checksum;
        enqueue(std::move(drop));
    } else if (entry) {
        std::lock_guard lock(queueMutex_);
        touches_.push_back({{key.device, key.inode}, NextUseTime()});
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
    row.checksum = static_cast<std::int64_t>(RowChecksum(key, key.path, Bytes(text), row.log));
    row.units = static_cast<std::int64_t>(text.size());
    row.bytes =
        static_cast<std::int64_t>(row.text.size() + row.log.size() + key.path.size() + key.type.size()) +
        kRowOverhead;
    row.usedAt = NextUseTime();
    // A row larger than the whole cache would only push everything else out and go itself.
    if (static_cast<std::uint64_t>(row.bytes) > PageBudget(limitBytes_))
        return;
    enqueue(std::move(row));
}

void TextCache::forgetMissing(const std::string& folder, std::unordered_set<FileId, FileIdHash> seenFiles) {
    std::string base = folder;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    if (base.empty())
        return;
    Operation forget;
    forget.kind = Operation::Forget;
    forget.key.path = base;
    forget.seen = std::move(seenFiles);
    enqueue(std::move(forget));
}

void TextCache::endOfRun() {
    Operation checkpoint;
    checkpoint.kind = Operation::Checkpoint;
    enqueue(std::move(checkpoint));
}

void TextCache::enqueue(Operation operation) {
    const std::size_t bytes = operation.heldBytes();
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
    // Counted, not taken from the totals: looking at every row is also a check of the file.
    SqliteStatement count;
    int rc = count.prepare(*reader->db, "SELECT count(*), coalesce(sum(bytes), 0) FROM texts");
    if (rc == SQLITE_OK && (rc = count.step()) == SQLITE_ROW) {
        stats.rows = count.columnInt(0);
        stats.bytes = count.columnInt(1);
    }
    count.reset();
    const std::uint64_t generation = reader->generation;
    returnReader(std::move(reader));
    if (rc != SQLITE_ROW) {
        rc = ShapeIsDamage(rc);
        noteFailure(rc, generation);
        if (!IsDamage(rc))
            return std::nullopt;
        // Damage found here is acted on as anywhere: what stands afterwards is the new database.
        flush();
        if (bypassed())
            return std::nullopt;
        stats.rows = stats.bytes = 0;
    }
    for (const char* suffix : {"", "-wal", "-shm"})
        stats.fileBytes += FileSize(path_ + suffix);
    stats.limitBytes = limitBytes_;
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
    enqueue(std::move(clear));
    flush();
    std::lock_guard lock(queueMutex_);
    return !clearFailed_;
}

void TextCache::writerLoop() {
    std::unique_lock lock(queueMutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || done_ < requested_; });
        // A reading run stores documents one by one: gathering them spares a commit each.
        wake_.wait_for(lock, kBatchWindow, [&] {
            return stopping_ || flushWaiters_ > 0 || rebuildWanted_ || pending_.size() >= kBatchRows;
        });
        std::vector<Operation> batch = std::move(pending_);
        std::vector<Touch> touches = std::move(touches_);
        pending_.clear();
        touches_.clear();
        queuedBytes_ = 0;
        const std::uint64_t upTo = requested_;
        lock.unlock();
        bool cleared = (!batch.empty() || !touches.empty()) && writeBatch(batch, touches);
        bool rebuilt = false;
        {
            std::unique_lock state(stateMutex_);
            const bool damaged = damaged_;
            state.unlock();
            // The batch found the damage or a lookup did: either way the new database is empty,
            // which is all a clear asks for.
            if (damaged)
                rebuilt = rebuild();
        }
        cleared = cleared || (rebuilt && std::any_of(batch.begin(), batch.end(), [](const Operation& o) {
                                  return o.kind == Operation::Clear;
                              }));
        batch.clear();
        touches.clear();
        lock.lock();
        if (rebuilt || !rebuildWanted_)
            rebuildWanted_ = false;
        if (cleared)
            clearFailed_ = false;
        done_ = upTo;
        written_.notify_all();
        if (stopping_ && done_ == requested_)
            return;
    }
}

bool TextCache::writeBatch(std::vector<Operation>& batch, std::vector<Touch>& touches) {
    if (storesOff_.load() || !writer_)
        return false;
    const std::uint64_t writing = generation();
    WriteStatements statements;
    int rc = writer_->exec("BEGIN IMMEDIATE");
    if (rc == SQLITE_OK)
        rc = statements.prepare(*writer_);
    bool stored = false;
    bool cleared = false;
    bool shrunk = false;
    bool checkpoint = false;
    for (Operation& operation : batch) {
        if (rc != SQLITE_OK)
            break;
        rc = apply(statements, operation);
        stored |= operation.kind == Operation::Store;
        cleared |= operation.kind == Operation::Clear;
        checkpoint |= operation.kind == Operation::Checkpoint;
        shrunk |= operation.kind == Operation::Drop || operation.kind == Operation::Forget ||
                  operation.kind == Operation::Clear;
    }
    for (const Touch& touch : touches) {
        if (rc != SQLITE_OK)
            break;
        statements.touch.bind(1, touch.usedAt);
        statements.touch.bind(2, Signed(touch.file.device));
        statements.touch.bind(3, Signed(touch.file.inode));
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
        if (IsDamage(rc = ShapeIsDamage(rc))) {
            noteFailure(rc, writing);
        } else if (++failedBatches_ >= kMaxFailedBatches) {
            // A full disk, a read-only file or a lock held by another process: the rows of this
            // run are dropped rather than retried forever.
            setReason("writing failed: " + writer_->message());
            storesOff_.store(true);
        }
        return false;
    }
    failedBatches_ = 0;
    if (cleared || (shrunk && writer_->queryInt("PRAGMA freelist_count").value_or(0) * 4 >
                                  writer_->queryInt("PRAGMA page_count").value_or(0)))
        writer_->exec("PRAGMA incremental_vacuum");
    limitLog(cleared || checkpoint);
    return cleared;
}

void TextCache::limitLog(bool always) {
    if (always || static_cast<std::uint64_t>(FileSize(path_ + "-wal")) > LogShare(limitBytes_))
        writer_->exec("PRAGMA wal_checkpoint(TRUNCATE)");
}

int TextCache::apply(WriteStatements& statements, Operation& operation) {
    int rc = SQLITE_DONE;
    switch (operation.kind) {
    case Operation::Store: {
        SqliteStatement& insert = statements.insert;
        const TextCacheKey& key = operation.key;
        insert.bind(1, Signed(key.device));
        insert.bind(2, Signed(key.inode));
        insert.bindBlob(3, key.path);
        insert.bindBlob(4, key.type);
        insert.bind(5, operation.bytes);
        insert.bind(6, operation.usedAt);
        insert.bind(7, key.size);
        insert.bind(8, key.modifiedNs);
        insert.bind(9, key.changedNs);
        insert.bind(10, key.readerVersion);
        insert.bind(11, key.layoutWidth);
        insert.bind(12, operation.checksum);
        insert.bind(13, operation.units);
        insert.bindBlob(14, operation.log);
        insert.bindBlob(15, operation.text);
        rc = insert.step();
        insert.reset();
        break;
    }
    case Operation::Drop:
        statements.drop.bind(1, Signed(operation.key.device));
        statements.drop.bind(2, Signed(operation.key.inode));
        statements.drop.bind(3, operation.checksum);
        rc = statements.drop.step();
        statements.drop.reset();
        break;
    case Operation::Forget: {
        // Every path below the folder: from "folder/" up to, not including, "folder0" ('0'
        // follows '/'), compared as bytes. A row stays while its file was seen, under this path
        // or another.
        const std::string& folder = operation.key.path;
        const std::string low = folder == "/" ? folder : folder + "/";
        const std::string high = folder == "/" ? std::string("0") : folder + "0";
        std::vector<std::int64_t> gone;
        statements.under.bindBlob(1, low);
        statements.under.bindBlob(2, high);
        while ((rc = statements.under.step()) == SQLITE_ROW) {
            const FileId file{static_cast<std::uint64_t>(statements.under.columnInt(1)),
                              static_cast<std::uint64_t>(statements.under.columnInt(2))};
            if (!operation.seen.count(file))
                gone.push_back(statements.under.columnInt(0));
        }
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
    case Operation::Checkpoint:
        break;
    }
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int TextCache::evict(bool& shrunk) {
    // The pages that hold rows, from the database's header: free pages are reused by the next
    // stores and given back to the disk by the vacuum.
    int rc = SQLITE_OK;
    const std::int64_t pages = writer_->queryInt("PRAGMA page_count", &rc).value_or(0);
    if (rc == SQLITE_OK) {
        const std::int64_t free = writer_->queryInt("PRAGMA freelist_count", &rc).value_or(0);
        const std::int64_t pageSize = writer_->queryInt("PRAGMA page_size", &rc).value_or(4096);
        const auto used = static_cast<std::uint64_t>(std::max<std::int64_t>(pages - free, 0) * pageSize);
        const std::uint64_t budget = PageBudget(limitBytes_);
        if (rc != SQLITE_OK || used <= budget)
            return rc;
        SqliteStatement totals;
        rc = totals.prepare(*writer_, kTotals);
        const std::int64_t rowBytes =
            rc == SQLITE_OK && (rc = totals.step()) == SQLITE_ROW ? totals.columnInt(1) : 0;
        totals.reset();
        if (rc != SQLITE_ROW)
            return rc == SQLITE_DONE ? SQLITE_CORRUPT : rc;
        // Down to seven eighths of the budget, so that the next few stores don't evict again; the
        // pages' excess in row bytes, as the rows fill their pages on average.
        const double excessPages = static_cast<double>(used - (budget - budget / 8));
        auto excess = static_cast<std::int64_t>(excessPages * static_cast<double>(rowBytes) /
                                                static_cast<double>(used)) +
                      1;
        std::vector<std::int64_t> gone;
        SqliteStatement oldest;
        rc = oldest.prepare(*writer_, kOldest);
        while (rc == SQLITE_OK && excess > 0 && oldest.step() == SQLITE_ROW) {
            gone.push_back(oldest.columnInt(0));
            excess -= oldest.columnInt(1);
        }
        oldest.reset();
        SqliteStatement remove;
        if (rc == SQLITE_OK)
            rc = remove.prepare(*writer_, kRemove);
        for (std::int64_t rowid : gone) {
            if (rc != SQLITE_OK)
                break;
            remove.bind(1, rowid);
            rc = remove.step();
            remove.reset();
            rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
        }
        shrunk = shrunk || !gone.empty();
    }
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
