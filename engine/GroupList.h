#pragma once
// One block per document with hits, for the grouped listing.

#include <cstdint>
#include <string>
#include <vector>

namespace tessarel {

class FixedText;

class CGroupList {
public:
    static constexpr int kMaxBlocks = 500;
    static constexpr std::size_t kNameLength = 259;

    void clear(int mode);
    // Stores a block with its key (score or date) and its alphabetical name; false when full.
    bool add(std::u16string block, std::int32_t key, std::u16string_view name);
    bool full() const { return count() >= kMaxBlocks; }
    int count() const { return static_cast<int>(blocks.size()); }
    // Sorts and writes the blocks, each followed by "<br>" (newest first for "Date").
    // Returns the blocks that went into the output, in output order.
    std::vector<int> finish(FixedText& output);

    int mode = 0;
    std::vector<int> outputOrder;
    std::vector<std::int32_t> keys;
    std::vector<std::u16string> blocks;
    std::vector<std::u16string> names;
};

} // namespace tessarel
