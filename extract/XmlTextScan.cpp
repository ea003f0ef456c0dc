#include "extract/XmlTextScan.h"

#include "platform/Text.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>
#include <utility>

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

template <typename Char>
bool IsSpaceOf(Char c) {
    return c == Char(' ') || c == Char('\t') || c == Char('\n') || c == Char('\r');
}

// The value of attribute `name` inside one element's text, or empty.
template <typename Char>
std::basic_string_view<Char> AttributeValue(std::basic_string_view<Char> element, std::basic_string_view<Char> name) {
    constexpr std::size_t none = std::basic_string_view<Char>::npos;
    std::size_t at = 0;
    while ((at = element.find(name, at)) != none) {
        const bool wordStart = at > 0 && IsSpaceOf(element[at - 1]);
        std::size_t p = at + name.size();
        at = p;
        if (!wordStart)
            continue;
        while (p < element.size() && IsSpaceOf(element[p]))
            ++p;
        if (p >= element.size() || element[p] != Char('='))
            continue;
        ++p;
        while (p < element.size() && IsSpaceOf(element[p]))
            ++p;
        if (p >= element.size() || (element[p] != Char('"') && element[p] != Char('\'')))
            continue;
        const std::size_t close = element.find(element[p], p + 1);
        if (close == none)
            return {};
        return element.substr(p + 1, close - p - 1);
    }
    return {};
}

// The names of HTML that books written as XHTML use without declaring them: Latin-1 from U+00A0
// in code order, then punctuation and a few letters beyond.
constexpr std::u16string_view kLatin1Names[96] = {
    u"nbsp",   u"iexcl",  u"cent",   u"pound",  u"curren", u"yen",    u"brvbar", u"sect",   u"uml",
    u"copy",   u"ordf",   u"laquo",  u"not",    u"shy",    u"reg",    u"macr",   u"deg",    u"plusmn",
    u"sup2",   u"sup3",   u"acute",  u"micro",  u"para",   u"middot", u"cedil",  u"sup1",   u"ordm",
    u"raquo",  u"frac14", u"frac12", u"frac34", u"iquest", u"Agrave", u"Aacute", u"Acirc",  u"Atilde",
    u"Auml",   u"Aring",  u"AElig",  u"Ccedil", u"Egrave", u"Eacute", u"Ecirc",  u"Euml",   u"Igrave",
    u"Iacute", u"Icirc",  u"Iuml",   u"ETH",    u"Ntilde", u"Ograve", u"Oacute", u"Ocirc",  u"Otilde",
    u"Ouml",   u"times",  u"Oslash", u"Ugrave", u"Uacute", u"Ucirc",  u"Uuml",   u"Yacute", u"THORN",
    u"szlig",  u"agrave", u"aacute", u"acirc",  u"atilde", u"auml",   u"aring",  u"aelig",  u"ccedil",
    u"egrave", u"eacute", u"ecirc",  u"euml",   u"igrave", u"iacute", u"icirc",  u"iuml",   u"eth",
    u"ntilde", u"ograve", u"oacute", u"ocirc",  u"otilde", u"ouml",   u"divide", u"oslash", u"ugrave",
    u"uacute", u"ucirc",  u"uuml",   u"yacute", u"thorn",  u"yuml"};

struct NamedCharacter {
    std::u16string_view name;
    char32_t character;
};
constexpr NamedCharacter kFurtherNames[] = {
    {u"ndash", 0x2013},  {u"mdash", 0x2014},  {u"lsquo", 0x2018},  {u"rsquo", 0x2019},  {u"sbquo", 0x201A},
    {u"ldquo", 0x201C},  {u"rdquo", 0x201D},  {u"bdquo", 0x201E},  {u"dagger", 0x2020}, {u"Dagger", 0x2021},
    {u"bull", 0x2022},   {u"hellip", 0x2026}, {u"prime", 0x2032},  {u"Prime", 0x2033},  {u"lsaquo", 0x2039},
    {u"rsaquo", 0x203A}, {u"euro", 0x20AC},   {u"trade", 0x2122},  {u"ensp", 0x2002},   {u"emsp", 0x2003},
    {u"thinsp", 0x2009}, {u"zwnj", 0x200C},   {u"zwj", 0x200D},    {u"lrm", 0x200E},    {u"rlm", 0x200F},
    {u"OElig", 0x152},   {u"oelig", 0x153},   {u"Scaron", 0x160},  {u"scaron", 0x161},  {u"Yuml", 0x178},
    {u"fnof", 0x192},    {u"circ", 0x2C6},    {u"tilde", 0x2DC},   {u"permil", 0x2030}, {u"larr", 0x2190},
    {u"uarr", 0x2191},   {u"rarr", 0x2192},   {u"darr", 0x2193},   {u"harr", 0x2194},   {u"minus", 0x2212},
    {u"infin", 0x221E},  {u"ne", 0x2260},     {u"le", 0x2264},     {u"ge", 0x2265},
};

char32_t HtmlNamedCharacter(std::u16string_view name) {
    for (std::size_t i = 0; i < std::size(kLatin1Names); ++i)
        if (kLatin1Names[i] == name)
            return static_cast<char32_t>(0xA0 + i);
    for (const NamedCharacter& named : kFurtherNames)
        if (named.name == name)
            return named.character;
    return 0;
}

} // namespace

char32_t ReferencedCharacter(std::u16string_view name, bool htmlNames) {
    if (htmlNames && !name.empty() && name[0] != u'#')
        if (const char32_t c = HtmlNamedCharacter(name))
            return c;
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
void AppendDecoded(std::u16string_view raw, std::u16string& text, bool htmlNames = false) {
    std::size_t p = 0;
    for (std::size_t amp = raw.find(u'&'); amp != npos; amp = raw.find(u'&', p)) {
        const std::size_t semicolon = raw.substr(0, amp + kMaxReferenceLength).find(u';', amp + 1);
        const char32_t c = semicolon == npos
                               ? 0
                               : ReferencedCharacter(raw.substr(amp + 1, semicolon - amp - 1), htmlNames);
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

// One markup tag: its name as written (prefix included), what stands between the name and the
// closing ">", whether it closes an element or is one without content ("/>"), and where the
// scan goes on. Comments, CDATA sections and declarations are tags without a name.
struct Tag {
    std::u16string_view name;
    std::u16string_view attributes;
    bool closing = false;
    bool empty = false;
    std::size_t next = 0;
};

bool IsXmlSpace(char16_t c) {
    return IsSpaceOf(c);
}

// The tag whose "<" is at `open`; false when the part ends inside it.
bool TagAt(std::u16string_view part, std::size_t open, Tag& tag) {
    tag = Tag{};
    const std::u16string_view rest = part.substr(open);
    for (const auto& [start, end] : {std::pair<std::u16string_view, std::u16string_view>{u"<!--", u"-->"},
                                     {u"<![CDATA[", u"]]>"}}) {
        if (rest.substr(0, start.size()) != start)
            continue;
        const std::size_t close = part.find(end, open + start.size());
        if (close == npos)
            return false;
        tag.attributes = part.substr(open + start.size(), close - open - start.size());
        tag.empty = true;
        tag.next = close + end.size();
        return true;
    }
    const std::size_t close = part.find(u'>', open + 1);
    if (close == npos)
        return false;
    std::size_t at = open + 1;
    if (at < close && part[at] == u'/') {
        tag.closing = true;
        ++at;
    }
    std::size_t nameEnd = at;
    while (nameEnd < close && !IsXmlSpace(part[nameEnd]) && part[nameEnd] != u'/')
        ++nameEnd;
    if (part[at] != u'!' && part[at] != u'?')
        tag.name = part.substr(at, nameEnd - at);
    const bool selfClosed = part[close - 1] == u'/' && close - 1 >= nameEnd;
    tag.empty = selfClosed || part[at] == u'?' || part[at] == u'!';
    tag.attributes = part.substr(nameEnd, close - nameEnd - (selfClosed ? 1 : 0));
    tag.next = close + 1;
    return true;
}

// The value of attribute `name` among a tag's attributes, as written, or empty.
std::u16string_view AttributeOf(const Tag& tag, std::u16string_view name) {
    return AttributeValue(tag.attributes, name);
}

// A count written in an attribute ("3"), at least 1 and at most `most`; 1 when it is no number.
std::size_t CountOf(std::u16string_view written, std::size_t most) {
    std::size_t n = 0;
    for (const char16_t c : written) {
        if (c < u'0' || c > u'9')
            return 1;
        n = std::min(most, n * 10 + (c - u'0'));
    }
    return std::clamp<std::size_t>(n, 1, most);
}

// Ends the current line of `text` unless it is empty or already ended.
void EndLine(std::u16string& text) {
    if (!text.empty() && text.back() != u'\n')
        text.push_back(u'\n');
}

// Where the content of the element opened by `tag` ends: after its own end tag. A part that never
// closes it ends there.
std::size_t AfterElement(std::u16string_view part, const Tag& tag) {
    if (tag.empty)
        return tag.next;
    std::u16string close = u"</";
    close.append(tag.name);
    for (std::size_t at = part.find(close, tag.next); at != npos; at = part.find(close, at + 1)) {
        const std::size_t after = at + close.size();
        if (after < part.size() && (part[after] == u'>' || IsXmlSpace(part[after]))) {
            const std::size_t end = part.find(u'>', after);
            return end == npos ? part.size() : end + 1;
        }
    }
    return part.size();
}

// At most this many tabs stand for the empty cells between two that hold text: a row that
// repeats an empty cell a million times is not a million tabs.
constexpr std::size_t kMaxEmptyColumns = 32;
// Larger counts of repeated columns are taken as this one.
constexpr std::size_t kMaxRepeatedColumns = 1 << 20;

// The state of a spreadsheet or presentation scan: the paragraph and the table cell it is in.
class OdfTextWriter {
public:
    explicit OdfTextWriter(std::u16string& text) : text_(text) {}

    void tag(const Tag& tag) {
        const std::u16string_view name = tag.name;
        if (name == u"text:p" || name == u"text:h") {
            if (tag.closing) {
                if (paragraphs_ > 0)
                    --paragraphs_;
                if (!inCell_ && paragraphs_ == 0)
                    EndLine(text_);
            } else if (!tag.empty) {
                ++paragraphs_;
                // Two paragraphs of one cell stay on the cell's line.
                if (inCell_ && cellHasText_)
                    spaceDue_ = true;
            }
        } else if (name == u"table:table-row") {
            if (tag.closing && rowHasText_)
                EndLine(text_);
            if (!tag.closing) {
                rowHasText_ = false;
                nextColumn_ = 0;
                lastTextColumn_ = 0;
            }
        } else if (name == u"table:table-cell" || name == u"table:covered-table-cell") {
            if (tag.closing) {
                inCell_ = false;
                return;
            }
            // A covered cell is the part of a merged one that has no content of its own, yet it
            // keeps its column, as the tab before the next cell's text says.
            cellColumn_ = nextColumn_;
            nextColumn_ += CountOf(AttributeOf(tag, u"table:number-columns-repeated"), kMaxRepeatedColumns);
            inCell_ = !tag.empty;
            cellHasText_ = false;
            spaceDue_ = false;
        } else if (name == u"text:s" || name == u"text:tab" || name == u"text:line-break") {
            if (paragraphs_ == 0)
                return;
            if (name == u"text:s" || inCell_)
                characters(u" ");
            else
                characters(name == u"text:tab" ? u"\t" : u"\n");
        } else if (name == u"draw:page" && tag.closing) {
            EndLine(text_);
        }
    }

    void characters(std::u16string_view raw) {
        if (paragraphs_ == 0 || raw.empty())
            return;
        if (inCell_ && !cellHasText_) {
            // The first text of a row stands after tabs for the empty cells before it, so that
            // each cell keeps its column.
            const std::size_t before = rowHasText_ ? cellColumn_ - lastTextColumn_ : cellColumn_;
            text_.append(std::min(before, kMaxEmptyColumns), u'\t');
            cellHasText_ = rowHasText_ = true;
            lastTextColumn_ = cellColumn_;
        }
        if (spaceDue_) {
            text_.push_back(u' ');
            spaceDue_ = false;
        }
        AppendDecoded(raw, text_);
    }

private:
    std::u16string& text_;
    int paragraphs_ = 0;
    bool inCell_ = false;
    bool cellHasText_ = false;
    bool rowHasText_ = false;
    bool spaceDue_ = false;
    std::size_t cellColumn_ = 0;
    std::size_t nextColumn_ = 0;
    std::size_t lastTextColumn_ = 0;
};

// The XHTML elements that stand on lines of their own.
bool IsBlockElement(std::u16string_view name) {
    static constexpr std::u16string_view kBlocks[] = {
        u"address", u"article", u"aside",  u"blockquote", u"body",    u"br",     u"caption", u"dd",
        u"div",     u"dl",      u"dt",     u"figcaption", u"figure",  u"footer", u"h1",      u"h2",
        u"h3",      u"h4",      u"h5",     u"h6",         u"header",  u"hr",     u"li",      u"main",
        u"nav",     u"ol",      u"p",      u"pre",        u"section", u"table",  u"tr",      u"ul"};
    for (const std::u16string_view block : kBlocks)
        if (name == block)
            return true;
    return false;
}

// The element name without its prefix ("html:p" is "p").
std::u16string_view LocalName(std::u16string_view name) {
    const std::size_t colon = name.find(u':');
    return colon == npos ? name : name.substr(colon + 1);
}

} // namespace

void ScanOdfText(std::u16string_view part, std::u16string& text) {
    OdfTextWriter writer(text);
    std::size_t p = 0;
    Tag tag;
    for (std::size_t step = 0; step < kMaxScanSteps; ++step) {
        const std::size_t open = part.find(u'<', p);
        writer.characters(part.substr(p, open == npos ? npos : open - p));
        if (open == npos || !TagAt(part, open, tag))
            break;
        // Deleted text a document keeps for its change tracking is no text of the document;
        // speaker notes are left out as the other presentations' readers leave them.
        if (tag.name == u"text:tracked-changes" || tag.name == u"presentation:notes") {
            p = AfterElement(part, tag);
            continue;
        }
        writer.tag(tag);
        p = tag.next;
    }
}

void ScanXhtmlText(std::u16string_view part, std::u16string& text) {
    std::size_t p = 0;
    Tag tag;
    std::u16string decoded;
    // White space in the markup is one blank between words, none at a line's start.
    bool spaceDue = false;
    auto appendCollapsed = [&](std::u16string_view piece) {
        for (std::size_t i = 0; i < piece.size();) {
            if (IsXmlSpace(piece[i])) {
                spaceDue = true;
                ++i;
                continue;
            }
            std::size_t word = i;
            while (word < piece.size() && !IsXmlSpace(piece[word]))
                ++word;
            if (spaceDue && !text.empty() && text.back() != u'\n')
                text.push_back(u' ');
            spaceDue = false;
            text.append(piece.substr(i, word - i));
            i = word;
        }
    };
    for (std::size_t step = 0; step < kMaxScanSteps; ++step) {
        const std::size_t open = part.find(u'<', p);
        const std::u16string_view raw = part.substr(p, open == npos ? npos : open - p);
        if (raw.find(u'&') == npos) {
            appendCollapsed(raw);
        } else {
            decoded.clear();
            AppendDecoded(raw, decoded, true);
            appendCollapsed(decoded);
        }
        if (open == npos || !TagAt(part, open, tag))
            break;
        p = tag.next;
        if (tag.name.empty()) {
            // A CDATA section is text as written; a comment is none.
            if (part.substr(open, 3) == u"<![")
                text.append(tag.attributes);
            continue;
        }
        const std::u16string_view name = LocalName(tag.name);
        if (!tag.closing && (name == u"head" || name == u"script" || name == u"style")) {
            p = AfterElement(part, tag);
            continue;
        }
        if (IsBlockElement(name)) {
            EndLine(text);
            spaceDue = false;
        } else if (name == u"td" || name == u"th") {
            spaceDue = true;
        }
    }
}

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

std::string PackageDocumentPath(std::u16string_view container) {
    Tag tag;
    std::string first;
    for (std::size_t open = container.find(u"<rootfile"); open != npos;
         open = container.find(u"<rootfile", open + 1)) {
        if (!TagAt(container, open, tag))
            break;
        if (tag.name != u"rootfile")
            continue;
        std::u16string path;
        AppendDecoded(AttributeOf(tag, u"full-path"), path);
        if (path.empty())
            continue;
        // A container may name renditions of other kinds before the package document.
        if (AttributeOf(tag, u"media-type") == u"application/oebps-package+xml")
            return ToUtf8(path);
        if (first.empty())
            first = ToUtf8(path);
    }
    return first;
}

namespace {

// A reference of the package (percent-encoded, relative to `folder`, perhaps with a fragment) as
// the archive names its member; empty when it leaves the archive ("http:", "../" above the root).
std::string MemberOfReference(std::string_view reference, std::string_view folder) {
    reference = reference.substr(0, reference.find('#'));
    reference = reference.substr(0, reference.find('?'));
    if (reference.empty() || reference.find(':') != std::string_view::npos)
        return {};
    std::string decoded;
    for (std::size_t i = 0; i < reference.size(); ++i) {
        if (reference[i] == '%' && i + 2 < reference.size() && HexDigitValue(reference[i + 1]) >= 0 &&
            HexDigitValue(reference[i + 2]) >= 0) {
            decoded.push_back(static_cast<char>(HexDigitValue(reference[i + 1]) * 16 + HexDigitValue(reference[i + 2])));
            i += 2;
        } else {
            decoded.push_back(reference[i]);
        }
    }
    std::string joined = decoded.front() == '/' ? decoded.substr(1) : std::string(folder) + decoded;
    std::vector<std::string_view> segments;
    std::string_view rest = joined;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view segment = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (segment.empty() || segment == ".")
            continue;
        if (segment == "..") {
            if (segments.empty())
                return {};
            segments.pop_back();
            continue;
        }
        segments.push_back(segment);
    }
    std::string member;
    for (const std::string_view segment : segments) {
        if (!member.empty())
            member.push_back('/');
        member.append(segment);
    }
    return member;
}

} // namespace

BookPackage ReadBookPackage(std::u16string_view package, std::string_view packagePath, std::size_t maxItems) {
    BookPackage book;
    const std::size_t slash = packagePath.rfind('/');
    const std::string_view folder =
        slash == std::string_view::npos ? std::string_view() : packagePath.substr(0, slash + 1);
    std::unordered_map<std::u16string, std::u16string> hrefOfItem;
    std::vector<std::u16string> spine;
    bool haveTitle = false;
    Tag tag;
    std::size_t p = 0;
    for (std::size_t step = 0; step < kMaxScanSteps; ++step) {
        const std::size_t open = package.find(u'<', p);
        if (open == npos || !TagAt(package, open, tag))
            break;
        p = tag.next;
        if (tag.closing)
            continue;
        if (tag.name == u"item") {
            std::u16string href;
            AppendDecoded(AttributeOf(tag, u"href"), href);
            hrefOfItem.emplace(std::u16string(AttributeOf(tag, u"id")), std::move(href));
        } else if (tag.name == u"itemref") {
            if (spine.size() < maxItems)
                spine.emplace_back(AttributeOf(tag, u"idref"));
            else
                book.itemsLeftOut = true;
        } else if (LocalName(tag.name) == u"title" && tag.name != u"title" && !haveTitle && !tag.empty) {
            // The book's first title ("dc:title"), its white space made single blanks.
            std::u16string closeTag = u"</";
            closeTag.append(tag.name);
            const std::size_t close = package.find(closeTag, tag.next);
            if (close == npos)
                break;
            std::u16string title;
            AppendDecoded(package.substr(tag.next, close - tag.next), title);
            for (const char16_t c : title)
                if (!IsXmlSpace(c))
                    book.title.push_back(c);
                else if (!book.title.empty() && book.title.back() != u' ')
                    book.title.push_back(u' ');
            while (!book.title.empty() && book.title.back() == u' ')
                book.title.pop_back();
            haveTitle = true;
            p = close;
        }
    }
    for (const std::u16string& idref : spine) {
        const auto item = hrefOfItem.find(idref);
        if (item == hrefOfItem.end())
            continue;
        std::string member = MemberOfReference(ToUtf8(item->second), folder);
        if (!member.empty())
            book.spine.push_back(std::move(member));
    }
    return book;
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
        const std::string_view type = AttributeValue(element, std::string_view("Type"));
        constexpr std::string_view kMain = "/officeDocument";
        if (type.size() < kMain.size() || type.substr(type.size() - kMain.size()) != kMain)
            continue;
        std::string_view target = AttributeValue(element, std::string_view("Target"));
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
