#include "engine/GroupList.h"

#include "engine/FixedText.h"
#include "engine/SortingRule.h"
#include "platform/Text.h"

namespace tessarel {
namespace {

// Case-blind comparison of two names, unit by unit on their folded forms.
int CompareCaseBlind(std::u16string_view a, std::u16string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t x = FoldUnit(a[i]);
        const char16_t y = FoldUnit(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

} // namespace

void CGroupList::clear(int newMode) {
    mode = newMode;
    outputOrder.clear();
    keys.clear();
    blocks.clear();
    names.clear();
}

bool CGroupList::add(std::u16string block, std::int32_t key, std::u16string_view name) {
    if (full())
        return false;
    blocks.push_back(std::move(block));
    keys.push_back(key);
    names.emplace_back(name.substr(0, kNameLength));
    return true;
}

std::vector<int> CGroupList::finish(FixedText& output) {
    constexpr int kDate = 1;
    constexpr int kAlphabetical = 2;
    if (mode == kAlphabetical) {
        std::vector<std::u16string> sortedNames = names;
        outputOrder = SortingRuleOrder(sortedNames, [](const std::u16string& a, const std::u16string& b) {
            return CompareCaseBlind(a, b) >= 0;
        });
    } else {
        std::vector<std::int32_t> sortedKeys = keys;
        outputOrder = SortingRuleOrder(sortedKeys, [](std::int32_t a, std::int32_t b) { return a >= b; });
    }
    const int n = count();
    std::vector<int> shown;
    for (int k = 0; k < n; ++k) {
        // Dates sort oldest first; the newest document is shown first.
        const int at = mode == kDate ? outputOrder[static_cast<std::size_t>(n - 1 - k)]
                                     : outputOrder[static_cast<std::size_t>(k)];
        if (output.append(blocks[static_cast<std::size_t>(at)]))
            shown.push_back(at);
        output.append(u"<br>");
    }
    return shown;
}

} // namespace tessarel
