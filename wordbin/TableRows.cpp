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

} // namespace

bool LayOutRow(const std::string& rowText, const RowRecord& row, int paragraphBreak, std::size_t byteLimit,
               std::vector<std::string>& lines) {
    std::string text = rowText;
    // Trailing marks: a cell mark or line end, then a line end, then a cell mark.
    if (!text.empty() && (text.back() == '\x07' || text.back() == '\n'))
        text.pop_back();
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    if (!text.empty() && text.back() == '\x07')
        text.pop_back();

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
    std::size_t count = cells.size();
    while (count > 0 && row.widths[count - 1] == 0)
        --count;
    if (count != row.columns)
        return false;
    cells.resize(count);

    std::vector<int> widths(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double scaled = row.widths[i] * 50.0 * (paragraphBreak / 76.0);
        int w = static_cast<int>((scaled + kColumnWidth / 2) / kColumnWidth);
        widths[i] = w > 1 ? w - 1 : 1;
    }
    std::vector<std::string_view> rest(cells.begin(), cells.end());
    auto anyLeft = [&rest] {
        for (std::string_view r : rest)
            if (!r.empty())
                return true;
        return false;
    };
    std::size_t bytes = 0;
    while (anyLeft() && bytes <= byteLimit) {
        std::string line = "|";
        for (std::size_t i = 0; i < count; ++i) {
            std::string_view& remaining = rest[i];
            const int w = widths[i];
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
            line += piece;
            line += '|';
        }
        bytes += line.size() + 1;
        lines.push_back(std::move(line));
    }
    return true;
}

} // namespace tessarel::wordbin
