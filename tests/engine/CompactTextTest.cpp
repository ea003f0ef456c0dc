// The one-byte texts and the UTF-16 texts must search alike: the same folder read both ways (the
// second with every text kept in UTF-16 and a folded copy) gives the same pages, hits, offsets,
// fragments, marks and text pages for a few hundred generated queries.

#include "Harness.h"
#include "platform/CompactText.h"

#include <gtest/gtest.h>

#include <random>

namespace tessarel::test {
namespace {

const fs::path kCorpus = fs::path(TESSAREL_TEST_DATA) / "corpus";

// The capital of a letter when it is below 256 too (not for ÿ and µ), so that one-byte texts stay so.
char16_t Capital(char16_t c) {
    const char16_t upper = UpperUnit(c);
    return upper < 256 ? upper : c;
}

// Words of plain letters, Latin-1 letters of both cases, and a few with a sentence end inside.
std::vector<std::u16string> Vocabulary(std::mt19937& rng) {
    static const std::u16string latin = u"abcdefghijklmnopqrstuvwxyzàéîöüçñßÿµøåæ";
    std::vector<std::u16string> words = {u"the", u"of", u"and", u"stdio.h", u"e.g", u"ÀÉÎ", u"ÿes", u"_id"};
    while (words.size() < 200) {
        std::u16string w;
        const std::size_t n = 2 + rng() % 8;
        for (std::size_t k = 0; k < n; ++k)
            w.push_back(latin[rng() % latin.size()]);
        if (rng() % 4 == 0)
            w[0] = Capital(w[0]);
        words.push_back(w);
    }
    return words;
}

std::u16string RunningText(std::mt19937& rng, const std::vector<std::u16string>& words, std::size_t count) {
    static const std::u16string_view separators[] = {u" ", u" ", u" ", u". ", u", ", u"\n", u"! ", u"-", u"\t"};
    std::u16string text;
    for (std::size_t i = 0; i < count; ++i) {
        std::u16string w = words[rng() % words.size()];
        if (rng() % 5 == 0)
            for (char16_t& c : w)
                c = Capital(c);
        text += w;
        text += separators[rng() % std::size(separators)];
    }
    return text;
}

// A query of one to three words from near one place of a text, a phrase now and then, in
// either case.
std::string RandomQuery(std::mt19937& rng, const std::vector<std::u16string>& texts) {
    std::u16string query;
    const std::u16string& text = texts[rng() % texts.size()];
    if (text.size() < 300)
        return "the";
    const std::size_t place = rng() % (text.size() - 300);
    const int words = 1 + static_cast<int>(rng() % 3);
    for (int k = 0; k < words; ++k) {
        std::size_t at = place + rng() % 200;
        while (at < text.size() && IsSeparator(text[at]))
            ++at;
        // Mostly whole words, whose first letters are often capitals.
        while (rng() % 4 != 0 && at > 0 && !IsSeparator(text[at - 1]))
            --at;
        std::size_t end = at;
        const bool phrase = rng() % 4 == 0;
        for (int blanks = 0; end < text.size() && end - at < 30; ++end) {
            if (text[end] == u' ' && (!phrase || ++blanks == 2))
                break;
            if (text[end] == u'"' || text[end] < u' ' || (text[end] == u' ' && !phrase))
                break;
        }
        std::u16string word = text.substr(at, end - at);
        if (word.empty())
            continue;
        if (rng() % 6 == 0)
            for (char16_t& c : word)
                c = rng() % 2 ? UpperUnit(c) : FoldUnit(c);
        if (rng() % 6 == 0 && word.size() > 3)
            word = word.substr(1, word.size() - 2);
        query += phrase ? u"\"" + word + u"\" " : word + u" ";
    }
    return ToUtf8(query);
}

TEST(CompactTexts, NarrowAndUtf16TextsGiveTheSamePagesHitsAndMarks) {
    std::mt19937 rng(24);
    const std::vector<std::u16string> words = Vocabulary(rng);
    TempDir docs;
    fs::copy(kCorpus, docs.path() / "corpus", fs::copy_options::recursive);
    std::vector<std::u16string> written;
    for (int i = 0; i < 12; ++i)
        written.push_back(RunningText(rng, words, 400 + rng() % 3000));
    // The only unit above 255 is the last; then capitals whose lower case is a Latin-1 letter,
    // and a text with Cyrillic, Greek and a pair beyond the BMP.
    written.push_back(RunningText(rng, words, 2000) + u"Ÿ");
    written.push_back(u"ÀÉÎ àéî ÿ Ÿ " + RunningText(rng, words, 500));
    written.push_back(RunningText(rng, words, 300) + u" Привет мир σοφία 𝄞 " + RunningText(rng, words, 300));
    for (std::size_t i = 0; i < written.size(); ++i)
        docs.write("gen/g" + std::to_string(i) + ".txt", ToUtf8(written[i]));

    Engine narrow;
    Engine wide;
    const CCatalog& n = narrow.read(docs.path());
    const CCatalog& w = wide.read(docs.path(), [](CCatalog& c) { c.narrowTexts = false; });
    ASSERT_EQ(n.count(), w.count());
    std::vector<std::u16string> texts;
    int narrowTexts = 0;
    for (int i = 0; i < n.count(); ++i) {
        ASSERT_EQ(n.record(i).text.utf16(), w.record(i).text.utf16());
        ASSERT_EQ(SearchedText(n.record(i)), SearchedText(w.record(i)));
        EXPECT_FALSE(w.record(i).text.narrow() && !w.record(i).text.empty());
        const std::u16string text = n.record(i).text.utf16();
        EXPECT_EQ(n.record(i).text.narrow(), FitsInBytes(text)) << Utf8(n.record(i).path);
        narrowTexts += n.record(i).text.narrow() && !text.empty() ? 1 : 0;
        if (n.record(i).text.narrow() && NarrowFoldTable()) {
            EXPECT_TRUE(n.record(i).foldedText.empty());
        }
        if (!text.empty())
            texts.push_back(text);
    }
    ASSERT_GT(narrowTexts, 30);
    ASSERT_LT(narrowTexts, n.count());

    // Latin-1 capitals and ÿ/Ÿ at the ends of a word, in every combination of the options, then
    // the generated queries.
    std::vector<std::string> queries;
    for (const char* fixed : {"ÀÉÎ", "àéî", "ÿ", "Ÿ", "Ÿes", "ÿES", "É", "ß", "Ñ", "ÇA", "çA"})
        for (int combination = 0; combination < 8; ++combination)
            queries.push_back(fixed);
    for (int q = 0; q < 300; ++q)
        queries.push_back(RandomQuery(rng, texts));
    int found = 0;
    for (std::size_t q = 0; q < queries.size(); ++q) {
        const std::string& query = queries[q];
        SearchOptions options;
        const bool fixed = q < queries.size() - 300;
        options.caseSensitive = static_cast<int>(fixed ? q % 2 : rng() % 2);
        options.matchWord = static_cast<int>(fixed ? q / 2 % 2 : rng() % 2);
        options.fixBeginning = static_cast<int>(fixed ? q / 4 % 2 : rng() % 2);
        options.groupByFiles = rng() % 4 != 0;
        options.order = rng() % 3 == 0 ? CSearcher::Date : CSearcher::Relevance;
        const std::string why = "query [" + query + "] " + std::to_string(options.caseSensitive) +
                                std::to_string(options.matchWord) + std::to_string(options.fixBeginning);
        const std::u16string page = narrow.search(query, options);
        ASSERT_EQ(Utf8(page), Utf8(wide.search(query, options))) << why;
        const std::vector<Hit> hits = narrow.hits();
        ASSERT_EQ(hits, wide.hits()) << why;
        found += hits.empty() ? 0 : 1;
        if (hits.empty())
            continue;
        const SearchHit& first = narrow.searcher->hits()[rng() % hits.size()];
        const ShowLink link{first.document, static_cast<long long>(first.offset), static_cast<long long>(first.length)};
        ASSERT_EQ(BuildTextPage(n, link, narrow.searcher->query), BuildTextPage(w, link, wide.searcher->query)) << why;
    }
    // Most queries come from the texts, so most find something.
    EXPECT_GT(found, 150);
}

// The one-byte scan against the UTF-16 scan, word by word, at every start and near the end of
// the text, where the vector steps give way to the scalar tail.
TEST(CompactTexts, TheNarrowScanFindsWhatTheUtf16ScanFinds) {
    std::mt19937 rng(7);
    std::u16string text;
    static const std::u16string units = u"aAbBéÉÿ ÀàzZ.";
    for (int i = 0; i < 300; ++i)
        text.push_back(units[rng() % units.size()]);
    std::basic_string<unsigned char> bytes(text.begin(), text.end());
    const std::u16string folded = Folded(text);
    const unsigned char* fold = NarrowFoldTable();
    ASSERT_NE(fold, nullptr);
    const NarrowUnits exact{bytes.data(), bytes.size()};
    const FoldedNarrowUnits caseBlind{bytes.data(), bytes.size(), fold};
    for (int k = 0; k < 500; ++k) {
        const std::size_t at = rng() % text.size();
        const std::u16string word = text.substr(at, 1 + rng() % 5);
        const std::u16string foldedWord = Folded(word);
        for (std::size_t from : {std::size_t{0}, at / 2, at, text.size() - word.size()}) {
            EXPECT_EQ(FindUnits(exact, from, word), FindUnits(text, from, word));
            EXPECT_EQ(FindUnits(caseBlind, from, foldedWord), FindUnits(folded, from, foldedWord));
        }
    }
    // A word with a unit above 255 is in no narrow text.
    EXPECT_EQ(FindUnits(exact, 0, u"a\u0100"), std::u16string_view::npos);
    EXPECT_EQ(FindUnits(caseBlind, 0, u"\u0178"), std::u16string_view::npos);
}

} // namespace
} // namespace tessarel::test
