// The substring scan under every search: candidates are positions where both the word's first and
// last units match, tested 16 (AVX2) or 8 (SSE2) positions a step; each candidate is then
// verified. Testing two units rejects far more positions than the first alone, whose letter is
// often among the most frequent.

#include "engine/Query.h"

#include <cstring>
#include <immintrin.h>

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

bool HasAvx2() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

} // namespace

std::size_t FindUnits(std::u16string_view text, std::size_t from, std::u16string_view word) {
    const std::size_t n = word.size();
    if (n == 0 || n > text.size() || from > text.size() - n)
        return std::u16string_view::npos;
    const std::size_t lastStart = text.size() - n;
    return HasAvx2() ? FindAvx2(text.data(), from, lastStart, word.data(), n)
                    : FindSse2(text.data(), from, lastStart, word.data(), n);
}

} // namespace tessarel
