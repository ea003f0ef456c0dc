#include "engine/Query.h"

#include "platform/Text.h"

#include <gtest/gtest.h>

#include <random>

namespace tessarel {
namespace {

std::vector<std::u16string> Split(std::u16string_view typed, int caseSensitive = 0) {
    Query q;
    q.caseSensitive = caseSensitive;
    q.setQueryText(typed);
    q.split();
    return q.words();
}

TEST(QuerySplit, WordsPhrasesAndLimits) {
    using W = std::vector<std::u16string>;
    EXPECT_EQ(Split(u"Alpha Beta"), (W{u"alpha", u"beta"}));
    EXPECT_EQ(Split(u"Alpha Beta", 1), (W{u"Alpha", u"Beta"}));
    EXPECT_EQ(Split(u"\"new york\" map"), (W{u"new york", u"map"}));
    EXPECT_EQ(Split(u"\"new york map"), (W{u"new", u"york", u"map"}));
    EXPECT_EQ(Split(u"a\"b c"), (W{u"a\"b", u"c"}));
    EXPECT_EQ(Split(u"  spaced   out  "), (W{u"spaced", u"out"}));
    EXPECT_EQ(Split(u"twice other twice"), (W{u"twice", u"other"}));
    EXPECT_EQ(Split(u"\"\" word"), (W{u"word"}));
    EXPECT_TRUE(Split(u"   ").empty());
    EXPECT_TRUE(Split(u"").empty());
}

TEST(QuerySplit, AtMostTenTokensOfAtMost39Units) {
    const std::u16string fifty(50, u'x');
    EXPECT_EQ(Split(fifty), (std::vector<std::u16string>{std::u16string(39, u'x')}));
    const auto eleven = Split(u"w0 w1 w2 w3 w4 w5 w6 w7 w8 w9 w10");
    ASSERT_EQ(eleven.size(), 10u);
    EXPECT_EQ(eleven.back(), u"w9");
    // A dropped duplicate still uses up its token.
    EXPECT_EQ(Split(u"a a a a a a a a a a b").size(), 1u);
}

TEST(QuerySplit, QueryIsCutAt199UnitsBlankIncluded) {
    Query q;
    q.setQueryText(std::u16string(300, u'y'));
    EXPECT_EQ(q.queryText().size(), 199u);
    q.setQueryText(u"short");
    EXPECT_EQ(q.queryText(), u"short ");
}

struct FindCase {
    const char16_t* text;
    const char16_t* word;
    int matchWord;
    int fixBeginning;
    std::size_t expected;
};

class FindWord : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindWord, BoundaryRules) {
    const FindCase& c = GetParam();
    Query q;
    q.matchWord = c.matchWord;
    q.fixBeginning = c.fixBeginning;
    EXPECT_EQ(q.findWord(c.text, 0, c.word), c.expected) << "word " << std::u16string_view(c.word).size();
}

constexpr std::size_t npos = std::u16string_view::npos;

INSTANTIATE_TEST_SUITE_P(
    Options, FindWord,
    ::testing::Values(FindCase{u"information", u"form", 0, 0, 2},      // anywhere
                      FindCase{u"information", u"form", 1, 0, npos},   // must end a word
                      FindCase{u"a reform.", u"form", 1, 0, 4},
                      FindCase{u"formal", u"form", 1, 0, npos},
                      FindCase{u"formal", u"form", 0, 1, 0},           // must begin a word
                      FindCase{u"reform", u"form", 0, 1, npos},
                      FindCase{u"bobcat cats", u"cat", 1, 0, 3},
                      FindCase{u"bobcat cats", u"cat", 0, 1, 7},
                      FindCase{u"cat", u"a", 0, 0, npos},              // one letter: whole word only
                      FindCase{u"cat a", u"a", 0, 0, 4},
                      FindCase{u"(form)", u"form", 1, 1, 1},
                      FindCase{u"form", u"form", 1, 1, 0}));

// With both options on, a word is found after and before anything that is not part of a word,
// and still never inside one.
INSTANTIATE_TEST_SUITE_P(
    WordBoundaries, FindWord,
    ::testing::Values(FindCase{u"cell|markup|", u"markup", 1, 1, 5},          // table border
                      FindCase{u"end\fmarkup\r\n", u"markup", 1, 1, 4},     // page break, CR LF
                      FindCase{u"<p>markup</p>", u"markup", 1, 1, 3},          // tags
                      FindCase{u"'internet'", u"internet", 1, 1, 1},           // apostrophes
                      FindCase{u"\u201cquoted\u201d", u"quoted", 1, 1, 1},    // curly quotes
                      FindCase{u"gnu.org/software/", u"software", 1, 1, 8},     // slashes
                      FindCase{u"user@example", u"example", 1, 1, 5},
                      FindCase{u"[license]", u"license", 1, 1, 1},
                      FindCase{u"\u00a0copyright\u00a0", u"copyright", 1, 1, 1}, // no-break space
                      FindCase{u"software", u"ftware", 0, 1, npos},             // never inside a word
                      FindCase{u"my_software", u"software", 0, 1, npos},        // "_" is a word's own
                      FindCase{u"x2software", u"software", 0, 1, npos},
                      FindCase{u"caf\u00e9s", u"caf", 1, 0, npos},              // letters beyond ASCII
                      FindCase{u"\u0437\u0438\u043c\u0430", u"\u0438\u043c", 0, 1, npos},
                      FindCase{u"e\u0301tude", u"tude", 0, 1, npos},            // combining mark
                      FindCase{u"\U0001D400word", u"word", 0, 1, npos},         // letter beyond U+FFFF
                      FindCase{u"\U0001F600word", u"word", 0, 1, 2},            // a symbol there
                      FindCase{u"word\U0001D400", u"word", 1, 0, npos},
                      FindCase{u"word\U0001F600", u"word", 1, 0, 0},
                      FindCase{u"\xdc00word\xd800", u"word", 1, 1, 1}));         // lone surrogates

TEST(Separators, TheThirteenAndEverythingOutsideWords) {
    for (const char16_t c : Query::separators)
        EXPECT_TRUE(IsSeparator(c)) << static_cast<int>(c);
    for (const char16_t c : std::u16string_view(u"\r\f|/@[]<>'`\u2019\u00a0\u3000\ufeff"))
        EXPECT_TRUE(IsSeparator(c)) << static_cast<int>(c);
    for (const char16_t c : std::u16string_view(u"aZ09_\u00e9\u0416\u05d0\u4e2d\u0301\u00b2\u0663"))
        EXPECT_FALSE(IsSeparator(c)) << static_cast<int>(c);
}

TEST(FindWordLimits, GivesUpAfterAThousandRejections) {
    Query q;
    q.matchWord = 1;
    std::u16string text;
    for (int i = 0; i < 1000; ++i)
        text += u"forms ";
    EXPECT_EQ(q.findWord(text + u"form", 0, u"form"), npos);
    EXPECT_EQ(q.findWord(text.substr(6) + u"form", 0, u"form"), text.size() - 6);
}

TEST(Fragments, SentenceEndsBlanksAndBounds) {
    const std::u16string text = u"First one. Second kiwi here! Third";
    const std::size_t hit = text.find(u"kiwi");
    EXPECT_EQ(text.substr(FragmentStart(text, hit), FragmentEnd(text, hit, 4) - FragmentStart(text, hit)),
              u" Second kiwi here!");
    EXPECT_EQ(FragmentStart(text, 2), 0u);
    const std::size_t third = text.find(u"Third");
    EXPECT_EQ(FragmentEnd(text, third, 5), text.size());

    // No sentence end near the hit: the fragment runs from a blank to a blank, 345 units each side at most.
    std::u16string longText;
    for (int i = 0; i < 200; ++i)
        longText += u"word ";
    const std::size_t middle = 500;
    const std::size_t start = FragmentStart(longText, middle);
    const std::size_t end = FragmentEnd(longText, middle, 4);
    EXPECT_EQ(longText[start], u' ');
    EXPECT_EQ(longText[end], u' ');
    EXPECT_LE(middle - start, 345u);
    EXPECT_LE(end - middle, 345u);
    EXPECT_LE(end - start, 692u);
}

// A sentence end inside the hit is the word's own: it neither starts nor ends the fragment.
TEST(Fragments, AHitIsWholeInItsFragment) {
    struct Case {
        std::u16string_view text, word, fragment;
    };
    const Case cases[] = {
        {u"Abbreviations, e.g. these, are common. Next.", u"e.g.", u"Abbreviations, e.g. these, are common."},
        {u"#include <stdio.h>\r\nint main", u"stdio.h", u"#include <stdio.h>\r"},
        {u"Save it as notes.txt now. Done.", u".txt", u"Save it as notes.txt now."},
        {u"Well? Really! Yes.", u"really!", u" Really! Yes."},
        {u"Say \"new york\" twice.", u"new york", u"Say \"new york\" twice."},
    };
    for (const Case& c : cases) {
        const std::u16string folded = Folded(c.text);
        const std::size_t hit = folded.find(c.word);
        ASSERT_NE(hit, npos);
        const std::size_t start = FragmentStart(folded, hit);
        const std::size_t end = FragmentEnd(folded, hit, c.word.size());
        EXPECT_EQ(c.text.substr(start, end - start), c.fragment) << Folded(c.word).size();
    }
    // With no sentence end and no blank in reach after a phrase, its own blank does not end it.
    const std::u16string phrase = u"new york" + std::u16string(400, u'x');
    EXPECT_EQ(FragmentEnd(phrase, 0, 8), 345u);
}

TEST(FindUnits, AgreesWithTheNaiveScanOnRandomTexts) {
    std::mt19937 rng(42);
    for (int round = 0; round < 3000; ++round) {
        std::u16string text(rng() % 120, u'a');
        for (char16_t& c : text)
            c = static_cast<char16_t>(u'a' + rng() % 3);
        std::u16string word(1 + rng() % 5, u'a');
        for (char16_t& c : word)
            c = static_cast<char16_t>(u'a' + rng() % 3);
        const std::size_t from = text.empty() ? 0 : rng() % (text.size() + 1);
        EXPECT_EQ(FindUnits(text, from, word), std::u16string_view(text).find(word, from))
            << "round " << round;
    }
}

TEST(FindUnits, HighUnitsAndTheVeryEnd) {
    std::u16string text(100, u'\xFFFF');
    text += u"\x8000\x0001";
    EXPECT_EQ(FindUnits(text, 0, u"\x8000\x0001"), 100u);
    EXPECT_EQ(FindUnits(text, 101, u"\x8000"), npos);
    EXPECT_EQ(FindUnits(u"", 0, u"a"), npos);
}

} // namespace
} // namespace tessarel
