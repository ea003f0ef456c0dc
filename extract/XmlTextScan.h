#pragma once
// The text scans of the archive readers: literal tag searches over a decoded XML part, no
// parser. The five predefined entities and numeric character references are decoded.

#include <string>
#include <string_view>

namespace tessarel {

// Each scan appends to `text`; every character appended is paid for by at least one consumed,
// so a text reserved at the part's length plus a little never grows.
void ScanDocxText(std::u16string_view part, std::u16string& text);
void ScanXlsxText(std::u16string_view part, std::u16string& text);
void ScanPptxText(std::u16string_view part, std::u16string& text);
void ScanOdtText(std::u16string_view part, std::u16string& text);

// The character a reference names ("amp", "#233", "#xE9"), or 0 when it names none that the
// text may hold: an unknown name, a malformed number, NUL, a surrogate or beyond U+10FFFF.
char32_t ReferencedCharacter(std::u16string_view name);
// Appends one character, as a surrogate pair beyond the basic plane.
void AppendCharacter(char32_t c, std::u16string& text);

// The package-relative name of the main document part named in a package's "_rels/.rels", or
// empty when the relationships name none.
std::string MainDocumentTarget(std::string_view rels);

} // namespace tessarel
