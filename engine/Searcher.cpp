#include "engine/Searcher.h"

#include "engine/Marking.h"
#include "engine/Pages.h"
#include "platform/Clock.h"
#include "platform/Text.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

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

// Runs compute(i) for the documents 0..n-1 on `threads` threads (the calling one among them) and
// hands each result to consume(i, result) in catalogue order, one at a time, until consume says
// the result is full: the threads then take no further documents. The output is the one a single
// thread makes. Whichever thread completes the next document in order consumes it and those ready
// after it, so no thread is woken for a document: a rare word's search is mostly documents
// without hits.
template <typename Result, typename Compute, typename Consume>
void ScanInOrder(int n, int threads, const std::atomic<bool>& stop, Compute compute, Consume consume) {
    if (threads <= 1) {
        for (int i = 0; i < n && !stop.load(std::memory_order_relaxed); ++i) {
            Result result = compute(i);
            if (!consume(i, result))
                return;
        }
        return;
    }
    std::vector<std::optional<Result>> slots(static_cast<std::size_t>(n));
    std::atomic<int> next{0};
    std::atomic<int> limit{n};
    std::mutex mutex;
    int consumed = 0;
    std::exception_ptr failure;
    auto scan = [&] {
        try {
            for (int i = next.fetch_add(1); i < limit.load() && !stop.load(std::memory_order_relaxed);
                 i = next.fetch_add(1)) {
                Result result = compute(i);
                std::lock_guard lock(mutex);
                if (i >= limit.load())
                    break;
                slots[static_cast<std::size_t>(i)] = std::move(result);
                while (consumed < n && slots[static_cast<std::size_t>(consumed)]) {
                    std::optional<Result>& slot = slots[static_cast<std::size_t>(consumed)];
                    const bool more = consume(consumed, *slot);
                    slot.reset();
                    ++consumed;
                    if (!more) {
                        limit.store(0);
                        break;
                    }
                }
            }
        } catch (...) {
            // Out of memory, say: the search ends as it would on a single thread.
            std::lock_guard lock(mutex);
            if (!failure)
                failure = std::current_exception();
            limit.store(0);
        }
    };
    std::vector<std::thread> pool;
    pool.reserve(static_cast<std::size_t>(threads - 1));
    try {
        for (int t = 1; t < threads; ++t)
            pool.emplace_back(scan);
    } catch (const std::system_error&) {
        // The system refused a thread: the search goes on with those it has, this one among them.
    }
    scan();
    for (std::thread& t : pool)
        t.join();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace

CSearcher::CSearcher(EngineSink& sink) : sink_(sink), outputBuffer_(kOutputCapacity) {}

CSearcher::~CSearcher() {
    worker_.waitForEnd();
}

bool CSearcher::start() {
    if (!catalog || isRunning())
        return false;
    stopRequested_.store(false);
    return worker_.start([this] {
        run();
        return 0;
    });
}

std::int32_t CSearcher::score(std::u16string_view fragment) const {
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

namespace {

// Units [start, start + length) of the text as the search reads it, for the fragment's own
// tests and score: a UTF-16 text gives a view of itself, a narrow one its units widened into `buffer`.
std::u16string_view Piece(std::u16string_view text, std::size_t start, std::size_t length, std::u16string&) {
    return text.substr(start, length);
}

template <typename Units>
std::u16string_view Piece(const Units& text, std::size_t start, std::size_t length, std::u16string& buffer) {
    buffer.resize(length);
    for (std::size_t k = 0; k < length; ++k)
        buffer[k] = text[start + k];
    return buffer;
}

} // namespace

template <typename KeepHit> void CSearcher::collectHits(int index, KeepHit keep) const {
    const CatalogRecord& record = catalog->record(index);
    if (!query.caseSensitive && record.foldsAsRead()) {
        collectHitsIn(FoldedNarrowUnits{record.text.narrowUnits(), record.text.size(), NarrowFoldTable()},
                      record.text, keep);
        return;
    }
    const CompactText& searched = query.caseSensitive ? record.text : record.foldedText;
    if (searched.narrow())
        collectHitsIn(NarrowUnits{searched.narrowUnits(), searched.size()}, record.text, keep);
    else
        collectHitsIn(searched.wideUnits(), record.text, keep);
}

template <typename Units, typename KeepHit>
void CSearcher::collectHitsIn(const Units& text, const CompactText& shown, KeepHit keep) const {
    const std::u16string& word0 = query.words().front();
    std::u16string sentenceBuffer;
    std::u16string shownBuffer;
    std::size_t pos = 0;
    for (int fragments = 0; fragments < kFragmentsPerDocument && pos < text.size(); ++fragments) {
        const std::size_t hit = query.findWord(text, pos, word0);
        if (hit == npos)
            return;
        const std::size_t start = query.fragmentStart(text, hit);
        const std::size_t end = query.fragmentEnd(text, hit, word0.size());
        const std::u16string_view sentence = Piece(text, start, end - start, sentenceBuffer);
        if (query.otherWordsPresent(sentence)) {
            const std::int32_t fragmentScore = order == Relevance ? score(sentence) : 0;
            std::u16string_view shownPiece;
            if (shown.narrow()) {
                shownBuffer.clear();
                shown.appendUtf16(shownBuffer, start, end - start);
                shownPiece = shownBuffer;
            } else {
                shownPiece = shown.wideUnits().substr(start, end - start);
            }
            if (!keep(fragmentScore, start, end - start, shownPiece))
                return;
        }
        // Go on right after the fragment: a hit in the next sentence starts there.
        pos = std::max(end, hit + 1);
    }
}

int CSearcher::threadCount(int documents) const {
    int n = searchThreads > 0 ? searchThreads : static_cast<int>(std::thread::hardware_concurrency());
    // A thread costs more than scanning a few small documents.
    return std::clamp(std::min(n, documents / 8), 1, 64);
}

CSearcher::DocumentResult CSearcher::groupedDocument(int index, CFileResults& fileResults) const {
    DocumentResult result;
    fileResults.clear();
    fileResults.limit = resultsPerFile;
    collectHits(index,
                [&](std::int32_t score, std::size_t offset, std::size_t length, std::u16string_view shown) {
                    return fileResults.add(score, offset, length, shown);
                });
    if (fileResults.count() == 0)
        return result;
    const CatalogRecord& record = catalog->record(index);
    MakeDocumentHeader(fileResults.header, record);
    fileResults.sort();
    const int shownHits = std::min(fileResults.count(), std::max(fileResults.limit, 0));
    std::u16string lines;
    for (int k = 0; k < shownHits; ++k) {
        const auto at = static_cast<std::size_t>(fileResults.outputOrder[static_cast<std::size_t>(k)]);
        lines.append(
            ResultLine(index, fileResults.offsets[at], fileResults.lengths[at], fileResults.fragments[at]));
        result.hits.push_back(
            {index, fileResults.offsets[at], fileResults.lengths[at], fileResults.scores[at]});
    }
    // Escaping can make the block outgrow its fixed capacity: it is sized from its content,
    // so every hit the limit shows is shown; the output buffer still caps the whole page.
    fileResults.buffer.ensureCapacity(fileResults.header.size() + lines.size() + 1);
    fileResults.buffer.append(fileResults.header.view());
    fileResults.buffer.append(lines);
    result.blocks.push_back(fileResults.buffer.str());
    if (order == Relevance)
        result.key = fileResults.bestScore;
    else if (order == Date)
        result.key = static_cast<std::int32_t>(record.modified);
    return result;
}

void CSearcher::groupedSearch() {
    groups_.clear(order);
    groupHits_.clear();
    const int n = catalog->count();
    ScanInOrder<DocumentResult>(
        n, threadCount(n), stopRequested_,
        [this](int i) {
            // Each scanning thread keeps one set of containers for all its documents.
            thread_local CFileResults fileResults;
            return groupedDocument(i, fileResults);
        },
        [this](int i, DocumentResult& result) {
            if (!result.blocks.empty()) {
                groups_.add(std::move(result.blocks.front()), result.key,
                            FileNameOf(catalog->record(i).path));
                groupHits_.push_back(std::move(result.hits));
            }
            return !groups_.full();
        });
    const std::vector<int> shown = groups_.finish(outputBuffer_);
    for (int block : shown)
        for (const SearchHit& hit : groupHits_[static_cast<std::size_t>(block)])
            hits_.push_back(hit);
    resultCount_ = groups_.count();
}

CSearcher::DocumentResult CSearcher::flatDocument(int index) const {
    DocumentResult result;
    FixedText header(CFileResults::kHeaderCapacity);
    collectHits(index,
                [&](std::int32_t score, std::size_t offset, std::size_t length, std::u16string_view shown) {
                    if (result.blocks.empty())
                        MakeDocumentHeader(header, catalog->record(index));
                    std::u16string block(header.view());
                    block.append(ResultLine(index, offset, length, shown));
                    result.blocks.push_back(std::move(block));
                    result.hits.push_back({index, offset, length, score});
                    // No document can give the list more hits than it holds.
                    return result.blocks.size() < static_cast<std::size_t>(CResultList::kMaxBlocks);
                });
    return result;
}

void CSearcher::flatSearch() {
    flat_.clear();
    std::vector<SearchHit> listed;
    const int n = catalog->count();
    ScanInOrder<DocumentResult>(
        n, threadCount(n), stopRequested_, [this](int i) { return flatDocument(i); },
        [&](int, DocumentResult& result) {
            for (std::size_t k = 0; k < result.blocks.size() && !flat_.full(); ++k) {
                flat_.add(std::move(result.blocks[k]), result.hits[k].score);
                listed.push_back(result.hits[k]);
            }
            return !flat_.full();
        });
    for (int block : flat_.finish(outputBuffer_))
        hits_.push_back(listed[static_cast<std::size_t>(block)]);
    resultCount_ = flat_.count();
}

void CSearcher::run() {
    std::int64_t started = ElapsedMilliseconds();
    outputBuffer_.clear();
    resultCount_ = 0;
    hits_.clear();
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
        hits_.clear();
    }
    if (resultCount_ == 0)
        outputBuffer_.append(kNoResults);

    char status[100];
    std::snprintf(status, sizeof status, "%d %s (%4.2f )", resultCount_, "results",
                  static_cast<double>(ElapsedMilliseconds() - started) * 0.001);
    statusLine_ = Widen(status);
    sink_.post(WM_SEARCH_DONE, {});
    sink_.post(WM_ENGINE_STATUS, statusLine_);
}

} // namespace tessarel
