#include "extract/XmlTextScan.h"

namespace tessarel {
namespace {

// However the part is made, no scan runs longer than this many steps.
constexpr std::size_t kMaxScanSteps = 100'000'000;
constexpr std::size_t npos = std::u16string_view::npos;

// Where the text of a start tag found at `tag` (of `tagLength` units) begins: after the tag's
// ">" when the tag is exactly the wanted one, with or without attributes. `npos` when the tag is
// another one that only shares the prefix; `end` when the part ends inside the tag.
struct TagText {
    std::size_t start = npos;
    bool end = false;
};

TagText TextAfterTag(std::u16string_view part, std::size_t tag, std::size_t tagLength) {
    const std::size_t next = tag + tagLength;
    if (next >= part.size())
        return {npos, true};
    if (part[next] == u'>')
        return {next + 1, false};
    if (part[next] == u' ') {
        const std::size_t close = part.find(u'>', next);
        if (close == npos)
            return {npos, true};
        return {close + 1, false};
    }
    return {npos, false};
}

// The element whose start tag (of `tagLength` units) was found at `tag`: its text up to
// `closeTag`, and where the scan goes on. `NotIt` for another tag that only shares the prefix;
// `End` when the part ends inside the element.
struct Element {
    enum Kind { Text, NotIt, End } kind;
    std::u16string_view text;
    std::size_t next = 0;
};

Element ElementAt(std::u16string_view part, std::size_t tag, std::size_t tagLength,
                  std::u16string_view closeTag) {
    const TagText opened = TextAfterTag(part, tag, tagLength);
    if (opened.end)
        return {Element::End, {}, 0};
    if (opened.start == npos)
        return {Element::NotIt, {}, tag + tagLength + 1};
    const std::size_t close = part.find(closeTag, opened.start);
    if (close == npos)
        return {Element::End, {}, 0};
    return {Element::Text, part.substr(opened.start, close - opened.start), close + closeTag.size()};
}

// The value of attribute `name` inside one element's text, or empty.
std::string_view AttributeValue(std::string_view element, std::string_view name) {
    std::size_t at = 0;
    while ((at = element.find(name, at)) != std::string_view::npos) {
        const bool wordStart = at > 0 && (element[at - 1] == ' ' || element[at - 1] == '\t' ||
                                          element[at - 1] == '\n' || element[at - 1] == '\r');
        std::size_t p = at + name.size();
        at = p;
        if (!wordStart)
            continue;
        while (p < element.size() &&
               (element[p] == ' ' || element[p] == '\t' || element[p] == '\n' || element[p] == '\r'))
            ++p;
        if (p >= element.size() || element[p] != '=')
            continue;
        ++p;
        while (p < element.size() &&
               (element[p] == ' ' || element[p] == '\t' || element[p] == '\n' || element[p] == '\r'))
            ++p;
        if (p >= element.size() || (element[p] != '"' && element[p] != '\''))
            continue;
        const char quote = element[p];
        const std::size_t close = element.find(quote, p + 1);
        if (close == std::string_view::npos)
            return {};
        return element.substr(p + 1, close - p - 1);
    }
    return {};
}

} // namespace

char32_t ReferencedCharacter(std::u16string_view name) {
    if (name == u"amp")
        return U'&';
    if (name == u"lt")
        return U'<';
    if (name == u"gt")
        return U'>';
    if (name == u"quot")
        return U'"';
    if (name == u"apos")
        return U'\'';
    if (name.size() < 2 || name[0] != u'#')
        return 0;
    const bool hex = name[1] == u'x';
    const std::u16string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty())
        return 0;
    char32_t value = 0;
    for (const char16_t c : digits) {
        unsigned digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (hex && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (hex && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return 0;
        value = value * (hex ? 16 : 10) + digit;
        if (value > 0x10FFFF)
            return 0;
    }
    if (value >= 0xD800 && value <= 0xDFFF)
        return 0;
    return value;
}

void AppendCharacter(char32_t c, std::u16string& text) {
    if (c < 0x10000) {
        text.push_back(static_cast<char16_t>(c));
    } else {
        text.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
        text.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    }
}

namespace {

// The longest reference worth decoding: "&#x10FFFF;" with leading zeros to spare.
constexpr std::size_t kMaxReferenceLength = 32;

// Appends `raw` with its character and entity references decoded; a malformed one stays as
// written. A reference is never shorter than what it decodes to, so the text grows no faster
// than the part is consumed.
void AppendDecoded(std::u16string_view raw, std::u16string& text) {
    std::size_t p = 0;
    for (std::size_t amp = raw.find(u'&'); amp != npos; amp = raw.find(u'&', p)) {
        const std::size_t semicolon = raw.substr(0, amp + kMaxReferenceLength).find(u';', amp + 1);
        const char32_t c =
            semicolon == npos ? 0 : ReferencedCharacter(raw.substr(amp + 1, semicolon - amp - 1));
        if (c == 0) {
            text.append(raw.substr(p, amp + 1 - p));
            p = amp + 1;
            continue;
        }
        text.append(raw.substr(p, amp - p));
        AppendCharacter(c, text);
        p = semicolon + 1;
    }
    text.append(raw.substr(p));
}

} // namespace

void ScanDocxText(std::u16string_view part, std::u16string& text) {
    std::size_t p = 0;
    // The next paragraph end at or after p; it only moves forward, so a search that found
    // nothing need not be repeated (a part without paragraph ends would otherwise cost n² time).
    std::size_t paragraphEnd = part.find(u"</w:p>");
    for (std::size_t step = 0; step < kMaxScanSteps; ++step) {
        if (paragraphEnd != npos && paragraphEnd < p)
            paragraphEnd = part.find(u"</w:p>", p);
        const std::size_t tag = part.find(u"<w:t", p);
        if (tag == npos)
            break;
        // One line feed before the first text-bearing tag after a paragraph end.
        if (paragraphEnd == npos || paragraphEnd < tag)
            text.push_back(u'\n');
        // A tab, table, row or cell tag (not a text run) may carry the line feed but holds no text.
        const Element run = ElementAt(part, tag, 4, u"</w:t>");
        if (run.kind == Element::End)
            break;
        AppendDecoded(run.text, text);
        p = run.next;
    }
}

void ScanXlsxText(std::u16string_view part, std::u16string& text) {
    std::size_t p = 0;
    for (std::size_t step = 0; step < kMaxScanSteps; ++step) {
        const std::size_t tag = part.find(u"<t", p);
        if (tag == npos)
            break;
        const Element string = ElementAt(part, tag, 2, u"</t>");
        if (string.kind == Element::End)
            break;
        if (string.kind == Element::Text) {
            AppendDecoded(string.text, text);
            text.push_back(u'\n');
        }
        p = string.next;
    }
}

void ScanPptxText(std::u16string_view part, std::u16string& text) {
    std::size_t p = 0;
    for (std::size_t step = 0; step < kMaxScanSteps; ++step) {
        const std::size_t tag = part.find(u"<a:t>", p);
        if (tag == npos)
            break;
        const std::size_t start = tag + 5;
        const std::size_t close = part.find(u"</a:t>", start);
        if (close == npos)
            break;
        AppendDecoded(part.substr(start, close - start), text);
        text.push_back(u'\n');
        p = close + 6;
    }
}

void ScanOdtText(std::u16string_view part, std::u16string& text) {
    std::size_t p = 0;
    for (std::size_t step = 0; step < kMaxScanSteps; ++step) {
        const std::size_t close = part.find(u'>', p);
        if (close == npos)
            break;
        std::size_t start = close + 1;
        // One space after a tag is dropped: each piece already gets a space of its own.
        if (start < part.size() && part[start] == u' ')
            ++start;
        const std::size_t open = part.find(u'<', start);
        if (open == npos)
            break;
        if (open > start) {
            AppendDecoded(part.substr(start, open - start), text);
            text.push_back(u' ');
        }
        p = open + 1;
    }
}

std::string MainDocumentTarget(std::string_view rels) {
    constexpr std::string_view kElement = "<Relationship";
    std::size_t at = 0;
    while ((at = rels.find(kElement, at)) != std::string_view::npos) {
        const std::size_t end = rels.find('>', at);
        if (end == std::string_view::npos)
            break;
        const std::string_view element = rels.substr(at, end - at);
        at = end;
        const std::string_view type = AttributeValue(element, "Type");
        constexpr std::string_view kMain = "/officeDocument";
        if (type.size() < kMain.size() || type.substr(type.size() - kMain.size()) != kMain)
            continue;
        std::string_view target = AttributeValue(element, "Target");
        // Targets are relative to the package root here; a leading "/" or "./" says the same.
        while (!target.empty() && target.front() == '/')
            target.remove_prefix(1);
        if (target.substr(0, 2) == "./")
            target.remove_prefix(2);
        if (!target.empty())
            return std::string(target);
    }
    return {};
}

} // namespace tessarel
