#pragma once
// Where the document's characters lie: one ordered list of text blocks with absolute file offsets,
// cut into the eight lists of a Word document, and a reader of raw characters per list.

#include "wordbin/SourceFile.h"

#include <array>
#include <cstdint>
#include <vector>

namespace tessarel::wordbin {

struct TextBlock {
    std::uint64_t fileOffset = 0;
    std::uint32_t streamOffset = 0; // where formatting runs place the block ("WordDocument" or file)
    std::uint32_t cp = 0;           // character position of the block's first character
    std::uint32_t length = 0;       // bytes
    bool wide = false;              // 16-bit characters
    std::uint16_t modifier = 0;     // property modifier of the block's piece

    std::uint32_t CharacterCount() const { return wide ? length / 2 : length; }
};

enum TextList : int {
    kMainText,
    kFootnotes,
    kHeadersFooters,
    kMacros,
    kAnnotations,
    kEndnotes,
    kTextBoxes,
    kHeaderTextBoxes,
    kTextListCount
};

struct RawCharacter {
    std::uint16_t raw = 0;
    std::uint64_t fileOffset = 0;
    std::uint32_t streamOffset = 0;
    std::uint32_t cp = 0;
    std::uint16_t modifier = 0;
};

class TextBlocks {
public:
    // Appends a block, merged into the previous one when it continues it; false with "Software
    // (textblock) error" for a block that can't be one.
    bool Add(const TextBlock& block);
    std::uint64_t LocatedBytes() const { return m_locatedBytes; }
    bool Empty() const { return m_all.empty(); }

    // Cuts the located blocks into the eight lists by their character counts; characters beyond
    // the last count are discarded.
    void CutIntoLists(const std::array<std::uint32_t, kTextListCount>& counts);
    // Drops a text-box list whose raw bytes are only blanks and paragraph marks.
    void DiscardBlankList(TextList list, const SourceFile& file);

    const std::vector<TextBlock>& List(TextList list) const { return m_lists[list]; }

private:
    std::vector<TextBlock> m_all;
    std::array<std::vector<TextBlock>, kTextListCount> m_lists;
    std::uint64_t m_locatedBytes = 0;
};

// Delivers one list's characters in document order, 8- or 16-bit as stored.
class CharacterReader {
public:
    CharacterReader(const std::vector<TextBlock>& blocks, const SourceFile& file)
        : m_blocks(blocks), m_file(file) {}

    // False at the end of the list.
    bool Next(RawCharacter& character) {
        if (m_at + m_width > m_available)
            return NextBlock(character);
        const std::uint8_t* at = m_data + m_at;
        character.raw = m_width == 2 ? static_cast<std::uint16_t>(at[0] | at[1] << 8) : at[0];
        character.fileOffset = m_fileOffset + m_at;
        character.streamOffset = m_streamOffset + static_cast<std::uint32_t>(m_at);
        character.cp = m_cp + static_cast<std::uint32_t>(m_at / m_width);
        character.modifier = m_modifier;
        m_at += m_width;
        return true;
    }

private:
    bool NextBlock(RawCharacter& character);

    const std::vector<TextBlock>& m_blocks;
    const SourceFile& m_file;
    std::size_t m_next = 0; // the block after the current one
    // The current block: its bytes inside the file and where the next character lies.
    const std::uint8_t* m_data = nullptr;
    std::uint64_t m_available = 0;
    std::uint64_t m_at = 0;
    std::uint32_t m_width = 1;
    std::uint64_t m_fileOffset = 0;
    std::uint32_t m_streamOffset = 0;
    std::uint32_t m_cp = 0;
    std::uint16_t m_modifier = 0;
};

} // namespace tessarel::wordbin
