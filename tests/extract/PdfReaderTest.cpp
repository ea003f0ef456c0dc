// The PDF reader over the corpus: page breaks, line ends, permissions, caps.
#include "extract/PdfText.h"
#include "tests/extract/ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tessarel::test {
namespace {

std::size_t Count(std::u16string_view text, char16_t unit) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), unit));
}

TEST(PdfReader, PagesAreSeparatedByOneFormFeedAndNoneTrails) {
    ContentsFolder contents;
    const struct {
        const char* path;
        std::size_t pages;
    } cases[] = {{"pdf/multipage.pdf", 7}, {"pdf/cyrillic.pdf", 1}, {"pdf/features.pdf", 3}, {"pdf/owner-copyok.pdf", 7}};
    for (const auto& c : cases) {
        const std::u16string text = ReadText(CorpusPath(c.path), contents.context());
        ASSERT_FALSE(text.empty()) << c.path;
        EXPECT_EQ(Count(text, u'\f'), c.pages - 1) << c.path;
        EXPECT_NE(text.back(), u'\f') << c.path;
        // Lines end with LF alone: a carriage return would end a sentence's fragment at every line.
        EXPECT_EQ(Count(text, u'\r'), 0u) << c.path;
        EXPECT_GT(Count(text, u'\n'), c.pages) << c.path;
    }
}

TEST(PdfReader, LockedOrDamagedDocumentsGiveEmptyText) {
    ContentsFolder contents;
    for (const char* path : {"pdf/owner-nocopy.pdf", "pdf/userpw.pdf", "broken/random-bytes.pdf", "txt/man-ls.txt"})
        EXPECT_EQ(ExtractPdfText(CorpusPath(path), 1 << 20), "") << path;
    EXPECT_EQ(ExtractPdfText(CorpusPath("pdf/missing.pdf"), 1 << 20), "");
}

TEST(PdfReader, TextStopsAtItsBuffer) {
    const std::string full = ExtractPdfText(CorpusPath("pdf/long.pdf"), 10'000'000);
    ASSERT_GT(full.size(), 100'000u);
    for (std::size_t capacity : {std::size_t{1}, std::size_t{100}, std::size_t{50'000}}) {
        const std::string cut = ExtractPdfText(CorpusPath("pdf/long.pdf"), capacity);
        EXPECT_LT(cut.size(), capacity);
        EXPECT_EQ(full.compare(0, cut.size(), cut), 0) << capacity;
    }
}

} // namespace
} // namespace tessarel::test
