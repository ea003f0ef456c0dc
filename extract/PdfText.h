#pragma once
// The PDF driver: the PDF library's text of every page as UTF-8.

#include "extract/ReadContext.h"

#include <cstddef>
#include <string>

namespace tessarel {

// The text of all pages in reading order, lines ended by LF, pages separated by one form
// feed and none after the last. Empty when the document can't be opened, needs a user password
// or forbids copying its text. At most capacity - 1 bytes: the text stops before the first piece
// that would not fit. With `recognise` and its recognition on, a page with no text but blanks is
// rendered and recognised, and its text takes the page's place.
std::string ExtractPdfText(const std::string& path, std::size_t capacity, int fd = -1,
                           const ReadContext* recognise = nullptr);

} // namespace tessarel
