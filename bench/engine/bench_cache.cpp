// Times the text cache as a warm reading run uses it: 10000 documents of a few KB stored, then
// looked up, and a few large documents whose lookups are bound by decompression.
//
// Then the cost of a batch of one row as a reading run stores it, in a cache of 1000 rows and of
// 100000: it must not grow with the rows the cache holds.
//
//   bench_cache [--docs N] [--units-per-doc N] [--large N] [--large-units N] [--threads N] [--keep DIR]
//               [--batch-rows N,M]

#include "engine/TextCache.h"
#include "engine/TextCacheCodec.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace tessarel;

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Running text from a vocabulary of a few thousand words, Latin and Cyrillic.
std::u16string DocumentText(std::size_t units, std::mt19937& rng) {
    static std::vector<std::u16string> words = [] {
        std::vector<std::u16string> list;
        std::mt19937 wordRng(7);
        for (int i = 0; i < 4000; ++i) {
            std::u16string w;
            const char16_t base = i % 3 == 0 ? u'\x430' : u'a';
            for (int n = 3 + static_cast<int>(wordRng() % 8); n > 0; --n)
                w.push_back(static_cast<char16_t>(base + wordRng() % 26));
            list.push_back(w);
        }
        return list;
    }();
    std::u16string text = u" ";
    text.reserve(units + 16);
    while (text.size() < units) {
        // Zipf-like: low indexes far more often.
        const std::size_t r = rng() % words.size();
        text += words[(r * r) / words.size()];
        text += rng() % 12 == 0 ? u". " : u" ";
    }
    text.resize(units);
    return text;
}

TextCacheKey KeyOf(const std::string& path, std::size_t units) {
    TextCacheKey key;
    key.device = 2049;
    key.inode = std::hash<std::string>()(path);
    key.path = path;
    key.size = static_cast<std::int64_t>(units);
    key.modifiedNs = 1700000000000000000;
    key.changedNs = 1700000000000000000;
    return key;
}

// The median time of a one-row batch (a store and the flush that writes it) in a cache of `rows`.
double OneRowBatch(const fs::path& folder, std::size_t rows, std::mt19937& rng) {
    fs::remove_all(folder);
    std::unique_ptr<TextCache> cache = TextCache::open(folder.string(), 4096ull << 20);
    if (!cache)
        return -1;
    const std::u16string text = DocumentText(500, rng);
    for (std::size_t i = 0; i < rows; ++i)
        cache->store(KeyOf("/fill/" + std::to_string(i) + ".pdf", 500), text, {});
    cache->flush();
    std::vector<double> times;
    for (int i = 0; i < 60; ++i) {
        const auto start = std::chrono::steady_clock::now();
        cache->store(KeyOf("/one/" + std::to_string(i) + ".pdf", 500), text, {});
        cache->flush();
        times.push_back(Seconds(start));
    }
    std::sort(times.begin(), times.end());
    cache.reset();
    fs::remove_all(folder);
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    std::size_t docs = 10000;
    std::size_t unitsPerDoc = 2000;
    std::size_t large = 4;
    std::size_t largeUnits = 8u << 20;
    unsigned threads = 1;
    std::string keep;
    std::vector<std::size_t> batchRows = {1000, 100000};
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const std::string value = argv[i + 1];
        if (option == "--docs")
            docs = std::stoul(value);
        else if (option == "--units-per-doc")
            unitsPerDoc = std::stoul(value);
        else if (option == "--large")
            large = std::stoul(value);
        else if (option == "--large-units")
            largeUnits = std::stoul(value);
        else if (option == "--threads")
            threads = static_cast<unsigned>(std::stoul(value));
        else if (option == "--keep")
            keep = value;
        else if (option == "--batch-rows") {
            batchRows.clear();
            for (std::size_t at = 0; at < value.size();) {
                const std::size_t comma = std::min(value.find(',', at), value.size());
                batchRows.push_back(std::stoul(value.substr(at, comma - at)));
                at = comma + 1;
            }
        }
    }
    const fs::path folder =
        keep.empty() ? fs::temp_directory_path() / ("tessarel-bench-cache-" + std::to_string(getpid()))
                     : fs::path(keep);
    fs::remove_all(folder);

    std::mt19937 rng(42);
    std::vector<std::u16string> texts;
    for (std::size_t i = 0; i < docs; ++i)
        texts.push_back(DocumentText(unitsPerDoc, rng));
    std::vector<std::u16string> largeTexts;
    for (std::size_t i = 0; i < large; ++i)
        largeTexts.push_back(DocumentText(largeUnits, rng));
    const std::vector<std::u16string> logLines = {u"/home/me/docs/one.pdf"};

    std::string why;
    auto start = std::chrono::steady_clock::now();
    std::unique_ptr<TextCache> cache = TextCache::open(folder.string(), 1024u << 20, &why);
    if (!cache) {
        std::fprintf(stderr, "bench_cache: %s\n", why.c_str());
        return 1;
    }
    const double openCold = Seconds(start);

    start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < docs; ++i)
        cache->store(KeyOf("/docs/" + std::to_string(i) + ".txt", unitsPerDoc), texts[i], logLines);
    const double storeCalls = Seconds(start);
    cache->flush();
    const double storeAll = Seconds(start);
    for (std::size_t i = 0; i < large; ++i)
        cache->store(KeyOf("/docs/large" + std::to_string(i) + ".txt", largeUnits), largeTexts[i], {});
    cache->flush();
    cache.reset();

    // The warm run: a new cache object, as a new process would open it.
    start = std::chrono::steady_clock::now();
    cache = TextCache::open(folder.string(), 1024u << 20, &why);
    const double openWarm = Seconds(start);
    std::atomic<std::size_t> hits{0}, wrong{0};
    start = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (std::size_t i = t; i < docs; i += threads) {
                const auto entry = cache->lookup(KeyOf("/docs/" + std::to_string(i) + ".txt", unitsPerDoc));
                if (!entry)
                    continue;
                ++hits;
                if (entry->text != texts[i] || entry->logLines != logLines)
                    ++wrong;
            }
        });
    for (std::thread& w : workers)
        w.join();
    const double lookupAll = Seconds(start);
    start = std::chrono::steady_clock::now();
    cache->flush();
    const double touchFlush = Seconds(start);

    std::size_t largeBytes = 0;
    double largeLookups = 0;
    for (std::size_t i = 0; i < large; ++i) {
        start = std::chrono::steady_clock::now();
        const auto entry = cache->lookup(KeyOf("/docs/large" + std::to_string(i) + ".txt", largeUnits));
        largeLookups += Seconds(start);
        if (entry && entry->text == largeTexts[i])
            largeBytes += entry->text.size() * 2;
    }

    // zstd alone on the same large texts, without SQLite around it.
    std::vector<std::string> frames;
    std::size_t frameBytes = 0;
    start = std::chrono::steady_clock::now();
    for (const std::u16string& t : largeTexts) {
        frames.push_back(CompressText(t));
        frameBytes += frames.back().size();
    }
    const double compressAlone = Seconds(start);
    start = std::chrono::steady_clock::now();
    std::size_t decompressed = 0;
    for (std::size_t i = 0; i < frames.size(); ++i)
        if (auto text = DecompressText(frames[i], largeTexts[i].size()))
            decompressed += text->size() * 2;
    const double decompressAlone = Seconds(start);

    const auto stats = cache->stats();
    std::printf("documents: %zu of %zu units, %zu large of %zu units; lookup threads: %u\n", docs,
                unitsPerDoc, large, largeUnits, threads);
    std::printf("open: cold %.1f ms, warm %.1f ms\n", openCold * 1e3, openWarm * 1e3);
    std::printf("store: %.3f s in the callers, %.3f s until written (%.0f documents/s)\n", storeCalls,
                storeAll, static_cast<double>(docs) / storeAll);
    std::printf("lookup: %zu hits, %zu wrong, %.3f s (%.0f lookups/s), last-used writes %.3f s\n",
                hits.load(), wrong.load(), lookupAll, static_cast<double>(docs) / lookupAll, touchFlush);
    if (large > 0) {
        std::printf("large lookups: %.2f GB/s of text (%zu MB in %.3f s)\n",
                    static_cast<double>(largeBytes) / largeLookups / 1e9, largeBytes >> 20, largeLookups);
        std::printf("zstd alone: compress %.2f GB/s, decompress %.2f GB/s, ratio %.2f\n",
                    static_cast<double>(decompressed) / compressAlone / 1e9,
                    static_cast<double>(decompressed) / decompressAlone / 1e9,
                    static_cast<double>(decompressed) / static_cast<double>(frameBytes));
    }
    if (stats)
        std::printf("cache: %lld rows, %.1f MiB stored, %.1f MiB on disk, %s\n",
                    static_cast<long long>(stats->rows), static_cast<double>(stats->bytes) / (1 << 20),
                    static_cast<double>(stats->fileBytes) / (1 << 20), stats->location.c_str());
    cache.reset();
    if (keep.empty())
        fs::remove_all(folder);

    std::vector<double> batchTimes;
    for (std::size_t rows : batchRows) {
        batchTimes.push_back(OneRowBatch(folder.string() + "-batch", rows, rng));
        std::printf("one-row batch in a cache of %zu rows: %.2f ms (median of 60)\n", rows,
                    batchTimes.back() * 1e3);
    }
    if (batchTimes.size() >= 2 && batchTimes.front() > 0)
        std::printf("one-row batch, %zu rows against %zu: %.2fx\n", batchRows.back(), batchRows.front(),
                    batchTimes.back() / batchTimes.front());
    return wrong.load() == 0 && hits.load() == docs ? 0 : 1;
}
