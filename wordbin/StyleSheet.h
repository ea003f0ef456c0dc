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
    void read(std::span<const std::uint8_t> bytes, ModifierLayout layout);
    // Reads a Word 1/2 style sheet, whose paragraphs name their style by a one-byte style code.
    // A missing or damaged one leaves every paragraph in the standard style.
    void readWord2(std::span<const std::uint8_t> bytes);

    // The record a paragraph of this style starts from (the defaults for no or unknown style).
    // After ReadWord2 the index is a style code, and the record carries the style's index in the
    // numbering of the later generations (0 the standard style, 1..9 the headings).
    ParagraphRecord recordFor(std::uint16_t styleIndex) const;
    std::size_t count() const { return styles_.size(); }

private:
    ParagraphRecord standardWord2Style() const;

    std::vector<ParagraphRecord> styles_;
    FontRecord defaultFont_;
    bool word2_ = false;
    std::vector<bool> defined_; // Word 1/2: by style code
};

} // namespace tessarel::wordbin
