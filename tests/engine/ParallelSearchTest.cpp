// The search on several threads makes the page and the hits a single thread makes, for grouped
// and flat listings, every order and the result limits.

#include "Harness.h"

#include <gtest/gtest.h>

#include <random>

namespace tessarel::test {
namespace {

// Words of the documents themselves, so that most queries find something.
std::vector<std::string> WordsOf(const CCatalog& c) {
    std::vector<std::string> words;
    for (int i = 0; i < c.count(); ++i) {
        std::u16string word;
        for (char16_t unit : c.record(i).text.utf16()) {
            if ((unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z') || unit >= 0xC0) {
                word.push_back(unit);
                continue;
            }
            if (word.size() >= 2 && word.size() <= 12)
                words.push_back(ToUtf8(word));
            word.clear();
        }
    }
    return words;
}

void ExpectSameSearch(Engine& e, const std::string& query, const SearchOptions& o) {
    e.searcher->searchThreads = 1;
    const std::u16string one = e.search(query, o);
    const std::vector<SearchHit> oneHits = e.searcher->hits();
    e.searcher->searchThreads = 4;
    const std::u16string four = e.search(query, o);
    EXPECT_TRUE(one == four) << query;
    EXPECT_EQ(oneHits, e.searcher->hits()) << query;
}

TEST(ParallelSearch, FourThreadsMakeTheSinglesPageOverTheCorpus) {
    Engine e;
    const CCatalog& c = e.read(fs::path(TESSAREL_TEST_DATA) / "corpus");
    const std::vector<std::string> words = WordsOf(c);
    ASSERT_GT(words.size(), 1000u);
    std::mt19937 random(20261208);
    auto word = [&] { return words[random() % words.size()]; };
    for (int q = 0; q < 300; ++q) {
        std::string query = word();
        if (q % 3 == 1)
            query += " " + word();
        if (q % 7 == 2)
            query = "\"" + word() + " " + word() + "\"";
        if (q % 11 == 0)
            query = "e"; // frequent: the limits decide
        SearchOptions o;
        o.caseSensitive = q % 5 == 0;
        o.matchWord = q % 4 == 0;
        o.fixBeginning = q % 2;
        o.order = q % 3;
        o.groupByFiles = q % 6 != 0;
        o.resultsPerFile = q % 20;
        ExpectSameSearch(e, query, o);
    }
}

TEST(ParallelSearch, TheLimitsAreTakenInCatalogueOrder) {
    TempDir docs;
    // More documents with hits than a grouped page holds, and more hits than a flat one holds.
    for (int i = 0; i < 1200; ++i) {
        std::string text;
        for (int k = 0; k < 12; ++k)
            text += "kiwi number " + std::to_string(i * 100 + k) + (k % 3 ? " kiwi. " : ". ");
        docs.write("d" + std::to_string(i) + ".txt", text);
    }
    Engine e;
    e.read(docs.path());
    for (int order : {CSearcher::Relevance, CSearcher::Date, CSearcher::Alphabetical}) {
        SearchOptions grouped;
        grouped.order = order;
        ExpectSameSearch(e, "kiwi", grouped);
        EXPECT_EQ(e.searcher->resultCount(), 500);
        SearchOptions flat = grouped;
        flat.groupByFiles = 0;
        ExpectSameSearch(e, "kiwi", flat);
        EXPECT_EQ(e.searcher->resultCount(), 10000);
    }
}

} // namespace
} // namespace tessarel::test
