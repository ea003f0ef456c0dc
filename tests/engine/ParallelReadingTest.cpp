// The reading run on several workers, with documents of the third-party readers read in helper
// processes: the catalogue and the log are the ones a single worker makes, and a helper that
// crashes, hangs or is killed costs only its document.

#include "Harness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <thread>

namespace tessarel::test {
namespace {

const fs::path kCorpus = fs::path(TESSAREL_TEST_DATA) / "corpus";

using Snapshot = CatalogueSnapshot;

Snapshot ReadCorpus(
    int workers, const std::function<void(CCatalog&)>& configure = [](CCatalog&) {}) {
    Engine e;
    CCatalog& c = e.read(kCorpus, [&](CCatalog& cat) {
        cat.readingThreads = workers;
        configure(cat);
    });
    return TakeSnapshot(e, c);
}

// The children this process has now: a helper left behind would be one.
std::vector<std::string> Children() {
    std::vector<std::string> children;
    DIR* tasks = opendir("/proc/self/task");
    for (dirent* t = tasks ? readdir(tasks) : nullptr; t; t = readdir(tasks)) {
        std::ifstream in(std::string("/proc/self/task/") + t->d_name + "/children");
        for (std::string pid; in >> pid;)
            children.push_back(pid);
    }
    if (tasks)
        closedir(tasks);
    return children;
}

std::vector<std::string> TemporaryFiles(const Engine& e) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(e.programDir.path() / "contents"))
        if (entry.path().filename().string().rfind("wts-", 0) == 0)
            names.push_back(entry.path().filename().string());
    return names;
}

int IndexOf(const Snapshot& s, const std::string& endsWith) {
    for (std::size_t i = 0; i < s.paths.size(); ++i)
        if (s.paths[i].ends_with(endsWith))
            return static_cast<int>(i);
    return -1;
}

TEST(ParallelReading, AnyNumberOfWorkersBuildsTheSingleWorkersCatalogueAndLog) {
    const Snapshot one = ReadCorpus(1);
    ASSERT_GT(one.paths.size(), 100u);
    int read = 0;
    for (const std::u16string& t : one.texts)
        read += t.empty() ? 0 : 1;
    ASSERT_GT(read, 90); // the helpers did read the documents
    for (int workers : {2, 4}) {
        const Snapshot many = ReadCorpus(workers);
        EXPECT_EQ(many.paths, one.paths) << workers;
        EXPECT_TRUE(many.texts == one.texts) << workers;
        EXPECT_TRUE(many.folded == one.folded) << workers;
        EXPECT_EQ(many.log, one.log) << workers;
    }
    // Read in this process, without helpers, the texts are the same too, and so is the log but
    // for the parsers' own messages, which the helpers' error output brings into it.
    const Snapshot inProcess = ReadCorpus(4, [](CCatalog& c) { c.readerExecutable.clear(); });
    EXPECT_TRUE(inProcess.texts == one.texts);
    std::vector<std::string> readersOwn;
    std::vector<std::string> withoutThem;
    for (const std::string& line : one.log)
        (line.starts_with("Reader: ") ? readersOwn : withoutThem).push_back(line);
    EXPECT_EQ(inProcess.log, withoutThem);
    EXPECT_GT(readersOwn.size(), 2u);
}

TEST(ParallelReading, ProgressIsTheSingleWorkersPercentages) {
    TempDir docs;
    for (int i = 0; i < 7; ++i)
        docs.write("f" + std::to_string(i) + ".txt", "words");
    std::vector<std::u16string> texts[2];
    for (int k = 0; k < 2; ++k) {
        Engine e;
        e.read(docs.path(), [k](CCatalog& c) { c.readingThreads = k == 0 ? 1 : 4; });
        for (const auto& m : e.sink.drain())
            if (m.message == WM_ENGINE_STATUS)
                texts[k].push_back(m.payload);
    }
    EXPECT_EQ(texts[0], texts[1]);
    EXPECT_EQ(texts[0][1], u"Reading files... 14%");
}

TEST(ParallelReading, AStoppedRunKeepsAPrefixOfReadDocuments) {
    const Snapshot whole = ReadCorpus(1);
    Engine e;
    CCatalog& c = e.read(kCorpus, [](CCatalog& cat) {
        cat.readingThreads = 4;
        cat.afterRead = [&cat](int index, const ReaderHelper*) {
            if (index == 40)
                cat.requestStop();
        };
    });
    const Snapshot stopped = TakeSnapshot(e, c);
    ASSERT_GT(stopped.paths.size(), 0u);
    ASSERT_LE(stopped.paths.size(), 41u);
    for (std::size_t i = 0; i < stopped.paths.size(); ++i) {
        EXPECT_EQ(stopped.paths[i], whole.paths[i]);
        EXPECT_TRUE(stopped.texts[i] == whole.texts[i]) << stopped.paths[i];
    }
    // The log names exactly the kept documents.
    std::vector<std::string> expected;
    for (const std::string& line : whole.log) {
        if (IndexOf(whole, line) >= static_cast<int>(stopped.paths.size()) &&
            line.rfind(kCorpus.string(), 0) == 0)
            break;
        expected.push_back(line);
    }
    EXPECT_EQ(stopped.log, expected);
    EXPECT_TRUE(Children().empty());
    EXPECT_TRUE(TemporaryFiles(e).empty());
}

// Runs the corpus with a helper that fails on one document; every other text must be whole.
void ExpectOnlyThatDocumentLost(const Snapshot& whole, const Snapshot& run, const std::string& victim,
                                const std::string& why) {
    ASSERT_EQ(run.paths, whole.paths);
    const int lost = IndexOf(whole, victim);
    ASSERT_GE(lost, 0);
    for (std::size_t i = 0; i < whole.paths.size(); ++i) {
        if (static_cast<int>(i) != lost) {
            EXPECT_TRUE(run.texts[i] == whole.texts[i]) << whole.paths[i];
        }
    }
    EXPECT_TRUE(run.texts[static_cast<std::size_t>(lost)].empty());
    const auto at = std::find(run.log.begin(), run.log.end(), whole.paths[static_cast<std::size_t>(lost)]);
    ASSERT_NE(at, run.log.end());
    ASSERT_NE(at + 1, run.log.end());
    EXPECT_EQ(*(at + 1), "The document could not be read: " + why);
    EXPECT_EQ(run.log.size(), whole.log.size() + 1);
}

// Reads the corpus on two workers with a helper that fails, through the test seam `variable`,
// on the first document of `extension`: only that document may be lost, with `why` in the log,
// and no helper or temporary file may be left.
void ExpectOnlyTheVictimLost(
    const char* variable, std::string_view extension, const std::string& why,
    const std::function<void(CCatalog&)>& configure = [](CCatalog&) {}) {
    const Snapshot whole = ReadCorpus(2);
    const int victim = IndexOf(whole, std::string(extension));
    ASSERT_GE(victim, 0);
    const std::string path = whole.paths[static_cast<std::size_t>(victim)];
    ScopedEnv seam(variable, path);
    Engine e;
    CCatalog& c = e.read(kCorpus, [&](CCatalog& cat) {
        cat.readingThreads = 2;
        configure(cat);
    });
    ExpectOnlyThatDocumentLost(whole, TakeSnapshot(e, c), path, why);
    EXPECT_TRUE(Children().empty());
    EXPECT_TRUE(TemporaryFiles(e).empty());
}

TEST(ParallelReading, AHelperThatAbortsCostsOnlyItsDocument) {
    ExpectOnlyTheVictimLost("TESSAREL_READER_ABORT_ON", ".pdf", "the reader crashed");
}

TEST(ParallelReading, AHelperThatHangsIsEndedAtItsTimeLimit) {
    const auto started = std::chrono::steady_clock::now();
    ExpectOnlyTheVictimLost("TESSAREL_READER_HANG_ON", ".docx", "time limit", [](CCatalog& cat) {
        // Long enough for every real document of the corpus, also in the sanitizer build on a
        // busy machine; the hanging one never answers.
        cat.readerLimits.time = std::chrono::seconds(8);
    });
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(90));
}

TEST(ParallelReading, AHelperKilledMidDocumentIsReplaced) {
    const Snapshot whole = ReadCorpus(1);
    const int victim = IndexOf(whole, ".pdf");
    ASSERT_GT(victim, 0);
    const std::string path = whole.paths[static_cast<std::size_t>(victim)];
    // The helper hangs on the victim until the test kills it, as a user or the system might.
    ScopedEnv hangOn("TESSAREL_READER_HANG_ON", path);
    std::atomic<int> killed{0};
    std::thread killer;
    Engine e;
    CCatalog& c = e.read(kCorpus, [&](CCatalog& cat) {
        cat.readingThreads = 1;
        cat.afterRead = [&](int index, const ReaderHelper*) {
            if (index != victim - 1)
                return;
            // The one worker's helper is the only child: once it is there (it may first have
            // to be started), it has the victim and hangs on it.
            killer = std::thread([&] {
                for (int waited = 0; Children().empty() && waited < 30000; waited += 20)
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                // Long enough for the helper to load its libraries (the recognition engine's are
                // many) and say it is ready, on a loaded machine too.
                std::this_thread::sleep_for(std::chrono::milliseconds(1500));
                for (const std::string& pid : Children())
                    killed += ::kill(std::stoi(pid), SIGKILL) == 0 ? 1 : 0;
            });
        };
    });
    if (killer.joinable())
        killer.join();
    ASSERT_EQ(killed.load(), 1);
    ExpectOnlyThatDocumentLost(whole, TakeSnapshot(e, c), path, "the reader crashed");
    EXPECT_TRUE(Children().empty());
    EXPECT_TRUE(TemporaryFiles(e).empty());
}

#if !defined(__SANITIZE_ADDRESS__)
TEST(ParallelReading, AHelperPastItsMemoryLimitCostsOnlyItsDocument) {
    const Snapshot whole = ReadCorpus(2);
    Engine e;
    // Far too little for any parser: every helper document fails, each in a helper of its own.
    CCatalog& c = e.read(kCorpus, [](CCatalog& cat) {
        cat.readingThreads = 2;
        cat.readerLimits.memoryBytes = 8u << 20;
    });
    const Snapshot starved = TakeSnapshot(e, c);
    ASSERT_EQ(starved.paths, whole.paths);
    // Plain texts are read in this process and keep their texts; a parser that handles its own
    // allocation failure yields less text, any other ends its helper.
    for (std::size_t i = 0; i < whole.paths.size(); ++i) {
        if (!CCatalog::readInHelper(c.record(static_cast<int>(i)).extension)) {
            EXPECT_TRUE(starved.texts[i] == whole.texts[i]) << whole.paths[i];
        }
    }
    EXPECT_GT(
        std::count(starved.log.begin(), starved.log.end(), "The document could not be read: memory limit") +
            std::count(starved.log.begin(), starved.log.end(),
                       "The document could not be read: the reader crashed"),
        // How many end their helper depends on which helper, left fragmented by an earlier
        // failure it survived, gets which document: about a dozen.
        7);
    EXPECT_TRUE(Children().empty());
    EXPECT_TRUE(TemporaryFiles(e).empty());
}
#endif

TEST(ParallelReading, StopEndsAHelperAtOnce) {
    TempDir docs;
    fs::copy_file(kCorpus / "pdf" / fs::directory_iterator(kCorpus / "pdf")->path().filename(),
                  docs.path() / "a.pdf");
    ScopedEnv hangOn("TESSAREL_READER_HANG_ON", (docs.path() / "a.pdf").string());
    Engine e;
    e.catalog = std::make_unique<CCatalog>(e.settings, e.sink, e.notifier);
    e.catalog->folder = FromUtf8(docs.path().string());
    e.catalog->FilesPdf = 1;
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(e.catalog->start());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    e.catalog->requestStop();
    e.catalog->waitForEnd();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(e.catalog->count(), 0);
    EXPECT_TRUE(Children().empty());
    EXPECT_TRUE(TemporaryFiles(e).empty());
}

} // namespace
} // namespace tessarel::test
