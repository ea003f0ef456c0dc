#pragma once
// Reads the formatting tables of a located document into its Formatting lists.

#include "wordbin/Document.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace tessarel::wordbin {

// Bytes of a range of the stream a table lives in; empty when they can't be read.
using RangeReader = std::function<std::vector<std::uint8_t>(std::uint64_t offset, std::size_t count)>;

// `tables` reads the stream holding the tables (table stream, "WordDocument" or the file);
// `pages` reads the one holding the formatting pages and section properties.
void ReadFormatting(Document& document, const RangeReader& tables, const RangeReader& pages);

} // namespace tessarel::wordbin
