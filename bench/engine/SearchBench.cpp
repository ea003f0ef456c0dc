// Times the search alone over a large generated catalogue, and a reading run over a folder of
// text files, beside grep (and ripgrep, when installed) over the same texts as UTF-8 files.
//
//   bench_search [--docs N] [--chars-per-doc N] [--reading-files N] [--reading-only] [--keep DIR]
//
// The generator is seeded, so every run searches the same texts.

#include "engine/Catalog.h"
#include "engine/Searcher.h"
#include "platform/EngineSink.h"
#include "platform/Notifier.h"
#include "platform/SettingsStore.h"
#include "platform/Text.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace tessarel;

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// A vocabulary with a Zipf distribution, as running text has; a few rare words are planted.
class TextGenerator {
public:
    explicit TextGenerator(unsigned seed) : rng_(seed) {
        static const char* common[] = {"the", "of", "and", "to", "in", "a", "is", "that", "for", "it",
                                       "as", "with", "was", "on", "be", "by", "this", "are", "or", "from"};
        for (const char* w : common)
            words_.emplace_back(w);
        std::uniform_int_distribution<int> length(3, 11);
        std::uniform_int_distribution<int> letter(0, 25);
        while (words_.size() < 30000) {
            std::string w(static_cast<std::size_t>(length(rng_)), 'a');
            for (char& c : w)
                c = static_cast<char>('a' + letter(rng_));
            words_.push_back(w);
        }
        double total = 0;
        for (std::size_t r = 1; r <= words_.size(); ++r) {
            total += 1.0 / static_cast<double>(r);
            cumulative_.push_back(total);
        }
        for (double& c : cumulative_)
            c /= total;
    }

    std::string document(std::size_t chars) {
        std::string text;
        text.reserve(chars + 64);
        std::uniform_real_distribution<double> u(0, 1);
        int inSentence = 0;
        while (text.size() < chars) {
            const auto rank = static_cast<std::size_t>(
                std::lower_bound(cumulative_.begin(), cumulative_.end(), u(rng_)) - cumulative_.begin());
            std::string word = words_[std::min(rank, words_.size() - 1)];
            if (inSentence == 0)
                word[0] = static_cast<char>(word[0] - 'a' + 'A');
            text += word;
            if (++inSentence > 8 && u(rng_) < 0.15) {
                text += u(rng_) < 0.2 ? ".\r\n" : ". ";
                inSentence = 0;
            } else {
                text += u(rng_) < 0.05 ? ", " : " ";
            }
        }
        return text;
    }

    std::mt19937& rng() { return rng_; }

private:
    std::mt19937 rng_;
    std::vector<std::string> words_;
    std::vector<double> cumulative_;
};

void WriteFile(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

struct Run {
    const char* label;
    const char* query;
    int caseSensitive;
    int groupByFiles;
};

double TimeCommand(const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    const int rc = std::system((command + " > /dev/null 2>&1").c_str());
    (void)rc;
    return Seconds(start);
}

bool HasCommand(const char* name) {
    return std::system((std::string("command -v ") + name + " > /dev/null 2>&1").c_str()) == 0;
}

void ReadAll(CCatalog& catalog, QueuedEngineSink& sink);

struct Bench {
    MemorySettingsStore settings;
    QueuedEngineSink sink;
    StderrNotifier notifier;
};

// The search alone over a catalogue of `docs` generated documents.
void SearchRuns(Bench& b, const fs::path& corpus, int docs, std::size_t charsPerDoc) {
    std::printf("generating %d documents of %zu characters...\n", docs, charsPerDoc);
    TextGenerator gen(20261208);
    for (int d = 0; d < docs; ++d) {
        std::string text = gen.document(charsPerDoc);
        // Planted words: "quorvexil" in 3 documents, the phrase "amber lantern" in 50.
        if (d % 1667 == 5)
            text.replace(text.size() / 2, 10, " quorvexil");
        if (d % 100 == 7)
            text.replace(text.size() / 3, 14, " amber lantern");
        const fs::path sub = corpus / ("d" + std::to_string(d / 500));
        if (d % 500 == 0)
            fs::create_directories(sub);
        WriteFile(sub / ("doc" + std::to_string(d) + ".txt"), text);
    }

    CCatalog catalog(b.settings, b.sink, b.notifier);
    catalog.folder = FromUtf8(corpus.string());
    catalog.FilesText = 1;
    auto start = std::chrono::steady_clock::now();
    ReadAll(catalog, b.sink);
    const double readSeconds = Seconds(start);
    std::size_t units = 0;
    for (int i = 0; i < catalog.count(); ++i)
        units += catalog.record(i).text.size();
    std::printf("catalogue: %d documents, %.1f million UTF-16 units (%.0f MB of UTF-16), read in %.2f s\n",
                catalog.count(), static_cast<double>(units) / 1e6, static_cast<double>(units) * 2 / 1e6,
                readSeconds);

    CSearcher searcher(b.sink);
    searcher.catalog = &catalog;
    searcher.resultsPerFile = 4;
    const Run runs[] = {
        {"rare word", "quorvexil", 0, 1},
        {"rare word, case-sensitive", "quorvexil", 1, 1},
        {"rare word, flat", "quorvexil", 0, 0},
        {"frequent word", "the", 0, 1},
        {"frequent word, flat", "the", 0, 0},
        {"two words", "the of", 0, 1},
        {"quoted phrase", "\"amber lantern\"", 0, 1},
        {"quoted phrase, case-sensitive", "\"amber lantern\"", 1, 1},
    };
    std::printf("\n%-32s %10s %9s %14s\n", "search", "seconds", "results", "GB/s as UTF-16");
    double rareSeconds = 0;
    for (const Run& r : runs) {
        searcher.query.caseSensitive = r.caseSensitive;
        searcher.query.fixBeginning = 1;
        searcher.groupByFiles = r.groupByFiles;
        searcher.query.setQueryText(FromUtf8(r.query));
        searcher.query.split();
        double best = 1e9;
        for (int rep = 0; rep < 5; ++rep) {
            start = std::chrono::steady_clock::now();
            searcher.run();
            best = std::min(best, Seconds(start));
            b.sink.drain();
        }
        if (rareSeconds == 0)
            rareSeconds = best;
        std::printf("%-32s %10.4f %9d %14.2f\n", r.label, best, searcher.resultCount(),
                    static_cast<double>(units) * 2 / best / 1e9);
    }

    std::printf("\nthe same texts as UTF-8 files (%.0f MB), best of 3:\n", static_cast<double>(units) / 1e6);
    auto best3 = [](const std::string& command) {
        double best = 1e9;
        for (int rep = 0; rep < 3; ++rep)
            best = std::min(best, TimeCommand(command));
        return best;
    };
    const double grep = best3("grep -r -F -c quorvexil " + corpus.string());
    const double grepI = best3("grep -r -F -i -c quorvexil " + corpus.string());
    std::printf("%-32s %10.4f\n", "grep -F -c", grep);
    std::printf("%-32s %10.4f\n", "grep -F -i -c", grepI);
    if (HasCommand("rg"))
        std::printf("%-32s %10.4f\n", "rg -F -c", best3("rg -F -c quorvexil " + corpus.string()));
    std::printf("rare-word search / grep -F -c: %.2f\n", rareSeconds / grep);
}

// A reading run over `files` text files of 100 KB, from the page cache.
void ReadingRun(Bench& b, const fs::path& folder, int files) {
    TextGenerator gen(7);
    for (int d = 0; d < files; ++d) {
        if (d % 500 == 0)
            fs::create_directories(folder / ("d" + std::to_string(d / 500)));
        WriteFile(folder / ("d" + std::to_string(d / 500)) / ("f" + std::to_string(d) + ".txt"),
                  gen.document(100 * 1024));
    }
    std::uintmax_t bytes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            bytes += entry.file_size();
    double best = 1e9;
    for (int rep = 0; rep < 3; ++rep) {
        CCatalog reading(b.settings, b.sink, b.notifier);
        reading.folder = FromUtf8(folder.string());
        reading.FilesText = 1;
        const auto start = std::chrono::steady_clock::now();
        ReadAll(reading, b.sink);
        best = std::min(best, Seconds(start));
        b.sink.drain();
    }
    std::printf("\nreading run: %d files, %.0f MB in %.3f s = %.0f MB/s (page cache, best of 3)\n", files,
                static_cast<double>(bytes) / 1e6, best, static_cast<double>(bytes) / 1e6 / best);
}

void ReadAll(CCatalog& catalog, QueuedEngineSink& sink) {
    catalog.start();
    while (sink.take().message != WM_READING_DONE) {
    }
    catalog.waitForEnd();
}

} // namespace

int main(int argc, char** argv) {
    int docs = 5000;
    std::size_t charsPerDoc = 40960;
    int readingFiles = 2000;
    std::string keep;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : "0";
        if (a == "--reading-only") {
            docs = 0;
            continue;
        }
        if (a == "--docs")
            docs = std::atoi(value);
        else if (a == "--chars-per-doc")
            charsPerDoc = static_cast<std::size_t>(std::atol(value));
        else if (a == "--reading-files")
            readingFiles = std::atoi(value);
        else if (a == "--keep")
            keep = value;
        ++i;
    }
    const fs::path root = keep.empty() ? fs::temp_directory_path() / "tessarel-bench" : fs::path(keep);
    fs::remove_all(root);
    fs::create_directories(root / "program/contents");

    Bench b;
    b.settings.writeString(kSettingsSection, "ProgramDirectory", FromUtf8((root / "program").string()));
    if (docs > 0)
        SearchRuns(b, root / "corpus", docs, charsPerDoc);
    if (readingFiles > 0)
        ReadingRun(b, root / "reading", readingFiles);
    if (keep.empty())
        fs::remove_all(root);
    return 0;
}
