#pragma once
// The search words of one query and what counts as a hit of them: the boundary tests behind
// "Match word", "Case sensitive" and "Fix the beginning of word", and the fragment around a hit.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessarel {

// A one-byte-a-unit text as the search reads it: its bytes as they are, or folded through the
// 256-entry table of NarrowFoldTable() as they are read, so such a text needs no folded copy.
struct NarrowUnits {
    const unsigned char* data;
    std::size_t length;
    std::size_t size() const { return length; }
    char16_t operator[](std::size_t i) const { return data[i]; }
};
struct FoldedNarrowUnits {
    const unsigned char* data;
    std::size_t length;
    const unsigned char* fold;
    std::size_t size() const { return length; }
    char16_t operator[](std::size_t i) const { return fold[data[i]]; }
};

class Query {
public:
    static constexpr std::size_t kQueryCapacity = 200;  // 199 units and the terminator
    static constexpr int kMaxWords = 10;
    static constexpr std::size_t kMaxWordLength = 39;
    static constexpr int kRejectionLimit = 1000;
    static constexpr std::ptrdiff_t kFragmentReach = 345;
    static constexpr std::size_t kSentenceCapacity = 700;
    static constexpr std::u16string_view separators = u" \n\t.,!?\";:-()";

    std::int32_t caseSensitive = 0;
    std::int32_t matchWord = 0;
    std::int32_t fixBeginning = 0;

    // The search bar's text followed by one blank, cut to 199 units.
    void setQueryText(std::u16string_view typed);
    const std::u16string& queryText() const { return queryText_; }
    // queryText -> words (folded first unless caseSensitive).
    void split();

    int wordCount() const { return static_cast<int>(words_.size()); }
    // The words that split() cut to kMaxWordLength, as searched.
    const std::vector<std::u16string>& cutWords() const { return cutWords_; }
    const std::vector<std::u16string>& words() const { return words_; }
    // For tests and callers that build a query from words directly.
    void setWords(std::vector<std::u16string> words);

    // Position of the first acceptable occurrence of `word` in `text` at or after `from`, or npos.
    // Each kind of text gives the same positions as its UTF-16 copy would.
    std::size_t findWord(std::u16string_view text, std::size_t from, std::u16string_view word) const;
    std::size_t findWord(const NarrowUnits& text, std::size_t from, std::u16string_view word) const;
    std::size_t findWord(const FoldedNarrowUnits& text, std::size_t from, std::u16string_view word) const;
    // Every word but word 0 is found in the fragment (its ends count as text ends).
    bool otherWordsPresent(std::u16string_view fragment) const;

    // The fragment around a hit of `length` units at `hit`, as FragmentStart and FragmentEnd
    // below, where a sentence end that belongs to an occurrence of any search word ends nothing:
    // "include stdio.h" then finds what "stdio.h include" finds.
    std::size_t fragmentStart(std::u16string_view text, std::size_t hit) const;
    std::size_t fragmentEnd(std::u16string_view text, std::size_t hit, std::size_t length) const;
    std::size_t fragmentStart(const NarrowUnits& text, std::size_t hit) const;
    std::size_t fragmentEnd(const NarrowUnits& text, std::size_t hit, std::size_t length) const;
    std::size_t fragmentStart(const FoldedNarrowUnits& text, std::size_t hit) const;
    std::size_t fragmentEnd(const FoldedNarrowUnits& text, std::size_t hit, std::size_t length) const;

private:
    template <typename Units>
    std::size_t findWordIn(const Units& text, std::size_t from, std::u16string_view word) const;
    template <typename Units> std::size_t fragmentStartIn(const Units& text, std::size_t hit) const;
    template <typename Units>
    std::size_t fragmentEndIn(const Units& text, std::size_t hit, std::size_t length) const;
    // Whether the sentence end at `pos` is a unit of an occurrence of a search word there.
    template <typename Units> bool insideSearchWord(const Units& text, std::size_t pos) const;
    void findSentenceEnds();

    struct SentenceEndInWord {
        std::size_t word;
        std::size_t offset;
    };

    std::u16string queryText_;
    std::vector<std::u16string> words_;
    std::vector<std::u16string> cutWords_;
    std::vector<SentenceEndInWord> sentenceEnds_;
};

// A unit separates words when it is one of the thirteen separators or anything but a letter, a
// digit, a combining mark or "_": quotes, slashes, tags, table borders and carriage returns
// included. A lone surrogate separates; a pair is judged by the character it encodes, by the
// boundary tests below.
bool IsSeparator(char16_t c);
// Whether a word may begin at `pos` (the text start, or a separator just before it) and end just
// before `end` (the text end, or a separator there).
bool StartsAtWordBoundary(std::u16string_view text, std::size_t pos);
bool EndsAtWordBoundary(std::u16string_view text, std::size_t end);
bool StartsAtWordBoundary(const NarrowUnits& text, std::size_t pos);
bool EndsAtWordBoundary(const NarrowUnits& text, std::size_t end);
bool StartsAtWordBoundary(const FoldedNarrowUnits& text, std::size_t pos);
bool EndsAtWordBoundary(const FoldedNarrowUnits& text, std::size_t end);

// The fragment around a hit of `length` units at `hit`: sentence ends ("\r", "!", ".", "?") within
// 345 units on either side, else blanks, else the 345-unit bounds. The hit's own units never
// start or end it, so a word holding "." stays whole. A search uses Query's own, which also
// keeps the other search words whole.
std::size_t FragmentStart(std::u16string_view text, std::size_t hit);
std::size_t FragmentEnd(std::u16string_view text, std::size_t hit, std::size_t length);

// Plain substring search over 16-bit units (vectorised); npos when absent. The narrow kinds test
// 32 bytes a step (AVX2) or 16 (SSE2); a word with a unit above 255 is never in them.
std::size_t FindUnits(std::u16string_view text, std::size_t from, std::u16string_view word);
std::size_t FindUnits(const NarrowUnits& text, std::size_t from, std::u16string_view word);
std::size_t FindUnits(const FoldedNarrowUnits& text, std::size_t from, std::u16string_view word);

} // namespace tessarel
