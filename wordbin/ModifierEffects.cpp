#include "wordbin/ModifierEffects.h"

#include "wordbin/Report.h"
#include "wordbin/SourceFile.h"

namespace tessarel::wordbin {
namespace {

enum class Effect {
    None,
    Alignment,
    NumberingLevel,
    ListIndex,
    LeftIncrease,
    RightIndent,
    LeftIndent,
    FirstIndent,
    SpaceBefore,
    SpaceAfter,
    OldListData,
    NumberFormat,
};

Effect ParagraphEffect(ModifierLayout layout, std::uint16_t code) {
    if (layout == ModifierLayout::Word97) {
        switch (code) {
        case 0x2403:
            return Effect::Alignment;
        case 0x260A:
            return Effect::NumberingLevel;
        case 0x460B:
            return Effect::ListIndex;
        case 0x4610:
            return Effect::LeftIncrease;
        case 0x840E:
            return Effect::RightIndent;
        case 0x840F:
            return Effect::LeftIndent;
        case 0x8411:
            return Effect::FirstIndent;
        case 0xA413:
            return Effect::SpaceBefore;
        case 0xA414:
            return Effect::SpaceAfter;
        case 0xC63E:
            return Effect::OldListData;
        default:
            return Effect::None;
        }
    }
    switch (code) {
    case 5:
        return Effect::Alignment;
    case 13:
        return Effect::NumberingLevel;
    case 18:
        return Effect::LeftIncrease;
    case 16:
        return Effect::RightIndent;
    case 17:
        return Effect::LeftIndent;
    case 19:
        return Effect::FirstIndent;
    case 21:
        return Effect::SpaceBefore;
    case 22:
        return Effect::SpaceAfter;
    case 12:
        return layout == ModifierLayout::Word6 ? Effect::OldListData : Effect::NumberFormat;
    default:
        return Effect::None;
    }
}

// On/off attributes: 0 clears, 1 sets, 129 inverts, anything else keeps the style's value.
void Toggle(std::uint16_t& style, std::uint16_t bit, std::uint8_t operand) {
    if (operand == 0)
        style &= static_cast<std::uint16_t>(~bit);
    else if (operand == 1)
        style |= bit;
    else if (operand == 129)
        style ^= bit;
}

} // namespace

void ApplyParagraphModifier(ModifierLayout layout, const Modifier& modifier, ParagraphRecord& record) {
    const auto& operand = modifier.operand;
    const auto word = [&operand] { return Get16(operand, 0); };
    switch (ParagraphEffect(layout, modifier.code)) {
    case Effect::None:
        break;
    case Effect::Alignment:
        record.alignment = Get8(operand, 0);
        break;
    case Effect::NumberingLevel:
        record.numberingLevel = Get8(operand, 0);
        if (layout == ModifierLayout::Word97)
            record.listLevel = Get8(operand, 0);
        break;
    case Effect::ListIndex:
        record.listIndex = word();
        break;
    case Effect::LeftIncrease: {
        const int left = record.leftIndent + static_cast<std::int16_t>(word());
        record.leftIndent = static_cast<std::int16_t>(left < 0 ? 0 : left > 32767 ? 32767 : left);
        break;
    }
    case Effect::RightIndent:
        record.rightIndent = static_cast<std::int16_t>(word());
        break;
    case Effect::LeftIndent:
        record.leftIndent = static_cast<std::int16_t>(word());
        break;
    case Effect::FirstIndent:
        record.firstLineIndent = static_cast<std::int16_t>(word());
        break;
    case Effect::SpaceBefore:
        record.spaceBefore = word();
        break;
    case Effect::SpaceAfter:
        record.spaceAfter = word();
        break;
    case Effect::OldListData: {
        // After the length byte: the number format first, the start number at +10.
        const auto data = operand.subspan(operand.empty() ? 0 : 1);
        record.numberFormat = Get8(data, 0);
        if (data.size() >= 12)
            record.listStart = Get16(data, 10);
        break;
    }
    case Effect::NumberFormat:
        record.numberFormat = Get8(operand, 0);
        break;
    }
}

void ApplyCharacterModifier(ModifierLayout layout, const Modifier& modifier, FontRecord& font) {
    const std::uint8_t operand = Get8(modifier.operand, 0);
    const bool word97 = layout == ModifierLayout::Word97;
    const std::uint16_t code = modifier.code;
    if (code == (word97 ? 0x0800 : 65)) {
        if (operand)
            font.style |= font_style::kDeleted;
        else
            font.style &= static_cast<std::uint16_t>(~font_style::kDeleted);
    } else if (code == (word97 ? 0x0835 : 85)) {
        Toggle(font.style, font_style::kBold, operand);
    } else if (code == (word97 ? 0x0836 : 86)) {
        Toggle(font.style, font_style::kItalic, operand);
    } else if (code == (word97 ? 0x0837 : 87)) {
        Toggle(font.style, font_style::kStrike, operand);
    } else if (code == (word97 ? 0x083A : 90)) {
        Toggle(font.style, font_style::kSmallCapitals, operand);
    } else if (code == (word97 ? 0x083B : 91)) {
        Toggle(font.style, font_style::kAllCapitals, operand);
    } else if (code == (word97 ? 0x083C : 92)) {
        Toggle(font.style, font_style::kHidden, operand);
    } else if (code == (word97 ? 0x2A32 : 82)) {
        font.style &= font_style::kHidden;
        font.colour = 0;
    } else if (code == (word97 ? 0x2A33 : 83)) {
        font = FontRecord{};
    }
}

void CorrectParagraph(ParagraphRecord& record) {
    for (std::uint16_t* space : {&record.spaceBefore, &record.spaceAfter}) {
        if (*space & 0x8000)
            *space = 0;
        else if (*space > 2160)
            *space = 2160;
        if (record.isHeading() && *space < 120)
            *space = 120;
    }
    if (record.leftIndent < 0)
        record.leftIndent = 0;
    if (record.rightIndent > 0)
        record.rightIndent = 0;
}

void NoteRowModifier(ModifierLayout layout, const Modifier& modifier, RowMarks& marks) {
    const std::uint16_t code = modifier.code;
    const std::uint8_t flag = Get8(modifier.operand, 0);
    bool defines = false;
    if (layout == ModifierLayout::Word97) {
        if (code == 0x2416 || code == 0x244B)
            marks.inTable = marks.inTable || flag != 0;
        else if (code == 0x2417)
            marks.rowEnd = marks.rowEnd || flag != 0;
        else if (code >= 0x6424 && code <= 0x6427)
            marks.borders |= static_cast<std::uint8_t>(1 << (code - 0x6424));
        else if (code == 0xD608)
            defines = true;
    } else {
        const bool word2 = layout == ModifierLayout::Word2;
        if (code == 24)
            marks.inTable = marks.inTable || flag != 0;
        else if (code == 25)
            marks.rowEnd = marks.rowEnd || flag != 0;
        else if (code >= 38 && code <= 41)
            marks.borders |= static_cast<std::uint8_t>(1 << (code - 38));
        else if (word2 && code >= 30 && code <= 33)
            marks.borders |= static_cast<std::uint8_t>(1 << (code - 30));
        else if (word2 ? (code == 152 || code == 154) : code == 190)
            defines = true;
    }
    // Every generation lays the definition out alike: a 16-bit operand size, the column count,
    // then the column boundaries. One too short to hold a column, or with none, defines no row,
    // and its text stays ordinary paragraphs.
    if (!defines || Get16(modifier.operand, 0) < 6)
        return;
    const auto definition = modifier.operand.subspan(2);
    const std::uint8_t columns = Get8(definition, 0);
    if (columns == 0)
        return;
    if (columns >= kMaxColumns)
        Report(Status::Fatal, "The number of columns is corrupt");
    marks.hasDefinition = true;
    marks.columns = columns;
    marks.widths.fill(0);
    for (std::size_t i = 0; i < columns; ++i) {
        const std::int32_t left = static_cast<std::int16_t>(Get16(definition, 1 + 2 * i));
        const std::int32_t right = static_cast<std::int16_t>(Get16(definition, 1 + 2 * (i + 1)));
        marks.widths[i] = static_cast<std::uint16_t>(right - left);
    }
}

} // namespace tessarel::wordbin
