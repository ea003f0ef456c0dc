#include "wordbin/StyleSheet.h"

#include "wordbin/ModifierEffects.h"
#include "wordbin/SourceFile.h"

namespace tessarel::wordbin {
namespace {

constexpr std::uint16_t kNoBase1 = 4094;
constexpr std::uint16_t kNoBase2 = 4095;
constexpr std::size_t kMaxStyles = 4096; // style indexes are 12 bits wide

constexpr int kParagraphStyle = 1;
constexpr int kCharacterStyle = 2;

struct StyleEntry {
    std::span<const std::uint8_t> bytes; // empty: an empty style
    int kind = 0;
    std::uint16_t base = kNoBase2;
    std::span<const std::uint8_t> paragraphModifiers;
    std::span<const std::uint8_t> characterModifiers;
};

std::size_t Even(std::size_t at) {
    return at + (at & 1);
}

// A property group: a 16-bit length, then its bytes; empty when it leaves the entry.
std::span<const std::uint8_t> Group(std::span<const std::uint8_t> entry, std::size_t at, std::size_t& next) {
    const std::size_t length = Get16(entry, at);
    next = at + 2 + length;
    if (at + 2 > entry.size() || length > entry.size() - at - 2)
        return {};
    return entry.subspan(at + 2, length);
}

StyleEntry ParseEntry(std::span<const std::uint8_t> entry, std::size_t baseSize, ModifierLayout layout) {
    StyleEntry style;
    style.bytes = entry;
    if (entry.empty())
        return style;
    const std::uint16_t kindAndBase = Get16(entry, 2);
    style.kind = kindAndBase & 0xF;
    style.base = kindAndBase >> 4;
    const int groups = Get16(entry, 4) & 0xF;
    std::size_t at;
    if (layout == ModifierLayout::Word97)
        at = baseSize + 2 + (Get16(entry, baseSize) + 1u) * 2; // count, UTF-16 name, terminator
    else
        at = baseSize + 1 + Get8(entry, baseSize) + 1u; // length byte, 8-bit name, terminator
    at = Even(at);
    std::size_t next = at;
    if (style.kind == kParagraphStyle && groups >= 1) {
        const auto papx = Group(entry, at, next);
        // The paragraph group starts with the style index, then its modifiers.
        if (papx.size() >= 2)
            style.paragraphModifiers = papx.subspan(2);
        if (groups >= 2)
            style.characterModifiers = Group(entry, Even(next), next);
    } else if (style.kind == kCharacterStyle && groups >= 1) {
        style.characterModifiers = Group(entry, at, next);
    }
    return style;
}

} // namespace

void StyleSheet::Read(std::span<const std::uint8_t> bytes, ModifierLayout layout) {
    m_styles.clear();
    if (bytes.size() < 4)
        return;
    const std::size_t headerLength = Get16(bytes, 0);
    const std::size_t count = std::min<std::size_t>(Get16(bytes, 2), kMaxStyles);
    const std::size_t baseSize = Get16(bytes, 4);
    const std::uint16_t defaultFont = Get16(bytes, 14);
    if (defaultFont < 256)
        m_defaultFont.number = static_cast<std::uint8_t>(defaultFont);

    std::vector<StyleEntry> entries;
    std::size_t at = headerLength + 2;
    for (std::size_t i = 0; i < count && at + 2 <= bytes.size(); ++i) {
        const std::size_t length = Get16(bytes, at);
        if (length > bytes.size() - at - 2)
            break;
        entries.push_back(ParseEntry(bytes.subspan(at + 2, length), baseSize, layout));
        at += 2 + length;
    }

    ParagraphRecord defaults;
    defaults.font = m_defaultFont;
    m_styles.assign(entries.size(), defaults);
    std::vector<bool> built(entries.size(), false);
    // Passes until no more styles can be built: a style needs its base style built first.
    for (bool progress = true; progress;) {
        progress = false;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (built[i])
                continue;
            const StyleEntry& entry = entries[i];
            ParagraphRecord record = defaults;
            const bool noBase = entry.bytes.empty() || entry.base == kNoBase1 || entry.base == kNoBase2;
            if (!noBase) {
                if (entry.base >= entries.size() || !built[entry.base])
                    continue;
                record = m_styles[entry.base];
            }
            ForEachModifier(layout, entry.paragraphModifiers, [&](const Modifier& modifier) {
                ApplyParagraphModifier(layout, modifier, record);
            });
            ForEachModifier(layout, entry.characterModifiers, [&](const Modifier& modifier) {
                ApplyCharacterModifier(layout, modifier, record.font);
            });
            record.styleIndex = static_cast<std::uint16_t>(i);
            m_styles[i] = record;
            built[i] = true;
            progress = true;
        }
    }
    // Styles whose base chain never ends keep the defaults.
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (!built[i])
            m_styles[i].styleIndex = static_cast<std::uint16_t>(i);
}

ParagraphRecord StyleSheet::RecordFor(std::uint16_t styleIndex) const {
    if (styleIndex < m_styles.size())
        return m_styles[styleIndex];
    ParagraphRecord record;
    record.font = m_defaultFont;
    record.styleIndex = styleIndex;
    return record;
}

} // namespace tessarel::wordbin
