// Words that are plainly in a document are found with the options the program is installed with:
// after quotes, slashes, tags and table borders, before line ends, across a PDF's lines, and in
// office documents that store characters as references.
#include "Harness.h"

#include "tests/extract/ReaderTestSupport.h"

#include <gtest/gtest.h>

namespace tessarel::test {
namespace {

const fs::path kCorpus = fs::path(TESSAREL_TEST_DATA) / "corpus";

// "Fix the beginning of word" is on after installation; "Match word" is the user's.
constexpr SearchOptions kInstalled{.fixBeginning = 1};
constexpr SearchOptions kWholeWords{.matchWord = 1, .fixBeginning = 1};

std::vector<std::string> Found(Engine& e, const std::string& query, const SearchOptions& options) {
    e.search(query, options);
    return e.filesInOrder();
}

void Copy(const std::string& corpusFile, const TempDir& docs) {
    fs::copy_file(kCorpus / corpusFile, docs.path() / fs::path(corpusFile).filename());
}

TEST(Finding, TheOrderOfTheWordsDoesNotMatter) {
    TempDir docs;
    docs.write("main.c", "#include <stdio.h>\n#include <stdlib.h>\nint main(void) { return 0; }\n");
    docs.write("other.c", "/* stdio.h is read elsewhere. */\n");
    docs.write("list.txt", "See e.g. the manual, i.e. the reference.");
    Engine e;
    e.read(docs.path());
    for (const SearchOptions& options : {SearchOptions{}, kInstalled, kWholeWords}) {
        EXPECT_EQ(Found(e, "include stdio.h", options), (std::vector<std::string>{"main.c"}));
        EXPECT_EQ(Found(e, "stdio.h include", options), (std::vector<std::string>{"main.c"}));
        EXPECT_EQ(Found(e, "e.g. manual", options), Found(e, "manual e.g.", options));
        EXPECT_EQ(Found(e, "e.g. manual", options), (std::vector<std::string>{"list.txt"}));
    }
    // The word is whole in its fragment, however many sentence ends it holds.
    e.search("e.g.", kInstalled);
    ASSERT_EQ(e.hits().size(), 1u);
    EXPECT_EQ(e.hits()[0].fragment, " See e.g. the manual, i.");
    e.search(".txt", {});
    EXPECT_TRUE(e.hits().empty());
}

TEST(Finding, WordsAfterAnythingThatIsNoPartOfAWord) {
    TempDir docs;
    docs.write("page.html", "<html><body><p>Markup here</p></body></html>");
    docs.write("quotes.txt", "Called 'Internet' by some and \xE2\x80\x9CQuoted\xE2\x80\x9D by others.");
    docs.write("address.txt", "See gnu.org/software/ or write to user@example.org [license].");
    docs.write("nbsp.txt", "Year\xC2\xA0" "copyright notice.");
    docs.write("inside.txt", "The words mysoftware, my_license and myexample again.");
    Engine e;
    e.read(docs.path());
    const struct {
        const char* word;
        std::vector<std::string> files;
    } cases[] = {
        {"markup", {"page.html"}},       {"internet", {"quotes.txt"}}, {"quoted", {"quotes.txt"}},
        {"software", {"address.txt"}},   {"example", {"address.txt"}},
        {"license", {"address.txt"}},    {"copyright", {"nbsp.txt"}},  {"ftware", {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> found = Found(e, c.word, kInstalled);
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, c.files) << c.word;
    }
}

TEST(Finding, WordsOfTableCellsAndParagraphEndsOfWordDocuments) {
    TempDir docs;
    Copy("doc97/features.doc", docs);
    Copy("rtf/features-lo.rtf", docs);
    Engine e;
    e.read(docs.path());
    const std::vector<std::string> both = {"features-lo.rtf", "features.doc"};
    for (const char* cellWord : {"permissive", "copyleft", "licence"}) {
        std::vector<std::string> found = Found(e, cellWord, kWholeWords);
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, both) << cellWord;
    }
    // Every paragraph of both ends with CR LF: the last word of each is found as a whole word.
    for (int i = 0; i < e.catalog->count(); ++i) {
        const std::u16string text = e.catalog->record(i).text.utf16();
        std::size_t end = text.find(u"\r\n");
        while (end != std::u16string::npos && (end == 0 || IsSeparator(text[end - 1])))
            end = text.find(u"\r\n", end + 1);
        ASSERT_NE(end, std::u16string::npos);
        std::size_t start = end;
        while (start > 0 && !IsSeparator(text[start - 1]))
            --start;
        ASSERT_LT(start, end);
        const std::string lastWord = Utf8(text.substr(start, end - start));
        EXPECT_FALSE(Found(e, lastWord, kWholeWords).empty()) << lastWord;
    }
}

TEST(Finding, ASentenceGoesOnOverAPdfLine) {
    TempDir docs;
    Copy("pdf/long.pdf", docs);
    Engine e;
    e.read(docs.path());
    // "States should not allow patents / to restrict development": one sentence, two lines.
    e.search("allow restrict", kWholeWords);
    bool overTheLine = false;
    for (const Hit& hit : e.hits())
        overTheLine |= hit.fragment.find("allow patents\nto restrict") != std::string::npos;
    EXPECT_TRUE(overTheLine);
}

TEST(Finding, CharacterReferencesOfOfficeDocumentsAreTheirCharacters) {
    TempDir docs;
    Copy("odt/long.odt", docs);
    WriteZip((docs.path() / "refs.docx").string(),
             {{"word/document.xml", "<w:p><w:t>R&amp;D of bash&apos;s &#8364;5 and &#x20AC;9.</w:t></w:p>"}});
    Engine e;
    e.read(docs.path());
    EXPECT_EQ(Found(e, "r&d", kInstalled), (std::vector<std::string>{"refs.docx"}));
    EXPECT_EQ(Found(e, "bash's", kWholeWords), (std::vector<std::string>{"refs.docx"}));
    EXPECT_EQ(Found(e, "\xE2\x82\xAC" "9", kWholeWords), (std::vector<std::string>{"refs.docx"}));
    EXPECT_EQ(Found(e, "value1&key2", kInstalled), (std::vector<std::string>{"long.odt"}));
    for (const char* reference : {"&amp;", "&apos;", "&quot;", "&#"})
        EXPECT_TRUE(Found(e, reference, {}).empty()) << reference;
}

} // namespace
} // namespace tessarel::test
