#pragma once
// Lays out one collected table row as "|" cell lines with the column widths of its row definition.

#include "wordbin/Formatting.h"

#include <string>
#include <vector>

namespace tessarel::wordbin {

// One display column of the text output, in thousandths of a point: the measure of line and
// cell widths.
inline constexpr long long kColumnWidth = 6400;

// `rowText` holds the row's characters as UTF-8, each cell ended by 7, line ends within a cell as
// "\n". Lines stop once they hold more than `byteLimit` bytes. False when the cells don't match the row's
// column count (the row is not written).
bool LayOutRow(const std::string& rowText, const RowRecord& row, int paragraphBreak, std::size_t byteLimit,
               std::vector<std::string>& lines);

} // namespace tessarel::wordbin
