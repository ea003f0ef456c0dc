#pragma once
// Turns the raw characters of Word text into control values or Unicode code points, encodes them
// as UTF-8, measures display widths and upper-cases for the all-capitals attribute.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tessarel::wordbin {

// Control values the document walk interprets; everything else above 0 is a code point.
namespace control {
inline constexpr std::uint32_t kNone = 0;
inline constexpr std::uint32_t kPicture = 1;
inline constexpr std::uint32_t kCellEnd = 7;
inline constexpr std::uint32_t kTab = 9;
inline constexpr std::uint32_t kLineBreak = 11;
inline constexpr std::uint32_t kPageBreak = 12;
inline constexpr std::uint32_t kParagraphEnd = 13;
inline constexpr std::uint32_t kColumnBreak = 14;
inline constexpr std::uint32_t kFootnoteReference = 0x10000;
inline constexpr std::uint32_t kEndnoteReference = 0x10001;
inline constexpr std::uint32_t kUnknownNoteReference = 0x10002;
} // namespace control

enum class NoteKind { Footnote, Endnote, Unknown };

// `noteKind` classifies the automatic note reference (raw value 2) at this character.
std::uint32_t Translate(std::uint16_t raw, int wordVersion, bool oldMacintosh, NoteKind noteKind);

// Writes the UTF-8 form and a terminating zero; 0 bytes (and an empty string) when the code point
// is 0x200000 or more or the buffer can't hold it with the terminator.
std::size_t Encode(std::uint32_t codePoint, char* buffer, std::size_t bufferSize);

// Display columns of a UTF-8 string (wide East Asian characters count two, combining ones none).
int DisplayWidth(std::string_view utf8);
int CodePointWidth(std::uint32_t codePoint);

std::uint32_t UpperCase(std::uint32_t codePoint);

} // namespace tessarel::wordbin
