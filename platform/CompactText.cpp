#include "platform/CompactText.h"

#include <algorithm>
#include <cstring>

namespace tessarel {
namespace {

// Both loops are vectorised by the compiler; AVX2 doubles their width where the processor has it.
__attribute__((target_clones("avx2", "default"))) bool UnitsFitInBytes(const char16_t* s, std::size_t n) {
    constexpr std::size_t kChunk = 256;
    std::size_t i = 0;
    for (; i + kChunk <= n; i += kChunk) {
        unsigned bits = 0;
        for (std::size_t k = 0; k < kChunk; ++k)
            bits |= s[i + k];
        if (bits >= 256)
            return false;
    }
    unsigned bits = 0;
    for (; i < n; ++i)
        bits |= s[i];
    return bits < 256;
}

__attribute__((target_clones("avx2", "default"))) void NarrowUnits(const char16_t* s, std::size_t n,
                                                                   unsigned char* d) {
    for (std::size_t i = 0; i < n; ++i)
        d[i] = static_cast<unsigned char>(s[i]);
}

} // namespace

bool FitsInBytes(std::u16string_view text) { return UnitsFitInBytes(text.data(), text.size()); }

CompactText CompactText::store(std::pmr::memory_resource& storage, std::u16string_view text, bool keepWide) {
    CompactText stored;
    if (text.empty())
        return stored;
    const bool wide = keepWide || !FitsInBytes(text);
    if (wide) {
        auto* units = static_cast<char16_t*>(storage.allocate(text.size() * sizeof(char16_t), alignof(char16_t)));
        std::memcpy(units, text.data(), text.size() * sizeof(char16_t));
        stored.data_ = units;
    } else {
        auto* units = static_cast<unsigned char*>(storage.allocate(text.size(), 1));
        NarrowUnits(text.data(), text.size(), units);
        stored.data_ = units;
    }
    stored.sizeAndWidth_ = (static_cast<std::uint64_t>(text.size()) << 1) | (wide ? 1u : 0u);
    return stored;
}

void CompactText::appendUtf16(std::u16string& out, std::size_t from, std::size_t count) const {
    if (from >= size())
        return;
    count = std::min(count, size() - from);
    if (!narrow()) {
        out.append(wideUnits().substr(from, count));
        return;
    }
    const std::size_t at = out.size();
    out.resize(at + count);
    const unsigned char* units = narrowUnits() + from;
    for (std::size_t i = 0; i < count; ++i)
        out[at + i] = units[i];
}

std::u16string CompactText::utf16(std::size_t from, std::size_t count) const {
    std::u16string out;
    appendUtf16(out, from, count);
    return out;
}

} // namespace tessarel
