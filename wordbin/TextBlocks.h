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

    std::uint32_t characterCount() const { return wide ? length / 2 : length; }
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
    bool add(const TextBlock& block);
    std::uint64_t locatedBytes() const { return locatedBytes_; }
    bool empty() const { return all_.empty(); }

    // Cuts the located blocks into the eight lists by their character counts; characters beyond
    // the last count are discarded.
    void cutIntoLists(const std::array<std::uint32_t, kTextListCount>& counts);
    // Drops a text-box list whose raw bytes are only blanks and paragraph marks.
    void discardBlankList(TextList list, const SourceFile& file);

    const std::vector<TextBlock>& list(TextList list) const { return lists_[list]; }

private:
    std::vector<TextBlock> all_;
    std::array<std::vector<TextBlock>, kTextListCount> lists_;
    std::uint64_t locatedBytes_ = 0;
};

// Delivers one list's characters in document order, 8- or 16-bit as stored.
class CharacterReader {
public:
    CharacterReader(const std::vector<TextBlock>& blocks, const SourceFile& file)
        : blocks_(blocks), file_(file) {}

    // False at the end of the list.
    bool next(RawCharacter& character) {
        if (at_ + width_ > available_)
            return nextBlock(character);
        const std::uint8_t* at = data_ + at_;
        character.raw = width_ == 2 ? static_cast<std::uint16_t>(at[0] | at[1] << 8) : at[0];
        character.fileOffset = fileOffset_ + at_;
        character.streamOffset = streamOffset_ + static_cast<std::uint32_t>(at_);
        character.cp = cp_ + static_cast<std::uint32_t>(at_ / width_);
        character.modifier = modifier_;
        at_ += width_;
        return true;
    }

private:
    bool nextBlock(RawCharacter& character);

    const std::vector<TextBlock>& blocks_;
    const SourceFile& file_;
    std::size_t next_ = 0; // the block after the current one
    // The current block: its bytes inside the file and where the next character lies.
    const std::uint8_t* data_ = nullptr;
    std::uint64_t available_ = 0;
    std::uint64_t at_ = 0;
    std::uint32_t width_ = 1;
    std::uint64_t fileOffset_ = 0;
    std::uint32_t streamOffset_ = 0;
    std::uint32_t cp_ = 0;
    std::uint16_t modifier_ = 0;
};

} // namespace tessarel::wordbin
