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
    : document_(document), settings_(settings), output_(output),
      outputLimit_(OutputLimit(document.source.size())), section_(&document.formatting.firstSection()) {
    output_.reserve(std::min<std::uint64_t>(document.source.size(), outputLimit_));
}

void TextWalk::run() {
    headingCounters_.fill(0);
    walkList(kMainText);
    if (sawFootnoteReference_) {
        writeSeparator();
        footnoteNumber_ = 1;
    }
    walkList(kFootnotes);
    if (sawEndnoteReference_) {
        writeSeparator();
        endnoteNumber_ = 1;
    }
    walkList(kEndnotes);
    for (TextList list : {kTextBoxes, kHeaderTextBoxes}) {
        if (document_.text.list(list).empty())
            continue;
        writeSeparator();
        walkList(list);
    }
}

void TextWalk::walkList(TextList list) {
    skippingField_ = false;
    paragraphStart_ = true;
    row_ = nullptr;
    afterRow_ = false;
    rowText_.clear();
    pendingRow_ = nullptr;
    runStarts_ = false;
    CharacterReader reader(document_.text.list(list), document_.source);
    RawCharacter character;
    while (reader.next(character)) {
        // A style run starts a paragraph, and may start a table row, even where its first
        // characters are field marks or translate to nothing: the first character kept opens them.
        recordAt(character.streamOffset);
        if (run_ && run_->start == character.streamOffset) {
            runStarts_ = true;
            if (!row_ && !pendingRow_)
                pendingRow_ = document_.formatting.rowStartingAt(character.streamOffset);
        }
        // Field instructions lie between 0x13 and 0x14; the result after 0x14 is kept.
        if (character.raw == 0x13) {
            skippingField_ = true;
            continue;
        }
        if (character.raw == 0x14 || character.raw == 0x15) {
            skippingField_ = false;
            continue;
        }
        if (skippingField_)
            continue;
        const NoteKind kind =
            character.raw == 2 ? document_.formatting.noteKindAt(character.cp) : NoteKind::Unknown;
        const std::uint32_t value = Translate(character.raw, document_.version, document_.oldMacintosh, kind);
        if (value != control::kNone)
            handle(value, character, list);
    }
    if (lineHasText_)
        writeLine(line_);
    line_.clear();
    lineWidth_ = 0;
    lineHasText_ = false;
}

const ParagraphRecord& TextWalk::recordAt(std::uint32_t streamOffset) {
    if (run_ && streamOffset >= run_->start && streamOffset < run_->end)
        return run_->record;
    run_ = document_.formatting.runAt(streamOffset);
    return run_ ? run_->record : defaultRecord_;
}

bool TextWalk::dropsCharacter(const ParagraphRecord& record) const {
    return (settings_.hideHiddenText && (record.font.style & font_style::kHidden)) ||
           (settings_.removeDeletedText && (record.font.style & font_style::kDeleted));
}

std::optional<std::uint32_t> TextWalk::shownCharacter(std::uint32_t value,
                                                      const ParagraphRecord& record) const {
    if (dropsCharacter(record))
        return std::nullopt;
    return (record.font.style & font_style::kAllCapitals) ? UpperCase(value) : value;
}

void TextWalk::handle(std::uint32_t value, const RawCharacter& character, TextList list) {
    const ParagraphRecord& record = recordAt(character.streamOffset);
    if (runStarts_) {
        runStarts_ = false;
        paragraphStart_ = true;
    }
    if (pendingRow_) {
        const RowRecord* row = pendingRow_;
        pendingRow_ = nullptr;
        // A row whose every character was dropped is over before anything opens it.
        if (!row_ && character.streamOffset <= row->end) {
            if (lineHasText_ || !line_.empty())
                endLine(false);
            row_ = row;
            rowText_.clear();
            afterRow_ = false;
        }
    }
    if (row_) {
        collectInRow(value, character, list);
        return;
    }
    if (afterRow_ && !IsLineBreakKind(value)) {
        afterRow_ = false;
        endLine(true);
        if (record.font.size >= 10)
            writeLine({});
    }
    if (paragraphStart_ && value != control::kParagraphEnd) {
        paragraphStart_ = false;
        startParagraph(record);
    }

    switch (value) {
    case control::kCellEnd:
        appendText(" |");
        return;
    case control::kTab:
        expandTab();
        return;
    case control::kLineBreak:
        endLine(true);
        return;
    case control::kParagraphEnd:
        endLine(true);
        if (record.spaceAfter * 50u >= kBlankSpacing)
            writeLine({});
        paragraphStart_ = true;
        return;
    case control::kPageBreak:
    case control::kColumnBreak:
        endLine(false);
        if (record.spaceAfter * 50u >= kBlankSpacing)
            writeLine({});
        if (const SectionRecord* next = document_.formatting.sectionStartingAt(character.cp))
            section_ = next;
        return;
    case control::kPicture:
        return; // a picture has no text to search
    case control::kFootnoteReference:
    case control::kEndnoteReference:
    case control::kUnknownNoteReference:
        appendText(noteText(value, list));
        return;
    default:
        break;
    }
    const std::optional<std::uint32_t> shown = shownCharacter(value, record);
    if (!shown)
        return;
    int columns = 0;
    appendCodePoint(*shown, line_, &columns);
    lineWidth_ += static_cast<long long>(columns) * kColumnWidth;
    if (*shown != ' ')
        lineHasText_ = true;
}

void TextWalk::collectInRow(std::uint32_t value, const RawCharacter& character, TextList list) {
    if (character.streamOffset == row_->end) {
        writeRow();
        row_ = nullptr;
        rowText_.clear();
        afterRow_ = true;
        paragraphStart_ = true;
        return;
    }
    // Fast-saved documents may mark the row end only in the piece's modifiers: the row is dropped.
    if (character.modifier & 1) {
        const std::size_t group = character.modifier / 2;
        if (group < document_.modifierGroups.size() &&
            ModifierGroupEndsRow(document_.modifierGroups[group], document_.version)) {
            row_ = nullptr;
            rowText_.clear();
            afterRow_ = true;
            paragraphStart_ = true;
            return;
        }
    }
    const ParagraphRecord& record = recordAt(character.streamOffset);
    switch (value) {
    case control::kCellEnd:
        rowText_.push_back('\x07');
        return;
    case control::kTab:
        rowText_.push_back(' ');
        return;
    case control::kLineBreak:
    case control::kParagraphEnd:
    case control::kPageBreak:
    case control::kColumnBreak:
        rowText_.push_back('\n');
        return;
    case control::kPicture:
        return;
    case control::kFootnoteReference:
    case control::kEndnoteReference:
    case control::kUnknownNoteReference:
        rowText_ += noteText(value, list);
        return;
    default:
        break;
    }
    if (const std::optional<std::uint32_t> shown = shownCharacter(value, record))
        appendCodePoint(*shown, rowText_, nullptr);
}

void TextWalk::startParagraph(const ParagraphRecord& record) {
    if (record.spaceBefore * 50u >= kBlankSpacing)
        writeLine({});
    if (!record.isHeading())
        return;
    const int level = record.styleIndex; // 1..9
    ++headingCounters_[level - 1];
    for (int deeper = level; deeper < 9; ++deeper)
        headingCounters_[deeper] = 0;
    for (int shallower = 0; shallower < level - 1; ++shallower)
        if (headingCounters_[shallower] == 0)
            headingCounters_[shallower] = 1;
    if (record.numberingLevel < 1 || record.numberingLevel > 9)
        return;
    const bool showPrevious = (section_->needPreviousLevels >> (level - 1)) & 1;
    std::string number;
    for (int k = showPrevious ? 1 : level; k <= level; ++k) {
        if (number.size() >= kMaxNumberText)
            return; // the whole number text is dropped
        number += FormatNumber(headingCounters_[k - 1], section_->numberFormats[k - 1]);
        number += k < level ? "." : " ";
    }
    appendText(number);
}

std::string TextWalk::noteText(std::uint32_t value, TextList list) {
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
            sawFootnoteReference_ = true;
        char text[24];
        std::snprintf(text, sizeof text, "[%u]", footnoteNumber_++);
        return text;
    }
    if (list == kMainText)
        sawEndnoteReference_ = true;
    return "[" + Roman(endnoteNumber_++, false) + "]";
}

void TextWalk::appendCodePoint(std::uint32_t value, std::string& text, int* columns) {
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

void TextWalk::appendText(const std::string& text) {
    line_ += text;
    lineWidth_ += static_cast<long long>(DisplayWidth(text)) * kColumnWidth;
    if (HasNonSpace(text))
        lineHasText_ = true;
}

void TextWalk::expandTab() {
    if (settings_.paragraphBreak == 0) {
        appendText("\t");
        return;
    }
    const long long tab = document_.formatting.defaultTabWidth ? document_.formatting.defaultTabWidth : 36000;
    const long long target = (lineWidth_ / tab + 1) * tab;
    // A huge default tab stop repeated would otherwise grow one line without bound.
    if (line_.size() > roomLeft())
        return;
    do {
        line_.push_back(' ');
        lineWidth_ += kColumnWidth;
    } while (lineWidth_ < target);
}

std::size_t TextWalk::roomLeft() const {
    return output_.size() < outputLimit_ ? static_cast<std::size_t>(outputLimit_ - output_.size()) : 0;
}

void TextWalk::endLine(bool writeEmpty) {
    if (lineHasText_)
        writeLine(line_);
    else if (writeEmpty)
        writeLine({});
    line_.clear();
    lineWidth_ = 0;
    lineHasText_ = false;
}

void TextWalk::writeLine(const std::string& text) {
    // Padded table cells can multiply a hostile document's size many times over; the text stops
    // growing at a bound no real document reaches.
    if (output_.size() + text.size() + 2 > outputLimit_)
        return;
    // The line end of the text mode the output was always written in: CR LF. The reading run
    // relies on it, since a carriage return ends a fragment and the text page breaks lines there.
    output_ += "\r\n";
    output_ += text;
}

void TextWalk::writeSeparator() {
    endLine(false);
    writeLine(std::string(kSeparatorLength, '-'));
}

void TextWalk::writeRow() {
    std::vector<std::string> lines;
    if (!LayOutRow(rowText_, *row_, settings_.paragraphBreak, roomLeft(), lines)) {
        Report(Status::StepFails, "Skipping an unmatched table row");
        return;
    }
    for (const std::string& line : lines)
        writeLine(line);
}

} // namespace tessarel::wordbin
