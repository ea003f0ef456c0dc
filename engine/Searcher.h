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

namespace tessarel {

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

    // Starts the search thread; false while a search runs or without a catalogue.
    bool start();
    bool isRunning() const { return worker_.isRunning(); }
    void waitForEnd() { worker_.waitForEnd(); }
    // Asks a running search to search no further documents; it finishes with the hits it has.
    void requestStop() { stopRequested_.store(true); }
    // The search itself on the calling thread (the thread body; tests call it directly).
    int run();

    // Valid after WM_SEARCH_DONE.
    const std::u16string& output() const { return outputBuffer_.str(); }
    const std::u16string& statusLine() const { return statusLine_; }
    // Documents with hits (grouped) or hits (flat) of the last search.
    int resultCount() const { return resultCount_; }

    // A fragment's score (lower is better).
    std::int32_t Score(std::u16string_view fragment) const;

private:
    template <typename KeepHit>
    void collectHits(int index, KeepHit keep);
    void groupedSearch();
    bool stopped() const { return stopRequested_.load(std::memory_order_relaxed); }
    void flatSearch();

    EngineSink& sink_;
    CGroupList groups_;
    CResultList flat_;
    FixedText outputBuffer_;
    CFileResults fileResults_;
    std::u16string statusLine_;
    int resultCount_ = 0;
    std::atomic<bool> stopRequested_{false};
    Worker worker_;
};

} // namespace tessarel
