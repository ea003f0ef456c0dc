#include "engine/Query.h"

#include "platform/Text.h"

#include <algorithm>

namespace tessarel {
namespace {

bool IsSentenceEnd(char16_t c) { return c == u'\r' || c == u'!' || c == u'.' || c == u'?'; }

} // namespace

bool IsSeparator(char16_t c) { return Query::separators.find(c) != std::u16string_view::npos; }

void Query::setQueryText(std::u16string_view typed) {
    queryText_.assign(typed.substr(0, std::min(typed.size(), kQueryCapacity - 1)));
    if (queryText_.size() < kQueryCapacity - 1)
        queryText_.push_back(u' ');
}

void Query::split() {
    if (!caseSensitive)
        FoldInPlace(queryText_);
    words_.clear();
    const std::u16string_view text = queryText_;
    auto add = [this](std::u16string_view word) {
        if (word.empty())
            return;
        std::u16string w(word.substr(0, kMaxWordLength));
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
}

std::size_t Query::findWord(std::u16string_view text, std::size_t from, std::u16string_view word) const {
    const bool single = word.size() == 1;
    const bool testStart = fixBeginning != 0 || single;
    const bool testEnd = matchWord != 0 || single;
    std::size_t pos = from;
    for (int rejections = 0; rejections < kRejectionLimit; ++rejections) {
        const std::size_t hit = FindUnits(text, pos, word);
        if (hit == std::u16string_view::npos)
            return hit;
        const std::size_t end = hit + word.size();
        const bool startOk = !testStart || hit == 0 || IsSeparator(text[hit - 1]);
        const bool endOk = !testEnd || end >= text.size() || IsSeparator(text[end]);
        if (startOk && endOk)
            return hit;
        pos = end;
    }
    // Bounded so that a word hidden inside thousands of longer words costs no more than this.
    return std::u16string_view::npos;
}

bool Query::otherWordsPresent(std::u16string_view fragment) const {
    for (std::size_t k = 1; k < words_.size(); ++k)
        if (findWord(fragment, 0, words_[k]) == std::u16string_view::npos)
            return false;
    return true;
}

std::size_t FragmentStart(std::u16string_view text, std::size_t hit) {
    const std::ptrdiff_t h = static_cast<std::ptrdiff_t>(hit);
    for (std::ptrdiff_t k = 0; k <= Query::kFragmentReach; ++k) {
        const std::ptrdiff_t pos = h - k;
        if (pos < 0)
            return 0;
        if (IsSentenceEnd(text[static_cast<std::size_t>(pos)]))
            return static_cast<std::size_t>(pos) + 1;
    }
    const std::size_t x = hit - static_cast<std::size_t>(Query::kFragmentReach);
    const std::size_t blank = text.find(u' ', x);
    return blank < hit ? blank : x;
}

std::size_t FragmentEnd(std::u16string_view text, std::size_t hit) {
    const std::size_t y = hit + static_cast<std::size_t>(Query::kFragmentReach);
    for (std::size_t pos = hit; pos <= y; ++pos) {
        if (pos >= text.size())
            return text.size();
        if (IsSentenceEnd(text[pos]))
            return pos + 1;
    }
    for (std::size_t pos = y; pos > hit; --pos)
        if (text[pos] == u' ')
            return pos;
    return y;
}

} // namespace tessarel
