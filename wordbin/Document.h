#pragma once
// Everything known about the one document being converted. Convert owns it for the length of one
// conversion, so whatever it holds is freed at the end, whether the conversion succeeded or not.

#include "wordbin/Formatting.h"
#include "wordbin/SourceFile.h"
#include "wordbin/TextBlocks.h"

#include <array>
#include <cstdint>
#include <vector>

namespace tessarel::wordbin {

struct Document {
    SourceFile source;
    int version = 0;           // 1, 2, 6, 7 or 8
    bool oldMacintosh = false; // the Macintosh character table applies
    bool farEast = false;      // Word 6/7 text stored as 16-bit characters
    bool fastSaved = false;
    std::uint32_t fcMin = 0;
    std::array<std::uint32_t, kTextListCount> counts{};
    std::vector<std::uint8_t> header;
    TextBlocks text;
    // Property-modifier groups of the piece table, by group number.
    std::vector<std::vector<std::uint8_t>> modifierGroups;
    Formatting formatting;
};

} // namespace tessarel::wordbin
