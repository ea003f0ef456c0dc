#pragma once
// The ordering of result containers. Every pair i < j whose key i is not below key j is swapped,
// equal keys included: with all keys equal the output is the reverse of the order of arrival,
// which users have always seen (the newest of equal hits first).

#include <cstddef>
#include <utility>
#include <vector>

namespace tessarel {

// Orders `keys` in place and returns the output order (indices into the entries as added).
template <typename Key, typename NotBelow>
std::vector<int> SortingRuleOrder(std::vector<Key>& keys, NotBelow notBelow) {
    const std::size_t n = keys.size();
    std::vector<int> order(n);
    for (std::size_t i = 0; i < n; ++i)
        order[i] = static_cast<int>(i);
    for (std::size_t i = 0; i + 1 < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            if (notBelow(keys[i], keys[j])) {
                std::swap(keys[i], keys[j]);
                std::swap(order[i], order[j]);
            }
        }
    }
    return order;
}

} // namespace tessarel
