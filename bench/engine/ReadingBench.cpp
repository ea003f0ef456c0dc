// The reading run and the search on every core, side by side with the tools a user would compare
// them with, in one run on this machine:
//   - a mixed folder (copies of the test corpus: every type, at least 200 PDFs) read by one worker
//     in this process (the reading run as it was), by one and by N workers with helper processes,
//     against `xargs -P N pdftotext` over its PDFs alone;
//   - a folder of plain text files read by the catalogue and by `tessarel-cli search`, in MB/s;
//   - a folder of 9000 small text files (2 KB) read the same ways;
//   - a rare-word search over those texts with 1 and N threads, against `rg -F -c` and `grep -F -c`.
// --before-cli names another build's tessarel-cli, timed on the same folders beside this one's.
//
//   bench_reading [--copies N] [--text-files N] [--text-kb N] [--jobs N] [--keep DIR] [--before-cli PATH]

#include "engine/Catalog.h"
#include "engine/Searcher.h"
#include "engine/TextCache.h"
#include "platform/EngineSink.h"
#include "platform/Notifier.h"
#include "platform/SettingsStore.h"
#include "platform/Text.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace tessarel;

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

bool HasCommand(const char* name) {
    return std::system((std::string("command -v ") + name + " > /dev/null 2>&1").c_str()) == 0;
}

double TimeCommand(const std::string& command) {
    const auto started = std::chrono::steady_clock::now();
    [[maybe_unused]] const int rc = std::system((command + " > /dev/null 2>&1").c_str());
    return Seconds(started);
}

template <typename F> double Best(int runs, F f) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i)
        best = std::min(best, f());
    return best;
}

struct Setup {
    fs::path programDir;
    MemorySettingsStore settings;
    QueuedEngineSink sink;
    StderrNotifier notifier;
    Setup(const fs::path& dir) : programDir(dir) {
        fs::create_directories(dir / "contents");
        settings.writeString(kSettingsSection, "ProgramDirectory", FromUtf8(dir.string()));
    }
};

std::unique_ptr<CCatalog> Read(Setup& s, const fs::path& folder, int workers, bool helpers,
                               TextCache* cache = nullptr) {
    auto c = std::make_unique<CCatalog>(s.settings, s.sink, s.notifier);
    c->textCache = cache;
    c->folder = FromUtf8(folder.string());
    c->FilesText = c->FilesRtf = c->FilesDoc = c->FilesPdf = 1;
    c->FilesDocx = c->FilesXlsx = c->FilesPptx = c->FilesOdt = 1;
    c->readingThreads = workers;
    if (!helpers)
        c->readerExecutable.clear();
    c->run();
    s.sink.drain();
    return c;
}

// Copies of the corpus's documents; each copy in a folder of its own.
int MakeMixedFolder(const fs::path& corpus, const fs::path& out, int copies, int& pdfs) {
    int documents = 0;
    pdfs = 0;
    for (int k = 0; k < copies; ++k) {
        const fs::path copy = out / ("copy" + std::to_string(k));
        for (const auto& entry : fs::recursive_directory_iterator(corpus)) {
            if (!entry.is_regular_file() || entry.path().extension() == ".tsv")
                continue;
            const fs::path target = copy / fs::relative(entry.path(), corpus);
            fs::create_directories(target.parent_path());
            fs::copy_file(entry.path(), target, fs::copy_options::overwrite_existing);
            ++documents;
            pdfs += entry.path().extension() == ".pdf" ? 1 : 0;
        }
    }
    return documents;
}

// Running text of common and made-up words; one rare word in a few files.
std::int64_t MakeTextFolder(const fs::path& out, int files, int kilobytes) {
    std::mt19937 rng(7);
    std::vector<std::string> words = {"the", "of", "and", "to", "in", "a", "is", "that", "for", "it"};
    std::uniform_int_distribution<int> letter(0, 25);
    while (words.size() < 5000) {
        std::string w(3 + rng() % 8, 'a');
        for (char& c : w)
            c = static_cast<char>('a' + letter(rng));
        words.push_back(w);
    }
    std::int64_t total = 0;
    std::string block;
    while (block.size() < static_cast<std::size_t>(kilobytes) * 1024) {
        block += words[rng() % 10 < 5 ? rng() % 10 : rng() % words.size()];
        block += block.size() % 97 < 8 ? ". " : " ";
    }
    fs::create_directories(out);
    for (int i = 0; i < files; ++i) {
        std::string text = block;
        text.replace(static_cast<std::size_t>(i) % 1000, 4, std::to_string(i % 10000));
        if (i % 1000 == 17)
            text.insert(text.find(' ', text.size() / 2) + 1, "quorvexil ");
        std::ofstream(out / ("t" + std::to_string(i) + ".txt"), std::ios::binary) << text;
        total += static_cast<std::int64_t>(text.size());
    }
    return total;
}

double Search(CSearcher& searcher, CCatalog& catalog, int threads) {
    searcher.catalog = &catalog;
    searcher.searchThreads = threads;
    searcher.query.setQueryText(u"quorvexil");
    searcher.query.split();
    return Best(5, [&] {
        const auto started = std::chrono::steady_clock::now();
        searcher.run();
        return Seconds(started);
    });
}

} // namespace

int main(int argc, char** argv) {
    int copies = 24;
    int textFiles = 5000;
    int textKb = 101;
    int jobs = static_cast<int>(std::thread::hardware_concurrency());
    fs::path keep;
    std::string beforeCli;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--copies")
            copies = std::atoi(argv[i + 1]);
        else if (a == "--text-files")
            textFiles = std::atoi(argv[i + 1]);
        else if (a == "--text-kb")
            textKb = std::atoi(argv[i + 1]);
        else if (a == "--jobs")
            jobs = std::atoi(argv[i + 1]);
        else if (a == "--keep")
            keep = argv[i + 1];
        else if (a == "--before-cli")
            beforeCli = argv[i + 1];
    }
    const fs::path root =
        keep.empty() ? fs::temp_directory_path() / ("tessarel-bench-" + std::to_string(getpid())) : keep;
    fs::create_directories(root);
    Setup setup(root / "program");
    if (CCatalog(setup.settings, setup.sink, setup.notifier).readerExecutable.empty())
        std::printf("note: no tessarel-reader found; the helper figures read in this process\n");

    // The mixed folder.
    int pdfs = 0;
    const fs::path mixed = root / "mixed";
    const int documents = MakeMixedFolder(fs::path(TESSAREL_TEST_DATA) / "corpus", mixed, copies, pdfs);
    std::printf("mixed folder: %d documents, %d PDFs, %d workers\n", documents, pdfs, jobs);
    const double before = Best(2, [&] {
        const auto t = std::chrono::steady_clock::now();
        Read(setup, mixed, 1, false);
        return Seconds(t);
    });
    const double oneHelper = Best(2, [&] {
        const auto t = std::chrono::steady_clock::now();
        Read(setup, mixed, 1, true);
        return Seconds(t);
    });
    const double nHelpers = Best(2, [&] {
        const auto t = std::chrono::steady_clock::now();
        Read(setup, mixed, jobs, true);
        return Seconds(t);
    });
    std::printf("%-46s %8.3f s\n", "reading run, 1 worker in process (as before)", before);
    std::printf("%-46s %8.3f s\n", "reading run, 1 worker, helper processes", oneHelper);
    std::printf("%-46s %8.3f s\n",
                ("reading run, " + std::to_string(jobs) + " workers, helper processes").c_str(), nHelpers);
    std::printf("  N workers / as before: %.2f\n", nHelpers / before);
    if (HasCommand("pdftotext")) {
        const double xargs = Best(2, [&] {
            return TimeCommand("find " + mixed.string() + " -name '*.pdf' -print0 | xargs -0 -n1 -P" +
                               std::to_string(jobs) + " sh -c 'pdftotext -q \"$0\" - > /dev/null'");
        });
        std::printf("%-46s %8.3f s\n", ("xargs -P" + std::to_string(jobs) + " pdftotext, PDFs only").c_str(),
                    xargs);
        std::printf("  N workers / xargs pdftotext: %.2f\n", nHelpers / xargs);
    } else {
        std::printf("pdftotext not installed: skipped\n");
    }

    // The text cache: cold (every document read and stored) and warm (every one looked up).
    {
        const fs::path cacheFolder = root / "cache";
        fs::remove_all(cacheFolder);
        std::unique_ptr<TextCache> cache = TextCache::open(cacheFolder.string(), 1024ull << 20);
        auto t = std::chrono::steady_clock::now();
        Read(setup, mixed, jobs, true, cache.get());
        cache->flush();
        const double cold = Seconds(t);
        const double warm = Best(3, [&] {
            const auto w = std::chrono::steady_clock::now();
            Read(setup, mixed, jobs, true, cache.get());
            return Seconds(w);
        });
        std::printf("%-46s %8.3f s\n", "mixed folder, cache cold (read and stored)", cold);
        std::printf("%-46s %8.3f s\n", "mixed folder, cache warm", warm);
        std::printf("  cold / cache off: %.2f   warm / cold: %.3f\n", cold / nHelpers, warm / cold);
        // A folder of 10000 documents, warm.
        const fs::path large = root / "large";
        int largePdfs = 0;
        const int perCopy = documents / copies;
        const int largeDocuments = MakeMixedFolder(fs::path(TESSAREL_TEST_DATA) / "corpus", large,
                                                   (10000 + perCopy - 1) / perCopy, largePdfs);
        Read(setup, large, jobs, true, cache.get());
        cache->flush();
        const double warmLarge = Best(3, [&] {
            const auto w = std::chrono::steady_clock::now();
            Read(setup, large, jobs, true, cache.get());
            return Seconds(w);
        });
        std::printf("%-46s %8.3f s (%d documents walked, 10000 catalogued)\n", "10000 documents, cache warm",
                    warmLarge, largeDocuments);
    }

    // Plain text.
    const fs::path text = root / "text";
    const std::int64_t bytes = MakeTextFolder(text, textFiles, textKb);
    const double mb = static_cast<double>(bytes) / 1e6;
    std::printf("text folder: %d files, %.0f MB\n", textFiles, mb);
    std::unique_ptr<CCatalog> catalog;
    const double oneText = Best(3, [&] {
        catalog.reset();
        const auto t = std::chrono::steady_clock::now();
        catalog = Read(setup, text, 1, true);
        return Seconds(t);
    });
    const double nText = Best(3, [&] {
        catalog.reset();
        const auto t = std::chrono::steady_clock::now();
        catalog = Read(setup, text, jobs, true);
        return Seconds(t);
    });
    std::printf("%-46s %8.0f MB/s\n", "plain text, 1 worker", mb / oneText);
    std::printf("%-46s %8.0f MB/s\n", ("plain text, " + std::to_string(jobs) + " workers").c_str(),
                mb / nText);
    const fs::path cli = fs::path(TESSAREL_BUILD_CLI);
    // tessarel-cli search over folder, start to end, by this build and by the one named to compare.
    const auto timeCli = [&](const fs::path& folder, double megabytes) {
        for (const std::string& program : {cli.string(), beforeCli}) {
            if (program.empty() || !fs::exists(program))
                continue;
            const double whole = Best(3, [&] {
                return TimeCommand(program + " search --program-dir " + (root / "program").string() + " " +
                                   folder.string() + " quorvexil");
            });
            std::printf("%-46s %8.0f MB/s (%.3f s)\n",
                        program == beforeCli ? "  the compared build's tessarel-cli"
                                             : "tessarel-cli search, start to end",
                        megabytes / whole, whole);
        }
    };
    timeCli(text, mb);

    // Small text files, where the cost is the walk and the files' opening, not their bytes.
    {
        const fs::path small = root / "small";
        const double smallMb = static_cast<double>(MakeTextFolder(small, 9000, 2)) / 1e6;
        std::printf("small text folder: 9000 files, %.0f MB\n", smallMb);
        const double before = Best(3, [&] {
            const auto t = std::chrono::steady_clock::now();
            Read(setup, small, 1, false);
            return Seconds(t);
        });
        const double now = Best(3, [&] {
            const auto t = std::chrono::steady_clock::now();
            Read(setup, small, jobs, true);
            return Seconds(t);
        });
        std::printf("%-46s %8.3f s\n", "small files, 1 worker in process (as before)", before);
        std::printf("%-46s %8.3f s\n", ("small files, " + std::to_string(jobs) + " workers").c_str(), now);
        timeCli(small, smallMb);
    }

    // The rare-word search.
    CSearcher searcher(setup.sink);
    const double one = Search(searcher, *catalog, 1);
    const double n = Search(searcher, *catalog, jobs);
    std::printf("%-46s %8.4f s (%d results)\n", "rare word, 1 thread", one, searcher.resultCount());
    std::printf("%-46s %8.4f s\n", ("rare word, " + std::to_string(jobs) + " threads").c_str(), n);
    std::printf("  N threads / 1 thread: %.2f\n", n / one);
    if (HasCommand("rg")) {
        const double rg = Best(3, [&] { return TimeCommand("rg -F -c quorvexil " + text.string()); });
        std::printf("%-46s %8.4f s\n  N threads / rg: %.2f\n", "rg -F -c", rg, n / rg);
    } else {
        std::printf("rg not installed: skipped\n");
    }
    const double grep = Best(3, [&] { return TimeCommand("grep -r -F -c quorvexil " + text.string()); });
    std::printf("%-46s %8.4f s\n  N threads / grep: %.2f\n", "grep -r -F -c", grep, n / grep);
    setup.sink.drain();
    if (keep.empty())
        fs::remove_all(root);
    return 0;
}
