#pragma once
// A catalogued text: one byte a unit when every UTF-16 unit of it is below 256 (nearly every
// Western document), two bytes otherwise. Sizes and offsets count UTF-16 units either way, so
// pages, links and the cache see the same numbers for both kinds.

#include <cstddef>
#include <cstdint>
#include <memory_resource>
#include <string>
#include <string_view>

namespace tessarel {

class CompactText {
public:
    static constexpr std::size_t npos = std::u16string_view::npos;

    CompactText() = default;
    // A copy of `text` taken from `storage`, which must outlive it; narrow when every unit fits
    // in a byte, unless `keepWide`.
    static CompactText store(std::pmr::memory_resource& storage, std::u16string_view text, bool keepWide = false);

    std::size_t size() const { return static_cast<std::size_t>(sizeAndWidth_ >> 1); }
    bool empty() const { return size() == 0; }
    bool narrow() const { return (sizeAndWidth_ & 1) == 0; }
    // Only for a narrow text.
    const unsigned char* narrowUnits() const { return static_cast<const unsigned char*>(data_); }
    // Only for a wide text.
    std::u16string_view wideUnits() const { return {static_cast<const char16_t*>(data_), size()}; }
    char16_t unit(std::size_t i) const { return narrow() ? narrowUnits()[i] : wideUnits()[i]; }
    // Units [from, from + count) as UTF-16, cut at the text's end.
    std::u16string utf16(std::size_t from = 0, std::size_t count = npos) const;
    void appendUtf16(std::u16string& out, std::size_t from, std::size_t count) const;

private:
    const void* data_ = nullptr;
    // The size in units, shifted left once; the low bit is set for a wide text. Two words, as
    // every record holds two texts.
    std::uint64_t sizeAndWidth_ = 0;
};

// True when every unit of `text` is below 256.
bool FitsInBytes(std::u16string_view text);

} // namespace tessarel
