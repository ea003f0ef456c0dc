// The substring scan under every search: candidates are positions where both the word's first and
// last units match, tested 16 (AVX2) or 8 (SSE2) positions a step; each candidate is then
// verified. Testing two units rejects far more positions than the first alone, whose letter is
// often among the most frequent. A one-byte-a-unit text is scanned 32 (AVX2) or 16 (SSE2) bytes a
// step; read folded, a unit matches when it is any of the bytes the fold table takes to the word's
// unit (a letter's two cases, as the table has them), so the text itself is never folded.

#include "engine/Query.h"

#include <algorithm>
#include <cstring>
#include <immintrin.h>
#include <vector>

namespace tessarel {
namespace {

bool MiddleMatches(const char16_t* at, const char16_t* word, std::size_t n) {
    return n <= 2 || std::memcmp(at + 1, word + 1, (n - 2) * sizeof(char16_t)) == 0;
}

std::size_t FindScalar(const char16_t* s, std::size_t from, std::size_t lastStart, const char16_t* w,
                       std::size_t n) {
    for (std::size_t i = from; i <= lastStart; ++i)
        if (s[i] == w[0] && s[i + n - 1] == w[n - 1] && MiddleMatches(s + i, w, n))
            return i;
    return std::u16string_view::npos;
}

std::size_t FindSse2(const char16_t* s, std::size_t from, std::size_t lastStart, const char16_t* w,
                     std::size_t n) {
    const __m128i first = _mm_set1_epi16(static_cast<short>(w[0]));
    const __m128i last = _mm_set1_epi16(static_cast<short>(w[n - 1]));
    std::size_t i = from;
    for (; i + 7 <= lastStart; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + n - 1));
        unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi16(a, first), _mm_cmpeq_epi16(b, last))));
        while (mask) {
            const unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
            const std::size_t pos = i + bit / 2;
            if (MiddleMatches(s + pos, w, n))
                return pos;
            mask &= ~(3u << bit);
        }
    }
    return FindScalar(s, i, lastStart, w, n);
}

#define TESSAREL_AVX2 __attribute__((target("avx2")))

TESSAREL_AVX2 inline __m256i Candidates(const char16_t* at, std::size_t n, __m256i first, __m256i last) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + n - 1));
    return _mm256_and_si256(_mm256_cmpeq_epi16(a, first), _mm256_cmpeq_epi16(b, last));
}

TESSAREL_AVX2 inline std::size_t Verify(const char16_t* s, std::size_t at, __m256i found, const char16_t* w,
                                        std::size_t n) {
    unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(found));
    while (mask) {
        const unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
        const std::size_t pos = at + bit / 2;
        if (MiddleMatches(s + pos, w, n))
            return pos;
        mask &= ~(3u << bit);
    }
    return std::u16string_view::npos;
}

TESSAREL_AVX2 std::size_t FindAvx2(const char16_t* s, std::size_t from, std::size_t lastStart, const char16_t* w,
                                   std::size_t n) {
    constexpr std::size_t npos = std::u16string_view::npos;
    const __m256i first = _mm256_set1_epi16(static_cast<short>(w[0]));
    const __m256i last = _mm256_set1_epi16(static_cast<short>(w[n - 1]));
    std::size_t i = from;
    // Two vectors a step, tested together: most steps hold no candidate at all.
    for (; i + 31 <= lastStart; i += 32) {
        const __m256i lo = Candidates(s + i, n, first, last);
        const __m256i hi = Candidates(s + i + 16, n, first, last);
        const __m256i any = _mm256_or_si256(lo, hi);
        if (_mm256_testz_si256(any, any))
            continue;
        if (const std::size_t pos = Verify(s, i, lo, w, n); pos != npos)
            return pos;
        if (const std::size_t pos = Verify(s, i + 16, hi, w, n); pos != npos)
            return pos;
    }
    for (; i + 15 <= lastStart; i += 16)
        if (const std::size_t pos = Verify(s, i, Candidates(s + i, n, first, last), w, n); pos != npos)
            return pos;
    return FindSse2(s, i, lastStart, w, n);
}


// The bytes that read as one unit of the word: the unit itself, or with folding every byte the
// table takes to it. More than kMaxBytes of them (no table we know has that) goes the scalar way.
struct ByteSet {
    static constexpr int kMaxBytes = 4;
    unsigned char bytes[kMaxBytes];
    int count = 0;
};

ByteSet BytesReadingAs(char16_t unit, const unsigned char* fold) {
    ByteSet set;
    if (!fold) {
        set.bytes[set.count++] = static_cast<unsigned char>(unit);
        return set;
    }
    for (unsigned b = 0; b < 256; ++b) {
        if (fold[b] != unit)
            continue;
        if (set.count == ByteSet::kMaxBytes) {
            set.count = ByteSet::kMaxBytes + 1;
            return set;
        }
        set.bytes[set.count++] = static_cast<unsigned char>(b);
    }
    return set;
}

struct NarrowWord {
    const unsigned char* s;
    const unsigned char* w;
    std::size_t n;
    const unsigned char* fold; // null: the bytes as they are

    bool unitMatches(std::size_t at, std::size_t k) const { return (fold ? fold[s[at]] : s[at]) == w[k]; }
    bool middleMatches(std::size_t at) const {
        if (n <= 2)
            return true;
        if (!fold)
            return std::memcmp(s + at + 1, w + 1, n - 2) == 0;
        for (std::size_t k = 1; k + 1 < n; ++k)
            if (fold[s[at + k]] != w[k])
                return false;
        return true;
    }
    std::size_t findScalar(std::size_t from, std::size_t lastStart) const {
        for (std::size_t i = from; i <= lastStart; ++i)
            if (unitMatches(i, 0) && unitMatches(i + n - 1, n - 1) && middleMatches(i))
                return i;
        return std::u16string_view::npos;
    }
    std::size_t verify(std::size_t at, unsigned mask) const {
        while (mask) {
            const std::size_t pos = at + static_cast<unsigned>(__builtin_ctz(mask));
            if (middleMatches(pos))
                return pos;
            mask &= mask - 1;
        }
        return std::u16string_view::npos;
    }
};

template <int K> __m128i InSet(__m128i v, const __m128i* set) {
    __m128i r = _mm_cmpeq_epi8(v, set[0]);
    for (int k = 1; k < K; ++k)
        r = _mm_or_si128(r, _mm_cmpeq_epi8(v, set[k]));
    return r;
}

template <int K>
std::size_t FindNarrowSse2(const NarrowWord& t, std::size_t from, std::size_t lastStart, const ByteSet& first,
                           const ByteSet& last) {
    __m128i f[K];
    __m128i l[K];
    for (int k = 0; k < K; ++k) {
        f[k] = _mm_set1_epi8(static_cast<char>(first.bytes[std::min(k, first.count - 1)]));
        l[k] = _mm_set1_epi8(static_cast<char>(last.bytes[std::min(k, last.count - 1)]));
    }
    std::size_t i = from;
    for (; i + 15 <= lastStart; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.s + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.s + i + t.n - 1));
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(InSet<K>(a, f), InSet<K>(b, l))));
        if (const std::size_t pos = t.verify(i, mask); pos != std::u16string_view::npos)
            return pos;
    }
    return t.findScalar(i, lastStart);
}

template <int K> TESSAREL_AVX2 inline __m256i InSet(__m256i v, const __m256i* set) {
    __m256i r = _mm256_cmpeq_epi8(v, set[0]);
    for (int k = 1; k < K; ++k)
        r = _mm256_or_si256(r, _mm256_cmpeq_epi8(v, set[k]));
    return r;
}

template <int K>
TESSAREL_AVX2 std::size_t FindNarrowAvx2(const NarrowWord& t, std::size_t from, std::size_t lastStart,
                                         const ByteSet& first, const ByteSet& last) {
    __m256i f[K];
    __m256i l[K];
    for (int k = 0; k < K; ++k) {
        f[k] = _mm256_set1_epi8(static_cast<char>(first.bytes[std::min(k, first.count - 1)]));
        l[k] = _mm256_set1_epi8(static_cast<char>(last.bytes[std::min(k, last.count - 1)]));
    }
    std::size_t i = from;
    for (; i + 31 <= lastStart; i += 32) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t.s + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t.s + i + t.n - 1));
        const __m256i found = _mm256_and_si256(InSet<K>(a, f), InSet<K>(b, l));
        if (_mm256_testz_si256(found, found))
            continue;
        if (const std::size_t pos = t.verify(i, static_cast<unsigned>(_mm256_movemask_epi8(found)));
            pos != std::u16string_view::npos)
            return pos;
    }
    return FindNarrowSse2<K>(t, i, lastStart, first, last);
}

bool HasAvx2() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

std::size_t FindNarrow(const unsigned char* text, std::size_t size, std::size_t from, std::u16string_view word,
                       const unsigned char* fold) {
    constexpr std::size_t npos = std::u16string_view::npos;
    const std::size_t n = word.size();
    if (n == 0 || n > size || from > size - n)
        return npos;
    // The word as bytes; a unit above 255 is in no narrow text, folded or not.
    unsigned char small[256];
    std::vector<unsigned char> large;
    unsigned char* w = small;
    if (n > sizeof small) {
        large.resize(n);
        w = large.data();
    }
    for (std::size_t k = 0; k < n; ++k) {
        if (word[k] > 0xFF)
            return npos;
        w[k] = static_cast<unsigned char>(word[k]);
    }
    const NarrowWord t{text, w, n, fold};
    const std::size_t lastStart = size - n;
    const ByteSet first = BytesReadingAs(word[0], fold);
    const ByteSet last = BytesReadingAs(word[n - 1], fold);
    if (first.count == 0 || last.count == 0)
        return npos;
    if (first.count > ByteSet::kMaxBytes || last.count > ByteSet::kMaxBytes)
        return t.findScalar(from, lastStart);
    const int k = std::max(first.count, last.count);
    if (HasAvx2()) {
        if (k == 1)
            return FindNarrowAvx2<1>(t, from, lastStart, first, last);
        if (k == 2)
            return FindNarrowAvx2<2>(t, from, lastStart, first, last);
        return FindNarrowAvx2<ByteSet::kMaxBytes>(t, from, lastStart, first, last);
    }
    if (k == 1)
        return FindNarrowSse2<1>(t, from, lastStart, first, last);
    if (k == 2)
        return FindNarrowSse2<2>(t, from, lastStart, first, last);
    return FindNarrowSse2<ByteSet::kMaxBytes>(t, from, lastStart, first, last);
}

} // namespace

std::size_t FindUnits(const NarrowUnits& text, std::size_t from, std::u16string_view word) {
    return FindNarrow(text.data, text.length, from, word, nullptr);
}

std::size_t FindUnits(const FoldedNarrowUnits& text, std::size_t from, std::u16string_view word) {
    return FindNarrow(text.data, text.length, from, word, text.fold);
}

std::size_t FindUnits(std::u16string_view text, std::size_t from, std::u16string_view word) {
    const std::size_t n = word.size();
    if (n == 0 || n > text.size() || from > text.size() - n)
        return std::u16string_view::npos;
    const std::size_t lastStart = text.size() - n;
    return HasAvx2() ? FindAvx2(text.data(), from, lastStart, word.data(), n)
                    : FindSse2(text.data(), from, lastStart, word.data(), n);
}

} // namespace tessarel
