#include "engine/FileResults.h"

#include "engine/SortingRule.h"

namespace tessarel {

void CFileResults::clear() {
    buffer.clear();
    header.clear();
    scores.clear();
    outputOrder.clear();
    offsets.clear();
    lengths.clear();
    fragments.clear();
    bestScore = 0;
}

bool CFileResults::add(std::int32_t score, std::size_t offset, std::size_t length, std::u16string_view fragment) {
    if (count() >= kMaxHits)
        return false;
    scores.push_back(score);
    offsets.push_back(offset);
    lengths.push_back(length);
    fragments.emplace_back(fragment);
    return true;
}

void CFileResults::sort() {
    std::vector<std::int32_t> keys = scores;
    outputOrder = SortingRuleOrder(keys, [](std::int32_t a, std::int32_t b) { return a >= b; });
    bestScore = keys.empty() ? 0 : keys.front();
}

} // namespace tessarel
