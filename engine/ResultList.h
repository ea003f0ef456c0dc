#pragma once
// One block per hit, for the flat listing.

#include "engine/FixedText.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tessarel {

class CResultList {
public:
    static constexpr int kMaxBlocks = 10000;

    void clear();
    // Stores header + result line with the hit's score; false once 10000 are held.
    bool add(std::u16string block, std::int32_t score);
    bool full() const { return count() >= kMaxBlocks; }
    int count() const { return static_cast<int>(blocks.size()); }
    // Sorts by score and writes the blocks with nothing between them.
    // Returns the blocks that went into the output, in output order.
    std::vector<int> finish(FixedText& output);

    std::vector<int> outputOrder;
    std::vector<std::int32_t> keys;
    std::vector<std::u16string> blocks;
};

} // namespace tessarel
