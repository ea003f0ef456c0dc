#pragma once
// The text scans of the archive readers: literal tag searches over a decoded XML part, no
// parser. The five predefined entities and numeric character references are decoded.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tessarel {

// Each scan appends to `text`; every character appended is paid for by at least one consumed,
// so a text reserved at the part's length plus a little never grows.
void ScanDocxText(std::u16string_view part, std::u16string& text);
void ScanXlsxText(std::u16string_view part, std::u16string& text);
void ScanPptxText(std::u16string_view part, std::u16string& text);
void ScanOdtText(std::u16string_view part, std::u16string& text);
// The content.xml of a spreadsheet or a presentation: the text of paragraphs and headings, each
// on a line of its own; in tables a tab between cells and a line end after each row; slides and
// sheets in document order.
void ScanOdfText(std::u16string_view part, std::u16string& text);
// One XHTML document of a book: its text without markup, without head, script and style; block
// elements end lines; the names of HTML's characters decoded as well.
void ScanXhtmlText(std::u16string_view part, std::u16string& text);

// The character a reference names ("amp", "#233", "#xE9"), or 0 when it names none that the
// text may hold: an unknown name, a malformed number, NUL, a surrogate or beyond U+10FFFF. With
// htmlNames, the names of HTML's common characters ("eacute", "mdash") as well.
char32_t ReferencedCharacter(std::u16string_view name, bool htmlNames = false);
// Appends one character, as a surrogate pair beyond the basic plane.
void AppendCharacter(char32_t c, std::u16string& text);

// The package-relative name of the main document part named in a package's "_rels/.rels", or
// empty when the relationships name none.
std::string MainDocumentTarget(std::string_view rels);

// The archive name of a book's package document, from its "META-INF/container.xml"; empty when
// the container names none.
std::string PackageDocumentPath(std::u16string_view container);

// What a book's package document says of its text.
struct BookPackage {
    // The first title of its metadata, decoded.
    std::u16string title;
    // The archive names of the reading order's documents (percent-decoded, resolved against the
    // package's folder); references that name no item of the manifest or leave the archive are
    // left out.
    std::vector<std::string> spine;
    // The reading order named more documents than were taken.
    bool itemsLeftOut = false;
};

// At most `maxItems` documents of the reading order are taken.
BookPackage ReadBookPackage(std::u16string_view package, std::string_view packagePath, std::size_t maxItems);

} // namespace tessarel
