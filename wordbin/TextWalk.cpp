#include "wordbin/TextWalk.h"

#include "wordbin/CharTranslation.h"
#include "wordbin/Convert.h"
#include "wordbin/NumberFormats.h"
#include "wordbin/PropertyModifiers.h"
#include "wordbin/Report.h"
#include "wordbin/TableRows.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace tessarel::wordbin {
namespace {

constexpr unsigned kBlankSpacing = 6000; // 6 points of spacing make an empty line
constexpr std::size_t kMaxNumberText = 95;
constexpr std::size_t kSeparatorLength = 23;
constexpr std::uint64_t kMinimumOutputLimit = 1 << 20;
constexpr std::uint64_t kOutputPerSourceByte = 32;

std::uint64_t OutputLimit(std::uint64_t sourceSize) {
    return std::min<std::uint64_t>(
        kMaxConvertedBytes, std::max<std::uint64_t>(kMinimumOutputLimit, kOutputPerSourceByte * sourceSize));
}

bool IsLineBreakKind(std::uint32_t value) {
    return value == control::kLineBreak || value == control::kParagraphEnd || value == control::kPageBreak ||
           value == control::kColumnBreak;
}

bool HasNonSpace(std::string_view text) {
    return text.find_first_not_of(' ') != std::string_view::npos;
}

} // namespace

ConversionSettings CurrentSettings() {
    ConversionSettings settings;
    if (const char* columns = std::getenv("COLUMNS")) {
        char* end = nullptr;
        const long value = std::strtol(columns, &end, 10);
        if (*columns != '\0' && end && *end == '\0') {
            const long width = value - 4;
            settings.paragraphBreak = static_cast<int>(width < 45 ? 45 : width > 145 ? 145 : width);
        }
    }
    return settings;
}

TextWalk::TextWalk(const Document& document, const ConversionSettings& settings, std::string& output)
    : m_document(document), m_settings(settings), m_output(output),
      m_outputLimit(OutputLimit(document.source.Size())), m_section(&document.formatting.FirstSection()) {
    m_output.reserve(std::min<std::uint64_t>(document.source.Size(), m_outputLimit));
}

void TextWalk::Run() {
    m_headingCounters.fill(0);
    WalkList(kMainText);
    if (m_sawFootnoteReference) {
        WriteSeparator();
        m_footnoteNumber = 1;
    }
    WalkList(kFootnotes);
    if (m_sawEndnoteReference) {
        WriteSeparator();
        m_endnoteNumber = 1;
    }
    WalkList(kEndnotes);
    for (TextList list : {kTextBoxes, kHeaderTextBoxes}) {
        if (m_document.text.List(list).empty())
            continue;
        WriteSeparator();
        WalkList(list);
    }
}

void TextWalk::WalkList(TextList list) {
    m_skippingField = false;
    m_paragraphStart = true;
    m_row = nullptr;
    m_afterRow = false;
    m_rowText.clear();
    m_pendingRow = nullptr;
    m_runStarts = false;
    CharacterReader reader(m_document.text.List(list), m_document.source);
    RawCharacter character;
    while (reader.Next(character)) {
        // A style run starts a paragraph, and may start a table row, even where its first
        // characters are field marks or translate to nothing: the first character kept opens them.
        RecordAt(character.streamOffset);
        if (m_run && m_run->start == character.streamOffset) {
            m_runStarts = true;
            if (!m_row && !m_pendingRow)
                m_pendingRow = m_document.formatting.RowStartingAt(character.streamOffset);
        }
        // Field instructions lie between 0x13 and 0x14; the result after 0x14 is kept.
        if (character.raw == 0x13) {
            m_skippingField = true;
            continue;
        }
        if (character.raw == 0x14 || character.raw == 0x15) {
            m_skippingField = false;
            continue;
        }
        if (m_skippingField)
            continue;
        const NoteKind kind =
            character.raw == 2 ? m_document.formatting.NoteKindAt(character.cp) : NoteKind::Unknown;
        const std::uint32_t value =
            Translate(character.raw, m_document.version, m_document.oldMacintosh, kind);
        if (value != control::kNone)
            Handle(value, character, list);
    }
    if (m_lineHasText)
        WriteLine(m_line);
    m_line.clear();
    m_lineWidth = 0;
    m_lineHasText = false;
}

const ParagraphRecord& TextWalk::RecordAt(std::uint32_t streamOffset) {
    if (m_run && streamOffset >= m_run->start && streamOffset < m_run->end)
        return m_run->record;
    m_run = m_document.formatting.RunAt(streamOffset);
    return m_run ? m_run->record : m_defaultRecord;
}

bool TextWalk::DropsCharacter(const ParagraphRecord& record) const {
    return (m_settings.hideHiddenText && (record.font.style & font_style::kHidden)) ||
           (m_settings.removeDeletedText && (record.font.style & font_style::kDeleted));
}

std::optional<std::uint32_t> TextWalk::Shown(std::uint32_t value, const ParagraphRecord& record) const {
    if (DropsCharacter(record))
        return std::nullopt;
    return (record.font.style & font_style::kAllCapitals) ? UpperCase(value) : value;
}

void TextWalk::Handle(std::uint32_t value, const RawCharacter& character, TextList list) {
    const ParagraphRecord& record = RecordAt(character.streamOffset);
    if (m_runStarts) {
        m_runStarts = false;
        m_paragraphStart = true;
    }
    if (m_pendingRow) {
        const RowRecord* row = m_pendingRow;
        m_pendingRow = nullptr;
        // A row whose every character was dropped is over before anything opens it.
        if (!m_row && character.streamOffset <= row->end) {
            if (m_lineHasText || !m_line.empty())
                EndLine(false);
            m_row = row;
            m_rowText.clear();
            m_afterRow = false;
        }
    }
    if (m_row) {
        CollectInRow(value, character, list);
        return;
    }
    if (m_afterRow && !IsLineBreakKind(value)) {
        m_afterRow = false;
        EndLine(true);
        if (record.font.size >= 10)
            WriteLine({});
    }
    if (m_paragraphStart && value != control::kParagraphEnd) {
        m_paragraphStart = false;
        StartParagraph(record);
    }

    switch (value) {
    case control::kCellEnd:
        AppendText(" |");
        return;
    case control::kTab:
        ExpandTab();
        return;
    case control::kLineBreak:
        EndLine(true);
        return;
    case control::kParagraphEnd:
        EndLine(true);
        if (record.spaceAfter * 50u >= kBlankSpacing)
            WriteLine({});
        m_paragraphStart = true;
        return;
    case control::kPageBreak:
    case control::kColumnBreak:
        EndLine(false);
        if (record.spaceAfter * 50u >= kBlankSpacing)
            WriteLine({});
        if (const SectionRecord* next = m_document.formatting.SectionStartingAt(character.cp))
            m_section = next;
        return;
    case control::kPicture:
        return; // a picture has no text to search
    case control::kFootnoteReference:
    case control::kEndnoteReference:
    case control::kUnknownNoteReference:
        AppendText(NoteText(value, list));
        return;
    default:
        break;
    }
    const std::optional<std::uint32_t> shown = Shown(value, record);
    if (!shown)
        return;
    int columns = 0;
    AppendCodePoint(*shown, m_line, &columns);
    m_lineWidth += static_cast<long long>(columns) * kColumnWidth;
    if (*shown != ' ')
        m_lineHasText = true;
}

void TextWalk::CollectInRow(std::uint32_t value, const RawCharacter& character, TextList list) {
    if (character.streamOffset == m_row->end) {
        WriteRow();
        m_row = nullptr;
        m_rowText.clear();
        m_afterRow = true;
        m_paragraphStart = true;
        return;
    }
    // Fast-saved documents may mark the row end only in the piece's modifiers: the row is dropped.
    if (character.modifier & 1) {
        const std::size_t group = character.modifier / 2;
        if (group < m_document.modifierGroups.size() &&
            ModifierGroupEndsRow(m_document.modifierGroups[group], m_document.version)) {
            m_row = nullptr;
            m_rowText.clear();
            m_afterRow = true;
            m_paragraphStart = true;
            return;
        }
    }
    const ParagraphRecord& record = RecordAt(character.streamOffset);
    switch (value) {
    case control::kCellEnd:
        m_rowText.push_back('\x07');
        return;
    case control::kTab:
        m_rowText.push_back(' ');
        return;
    case control::kLineBreak:
    case control::kParagraphEnd:
    case control::kPageBreak:
    case control::kColumnBreak:
        m_rowText.push_back('\n');
        return;
    case control::kPicture:
        return;
    case control::kFootnoteReference:
    case control::kEndnoteReference:
    case control::kUnknownNoteReference:
        m_rowText += NoteText(value, list);
        return;
    default:
        break;
    }
    if (const std::optional<std::uint32_t> shown = Shown(value, record))
        AppendCodePoint(*shown, m_rowText, nullptr);
}

void TextWalk::StartParagraph(const ParagraphRecord& record) {
    if (record.spaceBefore * 50u >= kBlankSpacing)
        WriteLine({});
    if (!record.IsHeading())
        return;
    const int level = record.styleIndex; // 1..9
    ++m_headingCounters[level - 1];
    for (int deeper = level; deeper < 9; ++deeper)
        m_headingCounters[deeper] = 0;
    for (int shallower = 0; shallower < level - 1; ++shallower)
        if (m_headingCounters[shallower] == 0)
            m_headingCounters[shallower] = 1;
    if (record.numberingLevel < 1 || record.numberingLevel > 9)
        return;
    const bool showPrevious = (m_section->needPreviousLevels >> (level - 1)) & 1;
    std::string number;
    for (int k = showPrevious ? 1 : level; k <= level; ++k) {
        if (number.size() >= kMaxNumberText)
            return; // the whole number text is dropped
        number += FormatNumber(m_headingCounters[k - 1], m_section->numberFormats[k - 1]);
        number += k < level ? "." : " ";
    }
    AppendText(number);
}

std::string TextWalk::NoteText(std::uint32_t value, TextList list) {
    if (value == control::kUnknownNoteReference) {
        if (list == kFootnotes)
            value = control::kFootnoteReference;
        else if (list == kEndnotes)
            value = control::kEndnoteReference;
        else
            return "[?]";
    }
    if (value == control::kFootnoteReference) {
        if (list == kMainText)
            m_sawFootnoteReference = true;
        char text[24];
        std::snprintf(text, sizeof text, "[%u]", m_footnoteNumber++);
        return text;
    }
    if (list == kMainText)
        m_sawEndnoteReference = true;
    return "[" + Roman(m_endnoteNumber++, false) + "]";
}

void TextWalk::AppendCodePoint(std::uint32_t value, std::string& text, int* columns) {
    if (value < 0x80) {
        text.push_back(static_cast<char>(value));
        if (columns)
            *columns = value >= 0x20 && value < 0x7F ? 1 : 0;
        return;
    }
    char encoded[4];
    const std::size_t length = Encode(value, encoded, sizeof encoded);
    if (length == 0)
        return;
    text.append(encoded, length);
    if (columns) {
        const int width = CodePointWidth(value);
        *columns = width > 0 ? width : 0;
    }
}

void TextWalk::AppendText(const std::string& text) {
    m_line += text;
    m_lineWidth += static_cast<long long>(DisplayWidth(text)) * kColumnWidth;
    if (HasNonSpace(text))
        m_lineHasText = true;
}

void TextWalk::ExpandTab() {
    if (m_settings.paragraphBreak == 0) {
        AppendText("\t");
        return;
    }
    const long long tab =
        m_document.formatting.defaultTabWidth ? m_document.formatting.defaultTabWidth : 36000;
    const long long target = (m_lineWidth / tab + 1) * tab;
    // A huge default tab stop repeated would otherwise grow one line without bound.
    if (m_line.size() > RoomLeft())
        return;
    do {
        m_line.push_back(' ');
        m_lineWidth += kColumnWidth;
    } while (m_lineWidth < target);
}

std::size_t TextWalk::RoomLeft() const {
    return m_output.size() < m_outputLimit ? static_cast<std::size_t>(m_outputLimit - m_output.size()) : 0;
}

void TextWalk::EndLine(bool writeEmpty) {
    if (m_lineHasText)
        WriteLine(m_line);
    else if (writeEmpty)
        WriteLine({});
    m_line.clear();
    m_lineWidth = 0;
    m_lineHasText = false;
}

void TextWalk::WriteLine(const std::string& text) {
    // Padded table cells can multiply a hostile document's size many times over; the text stops
    // growing at a bound no real document reaches.
    if (m_output.size() + text.size() + 2 > m_outputLimit)
        return;
    // The line end of the text mode the output was always written in: CR LF. The reading run
    // relies on it, since a carriage return ends a fragment and the text page breaks lines there.
    m_output += "\r\n";
    m_output += text;
}

void TextWalk::WriteSeparator() {
    EndLine(false);
    WriteLine(std::string(kSeparatorLength, '-'));
}

void TextWalk::WriteRow() {
    std::vector<std::string> lines;
    if (!LayOutRow(m_rowText, *m_row, m_settings.paragraphBreak, RoomLeft(), lines)) {
        Report(Status::StepFails, "Skipping an unmatched table row");
        return;
    }
    for (const std::string& line : lines)
        WriteLine(line);
}

} // namespace tessarel::wordbin
