#pragma once
// The formatting facts the text walk needs, read once per document: paragraph runs with their
// style values, table rows, sections with heading number formats, note references and the
// default tab stop. Lookups go by stream offset (runs, rows) or character position (sections,
// notes), so pieces stored out of order in fast-saved documents still find their formatting.

#include "wordbin/CharTranslation.h"

#include <array>
#include <cstdint>
#include <vector>

namespace tessarel::wordbin {

inline constexpr std::uint16_t kNoStyle = 0xFFFF;
inline constexpr std::size_t kMaxColumns = 32;

namespace font_style {
inline constexpr std::uint16_t kBold = 1 << 0;
inline constexpr std::uint16_t kItalic = 1 << 1;
inline constexpr std::uint16_t kUnderline = 1 << 2;
inline constexpr std::uint16_t kAllCapitals = 1 << 3;
inline constexpr std::uint16_t kSmallCapitals = 1 << 4;
inline constexpr std::uint16_t kStrike = 1 << 5;
inline constexpr std::uint16_t kHidden = 1 << 6;
inline constexpr std::uint16_t kDeleted = 1 << 7;
inline constexpr std::uint16_t kSuperscript = 1 << 8;
inline constexpr std::uint16_t kSubscript = 1 << 9;
} // namespace font_style

struct FontRecord {
    std::uint16_t style = 0;
    std::uint16_t size = 20; // half points
    std::uint8_t number = 0;
    std::uint8_t colour = 0;
};

struct ParagraphRecord {
    std::uint16_t styleIndex = kNoStyle;
    std::uint16_t listStart = 1;
    std::uint16_t spaceBefore = 0; // twips
    std::uint16_t spaceAfter = 0;
    std::uint16_t listIndex = 0;
    std::uint16_t listCharacter = 0;
    std::int16_t leftIndent = 0;
    std::int16_t firstLineIndent = 0;
    std::int16_t rightIndent = 0;
    std::uint8_t alignment = 0;
    std::uint8_t numberFormat = 0;
    std::uint8_t numberingLevel = 0; // 1..9 outline, 10 numbering, 11 sequence, 12 pause
    std::uint8_t listLevel = 9;
    FontRecord font;

    bool isHeading() const { return styleIndex >= 1 && styleIndex <= 9; }
};

struct ParagraphRun {
    std::uint32_t start = 0; // stream offsets, end exclusive
    std::uint32_t end = 0;
    ParagraphRecord record;
};

struct SectionRecord {
    std::uint32_t cp = 0;
    bool newPage = true;
    std::uint16_t needPreviousLevels = 0; // bit L-1: level L shows the shallower counters
    std::array<std::uint8_t, 9> numberFormats{};
};

struct RowRecord {
    std::uint32_t first = 0; // stream offset of the row's first character
    std::uint32_t end = 0;   // stream offset of its end mark
    std::uint8_t columns = 0;
    std::array<std::uint16_t, kMaxColumns> widths{}; // twips
    std::uint8_t borders = 0;
};

class Formatting {
public:
    std::vector<ParagraphRun> runs;                // ascending start
    std::vector<RowRecord> rows;                   // ascending first
    std::vector<SectionRecord> sections;           // ascending cp
    std::vector<std::uint32_t> footnoteReferences; // character positions, ascending
    std::vector<std::uint32_t> endnoteReferences;
    std::uint32_t defaultTabWidth = 36000; // thousandths of a point

    // Sorts the lists for the lookups; called once they are filled.
    void finish();

    // The run holding this stream offset, or null (the walk then uses the defaults).
    const ParagraphRun* runAt(std::uint32_t streamOffset) const;
    // The row whose first character is at this stream offset, or null.
    const RowRecord* rowStartingAt(std::uint32_t streamOffset) const;
    // The section that starts at cp or cp + 1, or null.
    const SectionRecord* sectionStartingAt(std::uint32_t cp) const;
    const SectionRecord& firstSection() const;
    NoteKind noteKindAt(std::uint32_t cp) const;

private:
    SectionRecord defaultSection_;
};

} // namespace tessarel::wordbin
