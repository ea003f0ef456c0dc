#pragma once
// Property modifiers (sprms) of the three file generations: their sizes, and a walk over a group
// of them that never reads beyond the group.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tessarel::wordbin {

enum class ModifierLayout { Word97, Word6, Word2 };

ModifierLayout LayoutFor(int wordVersion);

struct Modifier {
    std::uint16_t code = 0;
    std::span<const std::uint8_t> operand; // the bytes after the code
};

// Total bytes of the modifier at the start of `bytes` (code included), or 0 when it can't be sized.
std::size_t ModifierSize(ModifierLayout layout, std::span<const std::uint8_t> bytes);

// Calls `visit` for each whole modifier of the group, in order.
template <typename Visit>
void ForEachModifier(ModifierLayout layout, std::span<const std::uint8_t> group, Visit visit) {
    const std::size_t codeSize = layout == ModifierLayout::Word97 ? 2 : 1;
    std::size_t at = 0;
    while (at + codeSize <= group.size()) {
        const std::size_t size = ModifierSize(layout, group.subspan(at));
        if (size < codeSize || size > group.size() - at)
            return;
        Modifier modifier;
        modifier.code =
            codeSize == 2 ? static_cast<std::uint16_t>(group[at] | group[at + 1] << 8) : group[at];
        modifier.operand = group.subspan(at + codeSize, size - codeSize);
        visit(modifier);
        at += size;
    }
}

// True when a piece's modifier group holds the row-end flag together with a row definition.
bool ModifierGroupEndsRow(const std::vector<std::uint8_t>& group, int wordVersion);

} // namespace tessarel::wordbin
