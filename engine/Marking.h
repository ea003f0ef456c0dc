#pragma once
// Sets off the search words in a page text with the "searched" span.

#include "engine/Query.h"

#include <string>
#include <string_view>

namespace tessarel {

inline constexpr std::u16string_view kSearchedOpen = u"<span class=searched>";
inline constexpr std::u16string_view kSearchedClose = u"</span>";

// Marks every occurrence of each word (in its escaped form), then, when the search is not
// case-sensitive, its capitalised and upper-case forms. Only text between tags is marked, and no
// character reference is cut, so the page's own markup stays intact.
std::u16string MarkSearchWords(std::u16string_view page, const Query& query);

} // namespace tessarel
