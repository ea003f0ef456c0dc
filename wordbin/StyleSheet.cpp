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

void StyleSheet::read(std::span<const std::uint8_t> bytes, ModifierLayout layout) {
    styles_.clear();
    if (bytes.size() < 4)
        return;
    const std::size_t headerLength = Get16(bytes, 0);
    const std::size_t count = std::min<std::size_t>(Get16(bytes, 2), kMaxStyles);
    const std::size_t baseSize = Get16(bytes, 4);
    const std::uint16_t defaultFont = Get16(bytes, 14);
    if (defaultFont < 256)
        defaultFont_.number = static_cast<std::uint8_t>(defaultFont);

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
    defaults.font = defaultFont_;
    styles_.assign(entries.size(), defaults);
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
                record = styles_[entry.base];
            }
            ForEachModifier(layout, entry.paragraphModifiers, [&](const Modifier& modifier) {
                ApplyParagraphModifier(layout, modifier, record);
            });
            ForEachModifier(layout, entry.characterModifiers, [&](const Modifier& modifier) {
                ApplyCharacterModifier(layout, modifier, record.font);
            });
            record.styleIndex = static_cast<std::uint16_t>(i);
            styles_[i] = record;
            built[i] = true;
            progress = true;
        }
    }
    // Styles whose base chain never ends keep the defaults.
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (!built[i])
            styles_[i].styleIndex = static_cast<std::uint16_t>(i);
}

namespace {

// The Word 1/2 style sheet: the count of standard styles, then three string tables (names,
// character properties, paragraph properties), each a 16-bit byte count that includes itself
// followed by one entry a slot (a length byte, 255 for an unused slot, and that many bytes), then
// the 16-bit slot count and two bytes a slot (next style code, base style code). Slot s holds the
// style whose code is (s - standard count) mod 256.
constexpr std::size_t kWord2Codes = 256;
constexpr std::uint8_t kUnusedSlot = 255;
constexpr std::uint8_t kFirstHeadingCode = 246; // heading 9; heading 1 is 254

// The entries of one string table at `at`, by slot; false when the table leaves the sheet or its
// entries leave the table. Unused slots get no bytes and are marked in `used`.
bool ReadWord2Table(std::span<const std::uint8_t> sheet, std::size_t& at,
                    std::vector<std::span<const std::uint8_t>>& entries, std::vector<bool>& used) {
    const std::size_t length = Get16(sheet, at);
    if (length < 2 || at + length > sheet.size())
        return false;
    const std::size_t end = at + length;
    for (std::size_t pos = at + 2; pos < end;) {
        const std::uint8_t size = sheet[pos];
        if (size == kUnusedSlot) {
            entries.emplace_back();
            used.push_back(false);
            ++pos;
            continue;
        }
        if (pos + 1 + size > end)
            return false;
        entries.push_back(sheet.subspan(pos + 1, size));
        used.push_back(true);
        pos += 1 + size;
    }
    at = end;
    return true;
}

// The font bits a Word 1/2 character record sets in its first two bytes.
void ApplyWord2Characters(std::span<const std::uint8_t> characters, FontRecord& font) {
    if (characters.empty())
        return;
    const std::uint8_t flags = characters[0];
    const bool revision = Get8(characters, 1) & 1;
    const std::pair<std::uint8_t, std::uint16_t> bits[] = {
        {1 << 0, font_style::kBold},          {1 << 1, font_style::kItalic},
        {1 << 5, font_style::kSmallCapitals}, {1 << 6, font_style::kAllCapitals},
        {1 << 7, font_style::kHidden},
    };
    for (const auto& [bit, style] : bits) {
        if (flags & bit)
            font.style |= style;
        else
            font.style &= static_cast<std::uint16_t>(~style);
    }
    // Struck-through text under revision marks is deleted text.
    const std::uint16_t strike = revision ? font_style::kDeleted : font_style::kStrike;
    font.style &= static_cast<std::uint16_t>(~(font_style::kDeleted | font_style::kStrike));
    if (flags & (1 << 2))
        font.style |= strike;
}

} // namespace

void StyleSheet::readWord2(std::span<const std::uint8_t> bytes) {
    word2_ = true;
    styles_.clear();
    defined_.clear();
    if (bytes.size() < 2)
        return;
    const std::size_t standard = Get16(bytes, 0);
    std::size_t at = 2;
    std::vector<std::span<const std::uint8_t>> names, characters, paragraphs;
    std::vector<bool> named, withCharacters, withParagraphs;
    if (!ReadWord2Table(bytes, at, names, named) || !ReadWord2Table(bytes, at, characters, withCharacters) ||
        !ReadWord2Table(bytes, at, paragraphs, withParagraphs))
        return;
    const std::size_t slots = std::min<std::size_t>(Get16(bytes, at), kWord2Codes);
    if (at + 2 + 2 * slots > bytes.size())
        return;
    const auto baseOf = [&](std::size_t slot) { return bytes[at + 2 + 2 * slot + 1]; };
    const auto slotOf = [standard](std::size_t code) { return (code + standard) % kWord2Codes; };

    std::vector<bool> defined(kWord2Codes, false);
    for (std::size_t code = 0; code < kWord2Codes; ++code) {
        const std::size_t slot = slotOf(code);
        defined[code] = slot < slots && slot < named.size() && named[slot];
    }
    std::vector<ParagraphRecord> styles(kWord2Codes);
    std::vector<int> state(kWord2Codes, 0); // 0 not built, 1 being built, 2 built
    // A style starts from its base style; a base that is missing, or a chain that comes back to
    // a style being built, starts from the defaults.
    const auto build = [&](std::size_t code, auto& self) -> const ParagraphRecord& {
        ParagraphRecord& record = styles[code];
        if (state[code] != 0)
            return record;
        state[code] = 1;
        ParagraphRecord built;
        built.font = defaultFont_;
        const std::size_t slot = slotOf(code);
        const std::size_t base = baseOf(slot);
        if (base != code && defined[base] && state[base] != 1)
            built = self(base, self);
        if (slot < characters.size())
            ApplyWord2Characters(characters[slot], built.font);
        if (code == 0)
            built.styleIndex = 0;
        else if (code >= kFirstHeadingCode && code < kUnusedSlot)
            built.styleIndex = static_cast<std::uint16_t>(255 - code);
        else
            built.styleIndex = static_cast<std::uint16_t>(10 + slot); // never a heading number
        record = built;
        state[code] = 2;
        return record;
    };
    for (std::size_t code = 0; code < kWord2Codes; ++code)
        if (defined[code])
            build(code, build);
    styles_ = std::move(styles);
    defined_ = std::move(defined);
}

ParagraphRecord StyleSheet::standardWord2Style() const {
    if (!defined_.empty() && defined_[0])
        return styles_[0];
    ParagraphRecord record;
    record.font = defaultFont_;
    record.styleIndex = 0;
    return record;
}

ParagraphRecord StyleSheet::recordFor(std::uint16_t styleIndex) const {
    if (word2_)
        return styleIndex < defined_.size() && defined_[styleIndex] ? styles_[styleIndex]
                                                                    : standardWord2Style();
    if (styleIndex < styles_.size())
        return styles_[styleIndex];
    ParagraphRecord record;
    record.font = defaultFont_;
    record.styleIndex = styleIndex;
    return record;
}

} // namespace tessarel::wordbin
