#pragma once
// Small writers of compound files and Word 97 documents for the reader's tests and benchmark.
// Damage is made through their options, so every broken file is still built by code.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace tessarel::wordbin::testing {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, std::size_t at, std::uint32_t v) {
    if (b.size() < at + 2)
        b.resize(at + 2);
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}
inline void Append16(Bytes& b, std::uint32_t v) {
    Put16(b, b.size(), v);
}
inline void Append32(Bytes& b, std::uint32_t v) {
    Put32(b, b.size(), v);
}

constexpr std::uint32_t kEnd = 0xFFFFFFFE;
constexpr std::uint32_t kFree = 0xFFFFFFFF;

struct StreamSpec {
    std::string name;
    Bytes data;
};

// Options that damage the container on purpose.
struct ContainerDamage {
    bool siblingLoop = false;           // the last stream's next sibling points back at the first
    std::uint32_t wordDocumentNext = 0; // when non-zero: the depot entry after its first block
    bool emptySmallDepot = false;       // the root entry's size is 0: the small depot has no entries
};

class CompoundFileWriter {
public:
    void add(std::string name, Bytes data) { streams_.push_back({std::move(name), std::move(data)}); }

    Bytes Build(const ContainerDamage& damage = {}) const {
        constexpr std::uint32_t kThreshold = 4096;
        // The small streams live in the mini stream, 64 bytes a block.
        Bytes mini;
        std::vector<std::uint32_t> smallDepot;
        std::vector<std::uint32_t> smallStart(streams_.size(), kEnd);
        for (std::size_t i = 0; i < streams_.size(); ++i) {
            const Bytes& data = streams_[i].data;
            if (data.size() >= kThreshold || data.empty())
                continue;
            const std::uint32_t first = static_cast<std::uint32_t>(mini.size() / 64);
            const std::uint32_t blocks = static_cast<std::uint32_t>((data.size() + 63) / 64);
            for (std::uint32_t k = 0; k < blocks; ++k)
                smallDepot.push_back(k + 1 < blocks ? first + k + 1 : kEnd);
            smallStart[i] = first;
            mini.insert(mini.end(), data.begin(), data.end());
            mini.resize((first + blocks) * 64, 0);
        }
        const std::uint32_t directoryBlocks = static_cast<std::uint32_t>((streams_.size() + 1 + 3) / 4);
        const std::uint32_t smallDepotBlocks =
            static_cast<std::uint32_t>((smallDepot.size() * 4 + 511) / 512);
        const std::uint32_t miniBlocks = static_cast<std::uint32_t>((mini.size() + 511) / 512);
        std::uint32_t bigBlocks = 0;
        for (const StreamSpec& s : streams_)
            if (s.data.size() >= kThreshold)
                bigBlocks += static_cast<std::uint32_t>((s.data.size() + 511) / 512);
        const std::uint32_t others = directoryBlocks + smallDepotBlocks + miniBlocks + bigBlocks;
        // Depot blocks beyond the header's 109 are listed in additional depot-list blocks.
        auto extensionFor = [](std::uint32_t depot) { return depot > 109 ? (depot - 109 + 126) / 127 : 0u; };
        std::uint32_t depotBlocks = 1;
        while (depotBlocks * 128 < depotBlocks + extensionFor(depotBlocks) + others)
            ++depotBlocks;
        const std::uint32_t extensionBlocks = extensionFor(depotBlocks);
        const std::uint32_t total = depotBlocks + extensionBlocks + others;

        std::vector<std::uint32_t> depot(depotBlocks * 128, kFree);
        std::uint32_t next = 0;
        auto chain = [&](std::uint32_t count) {
            const std::uint32_t first = next;
            for (std::uint32_t k = 0; k < count; ++k)
                depot[first + k] = k + 1 < count ? first + k + 1 : kEnd;
            next += count;
            return count ? first : kEnd;
        };
        for (std::uint32_t k = 0; k < depotBlocks; ++k)
            depot[next++] = 0xFFFFFFFD;
        const std::uint32_t extensionStart = next;
        for (std::uint32_t k = 0; k < extensionBlocks; ++k)
            depot[next++] = 0xFFFFFFFC;
        const std::uint32_t directoryStart = chain(directoryBlocks);
        const std::uint32_t smallDepotStart = chain(smallDepotBlocks);
        const std::uint32_t miniStart = chain(miniBlocks);
        std::vector<std::uint32_t> bigStart(streams_.size(), kEnd);
        for (std::size_t i = 0; i < streams_.size(); ++i)
            if (streams_[i].data.size() >= kThreshold)
                bigStart[i] = chain(static_cast<std::uint32_t>((streams_[i].data.size() + 511) / 512));

        Bytes file(512 + static_cast<std::size_t>(total) * 512, 0);
        const std::uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
        std::memcpy(file.data(), signature, 8);
        Put16(file, 0x1A, 0x3E);
        Put16(file, 0x1C, 0xFFFE);
        Put16(file, 0x1E, 9);
        Put16(file, 0x20, 6);
        Put32(file, 0x2C, depotBlocks);
        Put32(file, 0x30, directoryStart);
        Put32(file, 0x38, 4096);
        Put32(file, 0x3C, smallDepotBlocks ? smallDepotStart : kEnd);
        Put32(file, 0x40, smallDepotBlocks);
        Put32(file, 0x44, extensionBlocks ? extensionStart : kEnd);
        Put32(file, 0x48, extensionBlocks);
        for (std::uint32_t k = 0; k < 109; ++k)
            Put32(file, 0x4C + 4 * k, k < depotBlocks ? k : kFree);

        auto blockAt = [](std::uint32_t block) { return 512 + static_cast<std::size_t>(block) * 512; };
        for (std::size_t i = 0; i < streams_.size(); ++i) {
            if (bigStart[i] == kEnd)
                continue;
            const Bytes& data = streams_[i].data;
            std::memcpy(file.data() + blockAt(bigStart[i]), data.data(), data.size());
            if (damage.wordDocumentNext && streams_[i].name == "WordDocument")
                depot[bigStart[i]] = damage.wordDocumentNext;
        }
        for (std::uint32_t k = 0; k < depotBlocks * 128; ++k)
            Put32(file, blockAt(0) + 4 * k, depot[k]);
        for (std::uint32_t e = 0; e < extensionBlocks; ++e) {
            const std::size_t at = blockAt(extensionStart + e);
            for (std::uint32_t k = 0; k < 127; ++k) {
                const std::uint32_t listed = 109 + e * 127 + k;
                Put32(file, at + 4 * k, listed < depotBlocks ? listed : kFree);
            }
            Put32(file, at + 0x1FC, e + 1 < extensionBlocks ? extensionStart + e + 1 : kEnd);
        }
        for (std::size_t k = 0; k < smallDepotBlocks * 128; ++k)
            Put32(file, blockAt(smallDepotStart) + 4 * k, k < smallDepot.size() ? smallDepot[k] : kFree);
        if (!mini.empty())
            std::memcpy(file.data() + blockAt(miniStart), mini.data(), mini.size());

        auto entry = [&](std::size_t index, const std::string& name, std::uint8_t type, std::uint32_t left,
                         std::uint32_t right, std::uint32_t child, std::uint32_t start, std::uint32_t size) {
            const std::size_t at =
                blockAt(directoryStart + static_cast<std::uint32_t>(index / 4)) + (index % 4) * 128;
            for (std::size_t c = 0; c < name.size() && c < 31; ++c)
                Put16(file, at + 2 * c, static_cast<std::uint8_t>(name[c]));
            Put16(file, at + 0x40, static_cast<std::uint32_t>((name.size() + 1) * 2));
            file[at + 0x42] = type;
            Put32(file, at + 0x44, left);
            Put32(file, at + 0x48, right);
            Put32(file, at + 0x4C, child);
            Put32(file, at + 0x74, start);
            Put32(file, at + 0x78, size);
        };
        entry(0, "Root Entry", 5, kFree, kFree, streams_.empty() ? kFree : 1, miniBlocks ? miniStart : kEnd,
              damage.emptySmallDepot ? 0 : static_cast<std::uint32_t>(mini.size()));
        for (std::size_t i = 0; i < streams_.size(); ++i) {
            std::uint32_t right = i + 1 < streams_.size() ? static_cast<std::uint32_t>(i + 2) : kFree;
            if (damage.siblingLoop && i + 1 == streams_.size())
                right = 1;
            const bool big = bigStart[i] != kEnd;
            entry(i + 1, streams_[i].name, 2, kFree, right, kFree, big ? bigStart[i] : smallStart[i],
                  static_cast<std::uint32_t>(streams_[i].data.size()));
        }
        return file;
    }

private:
    std::vector<StreamSpec> streams_;
};

// A table row for the Word 97 writer: cells of text, each column `width` twips.
struct RowSpec {
    std::vector<std::string> cells;
    std::uint16_t width = 1440;
    int columns = -1; // the row definition's count; -1: the number of cells
};

// A Word 97 document of 16-bit text: paragraphs, then optionally one table row, then more text.
struct Word97Layout {
    std::u16string before; // main text before the row; paragraphs end with u'\r'
    RowSpec row;           // no cells: no table
    std::u16string after;
    std::uint32_t minimumWordDocumentSize = 4096;
    bool eightBit = false;                  // one 8-bit piece (file position with bit 30)
    bool paragraphRuns = false;             // without a row: one formatting run a paragraph, 6 points after
    bool decoyTable0 = false;               // also a "0Table" whose piece table can't be read
    std::vector<Bytes> paragraphProperties; // with paragraphRuns: style index and modifiers a paragraph
    Bytes sectionModifiers;                 // non-empty: one section over the text with these properties
    std::uint16_t defaultTab = 0;           // non-zero: document properties with this default tab stop
};

// Formatting pages with one run per paragraph (ended by a paragraph mark or a page break) of `text` (16-bit,
// starting at `textStart`), appended to `word`; paragraph i gets properties[i] (style index and modifiers)
// or, beyond the list, style 0 with 6 points after. Returns the bin table.
inline Bytes AppendParagraphPages(Bytes& word, const std::u16string& text, std::uint32_t textStart,
                                  std::uint32_t textEnd, const std::vector<Bytes>& properties) {
    constexpr std::size_t kRunsPerPage = 8;
    constexpr std::size_t kPropertiesAt = 144;
    constexpr std::size_t kPropertiesRoom = 46;
    const Bytes fallback = {0, 0, 0x14, 0xA4, 120, 0};
    std::vector<std::uint32_t> starts{textStart};
    for (std::size_t i = 0; i < text.size(); ++i)
        if ((text[i] == u'\r' || text[i] == u'\x0C') && i + 1 < text.size())
            starts.push_back(textStart + static_cast<std::uint32_t>(2 * (i + 1)));
    starts.push_back(textEnd);
    std::vector<std::uint32_t> pageFirst;
    std::vector<std::uint32_t> pageNumbers;
    for (std::size_t first = 0; first + 1 < starts.size(); first += kRunsPerPage) {
        const std::size_t runs = std::min<std::size_t>(kRunsPerPage, starts.size() - 1 - first);
        Bytes page(512, 0);
        for (std::size_t i = 0; i <= runs; ++i)
            Put32(page, 4 * i, starts[first + i]);
        for (std::size_t i = 0; i < runs; ++i) {
            const std::size_t at = kPropertiesAt + kPropertiesRoom * i;
            const Bytes& papx = first + i < properties.size() ? properties[first + i] : fallback;
            page[4 * (runs + 1) + 13 * i] = static_cast<std::uint8_t>(at / 2);
            page[at] = static_cast<std::uint8_t>((papx.size() + 1) / 2);
            std::copy(papx.begin(),
                      papx.begin() + static_cast<std::ptrdiff_t>(
                                         std::min<std::size_t>(papx.size(), kPropertiesRoom - 1)),
                      page.begin() + static_cast<std::ptrdiff_t>(at + 1));
        }
        page[511] = static_cast<std::uint8_t>(runs);
        pageFirst.push_back(starts[first]);
        pageNumbers.push_back(static_cast<std::uint32_t>(word.size() / 512));
        word.insert(word.end(), page.begin(), page.end());
    }
    Bytes bin;
    for (std::uint32_t fc : pageFirst)
        Append32(bin, fc);
    Append32(bin, textEnd);
    for (std::uint32_t number : pageNumbers)
        Append32(bin, number);
    return bin;
}

inline Bytes BuildWord97(const Word97Layout& layout, const ContainerDamage& damage = {}) {
    constexpr std::uint32_t kTextStart = 0x800;
    std::u16string text = layout.before;
    std::uint32_t rowStart = 0;
    std::uint32_t rowEndMark = 0;
    const bool hasRow = !layout.row.cells.empty();
    if (hasRow) {
        rowStart = static_cast<std::uint32_t>(text.size());
        for (const std::string& cell : layout.row.cells) {
            text += std::u16string(cell.begin(), cell.end());
            text += u'\x07';
        }
        rowEndMark = static_cast<std::uint32_t>(text.size());
        text += u'\x07';
    }
    text += layout.after;
    const std::uint32_t width = layout.eightBit ? 1 : 2;

    Bytes word(kTextStart, 0);
    for (char16_t c : text) {
        word.push_back(static_cast<std::uint8_t>(c));
        if (!layout.eightBit)
            word.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    const std::uint32_t textEnd = static_cast<std::uint32_t>(word.size());
    word.resize((word.size() + 511) / 512 * 512, 0);

    Bytes table;
    // Piece table: one piece over the whole text.
    const std::uint32_t clxAt = 0;
    table.push_back(2);
    Append32(table, 4 + 12);
    Append32(table, 0);
    Append32(table, static_cast<std::uint32_t>(text.size()));
    Append16(table, 0);
    Append32(table, layout.eightBit ? (kTextStart * 2) | 0x40000000u : kTextStart);
    Append16(table, 0);
    const std::uint32_t clxLength = static_cast<std::uint32_t>(table.size());

    std::uint32_t binAt = 0, binLength = 0;
    if (hasRow) {
        // One formatting page: before the row, the cells, the row end mark, after the row.
        const std::uint32_t page = static_cast<std::uint32_t>(word.size() / 512);
        Bytes fkp(512, 0);
        const std::uint32_t fcs[5] = {kTextStart, kTextStart + rowStart * width,
                                      kTextStart + rowEndMark * width, kTextStart + (rowEndMark + 1) * width,
                                      textEnd};
        const int runs = 4;
        for (int i = 0; i <= runs; ++i)
            Put32(fkp, 4 * i, fcs[i]);
        fkp[511] = static_cast<std::uint8_t>(runs);
        Bytes cells = {0, 0, 0x16, 0x24, 1};              // style 0, in table
        Bytes end = {0, 0, 0x16, 0x24, 1, 0x17, 0x24, 1}; // in table, row end
        const int columns =
            layout.row.columns < 0 ? static_cast<int>(layout.row.cells.size()) : layout.row.columns;
        Bytes definition;
        definition.push_back(static_cast<std::uint8_t>(columns));
        for (int c = 0; c <= columns; ++c)
            Append16(definition, static_cast<std::uint32_t>(c * layout.row.width));
        Append16(end, 0xD608);
        Append16(end, static_cast<std::uint32_t>(definition.size() + 1));
        end.insert(end.end(), definition.begin(), definition.end());
        auto place = [&fkp](int run, std::size_t at, const Bytes& papx) {
            fkp[4 * 5 + 13 * run] = static_cast<std::uint8_t>(at / 2);
            const std::size_t words = (papx.size() + 1) / 2;
            fkp[at] = static_cast<std::uint8_t>(words);
            std::copy(papx.begin(), papx.end(), fkp.begin() + static_cast<std::ptrdiff_t>(at + 1));
        };
        place(1, 0x60, cells);
        place(2, 0x80, end);
        word.insert(word.end(), fkp.begin(), fkp.end());
        binAt = static_cast<std::uint32_t>(table.size());
        Append32(table, kTextStart);
        Append32(table, textEnd);
        Append32(table, page);
        binLength = 12;
    } else if (layout.paragraphRuns && !layout.eightBit) {
        const Bytes bin = AppendParagraphPages(word, text, kTextStart, textEnd, layout.paragraphProperties);
        binAt = static_cast<std::uint32_t>(table.size());
        table.insert(table.end(), bin.begin(), bin.end());
        binLength = static_cast<std::uint32_t>(bin.size());
    }
    std::uint32_t sectionsAt = 0, sectionsLength = 0;
    if (!layout.sectionModifiers.empty()) {
        const std::uint32_t sepx = static_cast<std::uint32_t>(word.size());
        Append16(word, static_cast<std::uint32_t>(layout.sectionModifiers.size()));
        word.insert(word.end(), layout.sectionModifiers.begin(), layout.sectionModifiers.end());
        word.resize((word.size() + 511) / 512 * 512, 0);
        sectionsAt = static_cast<std::uint32_t>(table.size());
        Append32(table, 0);
        Append32(table, static_cast<std::uint32_t>(text.size()));
        Append16(table, 0);
        Append32(table, sepx);
        Append16(table, 0);
        Append32(table, 0);
        sectionsLength = 4 + 16;
    }
    std::uint32_t propertiesAt = 0, propertiesLength = 0;
    if (layout.defaultTab) {
        propertiesAt = static_cast<std::uint32_t>(table.size());
        Bytes properties(12, 0);
        Put16(properties, 10, layout.defaultTab);
        table.insert(table.end(), properties.begin(), properties.end());
        propertiesLength = 12;
    }
    if (word.size() < layout.minimumWordDocumentSize)
        word.resize(layout.minimumWordDocumentSize, 0);
    if (layout.minimumWordDocumentSize < 4096)
        word.resize(layout.minimumWordDocumentSize);

    Put16(word, 0x00, 0xA5EC);
    Put16(word, 0x02, 193);
    Put16(word, 0x0A, 0x0200); // the table stream is "1Table"
    Put32(word, 0x18, kTextStart);
    Put32(word, 0x4C, static_cast<std::uint32_t>(text.size()));
    Put32(word, 0xCA, sectionsAt);
    Put32(word, 0xCE, sectionsLength);
    Put32(word, 0x102, binAt);
    Put32(word, 0x106, binLength);
    Put32(word, 0x192, propertiesAt);
    Put32(word, 0x196, propertiesLength);
    Put32(word, 0x1A2, clxAt);
    Put32(word, 0x1A6, clxLength);
    if (word.size() > layout.minimumWordDocumentSize && layout.minimumWordDocumentSize < 4096)
        word.resize(layout.minimumWordDocumentSize);

    CompoundFileWriter writer;
    writer.add("WordDocument", word);
    if (layout.decoyTable0)
        writer.add("0Table", Bytes(64, 0x7E));
    writer.add("1Table", table);
    return writer.Build(damage);
}

// One paragraph run of a Word 6 or Word 2 document: its 8-bit text, its one-byte style index and
// its one-byte-code modifiers.
struct OldRun {
    std::string text;
    std::uint8_t style = 0;
    Bytes modifiers;
};

// A row definition with one-byte codes (190 in Word 6, 152 or 154 in Word 2): a 16-bit operand
// size, the column count and the column boundaries, `width` twips apart.
inline Bytes OldRowDefinition(std::uint8_t code, int columns, std::uint16_t width = 1440) {
    Bytes operand = {0, 0, static_cast<std::uint8_t>(columns)};
    for (int c = 0; c <= columns; ++c)
        Append16(operand, static_cast<std::uint32_t>(c * width));
    Put16(operand, 0, static_cast<std::uint32_t>(operand.size() - 1));
    Bytes modifier = {code};
    modifier.insert(modifier.end(), operand.begin(), operand.end());
    return modifier;
}

// Appends formatting pages for `runs`, whose text starts at `textStart` of `stream` (offsets in the
// stream, which for Word 2 is the file), and returns the bin table with 16-bit page numbers. Word 6
// entries are 7 bytes after the offsets and the properties a style byte then modifiers; Word 2
// entries are one byte and the properties a style byte, six bytes, then modifiers.
inline Bytes AppendOldParagraphPages(Bytes& stream, const std::vector<OldRun>& runs, std::uint32_t textStart,
                                     bool word2) {
    constexpr std::size_t kRunsPerPage = 8;
    constexpr std::size_t kPropertiesAt = 128;
    constexpr std::size_t kPropertiesRoom = 44;
    const std::size_t entrySize = word2 ? 1 : 7;
    stream.resize((stream.size() + 511) / 512 * 512, 0);
    std::vector<std::uint32_t> starts{textStart};
    for (const OldRun& run : runs)
        starts.push_back(starts.back() + static_cast<std::uint32_t>(run.text.size()));
    Bytes bin;
    std::vector<std::uint32_t> pages;
    for (std::size_t first = 0; first < runs.size(); first += kRunsPerPage) {
        const std::size_t count = std::min(kRunsPerPage, runs.size() - first);
        Bytes page(512, 0);
        for (std::size_t i = 0; i <= count; ++i)
            Put32(page, 4 * i, starts[first + i]);
        for (std::size_t i = 0; i < count; ++i) {
            const OldRun& run = runs[first + i];
            Bytes properties = {run.style};
            if (word2)
                properties.resize(7, 0);
            properties.insert(properties.end(), run.modifiers.begin(), run.modifiers.end());
            // Word 2 counts the count byte among its words.
            const std::size_t words = word2 ? (properties.size() + 2) / 2 : (properties.size() + 1) / 2;
            const std::size_t at = kPropertiesAt + kPropertiesRoom * i;
            page[4 * (count + 1) + entrySize * i] = static_cast<std::uint8_t>(at / 2);
            page[at] = static_cast<std::uint8_t>(words);
            std::copy(properties.begin(), properties.end(),
                      page.begin() + static_cast<std::ptrdiff_t>(at + 1));
        }
        page[511] = static_cast<std::uint8_t>(count);
        Append32(bin, starts[first]);
        pages.push_back(static_cast<std::uint32_t>(stream.size() / 512));
        stream.insert(stream.end(), page.begin(), page.end());
    }
    Append32(bin, starts.back());
    for (std::uint32_t page : pages)
        Append16(bin, page);
    return bin;
}

// A Word 6 document whose text is made of these paragraph runs.
inline Bytes BuildWord6Runs(const std::vector<OldRun>& runs) {
    constexpr std::uint32_t kTextStart = 0x300;
    Bytes word(kTextStart, 0);
    std::string text;
    for (const OldRun& run : runs)
        text += run.text;
    word.insert(word.end(), text.begin(), text.end());
    const Bytes bin = AppendOldParagraphPages(word, runs, kTextStart, false);
    const std::uint32_t binAt = static_cast<std::uint32_t>(word.size());
    word.insert(word.end(), bin.begin(), bin.end());
    word.resize(std::max<std::size_t>(word.size(), 4096), 0);
    Put16(word, 0x00, 0xA5DC);
    Put16(word, 0x02, 101);
    Put32(word, 0x18, kTextStart);
    Put32(word, 0x34, static_cast<std::uint32_t>(text.size()));
    Put32(word, 0xC0, binAt);
    Put32(word, 0xC4, static_cast<std::uint32_t>(bin.size()));
    CompoundFileWriter writer;
    writer.add("WordDocument", word);
    return writer.Build();
}

// A Word for Windows 2 document whose text is made of these paragraph runs, with an optional style
// sheet (stored as given).
inline Bytes BuildWord2Runs(const std::vector<OldRun>& runs, const Bytes& styleSheet = {}) {
    constexpr std::uint32_t kTextStart = 0x180;
    Bytes file(kTextStart, 0);
    std::string text;
    for (const OldRun& run : runs)
        text += run.text;
    file.insert(file.end(), text.begin(), text.end());
    const Bytes bin = AppendOldParagraphPages(file, runs, kTextStart, true);
    const std::uint32_t binAt = static_cast<std::uint32_t>(file.size());
    file.insert(file.end(), bin.begin(), bin.end());
    const std::uint32_t styleSheetAt = static_cast<std::uint32_t>(file.size());
    file.insert(file.end(), styleSheet.begin(), styleSheet.end());
    const std::uint8_t signature[4] = {0xDB, 0xA5, 0x2D, 0x00};
    std::copy(std::begin(signature), std::end(signature), file.begin());
    Put32(file, 0x18, kTextStart);
    Put32(file, 0x34, static_cast<std::uint32_t>(text.size()));
    Put32(file, 0x5E, styleSheetAt);
    Put16(file, 0x62, static_cast<std::uint32_t>(styleSheet.size()));
    Put32(file, 0xA6, binAt);
    Put16(file, 0xAA, static_cast<std::uint32_t>(bin.size()));
    return file;
}

// A Word 1/2 style: its style code, base style code, character properties (the leading bytes of
// the character record: bold, italic, strike, outline, field-hidden, small capitals, capitals,
// hidden in the first byte; revision mark in bit 0 of the second) and whether it is defined.
struct Word2Style {
    std::uint8_t code = 0;
    std::uint8_t base = 222;
    Bytes characters;
};

// A Word 1/2 style sheet: the count of standard styles, then the name, character-property and
// paragraph-property string tables (each a 16-bit byte count including itself, then per slot a
// length byte, 255 for an unused slot, and that many bytes), then the 16-bit slot count and per
// slot the next and base style codes. Slot s holds style code (s - standard) mod 256.
inline Bytes BuildWord2StyleSheet(const std::vector<Word2Style>& styles, std::uint8_t standard = 34) {
    std::map<int, const Word2Style*> bySlot;
    int slots = standard + 1;
    for (const Word2Style& style : styles) {
        const int slot = (style.code + standard) & 0xFF;
        bySlot[slot] = &style;
        slots = std::max(slots, slot + 1);
    }
    auto table = [&](auto entry) {
        Bytes bytes(2, 0);
        for (int slot = 0; slot < slots; ++slot) {
            const auto found = bySlot.find(slot);
            if (found == bySlot.end()) {
                bytes.push_back(255);
                continue;
            }
            const Bytes value = entry(*found->second);
            bytes.push_back(static_cast<std::uint8_t>(value.size()));
            bytes.insert(bytes.end(), value.begin(), value.end());
        }
        Put16(bytes, 0, static_cast<std::uint32_t>(bytes.size()));
        return bytes;
    };
    Bytes sheet;
    Append16(sheet, standard);
    for (const Bytes& part : {table([](const Word2Style&) { return Bytes{}; }),
                              table([](const Word2Style& s) { return s.characters; }),
                              table([](const Word2Style& s) { return Bytes{s.code}; })})
        sheet.insert(sheet.end(), part.begin(), part.end());
    Append16(sheet, static_cast<std::uint32_t>(slots));
    for (int slot = 0; slot < slots; ++slot) {
        const auto found = bySlot.find(slot);
        sheet.push_back(found == bySlot.end() ? 222 : found->second->code);
        sheet.push_back(found == bySlot.end() ? 222 : found->second->base);
    }
    return sheet;
}

// A Word 6 document of 8-bit text. Fast-saved: the text is stored as two pieces in reverse order,
// the second half first.
inline Bytes BuildWord6(const std::string& text, bool fastSaved) {
    constexpr std::uint32_t kTextStart = 0x300;
    Bytes word(kTextStart, 0);
    const std::size_t half = text.size() / 2;
    const std::string stored = fastSaved ? text.substr(half) + text.substr(0, half) : text;
    word.insert(word.end(), stored.begin(), stored.end());
    word.resize(std::max<std::size_t>(word.size(), 0x800), 0);
    std::uint32_t clxAt = 0, clxLength = 0;
    if (fastSaved) {
        clxAt = static_cast<std::uint32_t>(word.size());
        Bytes clx = {2};
        Append32(clx, 4 + 2 * 12);
        Append32(clx, 0);
        Append32(clx, static_cast<std::uint32_t>(half));
        Append32(clx, static_cast<std::uint32_t>(text.size()));
        for (std::uint32_t fc : {kTextStart + static_cast<std::uint32_t>(text.size() - half), kTextStart}) {
            Append16(clx, 0);
            Append32(clx, fc);
            Append16(clx, 0);
        }
        word.insert(word.end(), clx.begin(), clx.end());
        clxLength = static_cast<std::uint32_t>(clx.size());
    }
    word.resize(std::max<std::size_t>(word.size(), 4096), 0);
    Put16(word, 0x00, 0xA5DC);
    Put16(word, 0x02, 101);
    Put16(word, 0x0A, fastSaved ? 0x0004 : 0);
    Put32(word, 0x18, kTextStart);
    Put32(word, 0x34, static_cast<std::uint32_t>(text.size()));
    Put32(word, 0x160, clxAt);
    Put32(word, 0x164, clxLength);
    CompoundFileWriter writer;
    writer.add("WordDocument", word);
    return writer.Build();
}

// A Word for Windows 2 file: the 384-byte header, then 8-bit text.
inline Bytes BuildWord2(const std::string& text, std::uint16_t status = 0) {
    Bytes file(0x180, 0);
    const std::uint8_t signature[4] = {0xDB, 0xA5, 0x2D, 0x00};
    std::copy(std::begin(signature), std::end(signature), file.begin());
    Put16(file, 0x0A, status);
    Put32(file, 0x18, 0x180);
    Put32(file, 0x34, static_cast<std::uint32_t>(text.size()));
    file.insert(file.end(), text.begin(), text.end());
    return file;
}

} // namespace tessarel::wordbin::testing
