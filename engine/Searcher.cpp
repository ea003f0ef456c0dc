#include "engine/Searcher.h"

#include "engine/Marking.h"
#include "engine/Pages.h"
#include "platform/Clock.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstdio>
#include <exception>

namespace tessarel {
namespace {

constexpr std::size_t npos = std::u16string_view::npos;
constexpr int kMaxCountedOccurrences = 10;
constexpr int kMaxAnchorOccurrences = 11;

// 1 + the non-overlapping occurrences of word in fragment, at most 10.
int OccurrenceWeight(std::u16string_view fragment, std::u16string_view word) {
    int c = 1;
    for (std::size_t at = FindUnits(fragment, 0, word); at != npos && c < kMaxCountedOccurrences;
         at = FindUnits(fragment, at + word.size(), word))
        ++c;
    return c;
}

// The distance from word k, taken to start at p, to the nearest occurrence of the next word; one
// before p counts double, so a following word is preferred at equal distance.
long long Gap(std::u16string_view fragment, long long p, std::u16string_view word, std::u16string_view next) {
    const long long L = static_cast<long long>(fragment.size());
    long long f = L;
    const long long after = p + static_cast<long long>(word.size());
    if (after <= L) {
        const std::size_t q = FindUnits(fragment, static_cast<std::size_t>(after), next);
        if (q != npos)
            f = static_cast<long long>(q) - after;
    }
    long long g = L;
    if (p > 0) {
        const std::size_t r = fragment.rfind(next, static_cast<std::size_t>(std::min(p, L) - 1));
        if (r != npos)
            g = p - static_cast<long long>(r) - static_cast<long long>(next.size());
    }
    return f > 2 * g ? 2 * g : f;
}

} // namespace

CSearcher::CSearcher(EngineSink& sink) : sink_(sink), outputBuffer_(kOutputCapacity) {}

CSearcher::~CSearcher() { worker_.waitForEnd(); }

bool CSearcher::start() {
    if (!catalog || isRunning())
        return false;
    stopRequested_.store(false);
    return worker_.start([this] { return run(); });
}

std::int32_t CSearcher::Score(std::u16string_view fragment) const {
    const std::vector<std::u16string>& words = query.words();
    const long long L = static_cast<long long>(fragment.size());
    long long occ = 0;
    for (const std::u16string& w : words)
        occ += OccurrenceWeight(fragment, w);
    if (words.size() == 1)
        return static_cast<std::int32_t>((L + 1000) / (occ * 10));

    long long best = L;
    long long anchor = -1;
    long long firstAnchor = -1;
    int seen = 0;
    for (std::size_t o = FindUnits(fragment, 0, words[0]); o != npos && seen < kMaxAnchorOccurrences;
         o = FindUnits(fragment, o + words[0].size(), words[0]), ++seen) {
        const long long end = static_cast<long long>(o + words[0].size());
        if (firstAnchor < 0)
            firstAnchor = end;
        const long long gap = Gap(fragment, static_cast<long long>(o), words[0], words[1]);
        if (gap < best) {
            best = gap;
            anchor = end;
        }
    }
    // When no occurrence of word 0 came closer than the fragment's length, the further gaps are
    // measured from just after its first occurrence.
    if (anchor < 0)
        anchor = firstAnchor < 0 ? 0 : firstAnchor;
    for (std::size_t k = 1; k + 1 < words.size(); ++k) {
        best += Gap(fragment, std::min(anchor, L), words[k], words[k + 1]);
        anchor += static_cast<long long>(words[k].size()) + 1;
    }
    return static_cast<std::int32_t>((best * 1000 + L) / (occ + 10));
}

template <typename KeepHit>
void CSearcher::collectHits(int index, KeepHit keep) {
    const FileRecord& record = catalog->record(index);
    const std::u16string_view text = query.caseSensitive ? record.text : record.foldedText;
    const std::u16string_view shown = record.text;
    const std::u16string& word0 = query.words().front();
    std::size_t pos = 0;
    for (int fragments = 0; fragments < kFragmentsPerDocument && pos < text.size(); ++fragments) {
        const std::size_t hit = query.findWord(text, pos, word0);
        if (hit == npos)
            return;
        const std::size_t start = FragmentStart(text, hit);
        const std::size_t end = FragmentEnd(text, hit);
        const std::u16string_view sentence = text.substr(start, end - start);
        if (query.otherWordsPresent(sentence)) {
            const std::int32_t score = order == Relevance ? Score(sentence) : 0;
            if (!keep(score, start, end - start, shown.substr(start, end - start)))
                return;
        }
        // Go on right after the fragment: a hit in the next sentence starts there.
        pos = std::max(end, hit + 1);
    }
}

void CSearcher::groupedSearch() {
    groups_.clear(order);
    fileResults_.limit = resultsPerFile;
    const int n = catalog->count();
    for (int i = 0; i < n && !groups_.full() && !stopped(); ++i) {
        fileResults_.clear();
        collectHits(i, [this](std::int32_t score, std::size_t offset, std::size_t length, std::u16string_view shown) {
            return fileResults_.add(score, offset, length, shown);
        });
        if (fileResults_.count() == 0)
            continue;
        const FileRecord& record = catalog->record(i);
        MakeDocumentHeader(fileResults_.header, record);
        fileResults_.sort();
        const int shownHits = std::min(fileResults_.count(), std::max(fileResults_.limit, 0));
        std::u16string lines;
        for (int k = 0; k < shownHits; ++k) {
            const auto at = static_cast<std::size_t>(fileResults_.outputOrder[static_cast<std::size_t>(k)]);
            lines.append(ResultLine(i, fileResults_.offsets[at], fileResults_.lengths[at],
                                    fileResults_.fragments[at]));
        }
        // Escaping can make the block outgrow its fixed capacity: it is sized from its content,
        // so every hit the limit shows is shown; the output buffer still caps the whole page.
        fileResults_.buffer.ensureCapacity(fileResults_.header.size() + lines.size() + 1);
        fileResults_.buffer.append(fileResults_.header.view());
        fileResults_.buffer.append(lines);
        std::int32_t key = 0;
        if (order == Relevance)
            key = fileResults_.bestScore;
        else if (order == Date)
            key = static_cast<std::int32_t>(record.modified);
        groups_.add(fileResults_.buffer.str(), key, FileNameOf(record.path));
    }
    groups_.finish(outputBuffer_);
    resultCount_ = groups_.count();
}

void CSearcher::flatSearch() {
    flat_.clear();
    const int n = catalog->count();
    for (int i = 0; i < n && !flat_.full() && !stopped(); ++i) {
        bool headerWritten = false;
        collectHits(i, [&](std::int32_t score, std::size_t offset, std::size_t length, std::u16string_view shown) {
            if (flat_.full())
                return false;
            if (!headerWritten) {
                MakeDocumentHeader(flat_.header, catalog->record(i));
                flat_.currentFile = i;
                headerWritten = true;
            }
            std::u16string block(flat_.header.view());
            block.append(ResultLine(flat_.currentFile, offset, length, shown));
            return flat_.add(std::move(block), score);
        });
    }
    flat_.finish(outputBuffer_);
    resultCount_ = flat_.count();
}

int CSearcher::run() {
    std::int64_t started = ElapsedMilliseconds();
    outputBuffer_.clear();
    resultCount_ = 0;
    try {
        if (catalog->isRunning()) {
            sink_.post(WM_SEARCH_WAITING, {});
            catalog->waitForEnd();
        }
        started = ElapsedMilliseconds();
        if (query.wordCount() > 0) {
            if (groupByFiles)
                groupedSearch();
            else
                flatSearch();
            outputBuffer_.assign(MarkSearchWords(outputBuffer_.view(), query));
        }
    } catch (const std::exception&) {
        // Out of memory, say: the search ends as one without results rather than end the
        // program, and the window hears of its end as always.
        outputBuffer_.clear();
        resultCount_ = 0;
    }
    if (resultCount_ == 0)
        outputBuffer_.append(kNoResults);

    char status[100];
    std::snprintf(status, sizeof status, "%d %s (%4.2f )", resultCount_, "results",
                  static_cast<double>(ElapsedMilliseconds() - started) * 0.001);
    statusLine_ = Widen(status);
    sink_.post(WM_SEARCH_DONE, {});
    sink_.post(WM_ENGINE_STATUS, statusLine_);
    return 0;
}

} // namespace tessarel
