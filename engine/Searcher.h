#pragma once
// The search run: finds the hits of the query in every document of the catalogue, scores and
// orders them and assembles the result page text, on its own thread.

#include "engine/Catalog.h"
#include "engine/FileResults.h"
#include "engine/FixedText.h"
#include "engine/GroupList.h"
#include "engine/Query.h"
#include "engine/ResultList.h"
#include "platform/EngineSink.h"
#include "platform/Worker.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace tessarel {

// One hit as the page shows it: the document's index, its fragment (offset and length in UTF-16
// units of the document's text) and the fragment's score (0 unless ordered by relevance).
struct SearchHit {
    int document = 0;
    std::size_t offset = 0;
    std::size_t length = 0;
    std::int32_t score = 0;
    bool operator==(const SearchHit&) const = default;
};

class CSearcher {
public:
    static constexpr std::size_t kOutputCapacity = 14000000;
    static constexpr int kFragmentsPerDocument = 1000;

    enum Order : std::int32_t { Relevance = 0, Date = 1, Alphabetical = 2 };

    explicit CSearcher(EngineSink& sink);
    // Waits for a running search: the searcher is never destroyed under its thread.
    ~CSearcher();

    // Set on the UI thread before start(): the words and options, and these.
    Query query;
    CCatalog* catalog = nullptr;
    std::int32_t order = Relevance;
    std::int32_t resultsPerFile = 4;
    std::int32_t groupByFiles = 1;
    // Threads that scan documents; 0: every hardware thread.
    int searchThreads = 0;

    // Starts the search thread; false while a search runs or without a catalogue.
    bool start();
    bool isRunning() const { return worker_.isRunning(); }
    void waitForEnd() { worker_.waitForEnd(); }
    // Asks a running search to search no further documents; it finishes with the hits it has.
    void requestStop() { stopRequested_.store(true); }
    // The search itself on the calling thread (the thread body; tests call it directly).
    void run();

    // Valid after WM_SEARCH_DONE.
    const std::u16string& output() const { return outputBuffer_.str(); }
    const std::u16string& statusLine() const { return statusLine_; }
    // Documents with hits (grouped) or hits (flat) of the last search.
    int resultCount() const { return resultCount_; }
    // The hits the page shows, in page order.
    const std::vector<SearchHit>& hits() const { return hits_; }

    // A fragment's score (lower is better).
    std::int32_t score(std::u16string_view fragment) const;

private:
    // What a scanning thread finds in one document, ready for the search thread to take in
    // catalogue order: grouped, one block and its key; flat, one block per hit.
    struct DocumentResult {
        std::vector<std::u16string> blocks;
        std::vector<SearchHit> hits;
        std::int32_t key = 0;
    };
    template <typename KeepHit> void collectHits(int index, KeepHit keep) const;
    // The same over the text as the search reads it: UTF-16, or narrow as it is or folded.
    template <typename Units, typename KeepHit>
    void collectHitsIn(const Units& text, const CompactText& shown, KeepHit keep) const;
    DocumentResult groupedDocument(int index, CFileResults& fileResults) const;
    DocumentResult flatDocument(int index) const;
    void groupedSearch();
    void flatSearch();
    bool stopped() const { return stopRequested_.load(std::memory_order_relaxed); }
    int threadCount(int documents) const;

    EngineSink& sink_;
    CGroupList groups_;
    CResultList flat_;
    FixedText outputBuffer_;
    std::vector<std::vector<SearchHit>> groupHits_;
    std::vector<SearchHit> hits_;
    std::u16string statusLine_;
    int resultCount_ = 0;
    std::atomic<bool> stopRequested_{false};
    Worker worker_;
};

} // namespace tessarel
