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
    void Run();

private:
    void WalkList(TextList list);
    void Handle(std::uint32_t value, const RawCharacter& character, TextList list);
    void CollectInRow(std::uint32_t value, const RawCharacter& character, TextList list);
    void StartParagraph(const ParagraphRecord& record);
    std::string NoteText(std::uint32_t value, TextList list);
    void AppendCodePoint(std::uint32_t value, std::string& text, int* columns);
    void AppendText(const std::string& text);
    void ExpandTab();
    void EndLine(bool writeEmpty);
    std::size_t RoomLeft() const; // bytes the output may still take
    void WriteLine(const std::string& text);
    void WriteSeparator();
    void WriteRow();
    const ParagraphRecord& RecordAt(std::uint32_t streamOffset);
    bool DropsCharacter(const ParagraphRecord& record) const;
    // The character as the text shows it: nothing when it is hidden or deleted text that the
    // settings drop, in capitals when its font says so.
    std::optional<std::uint32_t> Shown(std::uint32_t value, const ParagraphRecord& record) const;

    const Document& m_document;
    const ConversionSettings m_settings;
    std::string& m_output;
    std::uint64_t m_outputLimit;

    std::string m_line;
    long long m_lineWidth = 0; // thousandths of a point
    bool m_lineHasText = false;

    bool m_skippingField = false;
    bool m_paragraphStart = true;
    const ParagraphRun* m_run = nullptr;
    ParagraphRecord m_defaultRecord;

    std::array<unsigned, 9> m_headingCounters{};
    const SectionRecord* m_section;

    unsigned m_footnoteNumber = 1;
    unsigned m_endnoteNumber = 1;
    bool m_sawFootnoteReference = false;
    bool m_sawEndnoteReference = false;

    bool m_runStarts = false;                // a style run started since the last character kept
    const RowRecord* m_pendingRow = nullptr; // opens at the next character kept
    const RowRecord* m_row = nullptr;
    std::string m_rowText; // cells end with 7, line ends within a cell are "\n"
    bool m_afterRow = false;
};

} // namespace tessarel::wordbin
