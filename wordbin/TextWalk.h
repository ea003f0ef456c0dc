#pragma once
// Walks the located text list by list and writes it as UTF-8 lines, each line written as a line
// end followed by its text.

#include "wordbin/Document.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace tessarel::wordbin {

struct ConversionSettings {
    int paragraphBreak = 76; // non-zero: tabs become spaces; also the basis of table column widths
    bool hideHiddenText = true;
    bool removeDeletedText = true;
};

// The settings every conversion starts from, with `COLUMNS` applied.
ConversionSettings CurrentSettings();

class TextWalk {
public:
    TextWalk(const Document& document, const ConversionSettings& settings, std::string& output);
    // Main text, footnotes, endnotes, text boxes, header text boxes.
    void run();

private:
    void walkList(TextList list);
    void handle(std::uint32_t value, const RawCharacter& character, TextList list);
    void collectInRow(std::uint32_t value, const RawCharacter& character, TextList list);
    void startParagraph(const ParagraphRecord& record);
    std::string noteText(std::uint32_t value, TextList list);
    void appendCodePoint(std::uint32_t value, std::string& text, int* columns);
    void appendText(const std::string& text);
    void expandTab();
    void endLine(bool writeEmpty);
    std::size_t roomLeft() const; // bytes the output may still take
    void writeLine(const std::string& text);
    void writeSeparator();
    void writeRow();
    const ParagraphRecord& recordAt(std::uint32_t streamOffset);
    bool dropsCharacter(const ParagraphRecord& record) const;
    // The character as the text shows it: nothing when it is hidden or deleted text that the
    // settings drop, in capitals when its font says so.
    std::optional<std::uint32_t> shownCharacter(std::uint32_t value, const ParagraphRecord& record) const;

    const Document& document_;
    const ConversionSettings settings_;
    std::string& output_;
    std::uint64_t outputLimit_;

    std::string line_;
    long long lineWidth_ = 0; // thousandths of a point
    bool lineHasText_ = false;

    bool skippingField_ = false;
    bool paragraphStart_ = true;
    const ParagraphRun* run_ = nullptr;
    ParagraphRecord defaultRecord_;

    std::array<unsigned, 9> headingCounters_{};
    const SectionRecord* section_;

    unsigned footnoteNumber_ = 1;
    unsigned endnoteNumber_ = 1;
    bool sawFootnoteReference_ = false;
    bool sawEndnoteReference_ = false;

    bool runStarts_ = false;                // a style run started since the last character kept
    const RowRecord* pendingRow_ = nullptr; // opens at the next character kept
    const RowRecord* row_ = nullptr;
    std::string rowText_; // cells end with 7, line ends within a cell are "\n"
    bool afterRow_ = false;
};

} // namespace tessarel::wordbin
