// The text cache gives back exactly what was stored or nothing: across processes, after a crash,
// and whatever happened to its file.

#include "Harness.h"

#include "engine/TextCache.h"
#include "engine/TextCacheCodec.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <malloc.h>
#include <random>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tessarel::test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint64_t kLimit = 64u << 20;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Rows are found by file: each path here stands for a file of its own.
TextCacheKey Key(const std::string& path, std::int64_t size = 100) {
    TextCacheKey key;
    key.device = 2049;
    key.inode = std::hash<std::string>()(path);
    key.path = path;
    key.size = size;
    key.modifiedNs = 1700000000123456789;
    key.changedNs = 1700000000987654321;
    return key;
}

// Text that does not compress: random units of the Basic Multilingual Plane below the surrogates.
std::u16string RandomText(std::size_t units, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> unit(0x20, 0xD7FF);
    std::u16string text(units, u' ');
    for (char16_t& c : text)
        c = static_cast<char16_t>(unit(rng));
    return text;
}

// Running text of a few words, as documents have.
std::u16string WordText(std::size_t units, unsigned seed) {
    static const char16_t* words[] = {u"licence ", u"the ",     u"search ", u"документ ",
                                      u"of ",      u"folder. ", u"text ",   u"Ωμέγα "};
    std::mt19937 rng(seed);
    std::u16string text;
    while (text.size() < units)
        text += words[rng() % 8];
    text.resize(units);
    return text;
}

std::string CacheFile(const TempDir& dir) {
    return (dir.path() / TextCache::kFileName).string();
}

std::unique_ptr<TextCache> OpenIn(const TempDir& dir, std::uint64_t limit = kLimit) {
    std::string why;
    std::unique_ptr<TextCache> cache = TextCache::open(dir.path().string(), limit, &why);
    EXPECT_TRUE(cache) << why;
    return cache;
}

// Runs SQL on the cache's file from a connection of the test's own.
class DirectDatabase {
public:
    explicit DirectDatabase(const std::string& path) { sqlite3_open(path.c_str(), &db_); }
    ~DirectDatabase() { sqlite3_close(db_); }
    int exec(const std::string& sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); }
    std::int64_t count(const std::string& where = "1") {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db_, ("SELECT count(*) FROM texts WHERE " + where).c_str(), -1, &s, nullptr);
        const std::int64_t n = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : -1;
        sqlite3_finalize(s);
        return n;
    }
    std::int64_t sum(const std::string& column) {
        return std::stoll(text("SELECT coalesce(sum(" + column + "), 0) FROM texts"));
    }
    // The first column of the first row, as text.
    std::string text(const std::string& sql) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr);
        std::string value;
        if (sqlite3_step(s) == SQLITE_ROW && sqlite3_column_text(s, 0))
            value = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        sqlite3_finalize(s);
        return value;
    }
    void setBlob(const std::string& column, const std::string& path, const std::string& bytes) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db_,
                           ("UPDATE texts SET " + column + " = ?1 WHERE CAST(path AS BLOB) = ?2").c_str(), -1,
                           &s, nullptr);
        sqlite3_bind_blob(s, 1, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
        sqlite3_bind_blob(s, 2, path.data(), static_cast<int>(path.size()), SQLITE_TRANSIENT);
        EXPECT_EQ(sqlite3_step(s), SQLITE_DONE);
        sqlite3_finalize(s);
    }

private:
    sqlite3* db_ = nullptr;
};

// Runs body in a child process and returns its exit status; body returns 0 for success or the
// number of the check that failed. As root, the child first becomes "nobody", so that file
// modes bind it.
int InChild(const std::function<int()>& body, bool unprivileged = false) {
    const pid_t child = fork();
    if (child == 0) {
        if (unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(100);
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 200 + WTERMSIG(status);
}

TEST(TextCache, GivesBackExactlyWhatWasStored) {
    TempDir dir;
    std::u16string surrogates = u"lone \xD800 high, lone \xDC00 low, reversed \xDC00\xD800, end \xD83D";
    surrogates.push_back(u'\0');
    surrogates += u" after a NUL";
    const std::vector<std::pair<std::u16string, std::vector<std::u16string>>> rows = {
        {u"", {}},
        {u" kiwi one.", {u"/docs/a.txt"}},
        {surrogates, {u"", u"line with \xDBFF unpaired", std::u16string(3, u'\0')}},
        {WordText(3'000'000, 1), {u"first", u"second"}},
        {RandomText(1'500'000, 2), {}},
    };
    {
        std::unique_ptr<TextCache> cache = OpenIn(dir);
        for (std::size_t i = 0; i < rows.size(); ++i)
            cache->store(Key("/docs/" + std::to_string(i)), rows[i].first, rows[i].second);
        cache->flush();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const auto entry = cache->lookup(Key("/docs/" + std::to_string(i)));
            ASSERT_TRUE(entry) << i;
            EXPECT_TRUE(entry->text == rows[i].first) << i;
            EXPECT_EQ(entry->logLines, rows[i].second) << i;
        }
    }
    // And in the next process's run.
    std::unique_ptr<TextCache> again = OpenIn(dir);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto entry = again->lookup(Key("/docs/" + std::to_string(i)));
        ASSERT_TRUE(entry) << i;
        EXPECT_TRUE(entry->text == rows[i].first) << i;
    }
    EXPECT_EQ(again->stats()->rows, static_cast<std::int64_t>(rows.size()));
}

TEST(TextCache, AnyChangeOfTheKeyIsAMissAndAStoreReplacesTheRowOfItsFile) {
    TempDir dir;
    std::unique_ptr<TextCache> cache = OpenIn(dir);
    const TextCacheKey key = Key("/docs/report.txt");
    cache->store(key, u"old text", {u"old log"});
    cache->flush();
    ASSERT_TRUE(cache->lookup(key));

    std::vector<std::pair<const char*, TextCacheKey>> changed(8, {"", key});
    changed[0].first = "device", ++changed[0].second.device;
    changed[1].first = "inode", ++changed[1].second.inode;
    changed[2].first = "size", ++changed[2].second.size;
    changed[3].first = "modification time", ++changed[3].second.modifiedNs;
    changed[4].first = "change time", ++changed[4].second.changedNs;
    changed[5].first = "reader version", ++changed[5].second.readerVersion;
    changed[6].first = "type (the reader)", changed[6].second.type = "rtf";
    changed[7].first = "layout width", changed[7].second.layoutWidth = 46;
    for (const auto& [field, other] : changed)
        EXPECT_FALSE(cache->lookup(other)) << field;
    // The same file under another path (a link to it, or to its folder) is the same row.
    TextCacheKey linked = key;
    linked.path = "/elsewhere/report.txt";
    EXPECT_TRUE(cache->lookup(linked));

    TextCacheKey rewritten = key;
    rewritten.changedNs += 5;
    cache->store(rewritten, u"new text", {});
    cache->flush();
    EXPECT_FALSE(cache->lookup(key));
    const auto entry = cache->lookup(rewritten);
    ASSERT_TRUE(entry);
    EXPECT_TRUE(entry->text == u"new text");
    EXPECT_EQ(cache->stats()->rows, 1);
}

TEST(TextCache, AFileRewrittenWithItsOldSizeAndModificationTimeIsAMiss) {
    TempDir dir;
    TempDir docs;
    const fs::path file = docs.write("a.txt", "kiwi one.");
    struct stat before;
    ASSERT_EQ(stat(file.c_str(), &before), 0);
    std::unique_ptr<TextCache> cache = OpenIn(dir);
    cache->store(TextCacheKeyOf(before, file.string()), u" kiwi one.", {});
    cache->flush();
    ASSERT_TRUE(cache->lookup(TextCacheKeyOf(before, file.string())));

    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    docs.write("a.txt", "pear two.");
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    struct stat after;
    ASSERT_EQ(stat(file.c_str(), &after), 0);
    ASSERT_EQ(after.st_size, before.st_size);
    ASSERT_EQ(TextCacheKeyOf(after, "").modifiedNs, TextCacheKeyOf(before, "").modifiedNs);
    EXPECT_FALSE(cache->lookup(TextCacheKeyOf(after, file.string())));
}

TEST(TextCache, ADamagedRowIsAMissAndIsDropped) {
    TempDir dir;
    std::unique_ptr<TextCache> cache = OpenIn(dir);
    const std::u16string text = WordText(5000, 3);
    const std::vector<std::pair<const char*, std::string>> damage = {
        // Another text of the same length: decompresses, fails the checksum.
        {"text", CompressText(WordText(5000, 4))},
        {"text", "not a zstd frame at all"},
        {"text", CompressText(text).substr(0, 40)},
        {"log", PackLines({u"another line"})},
        {"log", "\x05"},
    };
    for (std::size_t i = 0; i < damage.size(); ++i)
        cache->store(Key("/docs/" + std::to_string(i)), text, {u"line"});
    cache->flush();
    DirectDatabase db(CacheFile(dir));
    for (std::size_t i = 0; i < damage.size(); ++i)
        db.setBlob(damage[i].first, "/docs/" + std::to_string(i), damage[i].second);
    for (std::size_t i = 0; i < damage.size(); ++i)
        EXPECT_FALSE(cache->lookup(Key("/docs/" + std::to_string(i)))) << i;
    cache->flush();
    EXPECT_EQ(db.count(), 0);
}

TEST(TextCache, ADamagedFileIsRebuiltAndNeverGivesAWrongText) {
    const std::u16string text = WordText(20000, 5);
    auto fill = [&](const TempDir& dir) {
        std::unique_ptr<TextCache> cache = OpenIn(dir);
        for (int i = 0; i < 200; ++i)
            cache->store(Key("/docs/" + std::to_string(i)), text + Widen(std::to_string(i)), {});
    };
    // Every lookup is the exact text or a miss; then the cache works again.
    auto check = [&](const TempDir& dir, const char* what) {
        {
            std::string why;
            std::unique_ptr<TextCache> cache = TextCache::open(dir.path().string(), kLimit, &why);
            ASSERT_TRUE(cache) << what << ": " << why;
            for (int i = 0; i < 200; ++i)
                if (auto entry = cache->lookup(Key("/docs/" + std::to_string(i)))) {
                    EXPECT_TRUE(entry->text == text + Widen(std::to_string(i))) << what << " " << i;
                }
        }
        std::unique_ptr<TextCache> cache = OpenIn(dir);
        ASSERT_TRUE(cache) << what;
        cache->store(Key("/new"), u"fresh", {});
        cache->flush();
        const auto entry = cache->lookup(Key("/new"));
        ASSERT_TRUE(entry) << what;
        EXPECT_TRUE(entry->text == u"fresh") << what;
    };

    {
        TempDir dir;
        dir.write(TextCache::kFileName, std::string(10000, '\x5A'));
        check(dir, "garbage");
    }
    {
        TempDir dir;
        fill(dir);
        fs::resize_file(CacheFile(dir), fs::file_size(CacheFile(dir)) / 2);
        check(dir, "truncated");
    }
    {
        TempDir dir;
        fill(dir);
        // Pages overwritten in the middle of the file: tree pages and text pages alike.
        const int fd = open(CacheFile(dir).c_str(), O_WRONLY);
        const std::string junk(4096 * 8, '\xA5');
        ASSERT_EQ(pwrite(fd, junk.data(), junk.size(), 4096 * 20), static_cast<ssize_t>(junk.size()));
        close(fd);
        check(dir, "overwritten pages");
    }
}

TEST(TextCache, ALockedDatabaseNeverMakesARunWait) {
    TempDir dir;
    {
        std::unique_ptr<TextCache> cache = OpenIn(dir);
        cache->store(Key("/docs/a"), u"kiwi", {});
    }
    std::unique_ptr<TextCache> cache = OpenIn(dir);

    // A writer of another connection holds the write lock: reads go on in WAL mode, writes wait
    // a bounded time and are then dropped.
    {
        DirectDatabase other(CacheFile(dir));
        ASSERT_EQ(other.exec("BEGIN EXCLUSIVE; DELETE FROM texts WHERE path = x'00'"), SQLITE_OK);
        const auto start = Clock::now();
        const auto entry = cache->lookup(Key("/docs/a"));
        ASSERT_TRUE(entry);
        EXPECT_TRUE(entry->text == u"kiwi");
        EXPECT_LT(SecondsSince(start), 0.5);
        for (int i = 0; i < 100; ++i)
            cache->store(Key("/docs/new" + std::to_string(i)), u"pear", {});
        cache->flush();
        EXPECT_LT(SecondsSince(start), 5.0);
        EXPECT_FALSE(cache->lookup(Key("/docs/new0")));
        other.exec("ROLLBACK");
    }
    cache.reset();
    // A connection in exclusive locking mode shuts every other connection out: no cache, after a
    // bounded wait.
    DirectDatabase holder(CacheFile(dir));
    ASSERT_EQ(holder.exec("PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT"), SQLITE_OK);
    const auto opening = Clock::now();
    std::string why;
    EXPECT_FALSE(TextCache::open(dir.path().string(), kLimit, &why));
    EXPECT_LT(SecondsSince(opening), 3.0);
    EXPECT_FALSE(why.empty());
}

TEST(TextCache, AnUnwritableFolderOrFullDiskIsBypassed) {
    TempDir base;
    const fs::path folder = base.path() / "cache";
    fs::create_directories(folder);
    ASSERT_EQ(chown(folder.c_str(), 65534, 65534) == 0 || geteuid() != 0, true);
    const std::string cacheFolder = folder.string();
    const int readOnly = InChild(
        [&] {
            {
                auto cache = TextCache::open(cacheFolder, kLimit);
                if (!cache)
                    return 1;
                cache->store(Key("/docs/a"), u"kiwi", {});
            }
            if (chmod(cacheFolder.c_str(), 0500) != 0)
                return 2;
            // The cache's own folder is made the user's alone again, whatever its mode.
            std::string why;
            if (!TextCache::open(cacheFolder, kLimit, &why))
                return 3;
            // No cache in a folder that can't be made.
            if (chmod(cacheFolder.c_str(), 0500) != 0)
                return 5;
            if (TextCache::open(cacheFolder + "/below", kLimit, &why) || why.empty())
                return 4;
            chmod(cacheFolder.c_str(), 0700);
            return 0;
        },
        true);
    EXPECT_EQ(readOnly, 0);

    // A file size limit stands in for a full disk: the writes fail, the stores are dropped.
    TempDir full;
    const int fullDisk = InChild([&] {
        auto cache = TextCache::open(full.path().string(), kLimit);
        if (!cache)
            return 1;
        cache->store(Key("/docs/small"), u"kiwi", {});
        cache->flush();
        signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit = {256 * 1024, 256 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        const auto start = Clock::now();
        for (int i = 0; i < 20; ++i) {
            cache->store(Key("/docs/big" + std::to_string(i)), RandomText(100000, i), {});
            cache->flush();
        }
        if (SecondsSince(start) > 10)
            return 2;
        for (int i = 0; i < 20; ++i)
            if (auto entry = cache->lookup(Key("/docs/big" + std::to_string(i))))
                if (entry->text != RandomText(100000, i))
                    return 3;
        const auto small = cache->lookup(Key("/docs/small"));
        return small && small->text != u"kiwi" ? 4 : 0;
    });
    EXPECT_EQ(fullDisk, 0);
}

TEST(TextCache, AWriterKilledMidRunLeavesAUsableCache) {
    TempDir dir;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        auto cache = TextCache::open(dir.path().string(), kLimit);
        if (!cache)
            _exit(1);
        for (int i = 0; i < 50; ++i)
            cache->store(Key("/docs/" + std::to_string(i)), WordText(3000, i),
                         {u"log " + Widen(std::to_string(i))});
        cache->flush();
        if (write(ready[1], "x", 1) != 1)
            _exit(2);
        for (int i = 50;; ++i)
            cache->store(Key("/docs/" + std::to_string(i)), WordText(3000, i), {});
    }
    close(ready[1]);
    char byte;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    std::unique_ptr<TextCache> cache = OpenIn(dir);
    for (int i = 0; i < 50; ++i) {
        const auto entry = cache->lookup(Key("/docs/" + std::to_string(i)));
        ASSERT_TRUE(entry) << i;
        EXPECT_TRUE(entry->text == WordText(3000, i)) << i;
    }
    const std::int64_t rows = cache->stats()->rows;
    EXPECT_GE(rows, 50);
    for (int i = 50; i < rows + 100; ++i)
        if (auto entry = cache->lookup(Key("/docs/" + std::to_string(i)))) {
            EXPECT_TRUE(entry->text == WordText(3000, i)) << i;
        }
    cache->store(Key("/after"), u"after", {});
    cache->flush();
    EXPECT_TRUE(cache->lookup(Key("/after")));
}

TEST(TextCache, TwoProcessesAndManyThreadsShareOneCache) {
    TempDir dir;
    OpenIn(dir); // made before the processes race to make it
    auto fillAndRead = [&](const std::string& prefix) {
        auto cache = TextCache::open(dir.path().string(), kLimit);
        if (!cache)
            return 1;
        for (int i = 0; i < 300; ++i) {
            cache->store(Key(prefix + std::to_string(i)), WordText(2000, i), {});
            if (i % 50 == 0)
                cache->flush();
            if (auto entry = cache->lookup(Key(prefix + std::to_string(i / 2))))
                if (entry->text != WordText(2000, i / 2))
                    return 2;
        }
        cache->flush();
        return cache->bypassed() ? 3 : 0;
    };
    const pid_t child = fork();
    if (child == 0)
        _exit(fillAndRead("/child/"));
    EXPECT_EQ(fillAndRead("/parent/"), 0);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    std::unique_ptr<TextCache> cache = OpenIn(dir);
    EXPECT_EQ(cache->stats()->rows, 600);
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 300; ++i) {
                const std::string prefix = (i + t) % 2 ? "/child/" : "/parent/";
                const auto entry = cache->lookup(Key(prefix + std::to_string(i)));
                if (!entry || entry->text != WordText(2000, i))
                    ++wrong;
            }
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(TextCache, EvictsTheLeastRecentlyUsedRowsPastTheLimit) {
    TempDir dir;
    // The database's few pages of tables and indexes count against the limit too.
    constexpr std::uint64_t limit = 200 * 1024;
    std::unique_ptr<TextCache> cache = OpenIn(dir, limit);
    // Each row about 16 KB: random units do not compress.
    for (int i = 0; i < 30; ++i) {
        cache->store(Key("/docs/" + std::to_string(i)), RandomText(8000, i), {});
        cache->flush();
        // The first document stays in use.
        ASSERT_TRUE(cache->lookup(Key("/docs/0"))) << i;
    }
    cache->flush();
    const auto stats = cache->stats();
    EXPECT_LE(stats->bytes, static_cast<std::int64_t>(limit));
    EXPECT_GE(stats->rows, 4);
    EXPECT_FALSE(cache->lookup(Key("/docs/1")));
    EXPECT_FALSE(cache->lookup(Key("/docs/20")));
    EXPECT_TRUE(cache->lookup(Key("/docs/29")));

    // A text larger than the whole cache is not kept, and pushes nothing out.
    cache->store(Key("/docs/huge"), RandomText(100000, 99), {});
    cache->flush();
    EXPECT_FALSE(cache->lookup(Key("/docs/huge")));
    EXPECT_TRUE(cache->lookup(Key("/docs/29")));
}

TEST(TextCache, ForgetsTheFilesARunNoLongerFindsUnderItsFolder) {
    TempDir dir;
    std::unique_ptr<TextCache> cache = OpenIn(dir);
    for (const char* path : {"/d/a.txt", "/d/sub/b.txt", "/d/c.txt", "/dx/e.txt", "/d", "/other/f.txt"})
        cache->store(Key(path), u"text", {});
    const TextCacheKey seen = Key("/d/a.txt");
    cache->forgetMissing("/d/", {{seen.device, seen.inode}});
    cache->flush();
    for (const auto& [path, kept] : std::vector<std::pair<std::string, bool>>{{"/d/a.txt", true},
                                                                              {"/d/sub/b.txt", false},
                                                                              {"/d/c.txt", false},
                                                                              {"/dx/e.txt", true},
                                                                              {"/d", true},
                                                                              {"/other/f.txt", true}})
        EXPECT_EQ(cache->lookup(Key(path)).has_value(), kept) << path;
}

TEST(TextCache, StatsAndClear) {
    TempDir dir;
    std::unique_ptr<TextCache> cache = OpenIn(dir);
    for (int i = 0; i < 10; ++i)
        cache->store(Key("/docs/" + std::to_string(i)), WordText(1000, i), {});
    auto stats = cache->stats();
    ASSERT_TRUE(stats);
    EXPECT_EQ(stats->rows, 10);
    EXPECT_GT(stats->bytes, 0);
    EXPECT_GT(stats->fileBytes, 0);
    EXPECT_EQ(stats->location, CacheFile(dir));
    EXPECT_TRUE(cache->clear());
    EXPECT_EQ(cache->stats()->rows, 0);
    EXPECT_EQ(cache->stats()->bytes, 0);
    EXPECT_FALSE(cache->lookup(Key("/docs/0")));
    cache->store(Key("/docs/0"), u"again", {});
    cache->flush();
    EXPECT_TRUE(cache->lookup(Key("/docs/0")));
}

TEST(TextCache, LivesInTheUsersCacheFolderReadableByTheUserAlone) {
    const char* savedHome = std::getenv("HOME");
    const char* savedCache = std::getenv("XDG_CACHE_HOME");
    const std::string home = savedHome ? savedHome : "";
    const std::string xdg = savedCache ? savedCache : "";
    setenv("HOME", "/home/someone", 1);
    unsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(TextCache::defaultFolder(), "/home/someone/.cache/Tessarel");
    setenv("XDG_CACHE_HOME", "relative/ignored", 1);
    EXPECT_EQ(TextCache::defaultFolder(), "/home/someone/.cache/Tessarel");
    setenv("XDG_CACHE_HOME", "/var/cache/me", 1);
    EXPECT_EQ(TextCache::defaultFolder(), "/var/cache/me/Tessarel");
    unsetenv("XDG_CACHE_HOME");
    unsetenv("HOME");
    EXPECT_EQ(TextCache::defaultFolder(), "");
    std::string why;
    EXPECT_FALSE(TextCache::open(TextCache::defaultFolder(), kLimit, &why));
    EXPECT_FALSE(why.empty());
    savedHome ? setenv("HOME", home.c_str(), 1) : unsetenv("HOME");
    savedCache ? setenv("XDG_CACHE_HOME", xdg.c_str(), 1) : unsetenv("XDG_CACHE_HOME");

    TempDir base;
    const fs::path folder = base.path() / "made" / "Tessarel";
    const mode_t saved = umask(0);
    std::unique_ptr<TextCache> cache = TextCache::open(folder.string(), kLimit);
    umask(saved);
    ASSERT_TRUE(cache);
    cache->store(Key("/a"), u"a", {});
    cache->flush();
    auto mode = [](const fs::path& p) {
        struct stat st;
        return stat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    };
    EXPECT_EQ(mode(base.path() / "made"), 0700u);
    EXPECT_EQ(mode(folder), 0700u);
    EXPECT_EQ(mode(folder / "texts.sqlite"), 0600u);
    EXPECT_EQ(mode(folder / "texts.sqlite-wal"), 0600u);
}

TEST(TextCache, SettingsSwitchTheCacheAndBoundIt) {
    MemorySettingsStore settings;
    EXPECT_TRUE(TextCacheEnabled(settings));
    EXPECT_EQ(TextCacheLimitBytes(settings), 1024ull << 20);
    settings.writeInt(kSettingsSection, "TextCache", 0);
    settings.writeInt(kSettingsSection, "TextCacheLimitMB", 0);
    EXPECT_FALSE(TextCacheEnabled(settings));
    EXPECT_EQ(TextCacheLimitBytes(settings), 1024ull << 20);
    settings.writeInt(kSettingsSection, "TextCache", 1);
    settings.writeInt(kSettingsSection, "TextCacheLimitMB", 10);
    EXPECT_TRUE(TextCacheEnabled(settings));
    EXPECT_EQ(TextCacheLimitBytes(settings), 10ull << 20);
}

TEST(TextCacheCodec, RejectsDamagedFramesAndLineBlobs) {
    const std::u16string text = WordText(10000, 7);
    const std::string frame = CompressText(text);
    ASSERT_EQ(DecompressText(frame, text.size()), text);
    EXPECT_FALSE(DecompressText(frame, text.size() + 1));
    EXPECT_FALSE(DecompressText(frame.substr(0, frame.size() - 1), text.size()));
    EXPECT_FALSE(DecompressText("", 0));

    const std::string blob = PackLines({u"one", u"", u"\xD800"});
    ASSERT_TRUE(UnpackLines(blob));
    EXPECT_EQ(*UnpackLines(blob), (std::vector<std::u16string>{u"one", u"", u"\xD800"}));
    EXPECT_FALSE(UnpackLines(blob.substr(0, blob.size() - 1)));
    EXPECT_FALSE(UnpackLines(blob + "x"));
    EXPECT_FALSE(UnpackLines(std::string("\xFF\xFF\xFF\xFF", 4)));

    // One changed bit anywhere changes the checksum.
    const std::string bytes(1000, 'a');
    for (std::size_t at : {0, 31, 32, 500, 999}) {
        std::string flipped = bytes;
        flipped[at] ^= 1;
        EXPECT_NE(Checksum64(flipped, 0), Checksum64(bytes, 0)) << at;
    }
    EXPECT_NE(Checksum64(bytes, 1), Checksum64(bytes, 0));
}

TEST(TextCache, TheShippedReaderVersionIsTheOneDerivedFromTheReaders) {
    EXPECT_EQ(kReaderVersion, kShippedReaderVersion)
        << "a reader's source changed: run `" << kReaderVersionRefresh
        << "` in the source folder and commit engine/ReaderVersion.txt";
}

std::string Totals(DirectDatabase& db) {
    return std::to_string(db.count()) + " rows, " + std::to_string(db.sum("bytes")) + " bytes";
}

TEST(TextCache, TheRunningTotalsFollowEveryChangeOfTheRows) {
    TempDir dir;
    std::unique_ptr<TextCache> cache = OpenIn(dir, 400 * 1024);
    DirectDatabase db(CacheFile(dir));
    auto expectTotals = [&](const char* after) {
        cache->flush();
        EXPECT_EQ(db.text("SELECT rows || ' rows, ' || bytes || ' bytes' FROM totals"), Totals(db)) << after;
        EXPECT_EQ(cache->stats()->bytes, db.sum("bytes")) << after;
    };
    for (int i = 0; i < 20; ++i)
        cache->store(Key("/d/" + std::to_string(i)), WordText(2000, i), {u"line"});
    expectTotals("stores");
    cache->store(Key("/d/3"), WordText(9000, 99), {});
    expectTotals("a replaced row");
    db.setBlob("text", "/d/4", "damaged");
    EXPECT_FALSE(cache->lookup(Key("/d/4")));
    expectTotals("a dropped row");
    const TextCacheKey kept = Key("/d/5");
    cache->forgetMissing("/d", {{kept.device, kept.inode}});
    expectTotals("forgotten rows");
    for (int i = 0; i < 60; ++i)
        cache->store(Key("/e/" + std::to_string(i)), RandomText(8000, i), {});
    expectTotals("evicted rows");
    EXPECT_TRUE(cache->clear());
    expectTotals("a clear");
    EXPECT_EQ(db.count(), 0);
}

// What the heap holds, small blocks and mapped ones.
std::size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

TEST(TextCache, TheWriteQueueHoldsNoMoreThanItCounts) {
    TempDir dir;
    std::unique_ptr<TextCache> cache = OpenIn(dir);
    // Texts of 2 MB that compress well: a buffer of the compressor's bound apiece would hold
    // hundreds of megabytes behind a writer that waits for the lock.
    const std::u16string text = WordText(1 << 20, 9);
    DirectDatabase other(CacheFile(dir));
    ASSERT_EQ(other.exec("BEGIN EXCLUSIVE; DELETE FROM texts WHERE inode = -1"), SQLITE_OK);
    const std::size_t before = HeapInUse();
    for (int i = 0; i < 150; ++i)
        cache->store(Key("/big/" + std::to_string(i)), text, {});
    const std::size_t grown = HeapInUse() - std::min(HeapInUse(), before);
    EXPECT_LT(grown, std::size_t{64} << 20);
    other.exec("ROLLBACK");
}

TEST(TextCache, TheLimitCoversTheDatabaseAndItsLog) {
    TempDir dir;
    constexpr std::uint64_t limit = 4u << 20;
    std::unique_ptr<TextCache> cache = OpenIn(dir, limit);
    const std::string file = CacheFile(dir);
    auto onDisk = [&] {
        return fs::file_size(file) + (fs::exists(file + "-wal") ? fs::file_size(file + "-wal") : 0);
    };
    // 16 MB of texts that do not compress, four times the limit.
    for (int batch = 0; batch < 20; ++batch) {
        for (int i = 0; i < 20; ++i)
            cache->store(Key("/docs/" + std::to_string(batch * 20 + i)), RandomText(20000, batch * 20 + i),
                         {});
        cache->flush();
        EXPECT_LE(onDisk(), limit) << "after batch " << batch;
    }
    EXPECT_GE(cache->stats()->rows, 40);
    EXPECT_TRUE(cache->lookup(Key("/docs/399")));
    // The end of a run leaves no log behind, whichever way the process then ends.
    cache->endOfRun();
    cache->flush();
    EXPECT_EQ(fs::file_size(file + "-wal"), 0u);
}

TEST(TextCache, DamageFoundByALookupIsActedOnAtOnce) {
    TempDir dir;
    const std::u16string text = WordText(20000, 5);
    std::unique_ptr<TextCache> cache = OpenIn(dir);
    for (int i = 0; i < 200; ++i)
        cache->store(Key("/docs/" + std::to_string(i)), text + Widen(std::to_string(i)), {});
    cache->endOfRun(); // everything in the database's own file
    cache->flush();
    // The pages right after the schema: the tables' and indexes' roots, which every lookup reads.
    const int fd = open(CacheFile(dir).c_str(), O_WRONLY);
    const std::string junk(4096 * 4, '\xA5');
    ASSERT_EQ(pwrite(fd, junk.data(), junk.size(), 4096), static_cast<ssize_t>(junk.size()));
    for (int i = 0; i < 200; ++i)
        if (auto entry = cache->lookup(Key("/docs/" + std::to_string(i)))) {
            EXPECT_TRUE(entry->text == text + Widen(std::to_string(i))) << i;
        }
    // Gone as soon as the damage was met, not when the cache is closed: a process that ends
    // without unwinding leaves no damaged file behind.
    struct stat damaged;
    ASSERT_EQ(fstat(fd, &damaged), 0);
    close(fd);
    EXPECT_EQ(damaged.st_nlink, 0u);
    cache->flush();
    EXPECT_FALSE(cache->bypassed()) << cache->bypassReason();
    cache->store(Key("/new"), u"fresh", {});
    cache->flush();
    ASSERT_TRUE(cache->lookup(Key("/new")));
    EXPECT_EQ(DirectDatabase(CacheFile(dir)).text("PRAGMA integrity_check"), "ok");
}

TEST(TextCache, TablesOfAnotherShapeAreDamageAndAreMadeAnew) {
    TempDir made;
    OpenIn(made);
    const std::string version = DirectDatabase(CacheFile(made)).text("PRAGMA user_version");
    const std::vector<std::string> shapes = {
        "CREATE TABLE texts(path BLOB PRIMARY KEY, text BLOB)",
        "CREATE TABLE texts(device, inode, path, type, bytes, last_used, size, modified_ns, changed_ns,"
        " reader, layout, checksum, units, log, text, PRIMARY KEY(device, inode))",
        "CREATE TABLE texts(x); CREATE TABLE totals(y)",
    };
    for (const std::string& shape : shapes) {
        TempDir dir;
        {
            DirectDatabase db(CacheFile(dir));
            ASSERT_EQ(db.exec(shape + "; PRAGMA user_version = " + version), SQLITE_OK) << shape;
        }
        std::string why;
        std::unique_ptr<TextCache> cache = TextCache::open(dir.path().string(), kLimit, &why);
        ASSERT_TRUE(cache) << shape << ": " << why;
        cache->store(Key("/a"), u"kiwi", {});
        cache->flush();
        EXPECT_TRUE(cache->lookup(Key("/a"))) << shape;
        EXPECT_FALSE(cache->bypassed()) << shape;
    }
}

TEST(TextCache, AFolderOrFileNotTheUsersOwnIsRefused) {
    auto modeOf = [](const fs::path& p) {
        struct stat st;
        return lstat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    };
    TempDir base;
    const fs::path folder = base.path() / "Tessarel";
    fs::create_directories(folder);
    chmod(folder.c_str(), 0755);
    base.write("Tessarel/texts.sqlite", "");
    chmod((folder / "texts.sqlite").c_str(), 0644);
    ASSERT_TRUE(TextCache::open(folder.string(), kLimit));
    EXPECT_EQ(modeOf(folder), 0700u);
    EXPECT_EQ(modeOf(folder / "texts.sqlite"), 0600u);

    const std::vector<std::pair<std::string, std::function<void(const fs::path&)>>> refusals = {
        {"a link, not a file",
         [&](const fs::path& f) { fs::create_symlink(base.path() / "target", f / "texts.sqlite"); }},
        {"a link, not a file",
         [&](const fs::path& f) {
             base.write("Tessarel/texts.sqlite", "");
             fs::create_symlink(base.path() / "target-wal", f / "texts.sqlite-wal");
         }},
        {"belongs to another user", [&](const fs::path& f) { ASSERT_EQ(chown(f.c_str(), 65534, 65534), 0); }},
        {"belongs to another user",
         [&](const fs::path& f) {
             base.write("Tessarel/texts.sqlite", "");
             ASSERT_EQ(chown((f / "texts.sqlite").c_str(), 65534, 65534), 0);
         }},
    };
    for (const auto& [reason, make] : refusals) {
        if (reason == "belongs to another user" && geteuid() != 0)
            continue;
        fs::remove_all(folder);
        fs::create_directories(folder);
        make(folder);
        std::string why;
        EXPECT_FALSE(TextCache::open(folder.string(), kLimit, &why)) << reason;
        EXPECT_NE(why.find(reason), std::string::npos) << why;
        EXPECT_FALSE(fs::exists(base.path() / "target")) << reason;
    }
    // A link in the cache folder's place.
    fs::remove_all(folder);
    fs::create_directories(base.path() / "real");
    fs::create_directory_symlink(base.path() / "real", folder);
    std::string why;
    EXPECT_FALSE(TextCache::open(folder.string(), kLimit, &why));
    EXPECT_NE(why.find("a link"), std::string::npos) << why;
}

} // namespace
} // namespace tessarel::test
