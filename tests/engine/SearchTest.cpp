#include "Harness.h"

#include "engine/Pages.h"
#include "extract/ReadDocument.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <sys/stat.h>
#include <utime.h>

namespace tessarel::test {
namespace {

void SetModified(const fs::path& file, std::time_t when) {
    utimbuf times{when, when};
    ASSERT_EQ(utime(file.c_str(), &times), 0);
}

TEST(Search, EveryHitOfEverySentenceIsFound) {
    TempDir docs;
    docs.write("fruit.txt", "kiwi one. kiwi two. kiwi three.");
    Engine e;
    e.read(docs.path());
    e.search("kiwi", {.order = CSearcher::Date});
    const std::vector<Hit> hits = e.hits();
    ASSERT_EQ(hits.size(), 3u);
    // All scores are 0 outside relevance order, so the sorting rule shows the latest found first.
    EXPECT_EQ(hits[0].fragment, " kiwi three.");
    EXPECT_EQ(hits[1].fragment, " kiwi two.");
    EXPECT_EQ(hits[2].fragment, " kiwi one.");
    EXPECT_EQ(hits[2].offset, 0u);
    EXPECT_EQ(e.searcher->statusLine().substr(0, 11), u"1 results (");
}

TEST(Search, AllWordsMustShareOneFragment) {
    TempDir docs;
    docs.write("a.txt", "The cat sleeps. The dog barks.");
    docs.write("b.txt", "The cat and the dog play.");
    Engine e;
    e.read(docs.path());
    e.search("cat dog");
    EXPECT_EQ(e.filesInOrder(), (std::vector<std::string>{"b.txt"}));
    e.search("\"cat and the\"");
    EXPECT_EQ(e.filesInOrder(), (std::vector<std::string>{"b.txt"}));
}

TEST(Search, ScoreOfOneWordAndOfSeveral) {
    Engine e;
    // One word, 120 units, two occurrences: c = 3, (120 + 1000) / 30.
    std::u16string fragment = u"apple " + std::u16string(108, u'x') + u" apple";
    ASSERT_EQ(fragment.size(), 120u);
    e.searcher->query.setWords({u"apple"});
    EXPECT_EQ(e.searcher->score(fragment), 37);
    // Two words side by side score better than two words far apart.
    e.searcher->query.setWords({u"red", u"apple"});
    const std::u16string near = u"a red apple and then a long tail of words here";
    const std::u16string far = u"a red and then a long tail of words here apple";
    EXPECT_LT(e.searcher->score(near), e.searcher->score(far));
    // Three words where word 1 lies only well before word 0: no crash, a score inside the range.
    e.searcher->query.setWords({u"zeta", u"alpha", u"beta"});
    const std::u16string odd = u"alpha beta gamma delta epsilon zeta";
    EXPECT_GE(e.searcher->score(odd), 0);
}

TEST(Search, GroupedOrders) {
    TempDir docs;
    docs.write("dir1/Banana.txt", "fig. A short line with fig in it.");
    docs.write("dir2/apple.txt", "fig fig fig fig.");
    docs.write("cherry.txt", std::string("fig ") + std::string(300, 'z') + ".");
    SetModified(docs.path() / "dir1/Banana.txt", 1000000000);
    SetModified(docs.path() / "dir2/apple.txt", 1200000000);
    SetModified(docs.path() / "cherry.txt", 1100000000);
    Engine e;
    e.read(docs.path());

    e.search("fig", {.order = CSearcher::Alphabetical});
    EXPECT_EQ(e.filesInOrder(), (std::vector<std::string>{"apple.txt", "Banana.txt", "cherry.txt"}));
    e.search("fig", {.order = CSearcher::Date});
    EXPECT_EQ(e.filesInOrder(), (std::vector<std::string>{"apple.txt", "cherry.txt", "Banana.txt"}));
    e.search("fig", {.order = CSearcher::Relevance});
    // The dense short fragment scores best, the long sparse one worst.
    EXPECT_EQ(e.filesInOrder().front(), "apple.txt");
    EXPECT_EQ(e.filesInOrder().back(), "cherry.txt");
}

TEST(Search, ResultsPerFileLimitsTheGroupedListingOnly) {
    TempDir docs;
    docs.write("seven.txt", "Hit one. Hit two. Hit three. Hit four. Hit five. Hit six. Hit seven.");
    Engine e;
    e.read(docs.path());
    e.search("hit", {.resultsPerFile = 2});
    EXPECT_EQ(e.hits().size(), 2u);
    e.search("hit", {.resultsPerFile = 20});
    EXPECT_EQ(e.hits().size(), 7u);
    e.search("hit", {.resultsPerFile = 0});
    EXPECT_TRUE(e.hits().empty());
    EXPECT_NE(e.searcher->output().find(u"seven.txt</a>"), std::u16string::npos);
    EXPECT_EQ(e.searcher->resultCount(), 1);
    e.search("hit", {.groupByFiles = 0, .resultsPerFile = 0});
    EXPECT_EQ(e.hits().size(), 7u);
    EXPECT_EQ(e.searcher->resultCount(), 7);
}

TEST(Search, TwentyHitsADocumentCompete) {
    TempDir docs;
    std::string text;
    for (int i = 0; i < 30; ++i)
        text += "word " + std::string(static_cast<std::size_t>(i % 7), 'x') + ". ";
    docs.write("many.txt", text);
    Engine e;
    e.read(docs.path());
    e.search("word", {.resultsPerFile = 20});
    EXPECT_EQ(e.hits().size(), 20u);
    // Only the first twenty in text order compete: none of the hits lies past the twentieth.
    std::size_t twentieth = 0;
    for (int i = 0; i < 20; ++i)
        twentieth = text.find("word", i ? twentieth + 1 : 0);
    for (const Hit& h : e.hits())
        EXPECT_LE(h.offset, twentieth + 1);
}

TEST(Search, FlatListingCarriesHeadersAndReversesEqualScores) {
    TempDir docs;
    docs.write("one.txt", "pear a. pear b.");
    Engine e;
    e.read(docs.path());
    e.search("pear", {.order = CSearcher::Date, .groupByFiles = 0});
    const auto hits = e.hits();
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].fragment, " pear b.");
    const std::u16string& page = e.searcher->output();
    const auto first = page.find(u"one.txt</a>");
    EXPECT_NE(page.find(u"one.txt</a>", first + 1), std::u16string::npos);
}

TEST(Search, CaseSensitiveSearchesTheTextAndShowsTheDocumentsCase) {
    TempDir docs;
    docs.write("c.txt", "Tessarel reads. tessarel searches.");
    Engine e;
    e.read(docs.path());
    e.search("Tessarel", {.caseSensitive = 1});
    ASSERT_EQ(e.hits().size(), 1u);
    EXPECT_EQ(e.hits()[0].fragment, " Tessarel reads.");
    e.search("TESSAREL");
    EXPECT_EQ(e.hits().size(), 2u);
}

TEST(Search, NoResultsAndStatusLine) {
    TempDir docs;
    docs.write("a.txt", "nothing to see");
    Engine e;
    e.read(docs.path());
    EXPECT_EQ(e.search("absentword"), u"No results found.");
    const std::u16string& status = e.searcher->statusLine();
    EXPECT_EQ(status.substr(0, 11), u"0 results (");
    EXPECT_EQ(status.substr(status.size() - 2), u" )");
    EXPECT_EQ(status.size(), std::u16string(u"0 results (0.00 )").size());
}

TEST(Search, MarksWordsInEveryCaseFormButNeverInsideTags) {
    TempDir docs;
    docs.write("span.txt", "A span of Span and SPAN.");
    Engine e;
    e.read(docs.path());
    const std::u16string page = e.search("span");
    // The page's own tags stay intact: every "<span class=" is one of ours or the header's.
    EXPECT_NE(page.find(u"<span class=searched>span</span>"), std::u16string::npos);
    EXPECT_NE(page.find(u"<span class=searched>Span</span>"), std::u16string::npos);
    EXPECT_NE(page.find(u"<span class=searched>SPAN</span>"), std::u16string::npos);
    EXPECT_NE(page.find(u"<span class=\"file_info\">"), std::u16string::npos);
    EXPECT_EQ(e.hits().size(), 1u);
}

TEST(Search, DocumentMarkupIsEscaped) {
    TempDir docs;
    docs.write("evil.html", "<!-- hide --> <script>alert(1)</script> secret & more.");
    Engine e;
    e.read(docs.path());
    const std::u16string page = e.search("secret");
    EXPECT_EQ(page.find(u"<script>"), std::u16string::npos);
    EXPECT_EQ(page.find(u"<!--"), std::u16string::npos);
    EXPECT_NE(page.find(u"&lt;script&gt;"), std::u16string::npos);
    EXPECT_NE(page.find(u"&amp; more"), std::u16string::npos);
    EXPECT_EQ(e.hits().size(), 1u);
    // Searching "amp" or "lt" must not cut the character references.
    const std::u16string lt = e.search("lt");
    EXPECT_EQ(lt.find(u"&<span"), std::u16string::npos);
}

TEST(Search, EscapedFragmentsNeverCrowdOutHitsTheLimitShows) {
    // Every fragment escapes to four or five times its length: twenty of them outgrow a block
    // sized for raw text.
    TempDir docs;
    std::string source;
    for (int i = 0; i < 20; ++i) {
        source += "if (hit && ";
        for (int k = 0; k < 80; ++k)
            source += "a && b << c ";
        source += ")\n";
    }
    docs.write("ops.cpp", source);
    Engine e;
    e.read(docs.path());
    for (int grouped : {1, 0}) {
        const std::u16string& page = e.search("hit", {.groupByFiles = grouped, .resultsPerFile = 20});
        EXPECT_EQ(e.hits().size(), 20u) << "grouped " << grouped;
        std::size_t closed = 0;
        for (std::size_t at = page.find(u"</a><br><img src=\"images/space.gif\""); at != std::u16string::npos;
             at = page.find(u"</a><br><img src=\"images/space.gif\"", at + 1))
            ++closed;
        EXPECT_EQ(closed, 20u);
    }
}

// A sink that fails the way an allocation can: the search must still end and say so.
class ThrowingSink : public QueuedEngineSink {
public:
    void post(std::uint32_t message, std::u16string payload) override {
        if (message == WM_SEARCH_WAITING)
            throw std::bad_alloc();
        QueuedEngineSink::post(message, std::move(payload));
    }
};

TEST(Search, AnExceptionOnTheSearchThreadEndsTheSearchCleanly) {
    TempDir docs;
    for (int i = 0; i < 200; ++i)
        docs.write("f" + std::to_string(i) + ".txt", "a kiwi.");
    Engine e;
    ThrowingSink sink;
    CSearcher searcher(sink);
    CCatalog c(e.settings, e.sink, e.notifier);
    c.folder = FromUtf8(docs.path().string());
    c.FilesText = 1;
    // The reading run is held until the search has ended, so the search meets it running.
    std::atomic<bool> release{false};
    c.readDocument = [&release](FileRecord& record, const ReadContext& context) {
        while (!release.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return ReadDocumentText(record, context);
    };
    ASSERT_TRUE(c.start());
    searcher.query.setQueryText(u"kiwi");
    searcher.query.split();
    searcher.catalog = &c;
    ASSERT_TRUE(searcher.start());
    searcher.waitForEnd();
    release.store(true);
    c.waitForEnd();
    EXPECT_EQ(searcher.output(), kNoResults);
    const auto messages = sink.drain();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, WM_SEARCH_DONE);
    EXPECT_EQ(messages[1].payload.substr(0, 9), u"0 results");
    // The searcher is whole afterwards: the next search finds the hits.
    ASSERT_TRUE(searcher.start());
    searcher.waitForEnd();
    EXPECT_EQ(searcher.resultCount(), 200);
}

TEST(Search, WaitsForARunningReadingRun) {
    TempDir docs;
    docs.write("late.txt", "waited for this word");
    Engine e;
    e.catalog = std::make_unique<CCatalog>(e.settings, e.sink, e.notifier);
    e.catalog->folder = FromUtf8(docs.path().string());
    e.catalog->FilesText = 1;
    e.searcher->query.setQueryText(u"waited");
    e.searcher->query.split();
    e.searcher->catalog = e.catalog.get();
    ASSERT_TRUE(e.catalog->start());
    ASSERT_TRUE(e.searcher->start());
    e.searcher->waitForEnd();
    EXPECT_EQ(e.searcher->resultCount(), 1);
    // Whether or not the search had to wait, its results come after the end of the reading run.
    int readingDone = -1, searchDone = -1, waiting = -1, position = 0;
    for (const auto& m : e.sink.drain()) {
        if (m.message == WM_READING_DONE)
            readingDone = position;
        if (m.message == WM_SEARCH_DONE)
            searchDone = position;
        if (m.message == WM_SEARCH_WAITING)
            waiting = position;
        ++position;
    }
    EXPECT_GE(readingDone, 0);
    EXPECT_GT(searchDone, readingDone);
    if (waiting >= 0) {
        EXPECT_LT(waiting, readingDone);
    }
}

} // namespace
} // namespace tessarel::test
