#pragma once
// The style sheet: one paragraph record (with its font record) per style, each built on its base
// style's record.

#include "wordbin/Formatting.h"
#include "wordbin/PropertyModifiers.h"

#include <cstdint>
#include <span>
#include <vector>

namespace tessarel::wordbin {

class StyleSheet {
public:
    // Reads a Word 97 or Word 6/7 style sheet; an unreadable one leaves no styles.
    void Read(std::span<const std::uint8_t> bytes, ModifierLayout layout);

    // The record a paragraph of this style starts from (the defaults for no or unknown style).
    ParagraphRecord RecordFor(std::uint16_t styleIndex) const;
    std::size_t Count() const { return m_styles.size(); }

private:
    std::vector<ParagraphRecord> m_styles;
    FontRecord m_defaultFont;
};

} // namespace tessarel::wordbin
