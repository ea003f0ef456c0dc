#include "engine/TextPage.h"

#include "engine/Html.h"
#include "engine/Marking.h"

#include <algorithm>

namespace tessarel {
namespace {

// A decimal number at the start of text; reading stops at the first non-digit.
long long LeadingNumber(std::u16string_view text) {
    std::size_t i = 0;
    const bool negative = i < text.size() && text[i] == u'-';
    if (negative)
        ++i;
    long long value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > 1'000'000'000'000LL)
            break;
    }
    return negative ? -value : value;
}

// Each line end shows as one: CR LF, and the line feed alone that ends the lines of text files
// on this platform and of the archive readers' texts.
std::u16string BreakLines(std::u16string_view content) {
    std::u16string out;
    out.reserve(content.size() + content.size() / 16);
    for (std::size_t i = 0; i < content.size(); ++i) {
        if (content[i] == u'\r' && i + 1 < content.size() && content[i + 1] == u'\n') {
            out.append(u"<br>\r\n");
            ++i;
        } else if (content[i] == u'\n') {
            out.append(u"<br>\n");
        } else {
            out.push_back(content[i]);
        }
    }
    return out;
}

} // namespace

std::optional<ShowLink> ParseShowLink(std::u16string_view link, std::size_t at) {
    if (at > link.size())
        return std::nullopt;
    link = link.substr(at);
    if (link.substr(0, 5) != u"show#")
        return std::nullopt;
    const std::size_t start = link.find(u"#start", 5);
    const std::size_t length = link.find(u"#length", 5);
    if (start == std::u16string_view::npos || length == std::u16string_view::npos)
        return std::nullopt;
    ShowLink parsed;
    const long long index = LeadingNumber(link.substr(5));
    if (index < 0 || index > 0x7FFFFFFF)
        return std::nullopt;
    parsed.index = static_cast<int>(index);
    parsed.start = LeadingNumber(link.substr(start + 6));
    parsed.length = LeadingNumber(link.substr(length + 7));
    return parsed;
}

std::optional<std::u16string> BuildTextPage(const CCatalog& catalog, const ShowLink& link, const Query& query) {
    if (link.index < 0 || link.index >= catalog.count())
        return std::nullopt;
    // The page shows at most a window either side of the fragment: only that much is widened.
    const CompactText& stored = catalog.record(link.index).text;
    const std::size_t n = stored.size();
    // Offsets beyond the text are clamped: the page still shows, with a possibly empty fragment.
    const std::size_t offset = static_cast<std::size_t>(std::clamp<long long>(link.start, 0, static_cast<long long>(n)));
    const std::size_t length =
        static_cast<std::size_t>(std::clamp<long long>(link.length, 0, static_cast<long long>(n - offset)));

    std::u16string content;
    std::size_t before = 0;
    if (offset > kTextPageWindow) {
        content.append(u"...");
        before = offset - kTextPageWindow;
    }
    const std::u16string window = stored.utf16(before, offset + length + kTextPageWindow - before);
    const std::u16string_view text = std::u16string_view(window);
    AppendEscaped(content, text.substr(0, offset - before));
    content.append(u"<a name=\"point1\"><span class=fragment>");
    content.append(MarkSearchWords(Escaped(text.substr(offset - before, length)), query));
    content.append(u"</span>");
    AppendEscaped(content, text.substr(offset - before + length, kTextPageWindow));
    if (n - length - offset > kTextPageWindow)
        content.append(u"...");
    return BreakLines(content);
}

} // namespace tessarel
