#include "engine/Html.h"

namespace tessarel {

void AppendEscaped(std::u16string& out, std::u16string_view text, bool attribute) {
    for (char16_t c : text) {
        switch (c) {
        case u'&':
            out.append(u"&amp;");
            break;
        case u'<':
            out.append(u"&lt;");
            break;
        case u'>':
            out.append(u"&gt;");
            break;
        case u'"':
            if (attribute)
                out.append(u"&quot;");
            else
                out.push_back(c);
            break;
        default:
            out.push_back(c);
        }
    }
}

std::u16string Escaped(std::u16string_view text, bool attribute) {
    std::u16string out;
    out.reserve(text.size());
    AppendEscaped(out, text, attribute);
    return out;
}

} // namespace tessarel
