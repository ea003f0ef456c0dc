// Character translation, UTF-8 encoding, display widths and upper-casing.
#include "wordbin/CharTranslation.h"

#include <gtest/gtest.h>

namespace tessarel::wordbin {
namespace {

TEST(TranslationTest, RawCharacters) {
    const struct {
        std::uint16_t raw;
        int version;
        bool macintosh;
        std::uint32_t expected;
    } cases[] = {
        {0xE9, 6, false, 0xE9},    {0xE9, 8, false, 0xE9},     {0x93, 6, false, 0x201C},
        {0x93, 8, false, 0x201C},  {0x81, 6, false, '?'},      {0x8E, 6, true, 0xE9},
        {0xF061, 8, false, 0x3B1}, {0xF0E0, 8, false, 0x22C4}, {30, 8, false, '-'},
        {31, 8, false, 0},         {0x2027, 8, false, 0},      {0x2026, 8, false, 0x2026},
        {13, 8, false, 13},        {7, 8, false, 7},           {0x13, 8, false, 0},
        {0x7F, 8, false, 0},       {0x416, 8, false, 0x416},   {0xD83D, 8, false, 0xD83D},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Translate(c.raw, c.version, c.macintosh, NoteKind::Unknown), c.expected)
            << std::hex << c.raw;
}

TEST(TranslationTest, NoteReferencesByKind) {
    EXPECT_EQ(Translate(2, 8, false, NoteKind::Footnote), control::kFootnoteReference);
    EXPECT_EQ(Translate(2, 8, false, NoteKind::Endnote), control::kEndnoteReference);
    EXPECT_EQ(Translate(2, 8, false, NoteKind::Unknown), control::kUnknownNoteReference);
}

TEST(TranslationTest, Encode) {
    char buffer[8];
    EXPECT_EQ(Encode(0x800, buffer, sizeof buffer), 3u);
    EXPECT_EQ(std::string(buffer), "\xE0\xA0\x80");
    EXPECT_EQ(Encode(0x10000, buffer, 5), 4u);
    EXPECT_EQ(std::string(buffer), "\xF0\x90\x80\x80");
    EXPECT_EQ(Encode(0x10000, buffer, 4), 0u);
    EXPECT_EQ(Encode(0x200000, buffer, sizeof buffer), 0u);
    EXPECT_EQ(buffer[0], '\0');
}

TEST(TranslationTest, DisplayWidth) {
    EXPECT_EQ(DisplayWidth("abc"), 3);
    EXPECT_EQ(DisplayWidth("\xE4\xB8\xAD"), 2); // CJK ideograph
    EXPECT_EQ(DisplayWidth("e\xCC\x81"), 1);    // combining acute
    EXPECT_EQ(DisplayWidth("\x01\x7F"), 0);     // controls add nothing
    EXPECT_EQ(DisplayWidth("\xE3\x80\x8A"), 1); // U+300A is narrow
    EXPECT_EQ(DisplayWidth("\xE4"), 2);         // missing continuation bits are zero: U+4000, wide
}

TEST(TranslationTest, UpperCase) {
    EXPECT_EQ(UpperCase('a'), 'A');
    EXPECT_EQ(UpperCase(0xE9), 0xC9u);
    EXPECT_EQ(UpperCase(0xFF), 0xFFu);
    EXPECT_EQ(UpperCase(0xDF), 0xDFu);
    EXPECT_EQ(UpperCase(0xF7), 0xF7u);
    EXPECT_EQ(UpperCase(0x430), 0x430u);
}

} // namespace
} // namespace tessarel::wordbin
