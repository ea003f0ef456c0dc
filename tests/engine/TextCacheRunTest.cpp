// The reading run with the text cache: the catalogue and the log are the ones a run without it
// makes, cold or warm; a warm run reads nothing again but plain text, which is never stored; a
// file rewritten in place is read again; a run killed half-way leaves a cache the next run uses.

#include "Harness.h"

#include "engine/TextCache.h"
#include "extract/ReadDocument.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tessarel::test {
namespace {

const fs::path kCorpus = fs::path(TESSAREL_TEST_DATA) / "corpus";

struct RunResult : CatalogueSnapshot {
    int reads = 0; // documents of the cached types the readers were asked for
};

int CachedTypes(const CatalogueSnapshot& run) {
    int n = 0;
    for (const std::string& path : run.paths)
        n += CCatalog::worthCaching(FromUtf8(fs::path(path).extension().string().substr(1))) ? 1 : 0;
    return n;
}

// Reads folder in this process (so every read passes the counting seam), with cache or without;
// `also` changes the catalogue further.
RunResult ReadWith(TextCache* cache, const fs::path& folder, int workers = 2,
                   const std::function<void(CCatalog&)>& also = {}) {
    Engine e;
    std::atomic<int> reads{0};
    CCatalog& c = e.read(folder, [&](CCatalog& cat) {
        cat.textCache = cache;
        cat.readingThreads = workers;
        cat.readerExecutable.clear();
        cat.readDocument = [&reads](FileRecord& record, const ReadContext& context) {
            if (CCatalog::worthCaching(record.extension))
                ++reads;
            return ReadDocumentText(record, context);
        };
        if (also)
            also(cat);
    });
    RunResult run{TakeSnapshot(e, c)};
    run.reads = reads.load();
    if (cache)
        cache->flush();
    return run;
}

void ExpectSameCatalogue(const RunResult& a, const RunResult& b) {
    EXPECT_TRUE(a.texts == b.texts);
    EXPECT_TRUE(a.folded == b.folded);
    EXPECT_EQ(a.log, b.log);
}

TEST(TextCacheRun, OffColdAndWarmMakeTheSameCatalogueAndLog) {
    TempDir cacheFolder;
    const RunResult off = ReadWith(nullptr, kCorpus);
    ASSERT_GT(off.texts.size(), 100u);
    std::unique_ptr<TextCache> cache = TextCache::open(cacheFolder.path().string(), 64u << 20);
    ASSERT_TRUE(cache);
    const RunResult cold = ReadWith(cache.get(), kCorpus);
    const RunResult warm = ReadWith(cache.get(), kCorpus, 4);
    ExpectSameCatalogue(off, cold);
    ExpectSameCatalogue(off, warm);
    EXPECT_EQ(cold.reads, CachedTypes(off));
    EXPECT_GT(cold.reads, 40);
    EXPECT_EQ(warm.reads, 0);
    // A reader's own log lines come back from the cache with its text, after its path.
    TempDir docs;
    const fs::path file = docs.write("odd.rtf", "{\\rtf1 on disk}");
    struct stat st;
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    TextCacheKey key = TextCacheKeyOf(st, file.string());
    key.type = "rtf";
    cache->store(key, u"from the cache", {u"the reader's remark"});
    cache->flush();
    const RunResult replayed = ReadWith(cache.get(), docs.path());
    EXPECT_EQ(replayed.reads, 0);
    EXPECT_EQ(Utf8(replayed.texts.at(0)), "from the cache");
    EXPECT_EQ(replayed.log, (std::vector<std::string>{file.string(), "the reader's remark"}));
}

TEST(TextCacheRun, AFileRewrittenInPlaceWithItsOldTimesIsReadAgain) {
    TempDir cacheFolder;
    TempDir docs;
    const fs::path file = docs.write("note.rtf", "{\\rtf1 apple pie}");
    std::unique_ptr<TextCache> cache = TextCache::open(cacheFolder.path().string(), 64u << 20);
    ASSERT_TRUE(cache);
    struct stat before;
    ASSERT_EQ(::stat(file.c_str(), &before), 0);
    EXPECT_EQ(ReadWith(cache.get(), docs.path()).reads, 1);
    EXPECT_EQ(ReadWith(cache.get(), docs.path()).reads, 0);
    // Same size, the modification time put back as `touch -d` would: only the change time moved.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::ofstream(file, std::ios::binary | std::ios::trunc) << "{\\rtf1 lemon pie}";
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    const RunResult again = ReadWith(cache.get(), docs.path());
    EXPECT_EQ(again.reads, 1);
    EXPECT_EQ(Utf8(again.texts.at(0)), "lemon pie");
}

TEST(TextCacheRun, ARunKilledHalfWayLeavesACacheTheNextRunUses) {
    TempDir cacheFolder;
    const RunResult off = ReadWith(nullptr, kCorpus);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        std::unique_ptr<TextCache> cache = TextCache::open(cacheFolder.path().string(), 64u << 20);
        Engine e;
        int cached = 0;
        e.read(kCorpus, [&](CCatalog& cat) {
            cat.textCache = cache.get();
            cat.readingThreads = 1;
            cat.readerExecutable.clear();
            // Half-way, once the first half is in the database, the run stands still until it
            // is killed.
            cat.afterRead = [&, &catalog = cat](int index, const ReaderHelper*) {
                if (!CCatalog::worthCaching(catalog.record(index).extension) || ++cached != 22)
                    return;
                cache->flush();
                const char byte = 1;
                [[maybe_unused]] const ssize_t written = ::write(ready[1], &byte, 1);
                for (;;)
                    ::pause();
            };
        });
        ::_exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));

    std::unique_ptr<TextCache> cache = TextCache::open(cacheFolder.path().string(), 64u << 20);
    ASSERT_TRUE(cache);
    const RunResult next = ReadWith(cache.get(), kCorpus);
    ExpectSameCatalogue(off, next);
    EXPECT_LE(next.reads, CachedTypes(off) - 22);
}

TEST(TextCacheRun, PlainTextIsReadAndNeverStored) {
    TempDir cacheFolder;
    TempDir docs;
    docs.write("a.txt", "plain words");
    docs.write("b.html", "<p>more words</p>");
    std::unique_ptr<TextCache> cache = TextCache::open(cacheFolder.path().string(), 64u << 20);
    ASSERT_TRUE(cache);
    const RunResult run = ReadWith(cache.get(), docs.path());
    EXPECT_EQ(run.texts.size(), 2u);
    const std::optional<TextCache::Stats> stats = cache->stats();
    ASSERT_TRUE(stats);
    EXPECT_EQ(stats->rows, 0);
}

TEST(TextCacheRun, AFolderReachedUnderTwoPathsKeepsOneRowPerFile) {
    TempDir cacheFolder;
    TempDir base;
    base.write("docs/a.rtf", "{\\rtf1 apple pie}");
    base.write("docs/sub/b.rtf", "{\\rtf1 lemon pie}");
    fs::create_directory_symlink(base.path() / "docs", base.path() / "link");
    std::unique_ptr<TextCache> cache = TextCache::open(cacheFolder.path().string(), 64u << 20);
    ASSERT_TRUE(cache);
    EXPECT_EQ(ReadWith(cache.get(), base.path() / "docs").reads, 2);
    // Searched through the link, then through its target again, then the parent of both.
    for (const char* folder : {"link", "docs", "link", ""}) {
        const RunResult run = ReadWith(cache.get(), base.path() / folder);
        EXPECT_EQ(run.reads, 0) << folder;
        EXPECT_EQ(cache->stats()->rows, 2) << folder;
    }
}

TEST(TextCacheRun, AFailedReadIsNeverStored) {
    TempDir cacheFolder;
    TempDir docs;
    docs.write("a.rtf", "{\\rtf1 apple pie}");
    docs.write("b.rtf", "{\\rtf1 lemon pie}");
    std::unique_ptr<TextCache> cache = TextCache::open(cacheFolder.path().string(), 64u << 20);
    ASSERT_TRUE(cache);
    // A reader that can't open b.rtf now, as a run short of descriptors finds it.
    ReadWith(cache.get(), docs.path(), 2, [](CCatalog& cat) {
        cat.readDocument = [](FileRecord& record, const ReadContext& context) {
            if (record.path.ends_with(u"b.rtf")) {
                record.text.clear();
                return false;
            }
            return ReadDocumentText(record, context);
        };
    });
    EXPECT_EQ(cache->stats()->rows, 1);
    const RunResult next = ReadWith(cache.get(), docs.path());
    EXPECT_EQ(next.reads, 1);
    EXPECT_EQ(Utf8(next.texts.at(1)), "lemon pie");
}

TEST(TextCacheRun, TheRowsOfTypesSwitchedOffAreKept) {
    TempDir cacheFolder;
    TempDir docs;
    docs.write("a.rtf", "{\\rtf1 apple pie}");
    fs::copy_file(kCorpus / "pdf" / "features.pdf", docs.path() / "b.pdf");
    std::unique_ptr<TextCache> cache = TextCache::open(cacheFolder.path().string(), 64u << 20);
    ASSERT_TRUE(cache);
    EXPECT_EQ(ReadWith(cache.get(), docs.path()).reads, 2);
    ReadWith(cache.get(), docs.path(), 2, [](CCatalog& cat) { cat.FilesRtf = 0; });
    EXPECT_EQ(cache->stats()->rows, 2);
    EXPECT_EQ(ReadWith(cache.get(), docs.path()).reads, 0);
}

} // namespace
} // namespace tessarel::test
