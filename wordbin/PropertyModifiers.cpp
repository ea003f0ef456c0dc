#include "wordbin/PropertyModifiers.h"

#include "wordbin/SourceFile.h"

#include <algorithm>
#include <initializer_list>

namespace tessarel::wordbin {
namespace {

constexpr std::uint16_t kDefineTable97 = 0xD608;
constexpr std::uint16_t kChangeTabs97 = 0xC615;

bool In(int code, std::initializer_list<std::pair<int, int>> ranges) {
    for (const auto& [first, last] : ranges)
        if (code >= first && code <= last)
            return true;
    return false;
}

// The tab-change modifier with a length byte of 255 sizes itself from its deleted and added tabs.
std::size_t LongTabChangeSize(std::span<const std::uint8_t> bytes, std::size_t base, std::size_t deletedAt) {
    const std::size_t deleted = Get8(bytes, deletedAt);
    const std::size_t added = Get8(bytes, deletedAt + 1 + 4 * deleted);
    return base + 4 * deleted + 3 * added;
}

std::size_t Word6Size(std::span<const std::uint8_t> bytes) {
    const int code = bytes[0];
    if (code == 23) {
        if (Get8(bytes, 1) == 255)
            return LongTabChangeSize(bytes, 4, 2);
        return Get8(bytes, 1) + 2u;
    }
    if (In(code, {{2, 2},     {16, 19},   {21, 22},   {26, 28},   {30, 36},   {38, 43},   {45, 49},
                  {69, 69},   {72, 72},   {80, 80},   {93, 93},   {96, 97},   {99, 99},   {101, 101},
                  {105, 107}, {109, 110}, {121, 124}, {140, 141}, {144, 145}, {148, 149}, {154, 157},
                  {160, 161}, {164, 171}, {182, 184}, {189, 189}, {195, 195}, {197, 198}}))
        return 3;
    if (In(code, {{73, 73}, {95, 95}, {136, 137}}))
        return 4;
    if (In(code, {{20, 20}, {70, 70}, {74, 74}, {192, 192}, {194, 194}, {196, 196}, {200, 200}}))
        return 5;
    if (In(code, {{68, 68}, {193, 193}, {199, 199}}))
        return 6;
    if (code == 120 || code == 187)
        return 13;
    if (In(code, {{3, 3}, {12, 12}, {15, 15}, {81, 81}, {103, 103}, {108, 108}, {188, 188}, {190, 191}}))
        return Get8(bytes, 1) + 2u;
    return 2;
}

std::size_t Word2Size(std::span<const std::uint8_t> bytes) {
    const int code = bytes[0];
    if (code == 23) {
        if (Get8(bytes, 1) == 255)
            return LongTabChangeSize(bytes, 4, 2);
        return Get8(bytes, 1) + 2u;
    }
    if (In(code, {{16, 19},
                  {21, 22},
                  {26, 28},
                  {30, 36},
                  {38, 43},
                  {45, 49},
                  {68, 68},
                  {71, 72},
                  {82, 83},
                  {96, 99},
                  {115, 116},
                  {119, 120},
                  {123, 124},
                  {129, 132},
                  {135, 136},
                  {139, 148},
                  {153, 153},
                  {159, 159},
                  {161, 162}}))
        return 3;
    if (code == 70)
        return 4;
    if (In(code, {{158, 158}, {160, 160}, {164, 164}}))
        return 5;
    if (code == 157 || code == 163)
        return 6;
    if (code == 95)
        return 14;
    if (In(code, {{3, 3}, {15, 15}, {78, 78}, {152, 152}, {154, 155}}))
        return Get8(bytes, 1) + 2u;
    return 2;
}

std::size_t Word97Size(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 2)
        return 0;
    const std::uint16_t code = static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
    if (code == kDefineTable97) {
        // Its operand length is a 16-bit value: a row of a dozen columns or more exceeds one byte.
        return 2 + 2 + (Get16(bytes, 2) > 0 ? Get16(bytes, 2) - 1u : 0u);
    }
    if (code == kChangeTabs97 && Get8(bytes, 2) == 255)
        return LongTabChangeSize(bytes, 5, 3);
    switch (code >> 13) {
    case 0:
    case 1:
        return 3;
    case 2:
    case 4:
    case 5:
        return 4;
    case 3:
        return 6;
    case 7:
        return 5;
    default:
        return 3u + Get8(bytes, 2); // 6: variable, the length byte counted
    }
}

} // namespace

ModifierLayout LayoutFor(int wordVersion) {
    if (wordVersion >= 8)
        return ModifierLayout::Word97;
    if (wordVersion >= 6)
        return ModifierLayout::Word6;
    return ModifierLayout::Word2;
}

std::size_t ModifierSize(ModifierLayout layout, std::span<const std::uint8_t> bytes) {
    if (bytes.empty())
        return 0;
    switch (layout) {
    case ModifierLayout::Word97:
        return Word97Size(bytes);
    case ModifierLayout::Word6:
        return Word6Size(bytes);
    case ModifierLayout::Word2:
        return Word2Size(bytes);
    }
    return 0;
}

bool ModifierGroupEndsRow(const std::vector<std::uint8_t>& group, int wordVersion) {
    const ModifierLayout layout = LayoutFor(wordVersion);
    const std::uint16_t rowEnd = layout == ModifierLayout::Word97 ? 0x2417 : 25;
    bool ends = false;
    bool defines = false;
    ForEachModifier(layout, group, [&](const Modifier& modifier) {
        if (modifier.code == rowEnd && !modifier.operand.empty() && modifier.operand[0] != 0)
            ends = true;
        switch (layout) {
        case ModifierLayout::Word97:
            defines = defines || modifier.code == kDefineTable97;
            break;
        case ModifierLayout::Word6:
            defines = defines || modifier.code == 190;
            break;
        case ModifierLayout::Word2:
            defines = defines || modifier.code == 152 || modifier.code == 154;
            break;
        }
    });
    return ends && defines;
}

} // namespace tessarel::wordbin
