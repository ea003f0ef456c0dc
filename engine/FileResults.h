#pragma once
// The hits of one document, before its block is written.

#include "engine/FixedText.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tessarel {

class CFileResults {
public:
    static constexpr int kMaxHits = 20;
    static constexpr std::size_t kBlockCapacity = 28000;
    static constexpr std::size_t kHeaderCapacity = 1520;

    CFileResults() : buffer(kBlockCapacity), header(kHeaderCapacity) {}

    void clear();
    // Keeps a hit; false once 20 are held.
    bool add(std::int32_t score, std::size_t offset, std::size_t length, std::u16string_view fragment);
    int count() const { return static_cast<int>(scores.size()); }
    // Orders the hits by score with the sorting rule; outputOrder then names them best first.
    void sort();

    FixedText buffer;
    int limit = 0;
    std::vector<std::int32_t> scores;
    FixedText header;
    std::vector<int> outputOrder;
    std::vector<std::size_t> offsets;
    std::vector<std::size_t> lengths;
    std::vector<std::u16string> fragments;
    // The best score after sort().
    std::int32_t bestScore = 0;
};

} // namespace tessarel
