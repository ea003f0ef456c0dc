// The reading run's hold on its helpers, tried with a stand-in helper that misbehaves: no wait on
// a helper is without end, a reply can't make the program allocate what it merely claims, a
// failure while taking a reply costs only that helper, a helper that can't start is given up
// after a few tries, and the helpers' error output reaches the log in catalogue order, never a
// terminal. Also the run's own footing: temporary files of dead processes are swept, a thread the
// system refuses leaves the work to the others, a missing helper is said.

#include "ChildWithRefusals.h"
#include "Harness.h"
#include "engine/ReaderHelper.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>
#include <sched.h>
#include <sys/resource.h>

namespace tessarel::test {
namespace {

FileRecord Record(const fs::path& path) {
    FileRecord record;
    record.nativePath = path.string();
    record.path = FromUtf8(record.nativePath);
    record.extension = u"pdf";
    record.size = static_cast<std::int64_t>(fs::file_size(path));
    return record;
}

std::vector<std::string> Matching(const std::vector<std::string>& log, std::string_view part) {
    std::vector<std::string> lines;
    for (const std::string& line : log)
        if (line.find(part) != std::string::npos)
            lines.push_back(line);
    return lines;
}

TEST(ReaderSupervision, AHelperThatHangsAfterSayingItEndsIsKilled) {
    ScopedEnv mode("TESSAREL_FAKE_READER", "oom-then-hang");
    TempDir docs;
    const FileRecord record = Record(docs.write("a.pdf", "%PDF-1.4"));
    ReaderHelper helper(FAKE_READER, docs.path().string() + "/", ReaderLimits{});
    ReadReply reply;
    std::string why;
    auto reading = std::async(std::launch::async, [&] { return helper.read(record, reply, -1, why); });
    if (reading.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        ::kill(helper.pid(), SIGKILL); // lets the test end, and fail
        reading.wait();
        FAIL() << "the wait for the helper had no end";
    }
    EXPECT_EQ(reading.get(), ReaderHelper::Outcome::Failed);
    EXPECT_EQ(why, "memory limit");
    EXPECT_EQ(helper.pid(), -1);
}

TEST(ReaderSupervision, AFailureWhileTakingAReplyEndsOnlyThatHelper) {
    // Too little memory for the 64 MiB reply the stand-in sends for "big": taking it fails, and
    // the next document, in a new helper, gets its own text and not the rest of that reply.
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator ends the process under an address-space limit";
#endif
    ScopedEnv mode("TESSAREL_FAKE_READER", "big-reply");
    const std::string failure = InChildWithRefusals({}, [] {
        TempDir docs;
        const FileRecord big = Record(docs.write("big.pdf", "%PDF big"));
        const FileRecord small = Record(docs.write("small.pdf", "%PDF small"));
        ReaderHelper helper(FAKE_READER, docs.path().string() + "/", ReaderLimits{});
        std::ifstream statm("/proc/self/statm");
        std::size_t pages = 0;
        statm >> pages;
        const rlim_t room = pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (48u << 20);
        const rlimit limit{room, RLIM_INFINITY};
        ::setrlimit(RLIMIT_AS, &limit);
        ReadReply reply;
        std::string why;
        std::string failure;
        try {
            if (helper.read(big, reply, -1, why) != ReaderHelper::Outcome::Failed)
                failure += "the big reply was taken; ";
            if (!why.starts_with("the reply could not be taken"))
                failure += "why: " + why + "; ";
            const ReaderHelper::Outcome next = helper.read(small, reply, -1, why);
            if (next != ReaderHelper::Outcome::Read || Utf8(reply.text) != "%PDF small")
                failure += "the next document got: " + why + " " + Utf8(reply.text) + "; ";
        } catch (const std::exception& e) {
            failure += std::string("thrown: ") + e.what();
        }
        return failure;
    });
    EXPECT_EQ(failure, "");
}

TEST(ReaderSupervision, AHelperThatCannotStartIsGivenUpAfterThreeTries) {
    TempDir docs;
    for (int i = 0; i < 40; ++i)
        docs.write("d" + std::to_string(i) + ".pdf", "%PDF");
    const fs::path starts = docs.path() / "starts";
    ScopedEnv mode("TESSAREL_FAKE_READER", "die-at-start");
    ScopedEnv count("TESSAREL_FAKE_READER_STARTS", starts.string());
    Engine e;
    CCatalog& c = e.read(docs.path(), [](CCatalog& cat) {
        cat.readerExecutable = FAKE_READER;
        cat.readingThreads = 2;
    });
    ASSERT_EQ(c.count(), 40);
    std::ifstream in(starts);
    int started = 0;
    for (std::string line; std::getline(in, line);)
        ++started;
    // Two workers may each have one start under way when the third failure comes.
    EXPECT_GE(started, 3);
    EXPECT_LE(started, 4);
    const std::vector<std::string> log = LogLines(e);
    EXPECT_EQ(Matching(log, "the reader crashed"), std::vector<std::string>{});
    const std::vector<std::string> gaveUp = Matching(log, "no reader is started again");
    ASSERT_EQ(gaveUp.size(), 1u);
    EXPECT_EQ(gaveUp[0], "The document could not be read: the reader could not start (exited with status 3); "
                         "no reader is started again in this reading run");
    EXPECT_EQ(Matching(log, "The document could not be read").size(), static_cast<std::size_t>(started));
}

TEST(ReaderSupervision, HelpersErrorOutputIsLoggedUnderItsDocumentInCatalogueOrder) {
    TempDir docs;
    for (int i = 0; i < 12; ++i)
        docs.write("d" + std::to_string(i) + ".pdf", "%PDF");
    ScopedEnv mode("TESSAREL_FAKE_READER", "stderr");
    std::vector<std::string> logs[2];
    for (int k = 0; k < 2; ++k) {
        Engine e;
        e.read(docs.path(), [k](CCatalog& cat) {
            cat.readerExecutable = FAKE_READER;
            cat.readingThreads = k == 0 ? 1 : 4;
        });
        logs[k] = LogLines(e);
    }
    EXPECT_EQ(logs[0], logs[1]);
    ASSERT_EQ(logs[0].size(), 24u);
    for (std::size_t i = 0; i < logs[0].size(); i += 2) {
        // The escape sequence arrives as harmless text.
        EXPECT_EQ(logs[0][i + 1], "Reader: message for " + logs[0][i] + "?[31m");
    }
}

TEST(ReaderSupervision, TemporaryFilesOfDeadProcessesAreSwept) {
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ASSERT_GT(gone, 0);
    ::waitpid(gone, nullptr, 0);
    const std::string dead = std::to_string(gone);
    const std::string alive = std::to_string(::getppid());
    TempDir docs;
    docs.write("a.txt", "words");
    Engine e;
    const fs::path contents = e.programDir.path() / "contents";
    const std::pair<std::string, bool> files[] = {
        {"wts-" + dead + "-0.txt", false}, {"wts-" + dead + "-17.txt", false},
        {"wts-" + dead + ".txt", false},   {"wts-" + alive + "-3.txt", true},
        {"wts-" + alive + ".txt", true},   {"wts.txt", true},
        {"wts-" + dead + "-x.txt", true},  {"wts-" + dead + ".html", true},
        {"notes-" + dead + ".txt", true},
    };
    for (const auto& [name, kept] : files)
        std::ofstream(contents / name) << "text of another document";
    e.read(docs.path());
    for (const auto& [name, kept] : files)
        EXPECT_EQ(fs::exists(contents / name), kept) << name;
}

TEST(ReaderSupervision, ThreadsTheSystemRefusesLeaveTheWorkToTheOthers) {
    // No new thread at all: the reading run and the search go on on the calling thread.
    const std::string failure =
        InChildWithRefusals({{SCMP_SYS(clone), EAGAIN, 0, CLONE_THREAD}, {SCMP_SYS(clone3), ENOSYS}}, [] {
            TempDir docs;
            for (int i = 0; i < 40; ++i)
                docs.write("d" + std::to_string(i) + ".txt", "kiwi number " + std::to_string(i));
            Engine e;
            CCatalog& c = e.read(docs.path(), [](CCatalog& cat) { cat.readingThreads = 4; });
            std::string failure;
            if (c.count() != 40)
                failure += "documents: " + std::to_string(c.count()) + "; ";
            for (int i = 0; i < c.count(); ++i)
                if (!Utf8(c.record(i).text.utf16()).starts_with(" kiwi number "))
                    failure += "a text is missing; ";
            e.searcher->searchThreads = 4;
            e.search("kiwi");
            if (e.hits().size() != 40)
                failure += "hits: " + std::to_string(e.hits().size()) + "; ";
            return failure;
        });
    EXPECT_EQ(failure, "");
}

TEST(ReaderSupervision, AMissingHelperIsSaidOnceInTheLogAndTheStatus) {
    TempDir docs;
    fs::copy_file(fs::path(TESSAREL_TEST_DATA) / "corpus" / "pdf" / "features.pdf", docs.path() / "a.pdf");
    fs::copy_file(fs::path(TESSAREL_TEST_DATA) / "corpus" / "pdf" / "features.pdf", docs.path() / "b.pdf");
    Engine e;
    CCatalog& c =
        e.read(docs.path(), [&](CCatalog& cat) { cat.readerExecutable = (docs.path() / "gone").string(); });
    EXPECT_TRUE(c.readerMissing());
    // Read all the same, in this process.
    EXPECT_FALSE(c.record(0).text.empty());
    const std::string said =
        "The reader helper tessarel-reader is missing: PDF and Office documents are read inside the program.";
    EXPECT_EQ(Matching(LogLines(e), "reader helper").size(), 1u);
    EXPECT_EQ(Matching(LogLines(e), said).size(), 1u);
    std::u16string last;
    for (const auto& m : e.sink.drain())
        if (m.message == WM_ENGINE_STATUS)
            last = m.payload;
    EXPECT_EQ(Utf8(last), "2 files have been processed. " + said);
}

} // namespace
} // namespace tessarel::test
