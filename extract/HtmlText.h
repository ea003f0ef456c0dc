#pragma once
// The text of an HTML document without its markup: no head, script or style content, comments
// or declarations; block elements end lines and table cells are separated by a tab; runs of
// white space outside <pre> become one space; character and entity references are decoded.

#include <string>
#include <string_view>

namespace tessarel {

// Appends the text of `html` to `text`. Every character appended is paid for by at least one
// consumed, so `text` grows by at most html.size().
void AppendHtmlText(std::u16string_view html, std::u16string& text);

} // namespace tessarel
