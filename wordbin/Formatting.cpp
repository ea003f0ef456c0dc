#include "wordbin/Formatting.h"

#include <algorithm>

namespace tessarel::wordbin {

void Formatting::finish() {
    std::stable_sort(runs.begin(), runs.end(),
                     [](const ParagraphRun& a, const ParagraphRun& b) { return a.start < b.start; });
    std::stable_sort(rows.begin(), rows.end(),
                     [](const RowRecord& a, const RowRecord& b) { return a.first < b.first; });
    std::stable_sort(sections.begin(), sections.end(),
                     [](const SectionRecord& a, const SectionRecord& b) { return a.cp < b.cp; });
    std::sort(footnoteReferences.begin(), footnoteReferences.end());
    std::sort(endnoteReferences.begin(), endnoteReferences.end());
}

const ParagraphRun* Formatting::runAt(std::uint32_t streamOffset) const {
    auto after =
        std::upper_bound(runs.begin(), runs.end(), streamOffset,
                         [](std::uint32_t value, const ParagraphRun& run) { return value < run.start; });
    if (after == runs.begin())
        return nullptr;
    const ParagraphRun& run = *(after - 1);
    return streamOffset < run.end ? &run : nullptr;
}

const RowRecord* Formatting::rowStartingAt(std::uint32_t streamOffset) const {
    auto found =
        std::lower_bound(rows.begin(), rows.end(), streamOffset,
                         [](const RowRecord& row, std::uint32_t value) { return row.first < value; });
    return found != rows.end() && found->first == streamOffset ? &*found : nullptr;
}

const SectionRecord* Formatting::sectionStartingAt(std::uint32_t cp) const {
    for (std::uint32_t at : {cp, cp + 1}) {
        auto found =
            std::lower_bound(sections.begin(), sections.end(), at,
                             [](const SectionRecord& s, std::uint32_t value) { return s.cp < value; });
        if (found != sections.end() && found->cp == at)
            return &*found;
    }
    return nullptr;
}

const SectionRecord& Formatting::firstSection() const {
    return sections.empty() ? defaultSection_ : sections.front();
}

NoteKind Formatting::noteKindAt(std::uint32_t cp) const {
    const bool footnotes = !footnoteReferences.empty();
    const bool endnotes = !endnoteReferences.empty();
    if (footnotes && !endnotes)
        return NoteKind::Footnote;
    if (endnotes && !footnotes)
        return NoteKind::Endnote;
    if (footnotes && std::binary_search(footnoteReferences.begin(), footnoteReferences.end(), cp))
        return NoteKind::Footnote;
    if (endnotes && std::binary_search(endnoteReferences.begin(), endnoteReferences.end(), cp))
        return NoteKind::Endnote;
    return NoteKind::Unknown;
}

} // namespace tessarel::wordbin
