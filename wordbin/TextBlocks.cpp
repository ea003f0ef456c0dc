#include "wordbin/TextBlocks.h"

#include "wordbin/Report.h"

#include <algorithm>

namespace tessarel::wordbin {

bool TextBlocks::Add(const TextBlock& block) {
    if (block.fileOffset == 0xFFFFFFFF || block.cp == 0xFFFFFFFF || block.length == 0 ||
        (block.wide && block.length % 2 != 0)) {
        Report(Status::StepFails, "Software (textblock) error");
        return false;
    }
    m_locatedBytes += block.length;
    if (!m_all.empty()) {
        TextBlock& last = m_all.back();
        if (last.wide == block.wide && last.modifier == block.modifier &&
            last.fileOffset + last.length == block.fileOffset &&
            last.streamOffset + last.length == block.streamOffset &&
            last.cp + last.CharacterCount() == block.cp) {
            last.length += block.length;
            return true;
        }
    }
    m_all.push_back(block);
    return true;
}

void TextBlocks::CutIntoLists(const std::array<std::uint32_t, kTextListCount>& counts) {
    int list = 0;
    std::uint64_t room = counts[0];
    for (TextBlock block : m_all) {
        while (block.length > 0 && list < kTextListCount) {
            if (room == 0) {
                ++list;
                room = list < kTextListCount ? counts[list] : 0;
                continue;
            }
            const std::uint32_t characters = block.CharacterCount();
            if (characters == 0)
                break;
            const std::uint32_t take = static_cast<std::uint32_t>(std::min<std::uint64_t>(characters, room));
            TextBlock part = block;
            part.length = block.wide ? take * 2 : take;
            m_lists[list].push_back(part);
            room -= take;
            block.fileOffset += part.length;
            block.streamOffset += part.length;
            block.cp += take;
            block.length -= part.length;
        }
        if (list >= kTextListCount)
            break;
    }
    m_all.clear();
    m_all.shrink_to_fit();
}

void TextBlocks::DiscardBlankList(TextList list, const SourceFile& file) {
    for (const TextBlock& block : m_lists[list]) {
        const auto bytes = file.View(block.fileOffset, block.length);
        for (std::uint8_t byte : bytes)
            if (!(byte == 0 || (byte >= 9 && byte <= 13) || byte == 32))
                return;
    }
    m_lists[list].clear();
}

bool CharacterReader::NextBlock(RawCharacter& character) {
    while (m_next < m_blocks.size()) {
        const TextBlock& block = m_blocks[m_next++];
        // A block that runs beyond the file ends where the file ends.
        const std::uint64_t fileSize = m_file.Size();
        if (block.fileOffset >= fileSize)
            continue;
        m_data = m_file.Data() + block.fileOffset;
        m_available = std::min<std::uint64_t>(block.length, fileSize - block.fileOffset);
        m_at = 0;
        m_width = block.wide ? 2 : 1;
        m_fileOffset = block.fileOffset;
        m_streamOffset = block.streamOffset;
        m_cp = block.cp;
        m_modifier = block.modifier;
        if (m_width <= m_available)
            return Next(character);
    }
    m_available = 0;
    m_at = 0;
    return false;
}

} // namespace tessarel::wordbin
