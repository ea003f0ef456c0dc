// Feeds arbitrary bytes through the plain-text decoding, the case folding, the matcher with its
// fragments and score, the page pieces and the marking: the first line is the query, the rest
// the document. A document whose units all fit in a byte is searched its one-byte way too, which
// must find the same hits and fragments.

#include "engine/Catalog.h"
#include "engine/Html.h"
#include "engine/Marking.h"
#include "engine/Pages.h"
#include "engine/Query.h"
#include "engine/Searcher.h"
#include "extract/ReadDocument.h"
#include "platform/CompactText.h"
#include "platform/EngineSink.h"
#include "platform/Text.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace tessarel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t newline = input.find('\n');
    if (newline == std::string_view::npos || newline > 300)
        return 0;
    const std::string_view queryBytes = input.substr(0, newline);
    const std::string_view documentBytes = input.substr(newline + 1);

    std::u16string text = u" ";
    AppendPlainText(text, documentBytes);
    const std::u16string folded = Folded(text);
    if (folded.size() != text.size())
        __builtin_trap();

    // One searcher for the whole run: its output buffer is large and allocated once, as in the program.
    static QueuedEngineSink sink;
    static CSearcher searcher(sink);
    Query& q = searcher.query;
    q.matchWord = queryBytes.size() % 2;
    q.fixBeginning = (queryBytes.size() / 2) % 2;
    q.caseSensitive = (queryBytes.size() / 4) % 2;
    q.setQueryText(FromUtf8(queryBytes));
    q.split();
    if (q.wordCount() == 0)
        return 0;

    const std::u16string_view searched = q.caseSensitive ? std::u16string_view(text) : folded;
    const bool narrow = FitsInBytes(text) && NarrowFoldTable();
    const std::basic_string<unsigned char> bytes(text.begin(), text.end());
    const NarrowUnits exact{bytes.data(), bytes.size()};
    const FoldedNarrowUnits caseBlind{bytes.data(), bytes.size(), NarrowFoldTable()};
    // The one-byte search's answer for the same question, with `ask` taking the text as it reads it.
    const auto narrowly = [&](auto ask) { return q.caseSensitive ? ask(exact) : ask(caseBlind); };
    std::size_t pos = 0;
    for (int fragments = 0; fragments < 50 && pos < searched.size(); ++fragments) {
        const std::size_t hit = q.findWord(searched, pos, q.words()[0]);
        if (narrow && narrowly([&](const auto& t) { return q.findWord(t, pos, q.words()[0]); }) != hit)
            __builtin_trap();
        if (hit == std::u16string_view::npos)
            break;
        const std::size_t start = q.fragmentStart(searched, hit);
        const std::size_t length = q.words()[0].size();
        const std::size_t end = q.fragmentEnd(searched, hit, length);
        if (narrow && (narrowly([&](const auto& t) { return q.fragmentStart(t, hit); }) != start ||
                       narrowly([&](const auto& t) { return q.fragmentEnd(t, hit, length); }) != end))
            __builtin_trap();
        // The fragment holds its whole hit and never more than 345 units on either side.
        if (start > hit || hit + length > end || end > searched.size() || end - start > 692)
            __builtin_trap();
        const std::u16string_view fragment = searched.substr(start, end - start);
        if (q.otherWordsPresent(fragment))
            (void)searcher.score(fragment);
        const std::u16string line = ResultLine(0, start, end - start, text.substr(start, end - start));
        (void)MarkSearchWords(line, q);
        pos = std::max(end, hit + 1);
    }
    return 0;
}
