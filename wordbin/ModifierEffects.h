#pragma once
// What the paragraph and character modifiers change in a style record, and what they say about
// table rows.

#include "wordbin/Formatting.h"
#include "wordbin/PropertyModifiers.h"

namespace tessarel::wordbin {

void ApplyParagraphModifier(ModifierLayout layout, const Modifier& modifier, ParagraphRecord& record);
void ApplyCharacterModifier(ModifierLayout layout, const Modifier& modifier, FontRecord& font);

// The corrections every paragraph record gets once its modifiers are applied.
void CorrectParagraph(ParagraphRecord& record);

// The table facts of one paragraph run.
struct RowMarks {
    bool inTable = false;
    bool rowEnd = false;
    bool hasDefinition = false;
    std::uint8_t columns = 0;
    std::array<std::uint16_t, kMaxColumns> widths{};
    std::uint8_t borders = 0;
};

// Fatal "The number of columns is corrupt" for a row definition of 32 columns or more.
void NoteRowModifier(ModifierLayout layout, const Modifier& modifier, RowMarks& marks);

} // namespace tessarel::wordbin
