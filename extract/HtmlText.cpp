#include "extract/HtmlText.h"
#include "extract/XmlTextScan.h"

#include <algorithm>
#include <cstdint>

namespace tessarel {
namespace {

constexpr std::size_t npos = std::u16string_view::npos;
// The longest reference worth decoding, as in the XML parts.
constexpr std::size_t kMaxReferenceLength = 32;
// The longest element name that matters here ("blockquote", "figcaption").
constexpr std::size_t kMaxNameLength = 16;

char16_t Lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool IsSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool IsLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool IsNameCharacter(char16_t c) {
    return IsLetter(c) || (c >= u'0' && c <= u'9');
}

// Where `needle` (lower-case ASCII) next occurs in `html` from `from`, in any case.
std::size_t FindNoCase(std::u16string_view html, std::u16string_view needle, std::size_t from) {
    while (from < html.size()) {
        const std::size_t at = html.find(u'<', from);
        if (at == npos || html.size() - at < needle.size())
            return npos;
        std::size_t i = 1;
        while (i < needle.size() && Lower(html[at + i]) == needle[i])
            ++i;
        if (i == needle.size())
            return at;
        from = at + 1;
    }
    return npos;
}

enum class Kind { Other, Block, Cell, Pre, Skipped, Head };

Kind KindOf(std::u16string_view name) {
    static constexpr std::u16string_view kBlocks[] = {
        u"p",       u"div",     u"br",     u"li",         u"ul",     u"ol",      u"dl",     u"dt",
        u"dd",      u"tr",      u"table",  u"h1",         u"h2",     u"h3",      u"h4",     u"h5",
        u"h6",      u"hr",      u"blockquote", u"section", u"article", u"header", u"footer", u"nav",
        u"aside",   u"address", u"figure", u"figcaption", u"form",   u"fieldset", u"main",  u"caption",
        u"center",  u"body",    u"html",   u"thead",      u"tbody",  u"tfoot",
    };
    if (name == u"td" || name == u"th")
        return Kind::Cell;
    if (name == u"pre")
        return Kind::Pre;
    if (name == u"script" || name == u"style" || name == u"title")
        return Kind::Skipped;
    if (name == u"head")
        return Kind::Head;
    for (std::u16string_view block : kBlocks)
        if (name == block)
            return Kind::Block;
    return Kind::Other;
}

// The end of the tag that opens at `at` (past its ">"), quoted attribute values skipped; npos
// when the document ends inside it.
std::size_t TagEnd(std::u16string_view html, std::size_t at) {
    char16_t quote = 0;
    for (std::size_t p = at + 1; p < html.size(); ++p) {
        const char16_t c = html[p];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'>') {
            return p + 1;
        }
    }
    // A stray quote must not swallow the rest: the first ">" ends the tag then.
    const std::size_t close = html.find(u'>', at + 1);
    return close == npos ? npos : close + 1;
}

class HtmlScan {
public:
    explicit HtmlScan(std::u16string& text) : text_(text) {}

    void run(std::u16string_view html) {
        std::size_t p = 0;
        while (p < html.size()) {
            const char16_t c = html[p];
            if (c == u'<')
                p = markup(html, p);
            else if (c == u'&')
                p = reference(html, p);
            else
                p = characters(html, p);
        }
    }

private:
    void lineEnd() {
        if (!text_.empty() && text_.back() == u' ')
            text_.pop_back();
        if (!text_.empty() && text_.back() != u'\n')
            text_.push_back(u'\n');
    }

    void character(char16_t c) {
        if (!pre_ && IsSpace(c)) {
            if (!text_.empty() && text_.back() != u' ' && text_.back() != u'\n' && text_.back() != u'\t')
                text_.push_back(u' ');
            return;
        }
        text_.push_back(c == u'\r' ? u'\n' : c);
    }

    std::size_t characters(std::u16string_view html, std::size_t p) {
        const std::size_t end = std::min(html.find_first_of(u"<&", p), html.size());
        for (; p < end; ++p)
            character(html[p]);
        return end;
    }

    std::size_t reference(std::u16string_view html, std::size_t amp) {
        const std::size_t semicolon = html.substr(0, amp + kMaxReferenceLength).find(u';', amp + 1);
        const char32_t c =
            semicolon == npos ? 0 : ReferencedCharacter(html.substr(amp + 1, semicolon - amp - 1), true);
        if (c == 0) {
            character(u'&');
            return amp + 1;
        }
        if (c == 0xA0)
            character(u' ');
        else if (c < 0x10000)
            character(static_cast<char16_t>(c));
        else
            AppendCharacter(c, text_);
        return semicolon + 1;
    }

    // Past the markup that starts at `at`; a "<" that opens no markup is text.
    std::size_t markup(std::u16string_view html, std::size_t at) {
        if (html.substr(at, 4) == u"<!--") {
            const std::size_t close = html.find(u"-->", at + 4);
            return close == npos ? html.size() : close + 3;
        }
        const bool closing = at + 1 < html.size() && html[at + 1] == u'/';
        const std::size_t nameStart = at + (closing ? 2 : 1);
        const bool declaration = nameStart < html.size() && (html[nameStart] == u'!' || html[nameStart] == u'?');
        if (!declaration && (nameStart >= html.size() || !IsLetter(html[nameStart]))) {
            character(u'<');
            return at + 1;
        }
        const std::size_t end = TagEnd(html, at);
        if (end == npos)
            return html.size();
        if (declaration)
            return end;
        std::u16string name;
        for (std::size_t p = nameStart; p < end && IsNameCharacter(html[p]) && name.size() <= kMaxNameLength; ++p)
            name.push_back(Lower(html[p]));
        switch (KindOf(name)) {
        case Kind::Block:
            lineEnd();
            break;
        case Kind::Cell:
            if (closing && !text_.empty() && text_.back() != u'\n')
                text_.push_back(u'\t');
            break;
        case Kind::Pre:
            lineEnd();
            pre_ = !closing;
            break;
        case Kind::Skipped:
            if (!closing) {
                // Script and style run to their end tag, as a browser reads them.
                const std::size_t close = FindNoCase(html, u"</" + name, end);
                return close == npos ? html.size() : close;
            }
            break;
        case Kind::Head:
            if (!closing && !headUnended_) {
                // A head left open ends where the body begins; with neither, the tag is ignored
                // (and so is every later one: they would find neither too).
                std::size_t close = FindNoCase(html, u"</head", end);
                if (close == npos)
                    close = FindNoCase(html, u"<body", end);
                if (close != npos)
                    return close;
                headUnended_ = true;
            }
            break;
        case Kind::Other:
            break;
        }
        return end;
    }

    std::u16string& text_;
    bool pre_ = false;
    bool headUnended_ = false;
};

} // namespace

void AppendHtmlText(std::u16string_view html, std::u16string& text) {
    HtmlScan(text).run(html);
}

} // namespace tessarel
