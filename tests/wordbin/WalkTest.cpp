// Heading number texts and the conversion of the footnote sample.
#include "tests/wordbin/ConvertHelpers.h"
#include "wordbin/TextWalk.h"

#include <gtest/gtest.h>

namespace tessarel::wordbin {
namespace {

TEST(WalkTest, NumberFormats) {
    const struct {
        unsigned number;
        std::uint8_t format;
        const char* text;
    } cases[] = {
        {4, 1, "IV"},      {1994, 2, "mcmxciv"}, {4000, 1, ""},    {4001, 1, "I"},  {1, 3, "A"},
        {26, 4, "z"},      {27, 3, "AA"},        {28, 3, "AB"},    {702, 3, "ZZ"},  {703, 3, "AAA"},
        {18278, 3, "ZZZ"}, {18279, 3, ""},       {7, 22, "07"},    {123, 22, "123"}, {5, 0, "5"},
        {5, 9, "5"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextWalk::FormatNumber(c.number, c.format), c.text) << c.number << " " << int(c.format);
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
    EXPECT_EQ(text.find("marzipanoid"), std::string::npos); // hidden by its paragraph style
    EXPECT_NE(text.find("quillwortflux"), std::string::npos); // hidden by direct formatting: kept
}

TEST(WalkTest, TableOfTheSampleIsWrittenAsRows) {
    const std::string text =
        testing::ConvertFile(std::string(TESSAREL_TEST_DATA) + "/corpus/doc97/features.doc");
    EXPECT_NE(text.find("\n|Apache "), std::string::npos);
    EXPECT_NE(text.find("|Permissive "), std::string::npos);
}

} // namespace
} // namespace tessarel::wordbin
