#include "Harness.h"

#include "extract/ReadDocument.h"
#include "extract/TempTextFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace tessarel::test {
namespace {

std::vector<std::u16string> StatusTexts(QueuedEngineSink& sink) {
    std::vector<std::u16string> texts;
    for (const auto& m : sink.drain())
        if (m.message == WM_ENGINE_STATUS)
            texts.push_back(m.payload);
    return texts;
}

void MakeSparse(const fs::path& file, off_t size) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
}

TEST(ReadingRun, TypeFilterAndExtensions) {
    TempDir docs;
    docs.write("a.txt", "t");
    docs.write("b.HTML", "h");
    docs.write("c.c", "c");
    docs.write("d.rtf", "{\\rtf1 r}");
    docs.write("E.PDF", "not really");
    docs.write("noext", "n");
    docs.write("f.exe", "x");
    docs.write("g.tar.gz", "x");
    Engine e;
    CCatalog& c = e.read(docs.path(), [](CCatalog& cat) {
        cat.FilesText = 0;
        cat.FilesPdf = 1;
        cat.FilesRtf = 2; // a switch counts as on only when it is exactly 1
    });
    ASSERT_EQ(c.count(), 1);
    EXPECT_EQ(c.record(0).extension, u"pdf");
    EXPECT_EQ(FileNameOfRecord(c.record(0)), "E.PDF");

    CCatalog& all = e.read(docs.path());
    std::vector<std::u16string> extensions;
    for (int i = 0; i < all.count(); ++i)
        extensions.push_back(all.record(i).extension);
    std::sort(extensions.begin(), extensions.end());
    EXPECT_EQ(extensions, (std::vector<std::u16string>{u"c", u"html", u"pdf", u"rtf", u"txt"}));
}

TEST(ReadingRun, StatusTextsAndTheEndMessage) {
    TempDir docs;
    docs.write("only.txt", "x");
    Engine e;
    e.read(docs.path());
    const auto messages = e.sink.drain();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0].payload, u"Reading files...");
    EXPECT_EQ(messages[1].payload, u"Reading files... 100%");
    EXPECT_EQ(messages[2].payload, u"1 files have been processed.");
    EXPECT_EQ(messages[3].message, WM_READING_DONE);

    TempDir empty;
    e.read(empty.path());
    EXPECT_EQ(StatusTexts(e.sink),
              (std::vector<std::u16string>{u"Reading files...", u"0 files have been processed."}));
}

TEST(ReadingRun, ProgressIsPostedOnlyWhenThePercentageGrows) {
    TempDir docs;
    for (int i = 0; i < 250; ++i)
        docs.write("f" + std::to_string(i) + ".txt", "x");
    Engine e;
    e.read(docs.path());
    const auto texts = StatusTexts(e.sink);
    EXPECT_EQ(texts.size(), 102u); // the opening text, 1% .. 100%, the closing text
    EXPECT_EQ(texts[1], u"Reading files... 1%");
    EXPECT_EQ(texts[100], u"Reading files... 100%");
}

TEST(ReadingRun, DriveSizedFoldersAreRefused) {
    Engine e;
    e.read("/tmp"); // four characters
    ASSERT_EQ(e.notifier.texts().size(), 1u);
    EXPECT_EQ(e.notifier.texts()[0],
              u"Tessarel is not designed to search the entire hard drive. Please, choose a folder instead.");
    EXPECT_EQ(e.catalog->count(), 0);
    EXPECT_EQ(StatusTexts(e.sink).back(), u"0 files have been processed.");
}

TEST(ReadingRun, ARunAgainOnTheSameCatalogueHoldsOnlyTheNewTexts) {
    TempDir docs;
    docs.write("a.txt", std::string(300000, 'a'));
    docs.write("b.txt", "Beta");
    Engine e;
    CCatalog& c = e.read(docs.path());
    ASSERT_EQ(c.count(), 2);
    // The second run gives back the first run's texts before it reads.
    fs::remove(docs.path() / "a.txt");
    docs.write("b.txt", "Gamma");
    c.run();
    ASSERT_EQ(c.count(), 1);
    EXPECT_EQ(c.record(0).text.utf16(), u" Gamma");
    EXPECT_EQ(SearchedText(c.record(0)), u" gamma");
}

TEST(ReadingRun, SizeLimitsAreLogged) {
    TempDir docs;
    MakeSparse(docs.path() / "big.pdf", 20000000);
    MakeSparse(docs.path() / "big.txt", 20000000);
    MakeSparse(docs.path() / "huge.txt", 60000000);
    Engine e;
    CCatalog& c = e.read(docs.path());
    ASSERT_EQ(c.count(), 1);
    EXPECT_EQ(FileNameOfRecord(c.record(0)), "big.txt");
    // A sparse file is all NULs: the text stops at the first one, after the leading space.
    EXPECT_EQ(c.record(0).text.utf16(), u" ");
    const auto lines = LogLines(e);
    ASSERT_EQ(lines.size(), 7u);
    const auto refused = [&](const std::string& name) {
        for (std::size_t i = 0; i + 2 < lines.size(); ++i)
            if (lines[i].ends_with(name))
                return lines[i + 1] == "Maximum length exceeded:" ? lines[i + 2] : std::string("?");
        return std::string();
    };
    EXPECT_EQ(refused("big.pdf"), "20000000");
    EXPECT_EQ(refused("huge.txt"), "60000000");
    EXPECT_TRUE(lines.back().ends_with("big.txt"));
}

TEST(ReadingRun, TheLogNamesEachFileInCatalogueOrderAndStartsAfreshEachRun) {
    TempDir docs;
    docs.write("1.txt", "a");
    docs.write("2.txt", "b");
    docs.write("3.txt", "c");
    Engine e;
    CCatalog& c = e.read(docs.path());
    auto lines = LogLines(e);
    ASSERT_EQ(lines.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(lines[static_cast<std::size_t>(i)], ToUtf8(c.record(i).path));
    TempDir other;
    other.write("x.txt", "x");
    e.read(other.path());
    EXPECT_EQ(LogLines(e).size(), 1u);
}

TEST(ReadingRun, AMissingLogIsCreated) {
    Engine e;
    fs::remove(e.programDir.path() / "contents/tessarel.log");
    TempDir docs;
    docs.write("a.txt", "a");
    e.read(docs.path());
    EXPECT_TRUE(e.notifier.texts().empty());
    EXPECT_EQ(LogLines(e).size(), 1u);
}

TEST(ReadingRun, AMissingContentsFolderIsReportedOnceAndTheRunGoesOn) {
    Engine e;
    fs::remove_all(e.programDir.path() / "contents");
    TempDir docs;
    docs.write("a.txt", "alpha");
    docs.write("b.txt", "beta");
    CCatalog& c = e.read(docs.path());
    EXPECT_EQ(c.count(), 2);
    EXPECT_EQ(e.notifier.texts().size(), 1u);
}

TEST(ReadingRun, DirectoryLinksAreNotFollowedButFileLinksAre) {
    TempDir docs;
    docs.write("sub/real.txt", "real");
    fs::create_directory_symlink(docs.path(), docs.path() / "sub/loop");
    fs::create_directory_symlink(docs.path() / "sub", docs.path() / "sub/loop2");
    fs::create_symlink(docs.path() / "sub/real.txt", docs.path() / "link.txt");
    Engine e;
    CCatalog& c = e.read(docs.path());
    EXPECT_EQ(c.count(), 2);
}

TEST(ReadingRun, LongPathsAreKeptWhole) {
    TempDir docs;
    std::string relative;
    for (int i = 0; i < 12; ++i)
        relative += std::string(40, static_cast<char>('a' + i)) + "/";
    docs.write(relative + "deep.txt", "deep word");
    docs.write("short.txt", "short word");
    Engine e;
    CCatalog& c = e.read(docs.path());
    ASSERT_EQ(c.count(), 2);
    e.search("word");
    std::vector<std::string> files = e.filesInOrder();
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"deep.txt", "short.txt"}));
    for (int i = 0; i < c.count(); ++i)
        if (c.record(i).path.ends_with(u"deep.txt")) {
            EXPECT_GT(c.record(i).path.size(), 500u);
        }
}

TEST(ReadingRun, AtMostTenThousandRecordsUnlessToldOtherwiseAndAFullCatalogueSaysSo) {
    TempDir docs;
    for (int i = 0; i < 10001; ++i)
        docs.write("d" + std::to_string(i / 1000) + "/f" + std::to_string(i) + ".txt", "");
    const std::string notice = "10000 documents were read; the folder holds more: raise MaxDocuments to read them";
    {
        Engine e;
        EXPECT_EQ(e.read(docs.path()).count(), 10000);
        EXPECT_EQ(e.catalog->limitNotices(), std::vector<std::u16string>{FromUtf8(notice)});
        const std::vector<std::string> log = LogLines(e);
        EXPECT_EQ(std::count(log.begin(), log.end(), notice), 1);
    }
    {
        // The setting lifts the cap; the whole folder fits, so nothing is said.
        Engine e;
        e.settings.writeInt(kSettingsSection, "MaxDocuments", 20000);
        EXPECT_EQ(e.read(docs.path()).count(), 10001);
        EXPECT_TRUE(e.catalog->limitNotices().empty());
        const std::vector<std::string> log = LogLines(e);
        EXPECT_EQ(std::count_if(log.begin(), log.end(),
                                [](const std::string& line) { return line.find("MaxDocuments") != line.npos; }),
                  0);
    }
    {
        // The caller's number (the command line's) goes before the setting's.
        Engine e;
        e.settings.writeInt(kSettingsSection, "MaxDocuments", 20000);
        EXPECT_EQ(e.read(docs.path(), [](CCatalog& c) { c.maxDocuments = 3; }).count(), 3);
        EXPECT_EQ(Utf8(e.catalog->limitNotices().at(0)).substr(0, 23), "3 documents were read; ");
    }
}

TEST(ReadingRun, TheDocumentLimitFollowsTheSettingWithinItsBounds) {
    Engine e;
    CCatalog c(e.settings, e.sink, e.notifier);
    EXPECT_EQ(c.documentLimit(), 10000);
    for (const auto& [stored, limit] : std::vector<std::pair<int, int>>{
             {0, 10000}, {-5, 10000}, {1, 1}, {250000, 250000}, {1000000, 1000000}, {2000000000, 1000000}}) {
        e.settings.writeInt(kSettingsSection, "MaxDocuments", stored);
        EXPECT_EQ(c.documentLimit(), limit) << stored;
    }
    c.maxDocuments = 7;
    EXPECT_EQ(c.documentLimit(), 7);
}

TEST(ReadingRun, AFullCatalogueIsNotSaidOfAFolderThatFitsExactly) {
    TempDir docs;
    for (int i = 0; i < 5; ++i)
        docs.write("f" + std::to_string(i) + ".txt", "x");
    docs.write("other.bin", "not a document");
    Engine e;
    EXPECT_EQ(e.read(docs.path(), [](CCatalog& c) { c.maxDocuments = 5; }).count(), 5);
    EXPECT_TRUE(e.catalog->limitNotices().empty());
}

TEST(ReadingRun, AtMostFiftyThousandEntriesOfOneFolder) {
    TempDir docs;
    // 50005 entries: only the first 50000 (with "." and "..") are looked at; its subfolder counts apart.
    for (int i = 0; i < 50002; ++i) {
        const int fd = ::open((docs.path() / ("e" + std::to_string(i))).c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    docs.write("sub/inside.txt", "x");
    docs.write("kept.txt", "x");
    Engine e;
    CCatalog& c = e.read(docs.path());
    // Which 50000 the listing gives first is the file system's choice; at most the two are kept.
    EXPECT_LE(c.count(), 2);
    int looked = 0;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(docs.path().c_str()), closedir);
    bool keptSeen = false, subSeen = false;
    while (const dirent* d = readdir(dir.get())) {
        if (++looked > CCatalog::kMaxEntriesPerFolder)
            break;
        keptSeen |= std::string_view(d->d_name) == "kept.txt";
        subSeen |= std::string_view(d->d_name) == "sub";
    }
    EXPECT_EQ(c.count(), int(keptSeen) + int(subSeen));
    // The folder that held more is named, once, in the log and to the caller.
    const std::string notice = "The folder " + docs.path().string() +
                               " holds more than 50000 entries: only the first 50000 were looked at";
    EXPECT_EQ(c.limitNotices(), std::vector<std::u16string>{FromUtf8(notice)});
    const std::vector<std::string> log = LogLines(e);
    EXPECT_EQ(std::count(log.begin(), log.end(), notice), 1);
}

TEST(ReadingRun, AFileThatVanishesBeforeItIsReadGetsTheEmptyText) {
    TempDir docs;
    const fs::path file = docs.write("gone.txt", "text");
    Engine e;
    e.catalog = std::make_unique<CCatalog>(e.settings, e.sink, e.notifier);
    FileRecord record;
    record.path = FromUtf8(file.string());
    record.extension = u"txt";
    record.size = 4;
    fs::remove(file);
    ReadContext context;
    EXPECT_FALSE(ReadDocumentText(record, context));
    EXPECT_TRUE(record.text.empty());
}

TEST(ReadingRun, TheProgramsOwnContentsFolderIsNotCatalogued) {
    // A walk over a folder that holds the program reaches its contents folder, where the
    // temporary file keeps the text of the last document read under another name.
    Engine e;
    const fs::path home = e.programDir.path();
    TempDir unused;
    fs::create_directories(home / "contents");
    std::ofstream(home / "contents/wts.txt") << "another document's text";
    std::ofstream(home / "contents/content1.html") << "<html>page</html>";
    std::ofstream(home / "notes.txt") << "own words";
    CCatalog& c = e.read(home);
    ASSERT_EQ(c.count(), 1);
    EXPECT_EQ(FileNameOfRecord(c.record(0)), "notes.txt");
}

TEST(ReadingRun, TheTemporaryFileIsPrivateAndNeverALink) {
    Engine e;
    const fs::path contents = e.programDir.path() / "contents";
    TempDir outside;
    const fs::path victim = outside.write("victim.txt", "keep me");
    {
        TempTextFile temp;
        const std::string path = temp.acquire(contents.string() + "/");
        ASSERT_FALSE(path.empty());
        struct stat st;
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        ASSERT_TRUE(TruncateFile(path));
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    // A link planted as the shared name is neither written through nor emptied.
    fs::remove(contents / "wts.txt");
    fs::create_symlink(victim, contents / "wts.txt");
    TempTextFile temp;
    const std::string path = temp.acquire(contents.string() + "/");
    EXPECT_NE(path, (contents / "wts.txt").string());
    EXPECT_FALSE(TruncateFile((contents / "wts.txt").string()));
    std::ifstream in(victim);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "keep me");
}

TEST(ReadingRun, AReaderThatThrowsCostsOnlyItsDocument) {
    TempDir docs;
    docs.write("a.txt", "apple words");
    docs.write("b.txt", "boom");
    docs.write("c.txt", "cherry words");
    Engine e;
    CCatalog& c = e.read(docs.path(), [](CCatalog& cat) {
        cat.readDocument = [](FileRecord& record, const ReadContext& context) {
            ReadDocumentText(record, context);
            if (record.path.ends_with(u"b.txt"))
                throw std::bad_alloc();
            if (record.path.ends_with(u"c.txt"))
                throw std::runtime_error("broken reader");
            return true;
        };
    });
    ASSERT_EQ(c.count(), 3);
    for (int i = 0; i < 3; ++i) {
        const std::string name = FileNameOfRecord(c.record(i));
        EXPECT_EQ(c.record(i).text.empty(), name != "a.txt") << name;
        EXPECT_EQ(SearchedText(c.record(i)).size(), c.record(i).text.size());
    }
    const std::vector<std::string> log = LogLines(e);
    EXPECT_EQ(log.size(), 5u); // three paths, one line for each failure
    const auto messages = e.sink.drain();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back().message, WM_READING_DONE);
}

TEST(Catalogue, IsNeverDestroyedUnderItsThread) {
    TempDir docs;
    for (int i = 0; i < 300; ++i)
        docs.write("f" + std::to_string(i) + ".txt", std::string(20000, 'w'));
    Engine e;
    {
        CCatalog c(e.settings, e.sink, e.notifier);
        c.folder = FromUtf8(docs.path().string());
        c.FilesText = 1;
        ASSERT_TRUE(c.start());
        EXPECT_FALSE(c.start());
    } // the destructor waits for the run; ASan would catch a use after free
    bool done = false;
    for (const auto& m : e.sink.drain())
        done |= m.message == WM_READING_DONE;
    EXPECT_TRUE(done);
}

} // namespace
} // namespace tessarel::test

namespace tessarel::test {
namespace {

TEST(Catalogue, AStoppedRunKeepsTheDocumentsItReadAndStillEnds) {
    TempDir docs;
    for (int i = 0; i < 2000; ++i)
        docs.write("f" + std::to_string(i) + ".txt", "stop word " + std::to_string(i));
    Engine e;
    CCatalog c(e.settings, e.sink, e.notifier);
    c.folder = FromUtf8(docs.path().string());
    c.FilesText = 1;
    ASSERT_TRUE(c.start());
    c.requestStop();
    c.waitForEnd();
    EXPECT_LE(c.count(), 2000);
    for (int i = 0; i < c.count(); ++i)
        EXPECT_FALSE(c.record(i).text.empty()) << i;
    const auto messages = e.sink.drain();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back().message, WM_READING_DONE);
    EXPECT_EQ(messages[messages.size() - 2].payload, NumberText(c.count()) + u" files have been processed.");
    // A new start reads everything again.
    ASSERT_TRUE(c.start());
    c.waitForEnd();
    EXPECT_EQ(c.count(), 2000);
}

TEST(Search, AStoppedSearchEndsWithTheHitsItHas) {
    TempDir docs;
    for (int i = 0; i < 300; ++i)
        docs.write("f" + std::to_string(i) + ".txt", std::string(50000, 'x') + " needle.");
    Engine e;
    e.read(docs.path());
    e.searcher->query.setQueryText(u"needle");
    e.searcher->query.split();
    e.searcher->catalog = e.catalog.get();
    ASSERT_TRUE(e.searcher->start());
    e.searcher->requestStop();
    e.searcher->waitForEnd();
    EXPECT_LE(e.searcher->resultCount(), 300);
    bool done = false;
    for (const auto& m : e.sink.drain())
        done |= m.message == WM_SEARCH_DONE;
    EXPECT_TRUE(done);
}

} // namespace
} // namespace tessarel::test
