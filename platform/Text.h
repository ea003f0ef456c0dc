#pragma once
// Text conversions of the platform layer: UTF-8 and Windows-1251 to and from UTF-16, and the
// one-unit case mappings that keep a folded text as long as its original.

#include <cstdint>
#include <memory_resource>
#include <string>
#include <string_view>

namespace tessarel {

// Invalid or truncated sequences become U+FFFD; the result never loses the rest of the input.
std::u16string FromUtf8(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view text);
// True when every byte sequence is well-formed UTF-8 (no overlongs, no surrogates, <= U+10FFFF).
bool IsValidUtf8(std::string_view bytes);
// The value of one hexadecimal digit, either case; -1 for any other character.
int HexDigitValue(char c);

// Windows-1251: one byte is one unit. Bytes the code page leaves undefined (0x98) map to the unit
// of the same value, as the desktop conversion does.
char16_t Cp1251ToUnit(unsigned char byte);
std::u16string FromCp1251(std::string_view bytes);
// False when the unit has no Windows-1251 byte.
bool UnitToCp1251(char16_t unit, unsigned char& byte);

// Lower- and upper-casing of one UTF-16 unit under the UTF-8 locale (surrogates unchanged).
// Backed by 64K-entry tables built once, so folding a document costs one lookup a unit.
char16_t FoldUnit(char16_t unit);
char16_t UpperUnit(char16_t unit);
void FoldInPlace(std::u16string& text);
// dst = the folded copy of src, in one pass; ASCII stretches are folded without the table.
void FoldInto(std::pmr::u16string& dst, std::u16string_view src);
std::u16string Folded(std::u16string_view text);
// dst[0..n) = the folded copy of src[0..n).
void FoldUnitsInto(const char16_t* src, std::size_t n, char16_t* dst);
// The lower-casing of the units below 256 as a 256-entry table, when it keeps every one of them
// below 256 (so a one-byte text can be folded as it is read); null when the locale's does not.
const unsigned char* NarrowFoldTable();

// ASCII-only widening for the program's own constant texts and numbers.
std::u16string Widen(std::string_view ascii);
std::u16string NumberText(long long value);

} // namespace tessarel
