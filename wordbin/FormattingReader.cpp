#include "wordbin/FormattingReader.h"

#include "wordbin/CompoundFile.h"
#include "wordbin/ModifierEffects.h"
#include "wordbin/StyleSheet.h"

#include <set>

namespace tessarel::wordbin {
namespace {

constexpr std::size_t kPageSize = 512;

// Where a table lies, as header offsets of its position and length.
struct TablePlace {
    std::size_t offset;
    std::size_t length;
    bool shortLength; // Word 1/2 store a 16-bit length
};

struct Places {
    TablePlace styleSheet, binTable, sections, footnotes, endnotes, properties;
    bool hasEndnotes;
};

Places PlacesFor(int version) {
    if (version >= 8)
        return {{0xA2, 0xA6, false},
                {0x102, 0x106, false},
                {0xCA, 0xCE, false},
                {0xAA, 0xAE, false},
                {0x20A, 0x20E, false},
                {0x192, 0x196, false},
                true};
    if (version >= 6)
        return {{0x60, 0x64, false},
                {0xC0, 0xC4, false},
                {0x88, 0x8C, false},
                {0x68, 0x6C, false},
                {0x1D2, 0x1D6, false},
                {0x150, 0x154, false},
                true};
    return {{0x5E, 0x62, true},
            {0xA6, 0xAA, true},
            {0x7C, 0x80, true},
            {0x64, 0x68, true},
            {0, 0, true},
            {0x112, 0x116, true},
            false};
}

class Reader {
public:
    Reader(Document& document, const RangeReader& tables, const RangeReader& pages)
        : document_(document), header_(document.header), tables_(tables), pages_(pages),
          layout_(LayoutFor(document.version)), places_(PlacesFor(document.version)),
          sectionBudget_(4 * document.source.size() + (1 << 20)) {}

    void ReadAll() {
        if (layout_ == ModifierLayout::Word2)
            styles_.readWord2(Table(places_.styleSheet, 2));
        else
            styles_.read(Table(places_.styleSheet, 4), layout_);
        ReadParagraphRuns();
        ReadSections();
        ReadNoteReferences(places_.footnotes, document_.formatting.footnoteReferences);
        if (places_.hasEndnotes)
            ReadNoteReferences(places_.endnotes, document_.formatting.endnoteReferences);
        ReadDefaultTab();
        document_.formatting.finish();
    }

private:
    std::vector<std::uint8_t> Table(const TablePlace& place, std::size_t minimum) {
        const std::uint32_t offset = Get32(header_, place.offset);
        const std::uint32_t length =
            place.shortLength ? Get16(header_, place.length) : Get32(header_, place.length);
        if (length == 0 || length < minimum)
            return {};
        return tables_(offset, length);
    }

    std::vector<std::uint32_t> PageNumbers() {
        const std::vector<std::uint8_t> bin = Table(places_.binTable, 4);
        std::vector<std::uint32_t> pages;
        if (bin.empty())
            return pages;
        if (layout_ == ModifierLayout::Word97) {
            const std::size_t n = ((bin.size() / 4) - 1) / 2;
            for (std::size_t i = 0; i < n; ++i)
                pages.push_back(Get32(bin, 4 * (n + 1) + 4 * i) & 0x3FFFFF);
            return pages;
        }
        const std::size_t n = (bin.size() - 4) / 6;
        for (std::size_t i = 0; i < n; ++i)
            pages.push_back(Get16(bin, 4 * (n + 1) + 2 * i));
        // Fast-saved files may list only the first pages; the rest follow consecutively.
        const bool word2 = layout_ == ModifierLayout::Word2;
        const std::uint16_t pageCount = Get16(header_, word2 ? 0x144 : 0x190);
        const std::uint16_t firstPage = Get16(header_, word2 ? 0x140 : 0x18C);
        if (pageCount > n) {
            const std::size_t total = n + pageCount - 1;
            for (std::uint32_t next = firstPage + 1u; pages.size() < total; ++next)
                pages.push_back(next);
        }
        return pages;
    }

    void ReadParagraphRuns() {
        std::set<std::uint32_t> seen;
        bool rowOpen = false;
        std::uint32_t rowFirst = 0;
        for (std::uint32_t page : PageNumbers()) {
            // A page listed twice would only repeat its runs.
            if (!seen.insert(page).second)
                continue;
            const std::vector<std::uint8_t> bytes =
                pages_(static_cast<std::uint64_t>(page) * kPageSize, kPageSize);
            if (bytes.size() != kPageSize)
                continue;
            const std::size_t runs = bytes[kPageSize - 1];
            const std::size_t entrySize = layout_ == ModifierLayout::Word97  ? 13
                                          : layout_ == ModifierLayout::Word6 ? 7
                                                                             : 1;
            if (4 * (runs + 1) + entrySize * runs > kPageSize - 1)
                continue;
            for (std::size_t i = 0; i < runs; ++i) {
                ParagraphRun run;
                run.start = Get32(bytes, 4 * i);
                run.end = Get32(bytes, 4 * (i + 1));
                const std::size_t wordOffset = bytes[4 * (runs + 1) + entrySize * i];
                RowMarks marks;
                run.record = ParagraphFrom(bytes, wordOffset * 2, marks);
                CorrectParagraph(run.record);
                if (run.end > run.start)
                    document_.formatting.runs.push_back(run);

                if (marks.inTable && !rowOpen) {
                    rowOpen = true;
                    rowFirst = run.start;
                }
                const bool endsRow = layout_ == ModifierLayout::Word2
                                         ? marks.rowEnd && marks.hasDefinition && marks.inTable
                                         : marks.rowEnd && marks.hasDefinition;
                if (endsRow) {
                    RowRecord row;
                    row.first = rowOpen ? rowFirst : run.start;
                    row.end = layout_ == ModifierLayout::Word2 ? run.start + 1 : run.start;
                    row.columns = marks.columns;
                    row.widths = marks.widths;
                    row.borders = marks.borders;
                    document_.formatting.rows.push_back(row);
                    rowOpen = false;
                }
            }
        }
    }

    // The paragraph properties at `at` in a formatting page; the defaults when there are none.
    ParagraphRecord ParagraphFrom(const std::vector<std::uint8_t>& page, std::size_t at, RowMarks& marks) {
        if (at == 0 || at >= kPageSize - 1)
            return styles_.recordFor(kNoStyle);
        std::size_t count = page[at];
        std::size_t begin = at + 1;
        if (layout_ == ModifierLayout::Word97 && count == 0) {
            count = page[at + 1];
            begin = at + 2;
        }
        const std::size_t length = std::min(count * 2, kPageSize - 1 - std::min(begin, kPageSize - 1));
        const std::span<const std::uint8_t> properties(page.data() + begin, length);
        std::uint16_t style;
        std::span<const std::uint8_t> modifiers;
        if (layout_ == ModifierLayout::Word97) {
            style = Get16(properties, 0);
            modifiers = properties.subspan(std::min<std::size_t>(2, properties.size()));
        } else if (layout_ == ModifierLayout::Word6) {
            style = Get8(properties, 0);
            modifiers = properties.subspan(std::min<std::size_t>(1, properties.size()));
        } else {
            // Word 2: the style index, six further bytes, then the modifiers.
            style = Get8(properties, 0);
            const std::size_t modifierBytes = count * 2 > 8 ? count * 2 - 8 : 0;
            const std::size_t from = std::min<std::size_t>(7, properties.size());
            modifiers = properties.subspan(from, std::min(modifierBytes, properties.size() - from));
        }
        ParagraphRecord record = styles_.recordFor(style);
        // A Word 1/2 style code is no index: the style sheet gives the paragraph its index.
        if (layout_ != ModifierLayout::Word2)
            record.styleIndex = style;
        ForEachModifier(layout_, modifiers, [&](const Modifier& modifier) {
            ApplyParagraphModifier(layout_, modifier, record);
            NoteRowModifier(layout_, modifier, marks);
        });
        return record;
    }

    void ReadSections() {
        const std::vector<std::uint8_t> table = Table(places_.sections, 4);
        if (table.empty())
            return;
        const bool word2 = layout_ == ModifierLayout::Word2;
        const std::size_t n = (table.size() - 4) / (word2 ? 10 : 16);
        const std::size_t descriptorSize = word2 ? 6 : 12;
        for (std::size_t i = 0; i < n; ++i) {
            SectionRecord section;
            section.cp = Get32(table, 4 * i);
            const std::uint32_t properties = Get32(table, 4 * (n + 1) + descriptorSize * i + 2);
            if (properties != 0xFFFFFFFF)
                ReadSectionProperties(properties, section);
            document_.formatting.sections.push_back(section);
        }
    }

    void ReadSectionProperties(std::uint32_t at, SectionRecord& section) {
        const bool word2 = layout_ == ModifierLayout::Word2;
        const std::vector<std::uint8_t> lengthBytes = pages_(at, word2 ? 1 : 2);
        if (lengthBytes.empty())
            return;
        const std::size_t length = word2 ? lengthBytes[0] : Get16(lengthBytes, 0);
        // Many sections naming long property groups must not read the file over and over.
        if (length > sectionBudget_)
            return;
        sectionBudget_ -= length;
        const std::vector<std::uint8_t> modifiers = pages_(at + lengthBytes.size(), length);
        const std::uint16_t breakKind = layout_ == ModifierLayout::Word97 ? 0x3009 : word2 ? 117 : 142;
        const std::uint16_t outline = layout_ == ModifierLayout::Word97 ? 0xD202 : word2 ? 0 : 133;
        ForEachModifier(layout_, modifiers, [&](const Modifier& modifier) {
            if (modifier.code == breakKind) {
                const std::uint8_t kind = Get8(modifier.operand, 0);
                section.newPage = kind != 0 && kind != 1;
            } else if (outline != 0 && modifier.code == outline && !modifier.operand.empty()) {
                const auto levels = modifier.operand.subspan(1);
                for (std::size_t level = 0; level < 9 && 16 * level < levels.size(); ++level) {
                    section.numberFormats[level] = levels[16 * level];
                    if (Get8(levels, 16 * level + 3) & 4)
                        section.needPreviousLevels |= static_cast<std::uint16_t>(1u << level);
                }
            }
        });
    }

    void ReadNoteReferences(const TablePlace& place, std::vector<std::uint32_t>& references) {
        const std::vector<std::uint8_t> table = Table(place, 10);
        if (table.empty())
            return;
        const std::size_t n = (table.size() - 4) / 6;
        for (std::size_t i = 0; i < n; ++i)
            references.push_back(Get32(table, 4 * i));
    }

    void ReadDefaultTab() {
        const std::vector<std::uint8_t> properties = Table(places_.properties, 12);
        if (properties.size() < 12)
            return;
        const std::uint16_t tabStop = Get16(properties, 10);
        document_.formatting.defaultTabWidth = tabStop ? tabStop * 50u : 36000u;
    }

    Document& document_;
    std::span<const std::uint8_t> header_;
    const RangeReader& tables_;
    const RangeReader& pages_;
    ModifierLayout layout_;
    Places places_;
    StyleSheet styles_;
    std::uint64_t sectionBudget_;
};

} // namespace

void ReadFormatting(Document& document, const RangeReader& tables, const RangeReader& pages) {
    Reader(document, tables, pages).ReadAll();
}

} // namespace tessarel::wordbin
