// The catalogue's text storage: texts come from shared 2 MiB-aligned blocks, a large one gets a
// mapping of its own that goes back when it does, copies never depend on the arena, and under
// the sanitizer a write past a text is caught.

#include "platform/TextArena.h"
#include "platform/CompactText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tessarel {
namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

bool HugePageAligned(const void* p) {
    return reinterpret_cast<std::uintptr_t>(p) % (2 * kMiB) == 0;
}

TEST(TextArena, ManyTextsShareBlocksAndKeepTheirUnits) {
    TextArena arena;
    std::vector<std::pmr::u16string> texts;
    for (int i = 0; i < 3000; ++i) {
        std::pmr::u16string& text = texts.emplace_back(&arena);
        text.assign(static_cast<std::size_t>(5000 + i), static_cast<char16_t>(u'a' + i % 26));
    }
    EXPECT_TRUE(HugePageAligned(texts.front().data()));
    // 3000 texts of about 13 KB each: a handful of 32 MiB blocks, not one mapping a text.
    EXPECT_LE(arena.reservedBytes(), 4 * 32 * kMiB);
    for (int i = 0; i < 3000; ++i) {
        ASSERT_EQ(texts[static_cast<std::size_t>(i)].size(), static_cast<std::size_t>(5000 + i));
        ASSERT_EQ(texts[static_cast<std::size_t>(i)].back(), static_cast<char16_t>(u'a' + i % 26));
    }
}

TEST(TextArena, ALargeTextHasItsOwnMappingAndGivesItBack) {
    TextArena arena;
    std::pmr::u16string small(u"a small text that is not kept in place", &arena);
    const std::size_t before = arena.reservedBytes();
    {
        std::pmr::u16string large(&arena);
        large.assign(20 * kMiB, u'x');
        EXPECT_TRUE(HugePageAligned(large.data()));
        EXPECT_GE(arena.reservedBytes(), before + 40 * kMiB);
    }
    EXPECT_EQ(arena.reservedBytes(), before);
    EXPECT_EQ(small, u"a small text that is not kept in place");
}

TEST(TextArena, TheLatestTextGivenBackIsReused) {
    TextArena arena;
    std::pmr::u16string first(&arena);
    first.reserve(1000);
    const char16_t* at = first.data();
    first.clear();
    first.shrink_to_fit();
    std::pmr::u16string second(&arena);
    second.reserve(1000);
    EXPECT_EQ(second.data(), at);
}

// A compact text takes one byte a unit when every unit is below 256, and gives back the same
// UTF-16 units either way; a unit above 255 anywhere, the last one included, keeps it wide.
TEST(TextArena, CompactTextsAreNarrowWhenTheirUnitsAllowAndReadBackTheSame) {
    TextArena arena;
    std::u16string latin(100000, u'q');
    latin[5] = u'\u00FF';
    latin[6] = u'\u00C0';
    const CompactText narrow = CompactText::store(arena, latin);
    EXPECT_TRUE(narrow.narrow());
    EXPECT_EQ(narrow.size(), latin.size());
    EXPECT_EQ(narrow.utf16(), latin);
    EXPECT_EQ(narrow.unit(5), u'\u00FF');
    EXPECT_EQ(narrow.utf16(4, 3), u"q\u00FF\u00C0");
    EXPECT_EQ(narrow.utf16(99999, 10), u"q");
    EXPECT_EQ(narrow.utf16(100000, 10), u"");

    std::u16string lastWide = latin;
    lastWide.back() = u'\u0178';
    const CompactText wide = CompactText::store(arena, lastWide);
    EXPECT_FALSE(wide.narrow());
    EXPECT_EQ(wide.utf16(), lastWide);
    EXPECT_EQ(wide.wideUnits().size(), lastWide.size());
    EXPECT_FALSE(CompactText::store(arena, latin, true).narrow());
    EXPECT_TRUE(CompactText::store(arena, u"").empty());
}

#if defined(__SANITIZE_ADDRESS__)
// Texts share blocks, so without their fences a reader writing past its text would go unseen.
TEST(TextArenaDeathTest, WritingPastATextIsCaughtUnderTheSanitizer) {
    TextArena arena;
    std::pmr::u16string first(&arena);
    first.assign(100, u'a');
    std::pmr::u16string second(&arena);
    second.assign(100, u'b');
    volatile char16_t* const past = first.data() + first.capacity() + 4;
    EXPECT_DEATH(*past = u'x', "use-after-poison");
}
#endif

} // namespace
} // namespace tessarel
