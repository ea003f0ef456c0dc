#include "platform/Text.h"

#include <gtest/gtest.h>

namespace tessarel {
namespace {

TEST(Utf8, RoundTripsEveryPlane) {
    const std::u16string text = u"A é Ж € \U0001F600";
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(ToUtf8(u"información"), "información");
}

TEST(Utf8, IllFormedSequencesBecomeReplacementsWithoutLosingTheRest) {
    EXPECT_EQ(FromUtf8("a\xC3"), u"a\uFFFD");
    EXPECT_EQ(FromUtf8("\xC0\xAF" "b"), u"\uFFFD\uFFFDb");           // overlong
    EXPECT_EQ(FromUtf8("\xED\xA0\x80z"), u"\uFFFD\uFFFD\uFFFDz");     // encoded surrogate
    EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(Utf8, ValidityTest) {
    EXPECT_TRUE(IsValidUtf8("plain ascii"));
    EXPECT_TRUE(IsValidUtf8("\xEF\xBB\xBFGeb\xC3\xBChren"));
    EXPECT_FALSE(IsValidUtf8("Geb\xFChren"));   // Windows-1252 ü
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80")); // beyond U+10FFFF
}

TEST(Cp1251, MapsTheCyrillicBlockAndThePunctuationRow) {
    EXPECT_EQ(FromCp1251("\xC0\xFF\xA8\xB8"), u"АяЁё");
    EXPECT_EQ(FromCp1251("\x84\x93\x94\x96\x85\xB9"), u"„“”–…№");
    EXPECT_EQ(Cp1251ToUnit(0x98), u'\x98');
    for (int b = 0; b < 256; ++b) {
        unsigned char back = 0;
        ASSERT_TRUE(UnitToCp1251(Cp1251ToUnit(static_cast<unsigned char>(b)), back)) << b;
        EXPECT_EQ(back, b);
    }
    unsigned char byte;
    EXPECT_FALSE(UnitToCp1251(u'é', byte));
}

TEST(CaseFolding, OneUnitInOneOut) {
    EXPECT_EQ(Folded(u"Alpha ÉCOLE Свободният ΩΜΈΓΑ"), u"alpha école свободният ωμέγα");
    EXPECT_EQ(UpperUnit(u'ж'), u'Ж');
    const std::u16string surrogates = u"\U0001F600";
    EXPECT_EQ(Folded(surrogates), surrogates);
    // U+0130 lower-cases to two units in full Unicode; here it must stay one.
    EXPECT_EQ(Folded(u"\u0130").size(), 1u);
}

} // namespace
} // namespace tessarel
