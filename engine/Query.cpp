#include "engine/Query.h"

#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace tessarel {
namespace {

bool IsSentenceEnd(char16_t c) { return c == u'\r' || c == u'!' || c == u'.' || c == u'?'; }

struct CodeRange {
    char32_t first;
    char32_t last;
};

constexpr CodeRange kWordCharacters[] = {
#include "engine/WordCharacterRanges.inc"
};

// One bit a UTF-16 unit, so the boundary test at both ends of every candidate stays one lookup.
using UnitBits = std::array<std::uint64_t, 0x10000 / 64>;

constexpr UnitBits MakeWordUnits() {
    UnitBits bits{};
    for (const CodeRange& range : kWordCharacters)
        for (char32_t c = range.first; c <= range.last && c < 0x10000; ++c)
            bits[c / 64] |= std::uint64_t{1} << (c % 64);
    for (const char16_t c : Query::separators)
        bits[c / 64] &= ~(std::uint64_t{1} << (c % 64));
    return bits;
}

constexpr UnitBits kWordUnits = MakeWordUnits();

bool IsWordCharacter(char32_t c) {
    if (c < 0x10000)
        return (kWordUnits[c / 64] >> (c % 64)) & 1;
    const auto* range = std::upper_bound(std::begin(kWordCharacters), std::end(kWordCharacters), c,
                                         [](char32_t v, const CodeRange& r) { return v < r.first; });
    return range != std::begin(kWordCharacters) && c <= (range - 1)->last;
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

char32_t CodePoint(char16_t high, char16_t low) {
    return 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (static_cast<char32_t>(low) - 0xDC00);
}

} // namespace

bool IsSeparator(char16_t c) { return !IsWordCharacter(c); }

namespace {

template <typename Units> bool StartsAtBoundary(const Units& text, std::size_t pos) {
    if (pos == 0)
        return true;
    const char16_t before = text[pos - 1];
    if (IsLowSurrogate(before) && pos >= 2 && IsHighSurrogate(text[pos - 2]))
        return !IsWordCharacter(CodePoint(text[pos - 2], before));
    return IsSeparator(before);
}

template <typename Units> bool EndsAtBoundary(const Units& text, std::size_t end) {
    if (end >= text.size())
        return true;
    const char16_t after = text[end];
    if (IsHighSurrogate(after) && end + 1 < text.size() && IsLowSurrogate(text[end + 1]))
        return !IsWordCharacter(CodePoint(after, text[end + 1]));
    return IsSeparator(after);
}

} // namespace

bool StartsAtWordBoundary(std::u16string_view text, std::size_t pos) { return StartsAtBoundary(text, pos); }
bool EndsAtWordBoundary(std::u16string_view text, std::size_t end) { return EndsAtBoundary(text, end); }
bool StartsAtWordBoundary(const NarrowUnits& text, std::size_t pos) { return StartsAtBoundary(text, pos); }
bool EndsAtWordBoundary(const NarrowUnits& text, std::size_t end) { return EndsAtBoundary(text, end); }
bool StartsAtWordBoundary(const FoldedNarrowUnits& text, std::size_t pos) { return StartsAtBoundary(text, pos); }
bool EndsAtWordBoundary(const FoldedNarrowUnits& text, std::size_t end) { return EndsAtBoundary(text, end); }

namespace {

// The fragment rule, with `endsNothing` telling which sentence ends to pass over.
template <typename Units, typename EndsNothing>
std::size_t StartOfFragment(const Units& text, std::size_t hit, EndsNothing endsNothing) {
    const std::ptrdiff_t h = static_cast<std::ptrdiff_t>(hit);
    for (std::ptrdiff_t k = 1; k <= Query::kFragmentReach; ++k) {
        const std::ptrdiff_t pos = h - k;
        if (pos < 0)
            return 0;
        const auto at = static_cast<std::size_t>(pos);
        if (IsSentenceEnd(text[at]) && !endsNothing(at))
            return at + 1;
    }
    const std::size_t x = hit - static_cast<std::size_t>(Query::kFragmentReach);
    for (std::size_t blank = x; blank < hit; ++blank)
        if (text[blank] == u' ')
            return blank;
    return x;
}

template <typename Units, typename EndsNothing>
std::size_t EndOfFragment(const Units& text, std::size_t hit, std::size_t length, EndsNothing endsNothing) {
    const std::size_t wordEnd = hit + length;
    const std::size_t y = hit + static_cast<std::size_t>(Query::kFragmentReach);
    for (std::size_t pos = wordEnd; pos <= y; ++pos) {
        if (pos >= text.size())
            return text.size();
        if (IsSentenceEnd(text[pos]) && !endsNothing(pos))
            return pos + 1;
    }
    // A blank inside a phrase is the hit's own too.
    for (std::size_t pos = y; pos >= wordEnd && pos > hit; --pos)
        if (text[pos] == u' ')
            return pos;
    return y;
}

bool EndsSomething(std::size_t) { return false; }

} // namespace

std::size_t FragmentStart(std::u16string_view text, std::size_t hit) {
    return StartOfFragment(text, hit, EndsSomething);
}

std::size_t FragmentEnd(std::u16string_view text, std::size_t hit, std::size_t length) {
    return EndOfFragment(text, hit, length, EndsSomething);
}

template <typename Units> std::size_t Query::fragmentStartIn(const Units& text, std::size_t hit) const {
    if (sentenceEnds_.empty())
        return StartOfFragment(text, hit, EndsSomething);
    return StartOfFragment(text, hit, [&](std::size_t pos) { return insideSearchWord(text, pos); });
}

template <typename Units>
std::size_t Query::fragmentEndIn(const Units& text, std::size_t hit, std::size_t length) const {
    if (sentenceEnds_.empty())
        return EndOfFragment(text, hit, length, EndsSomething);
    return EndOfFragment(text, hit, length, [&](std::size_t pos) { return insideSearchWord(text, pos); });
}

template <typename Units> bool Query::insideSearchWord(const Units& text, std::size_t pos) const {
    for (const SentenceEndInWord& end : sentenceEnds_) {
        const std::u16string& word = words_[end.word];
        if (pos < end.offset || pos - end.offset + word.size() > text.size())
            continue;
        const std::size_t from = pos - end.offset;
        std::size_t k = 0;
        while (k < word.size() && text[from + k] == word[k])
            ++k;
        if (k == word.size())
            return true;
    }
    return false;
}

std::size_t Query::fragmentStart(std::u16string_view text, std::size_t hit) const {
    return fragmentStartIn(text, hit);
}
std::size_t Query::fragmentEnd(std::u16string_view text, std::size_t hit, std::size_t length) const {
    return fragmentEndIn(text, hit, length);
}
std::size_t Query::fragmentStart(const NarrowUnits& text, std::size_t hit) const {
    return fragmentStartIn(text, hit);
}
std::size_t Query::fragmentEnd(const NarrowUnits& text, std::size_t hit, std::size_t length) const {
    return fragmentEndIn(text, hit, length);
}
std::size_t Query::fragmentStart(const FoldedNarrowUnits& text, std::size_t hit) const {
    return fragmentStartIn(text, hit);
}
std::size_t Query::fragmentEnd(const FoldedNarrowUnits& text, std::size_t hit, std::size_t length) const {
    return fragmentEndIn(text, hit, length);
}

void Query::findSentenceEnds() {
    sentenceEnds_.clear();
    for (std::size_t w = 0; w < words_.size(); ++w)
        for (std::size_t k = 0; k < words_[w].size(); ++k)
            if (IsSentenceEnd(words_[w][k]))
                sentenceEnds_.push_back({w, k});
}

void Query::setWords(std::vector<std::u16string> words) {
    words_ = std::move(words);
    findSentenceEnds();
}

void Query::setQueryText(std::u16string_view typed) {
    queryText_.assign(typed.substr(0, std::min(typed.size(), kQueryCapacity - 1)));
    if (queryText_.size() < kQueryCapacity - 1)
        queryText_.push_back(u' ');
}

void Query::split() {
    if (!caseSensitive)
        FoldInPlace(queryText_);
    words_.clear();
    cutWords_.clear();
    const std::u16string_view text = queryText_;
    auto add = [this](std::u16string_view word) {
        if (word.empty())
            return;
        std::u16string w(word.substr(0, kMaxWordLength));
        if (word.size() > kMaxWordLength)
            cutWords_.push_back(w);
        if (std::find(words_.begin(), words_.end(), w) == words_.end())
            words_.push_back(std::move(w));
    };
    int tokens = 0;
    std::size_t p = 0;
    while (tokens < kMaxWords && p < text.size()) {
        if (text[p] == u' ') {
            ++p;
            continue;
        }
        const std::size_t blank = text.find(u' ', p);
        if (blank == std::u16string_view::npos) {
            add(text.substr(p));
            break;
        }
        ++tokens;
        if (text[p] == u'"') {
            // A quoted phrase is one word, blanks included; an unclosed quote is just skipped.
            const std::size_t close = text.find(u"\" ", p + 1);
            if (close != std::u16string_view::npos) {
                add(text.substr(p + 1, close - p - 1));
                p = close + 2;
            } else {
                ++p;
            }
            continue;
        }
        add(text.substr(p, blank - p));
        p = blank + 1;
    }
    findSentenceEnds();
}

template <typename Units>
std::size_t Query::findWordIn(const Units& text, std::size_t from, std::u16string_view word) const {
    const bool single = word.size() == 1;
    const bool testStart = fixBeginning != 0 || single;
    const bool testEnd = matchWord != 0 || single;
    std::size_t pos = from;
    for (int rejections = 0; rejections < kRejectionLimit; ++rejections) {
        const std::size_t hit = FindUnits(text, pos, word);
        if (hit == std::u16string_view::npos)
            return hit;
        const std::size_t end = hit + word.size();
        const bool startOk = !testStart || StartsAtWordBoundary(text, hit);
        const bool endOk = !testEnd || EndsAtWordBoundary(text, end);
        if (startOk && endOk)
            return hit;
        pos = end;
    }
    // Bounded so that a word hidden inside thousands of longer words costs no more than this.
    return std::u16string_view::npos;
}

std::size_t Query::findWord(std::u16string_view text, std::size_t from, std::u16string_view word) const {
    return findWordIn(text, from, word);
}
std::size_t Query::findWord(const NarrowUnits& text, std::size_t from, std::u16string_view word) const {
    return findWordIn(text, from, word);
}
std::size_t Query::findWord(const FoldedNarrowUnits& text, std::size_t from, std::u16string_view word) const {
    return findWordIn(text, from, word);
}

bool Query::otherWordsPresent(std::u16string_view fragment) const {
    for (std::size_t k = 1; k < words_.size(); ++k)
        if (findWord(fragment, 0, words_[k]) == std::u16string_view::npos)
            return false;
    return true;
}

} // namespace tessarel
