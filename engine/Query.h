#pragma once
// The search words of one query and what counts as a hit of them: the boundary tests behind
// "Match word", "Case sensitive" and "Fix the beginning of word", and the fragment around a hit.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessarel {

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
    const std::vector<std::u16string>& words() const { return words_; }
    // For tests and callers that build a query from words directly.
    void setWords(std::vector<std::u16string> words) { words_ = std::move(words); }

    // Position of the first acceptable occurrence of `word` in `text` at or after `from`, or npos.
    std::size_t findWord(std::u16string_view text, std::size_t from, std::u16string_view word) const;
    // Every word but word 0 is found in the fragment (its ends count as text ends).
    bool otherWordsPresent(std::u16string_view fragment) const;

private:
    std::u16string queryText_;
    std::vector<std::u16string> words_;
};

bool IsSeparator(char16_t c);
// The fragment around a hit at `hit`: sentence ends ("\r", "!", ".", "?") within 345 units on
// either side, else blanks, else the 345-unit bounds.
std::size_t FragmentStart(std::u16string_view text, std::size_t hit);
std::size_t FragmentEnd(std::u16string_view text, std::size_t hit);

// Plain substring search over 16-bit units (vectorised); npos when absent.
std::size_t FindUnits(std::u16string_view text, std::size_t from, std::u16string_view word);

} // namespace tessarel
