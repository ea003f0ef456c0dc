#include "engine/Marking.h"

#include "engine/Html.h"
#include "platform/Text.h"

#include <algorithm>
#include <vector>

namespace tessarel {
namespace {

constexpr std::size_t kEntityReach = 10;  // "&quot;" and "&nbsp;" are the longest the pages hold

// The position of the ";" that closes an entity starting at amp, or npos.
std::size_t EntityClose(std::u16string_view t, std::size_t amp) {
    const std::size_t limit = std::min(t.size(), amp + kEntityReach);
    for (std::size_t j = amp + 1; j < limit; ++j)
        if (t[j] == u';')
            return j;
    return std::u16string_view::npos;
}

// True when cutting the text at `cut` would split a character reference.
bool InsideEntity(std::u16string_view t, std::size_t cut) {
    const std::size_t from = cut > kEntityReach ? cut - kEntityReach : 0;
    for (std::size_t a = cut; a > from; --a) {
        if (t[a - 1] == u'&') {
            const std::size_t close = EntityClose(t, a - 1);
            return close != std::u16string_view::npos && close >= cut;
        }
    }
    return false;
}

std::u16string MarkOne(std::u16string_view t, std::u16string_view word) {
    std::u16string out;
    out.reserve(t.size() + 64);
    bool inTag = false;
    std::size_t scanned = 0;  // tag state is known up to here
    std::size_t copied = 0;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t hit = FindUnits(t, pos, word);
        if (hit == std::u16string_view::npos)
            break;
        for (; scanned < hit; ++scanned) {
            if (t[scanned] == u'<')
                inTag = true;
            else if (t[scanned] == u'>')
                inTag = false;
        }
        const std::size_t end = hit + word.size();
        if (inTag || InsideEntity(t, hit) || InsideEntity(t, end)) {
            pos = hit + 1;
            continue;
        }
        out.append(t.substr(copied, hit - copied));
        out.append(kSearchedOpen);
        out.append(word);
        out.append(kSearchedClose);
        copied = scanned = pos = end;  // an escaped word holds no "<" or ">"
    }
    out.append(t.substr(copied));
    return out;
}

} // namespace

std::u16string MarkSearchWords(std::u16string_view page, const Query& query) {
    std::u16string text(page);
    std::vector<std::u16string> done;
    auto mark = [&](const std::u16string& form) {
        if (form.empty() || std::find(done.begin(), done.end(), form) != done.end())
            return;  // a form already marked would be wrapped twice
        done.push_back(form);
        text = MarkOne(text, Escaped(form));
    };
    for (const std::u16string& w : query.words())
        mark(w);
    if (!query.caseSensitive) {
        for (const std::u16string& w : query.words()) {
            std::u16string capitalised = w;
            capitalised[0] = UpperUnit(capitalised[0]);
            mark(capitalised);
            std::u16string upper = w;
            for (char16_t& c : upper)
                c = UpperUnit(c);
            mark(upper);
        }
    }
    return text;
}

} // namespace tessarel
