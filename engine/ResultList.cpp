#include "engine/ResultList.h"

#include "engine/SortingRule.h"

namespace tessarel {

void CResultList::clear() {
    outputOrder.clear();
    keys.clear();
    blocks.clear();
}

bool CResultList::add(std::u16string block, std::int32_t score) {
    if (full())
        return false;
    blocks.push_back(std::move(block));
    keys.push_back(score);
    return true;
}

std::vector<int> CResultList::finish(FixedText& output) {
    std::vector<std::int32_t> sortedKeys = keys;
    outputOrder = SortingRuleOrder(sortedKeys, [](std::int32_t a, std::int32_t b) { return a >= b; });
    std::vector<int> shown;
    for (int at : outputOrder)
        if (output.append(blocks[static_cast<std::size_t>(at)]))
            shown.push_back(at);
    return shown;
}

} // namespace tessarel
