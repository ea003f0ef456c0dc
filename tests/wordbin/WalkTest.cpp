// Heading number texts and the conversion of the footnote sample.
#include "tests/wordbin/ConvertHelpers.h"
#include "tests/wordbin/WordDocumentWriter.h"
#include "wordbin/Convert.h"
#include "wordbin/NumberFormats.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace tessarel::wordbin {
namespace {

TEST(WalkTest, NumberFormats) {
    const struct {
        unsigned number;
        std::uint8_t format;
        const char* text;
    } cases[] = {
        {4, 1, "IV"},   {1994, 2, "mcmxciv"}, {4000, 1, ""},     {4001, 1, "I"},
        {1, 3, "A"},    {26, 4, "z"},         {27, 3, "AA"},     {28, 3, "AB"},
        {702, 3, "ZZ"}, {703, 3, "AAA"},      {18278, 3, "ZZZ"}, {18279, 3, ""},
        {7, 22, "07"},  {123, 22, "123"},     {5, 0, "5"},       {5, 9, "5"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatNumber(c.number, c.format), c.text) << c.number << " " << int(c.format);
}

TEST(WalkTest, FootnotesAreNumberedAndFollowTheSeparator) {
    const std::string text =
        testing::ConvertFile(std::string(TESSAREL_TEST_DATA) + "/corpus/doc97/features.doc");
    const std::size_t first = text.find("footnote[1]");
    const std::size_t second = text.find("footnote[2]");
    const std::size_t endnote = text.find("endnote[i]");
    const std::size_t separator = text.find("\n-----------------------\n[1]");
    ASSERT_NE(first, std::string::npos);
    EXPECT_LT(first, second);
    EXPECT_LT(second, endnote);
    EXPECT_LT(endnote, separator);
    EXPECT_NE(text.find("\n[2]A second footnote", separator), std::string::npos);
    EXPECT_NE(text.find("\n-----------------------\n[i]The endnote"), std::string::npos);
    EXPECT_EQ(text.find("NUMPAGES"), std::string::npos);
    EXPECT_EQ(text.find("marzipanoid"), std::string::npos);   // hidden by its paragraph style
    EXPECT_NE(text.find("quillwortflux"), std::string::npos); // hidden by direct formatting: kept
}

TEST(WalkTest, TableOfTheSampleIsWrittenAsRows) {
    const std::string text =
        testing::ConvertFile(std::string(TESSAREL_TEST_DATA) + "/corpus/doc97/features.doc");
    EXPECT_NE(text.find("\n|Apache "), std::string::npos);
    EXPECT_NE(text.find("|Permissive "), std::string::npos);
}

using testing::Bytes;

// Paragraph properties: a style index, then Word 97 modifiers.
Bytes Properties(std::uint16_t style, std::initializer_list<std::uint8_t> modifiers = {}) {
    Bytes bytes;
    bytes.reserve(2 + modifiers.size());
    bytes.push_back(static_cast<std::uint8_t>(style));
    bytes.push_back(static_cast<std::uint8_t>(style >> 8));
    for (std::uint8_t b : modifiers)
        bytes.push_back(b);
    return bytes;
}

std::string ConvertParagraphs(std::u16string text, std::vector<Bytes> properties, Bytes section = {}) {
    testing::Word97Layout layout;
    layout.before = std::move(text);
    layout.paragraphRuns = true;
    layout.paragraphProperties = std::move(properties);
    layout.sectionModifiers = std::move(section);
    return testing::ConvertBytes(testing::BuildWord97(layout));
}

TEST(WalkTest, ParagraphSpacingMakesEmptyLines) {
    const struct {
        std::initializer_list<std::uint8_t> modifiers;
        const char* text;
    } cases[] = {
        {{}, "\none\ntwo"},
        {{0x14, 0xA4, 120, 0}, "\none\n\ntwo\n"},     // 6 points after
        {{0x14, 0xA4, 100, 0}, "\none\ntwo"},         // 5 points: none
        {{0x13, 0xA4, 0xB8, 0x0B}, "\n\none\n\ntwo"}, // 3000 twips before count as 2160
        {{0x13, 0xA4, 0x00, 0x80}, "\none\ntwo"},     // top bit set: 0
    };
    for (const auto& c : cases) {
        const Bytes properties = Properties(0, c.modifiers);
        EXPECT_EQ(ConvertParagraphs(u"one\rtwo\r", {properties, properties}), c.text);
    }
}

TEST(WalkTest, HeadingsAreSetOffAndNumbered) {
    // Heading 1 without outline numbering, then two numbered heading 2 paragraphs.
    const std::string text =
        ConvertParagraphs(u"Top\rFirst\rbody\rSecond\r", {Properties(1), Properties(2, {0x0A, 0x26, 2}),
                                                          Properties(0), Properties(2, {0x0A, 0x26, 2})});
    EXPECT_EQ(text, "\n\nTop\n\n\n1 First\n\nbody\n\n2 Second\n");
}

TEST(WalkTest, HeadingAfterAPageBreakStartsItsParagraph) {
    // The page break ends "Top"; the heading's style run starts right after it.
    const Bytes heading = Properties(2, {0x0A, 0x26, 2});
    const std::string text =
        ConvertParagraphs(u"First\rTop\x0CSecond\rThird\r", {heading, Properties(0), heading, heading});
    EXPECT_EQ(text, "\n\n1 First\n\nTop\n\n2 Second\n\n\n3 Third\n");
}

TEST(WalkTest, RowWhoseFirstCellStartsWithAFieldIsStillARow) {
    testing::Word97Layout layout;
    layout.before = u"before\r";
    layout.row.cells = {"\x13 REF x \x14"
                        "a\x15",
                        "b"};
    layout.after = u"after\r";
    EXPECT_EQ(testing::ConvertBytes(testing::BuildWord97(layout)),
              "\nbefore\n|a         |b         |\n\n\nafter");
}

TEST(WalkTest, OutputStopsAtItsBound) {
    // Tabs to a 65535-twip stop: some 500 columns each, far more than 32 bytes a source byte.
    std::u16string paragraph = u"x";
    paragraph.append(100, u'\t');
    paragraph += u"\r";
    testing::Word97Layout layout;
    for (int i = 0; i < 12000; ++i)
        layout.before += paragraph;
    layout.defaultTab = 65535;
    const Bytes file = testing::BuildWord97(layout);
    ASSERT_GT(file.size() * 32, kMaxConvertedBytes);
    const std::string text = testing::ConvertBytes(file);
    // The lines come back as "\n" alone: each had two bytes in the output.
    const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    EXPECT_LE(text.size() + lines, kMaxConvertedBytes);
    EXPECT_GT(text.size() + lines, kMaxConvertedBytes - 100'000);
}

TEST(WalkTest, SectionNumberFormatsAndPreviousLevels) {
    // Outline numbering: level 1 upper-case Roman, level 2 lower-case letters showing level 1.
    Bytes section = {0x02, 0xD2, 9 * 16};
    Bytes levels(9 * 16, 0);
    levels[0] = 1;
    levels[16] = 4;
    levels[16 + 3] = 4;
    section.insert(section.end(), levels.begin(), levels.end());
    const Bytes heading1 = Properties(1, {0x0A, 0x26, 1});
    const Bytes heading2 = Properties(2, {0x0A, 0x26, 2});
    const std::string text =
        ConvertParagraphs(u"A\rB\rC\rD\r", {heading1, heading2, heading2, heading1}, section);
    EXPECT_EQ(text, "\n\nI A\n\n\nI.a B\n\n\nI.b C\n\n\nII D\n");
}

} // namespace
} // namespace tessarel::wordbin
