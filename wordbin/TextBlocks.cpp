#include "wordbin/TextBlocks.h"

#include "wordbin/Report.h"

#include <algorithm>

namespace tessarel::wordbin {

bool TextBlocks::add(const TextBlock& block) {
    if (block.fileOffset == 0xFFFFFFFF || block.cp == 0xFFFFFFFF || block.length == 0 ||
        (block.wide && block.length % 2 != 0)) {
        Report(Status::StepFails, "Software (textblock) error");
        return false;
    }
    locatedBytes_ += block.length;
    if (!all_.empty()) {
        TextBlock& last = all_.back();
        if (last.wide == block.wide && last.modifier == block.modifier &&
            last.fileOffset + last.length == block.fileOffset &&
            last.streamOffset + last.length == block.streamOffset &&
            last.cp + last.characterCount() == block.cp) {
            last.length += block.length;
            return true;
        }
    }
    all_.push_back(block);
    return true;
}

void TextBlocks::cutIntoLists(const std::array<std::uint32_t, kTextListCount>& counts) {
    int list = 0;
    std::uint64_t room = counts[0];
    for (TextBlock block : all_) {
        while (block.length > 0 && list < kTextListCount) {
            if (room == 0) {
                ++list;
                room = list < kTextListCount ? counts[list] : 0;
                continue;
            }
            const std::uint32_t characters = block.characterCount();
            if (characters == 0)
                break;
            const std::uint32_t take = static_cast<std::uint32_t>(std::min<std::uint64_t>(characters, room));
            TextBlock part = block;
            part.length = block.wide ? take * 2 : take;
            lists_[list].push_back(part);
            room -= take;
            block.fileOffset += part.length;
            block.streamOffset += part.length;
            block.cp += take;
            block.length -= part.length;
        }
        if (list >= kTextListCount)
            break;
    }
    all_.clear();
    all_.shrink_to_fit();
}

void TextBlocks::discardBlankList(TextList list, const SourceFile& file) {
    for (const TextBlock& block : lists_[list]) {
        const auto bytes = file.view(block.fileOffset, block.length);
        for (std::uint8_t byte : bytes)
            if (!(byte == 0 || (byte >= 9 && byte <= 13) || byte == 32))
                return;
    }
    lists_[list].clear();
}

bool CharacterReader::nextBlock(RawCharacter& character) {
    while (next_ < blocks_.size()) {
        const TextBlock& block = blocks_[next_++];
        // A block that runs beyond the file ends where the file ends.
        const std::uint64_t fileSize = file_.size();
        if (block.fileOffset >= fileSize)
            continue;
        data_ = file_.data() + block.fileOffset;
        available_ = std::min<std::uint64_t>(block.length, fileSize - block.fileOffset);
        at_ = 0;
        width_ = block.wide ? 2 : 1;
        fileOffset_ = block.fileOffset;
        streamOffset_ = block.streamOffset;
        cp_ = block.cp;
        modifier_ = block.modifier;
        if (width_ <= available_)
            return next(character);
    }
    available_ = 0;
    at_ = 0;
    return false;
}

} // namespace tessarel::wordbin
