#pragma once
// Document text placed in a page is escaped, so a document's own markup can neither hide
// results nor break links nor run in the view.

#include <string>
#include <string_view>

namespace tessarel {

// "&", "<", ">" always; '"' too when the text goes into an attribute value.
void AppendEscaped(std::u16string& out, std::u16string_view text, bool attribute = false);
std::u16string Escaped(std::u16string_view text, bool attribute = false);

} // namespace tessarel
