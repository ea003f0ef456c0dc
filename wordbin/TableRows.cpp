#include "wordbin/TableRows.h"

#include "wordbin/CharTranslation.h"

#include <algorithm>
#include <string_view>

namespace tessarel::wordbin {
namespace {

constexpr std::size_t kMaxCells = 31;

// One display character of a UTF-8 text: its bytes and columns.
struct Glyph {
    std::size_t length;
    int columns;
};

Glyph GlyphAt(std::string_view text, std::size_t at) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (at + length > text.size())
        length = text.size() - at;
    return {length, DisplayWidth(text.substr(at, length))};
}

// The row's cells, without the marks that end the row: a cell mark or line end, then a line end,
// then a cell mark.
std::vector<std::string> SplitCells(const std::string& rowText) {
    std::string_view text = rowText;
    if (!text.empty() && (text.back() == '\x07' || text.back() == '\n'))
        text.remove_suffix(1);
    if (!text.empty() && text.back() == '\n')
        text.remove_suffix(1);
    if (!text.empty() && text.back() == '\x07')
        text.remove_suffix(1);
    std::vector<std::string> cells(1);
    for (char c : text) {
        if (c == '\x07') {
            if (cells.size() == kMaxCells)
                break;
            cells.emplace_back();
        } else {
            cells.back().push_back(c);
        }
    }
    return cells;
}

// The display columns of a cell of `width` (from the row definition) in a text of paragraphBreak
// columns; one column is the cell's border.
int CellColumns(int width, int paragraphBreak) {
    const double scaled = width * 50.0 * (paragraphBreak / 76.0);
    const int w = static_cast<int>((scaled + kColumnWidth / 2) / kColumnWidth);
    return w > 1 ? w - 1 : 1;
}

// The next line of a cell, `w` columns wide and padded to them; `remaining` loses what it took. A
// line ends at a line end of the cell or before the word that would not fit.
std::string TakeCellLine(std::string_view& remaining, int w) {
    int used = 0;
    std::size_t at = 0;
    std::size_t lastSpace = std::string_view::npos;
    bool cut = false;
    bool lineEnd = false;
    while (at < remaining.size()) {
        const Glyph glyph = GlyphAt(remaining, at);
        if (remaining[at] == '\n') {
            at += 1;
            lineEnd = true;
            break;
        }
        // A character wider than the column still goes in, so every line makes progress.
        if (used + glyph.columns > w && at > 0) {
            cut = true;
            break;
        }
        if (remaining[at] == ' ')
            lastSpace = at;
        used += glyph.columns;
        at += glyph.length;
    }
    std::size_t pieceEnd = at;
    std::size_t restStart = at;
    if (cut && lastSpace != std::string_view::npos) {
        pieceEnd = lastSpace + 1;
        restStart = lastSpace + 1;
    }
    std::string piece(remaining.substr(0, pieceEnd));
    for (char& c : piece)
        if (c == '\n')
            c = ' ';
    remaining.remove_prefix(std::min(restStart, remaining.size()));
    if (cut || !lineEnd)
        while (!remaining.empty() && remaining.front() == ' ')
            remaining.remove_prefix(1);
    int pieceWidth = DisplayWidth(piece);
    while (pieceWidth < w) {
        piece.push_back(' ');
        ++pieceWidth;
    }
    return piece;
}

} // namespace

bool LayOutRow(const std::string& rowText, const RowRecord& row, int paragraphBreak, std::size_t byteLimit,
               std::vector<std::string>& lines) {
    std::vector<std::string> cells = SplitCells(rowText);
    std::size_t count = cells.size();
    while (count > 0 && row.widths[count - 1] == 0)
        --count;
    if (count != row.columns)
        return false;
    cells.resize(count);

    std::vector<int> widths(count);
    for (std::size_t i = 0; i < count; ++i)
        widths[i] = CellColumns(row.widths[i], paragraphBreak);
    std::vector<std::string_view> rest(cells.begin(), cells.end());
    auto anyLeft = [&rest] {
        return std::any_of(rest.begin(), rest.end(), [](std::string_view r) { return !r.empty(); });
    };
    std::size_t bytes = 0;
    while (anyLeft() && bytes <= byteLimit) {
        std::string line = "|";
        for (std::size_t i = 0; i < count; ++i) {
            line += TakeCellLine(rest[i], widths[i]);
            line += '|';
        }
        bytes += line.size() + 1;
        lines.push_back(std::move(line));
    }
    return true;
}

} // namespace tessarel::wordbin
