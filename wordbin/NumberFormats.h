#pragma once
// The number texts of heading counters and endnote references.

#include <cstdint>
#include <string>

namespace tessarel::wordbin {

// Standard Roman numerals of the number modulo 4000 (empty for 0).
std::string Roman(unsigned number, bool upper);
// A..Z, AA..ZZ, AAA..ZZZ; empty for 0 and beyond 18278.
std::string Letters(unsigned number, bool upper);
// By the section's format code: 1 and 2 Roman, 3 and 4 letters, 22 two digits, else decimal.
std::string FormatNumber(unsigned number, std::uint8_t format);

} // namespace tessarel::wordbin
