// The reading run and the search on every core, side by side with the tools a user would compare
// them with, in one run on this machine:
//   - a mixed folder (copies of the test corpus: every type, at least 200 PDFs) read by one worker
//     in this process (the reading run as it was), by one and by N workers with helper processes,
//     against `xargs -P N pdftotext` over its PDFs alone;
//   - a folder of plain text files read by the catalogue and by `tessarel-cli search`, in MB/s;
//   - a folder of 9000 small text files (2 KB) read the same ways;
//   - a rare-word search over those texts with 1 and N threads, against `rg -F -c` and `grep -F -c`;
//   - a folder of 100,000 small text files (200 to 700 words) read whole with MaxDocuments raised,
//     and the rare-word search over it against `rg -F -c`.
// Every timing has the peak resident memory (VmHWM) of its step beside it: of this process for a
// step run here (its high-water mark is reset before each run), of the command and its children
// for a command. --before-cli names another build's tessarel-cli, timed on the same folders beside
// this one's. --parts picks some of mixed, text, small and many (default: all).
//
//   bench_reading [--copies N] [--text-files N] [--text-kb N] [--many-files N] [--jobs N] [--keep DIR]
//                 [--before-cli PATH] [--parts LIST]

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
#include <sstream>
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

// The peak resident memory of the latest command, in MB; 0 while a step runs in this process.
double commandPeakMb = 0;

void ResetOwnPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

double OwnPeakMb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

// Runs a shell command with its output thrown away. Its peak memory (with its children's) comes
// from /usr/bin/time: a child forked from this process would count this process's pages as its own.
double TimeCommand(const std::string& command) {
    static const bool haveTime = ::access("/usr/bin/time", X_OK) == 0;
    const std::string peakFile = fs::temp_directory_path() / ("tessarel-bench-peak-" + std::to_string(getpid()));
    std::string line = command + " > /dev/null 2>&1";
    if (haveTime) {
        std::string quoted = "'";
        for (char c : line)
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        line = "/usr/bin/time -f %M -o " + peakFile + " sh -c " + quoted + "'";
    }
    const auto started = std::chrono::steady_clock::now();
    [[maybe_unused]] const int rc = std::system(line.c_str());
    const double seconds = Seconds(started);
    commandPeakMb = 0;
    if (haveTime) {
        std::ifstream peak(peakFile);
        double kilobytes = 0;
        if (peak >> kilobytes)
            commandPeakMb = kilobytes / 1024.0;
        fs::remove(peakFile);
    }
    return seconds;
}

// The best time of a few runs, with the highest peak memory any of them reached.
struct Timing {
    double seconds = 0;
    double peakMb = 0;
    operator double() const { return seconds; }
};

template <typename F> Timing Best(int runs, F f) {
    Timing best{1e30, 0};
    for (int i = 0; i < runs; ++i) {
        commandPeakMb = 0;
        ResetOwnPeak();
        best.seconds = std::min(best.seconds, static_cast<double>(f()));
        best.peakMb = std::max(best.peakMb, commandPeakMb > 0 ? commandPeakMb : OwnPeakMb());
    }
    return best;
}

// A timing line: the label, the figure, and the step's peak memory.
void Print(const std::string& label, const char* format, double value, const Timing& t,
           const std::string& after = "") {
    char figure[64];
    std::snprintf(figure, sizeof figure, format, value);
    std::printf("%-46s %12s  peak %6.0f MB%s\n", label.c_str(), figure, t.peakMb, after.c_str());
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
                               TextCache* cache = nullptr, int maxDocuments = 0) {
    auto c = std::make_unique<CCatalog>(s.settings, s.sink, s.notifier);
    c->maxDocuments = maxDocuments;
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

Timing Search(CSearcher& searcher, CCatalog& catalog, int threads) {
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

// Files of 200 to 700 words each, the rare word in one file of a thousand.
std::int64_t MakeManySmallFiles(const fs::path& out, int files) {
    std::mt19937 rng(11);
    std::vector<std::string> words = {"the", "of", "and", "to", "in", "a", "is", "that", "for", "it"};
    while (words.size() < 5000) {
        std::string w(3 + rng() % 8, 'a');
        for (char& c : w)
            c = static_cast<char>('a' + rng() % 26);
        words.push_back(w);
    }
    std::int64_t total = 0;
    for (int i = 0; i < files; ++i) {
        const fs::path folder = out / ("d" + std::to_string(i / 1000));
        if (i % 1000 == 0)
            fs::create_directories(folder);
        const int count = 200 + static_cast<int>(rng() % 501);
        std::string text;
        for (int k = 0; k < count; ++k) {
            text += i % 1000 == 17 && k == count / 2 ? "quorvexil" : words[rng() % 10 < 5 ? rng() % 10 : rng() % words.size()];
            text += k % 12 == 11 ? ". " : " ";
        }
        std::ofstream(folder / ("s" + std::to_string(i) + ".txt"), std::ios::binary) << text;
        total += static_cast<std::int64_t>(text.size());
    }
    return total;
}

} // namespace

int main(int argc, char** argv) {
    int copies = 24;
    int textFiles = 5000;
    int textKb = 101;
    int manyFiles = 100000;
    std::string parts = "mixed,text,small,many";
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
        else if (a == "--many-files")
            manyFiles = std::atoi(argv[i + 1]);
        else if (a == "--parts")
            parts = argv[i + 1];
    }
    const fs::path root =
        keep.empty() ? fs::temp_directory_path() / ("tessarel-bench-" + std::to_string(getpid())) : keep;
    fs::create_directories(root);
    Setup setup(root / "program");
    if (CCatalog(setup.settings, setup.sink, setup.notifier).readerExecutable.empty())
        std::printf("note: no tessarel-reader found; the helper figures read in this process\n");
    const auto wanted = [&parts](const char* part) { return ("," + parts + ",").find(std::string(",") + part + ",") != std::string::npos; };
    const std::string workersText = std::to_string(jobs) + " workers";
    const fs::path cli = fs::path(TESSAREL_BUILD_CLI);
    // tessarel-cli search over folder, start to end, by this build and by the one named to compare.
    const auto timeCli = [&](const fs::path& folder, double megabytes, const std::string& options) {
        for (const std::string& program : {cli.string(), beforeCli}) {
            if (program.empty() || !fs::exists(program))
                continue;
            // An earlier build may not know the options: it is timed without them.
            const std::string given = program == beforeCli ? "" : options;
            const Timing whole = Best(3, [&] {
                return TimeCommand(program + " search --no-cache " + given + "--program-dir " +
                                   (root / "program").string() + " " + folder.string() + " quorvexil");
            });
            char figure[64];
            std::snprintf(figure, sizeof figure, " (%.3f s)", whole.seconds);
            Print(program == beforeCli ? "  the compared build's tessarel-cli" : "tessarel-cli search, start to end",
                  "%8.0f MB/s", megabytes / whole, whole,
                  figure + std::string(program == beforeCli && !options.empty() ? ", without " + options : ""));
        }
    };
    const auto timeRg = [&](const fs::path& folder, const Timing& ours) {
        if (!HasCommand("rg")) {
            std::printf("rg not installed: skipped\n");
            return;
        }
        const Timing rg = Best(3, [&] { return TimeCommand("rg -F -c quorvexil " + folder.string()); });
        Print("rg -F -c", "%8.4f s", rg, rg);
        std::printf("  N threads / rg: %.2f\n", ours / rg);
    };

    if (wanted("mixed")) {
        int pdfs = 0;
        const fs::path mixed = root / "mixed";
        const int documents = MakeMixedFolder(fs::path(TESSAREL_TEST_DATA) / "corpus", mixed, copies, pdfs);
        std::printf("mixed folder: %d documents, %d PDFs, %d workers\n", documents, pdfs, jobs);
        const Timing before = Best(2, [&] {
            const auto t = std::chrono::steady_clock::now();
            Read(setup, mixed, 1, false);
            return Seconds(t);
        });
        const Timing oneHelper = Best(2, [&] {
            const auto t = std::chrono::steady_clock::now();
            Read(setup, mixed, 1, true);
            return Seconds(t);
        });
        const Timing nHelpers = Best(2, [&] {
            const auto t = std::chrono::steady_clock::now();
            Read(setup, mixed, jobs, true);
            return Seconds(t);
        });
        Print("reading run, 1 worker in process (as before)", "%8.3f s", before, before);
        Print("reading run, 1 worker, helper processes", "%8.3f s", oneHelper, oneHelper);
        Print("reading run, " + workersText + ", helper processes", "%8.3f s", nHelpers, nHelpers);
        std::printf("  N workers / as before: %.2f\n", nHelpers / before);
        if (HasCommand("pdftotext")) {
            const Timing xargs = Best(2, [&] {
                return TimeCommand("find " + mixed.string() + " -name '*.pdf' -print0 | xargs -0 -n1 -P" +
                                   std::to_string(jobs) + " sh -c 'pdftotext -q \"$0\" - > /dev/null'");
            });
            Print("xargs -P" + std::to_string(jobs) + " pdftotext, PDFs only", "%8.3f s", xargs, xargs);
            std::printf("  N workers / xargs pdftotext: %.2f\n", nHelpers / xargs);
        } else {
            std::printf("pdftotext not installed: skipped\n");
        }

        // The text cache: cold (every document read and stored) and warm (every one looked up).
        const fs::path cacheFolder = root / "cache";
        fs::remove_all(cacheFolder);
        std::unique_ptr<TextCache> cache = TextCache::open(cacheFolder.string(), 1024ull << 20);
        const Timing cold = Best(1, [&] {
            const auto t = std::chrono::steady_clock::now();
            Read(setup, mixed, jobs, true, cache.get());
            cache->flush();
            return Seconds(t);
        });
        const Timing warm = Best(3, [&] {
            const auto w = std::chrono::steady_clock::now();
            Read(setup, mixed, jobs, true, cache.get());
            return Seconds(w);
        });
        Print("mixed folder, cache cold (read and stored)", "%8.3f s", cold, cold);
        Print("mixed folder, cache warm", "%8.3f s", warm, warm);
        std::printf("  cold / cache off: %.2f   warm / cold: %.3f\n", cold / nHelpers, warm / cold);
        // A folder of 10000 documents, warm.
        const fs::path large = root / "large";
        int largePdfs = 0;
        const int perCopy = documents / copies;
        const int largeDocuments = MakeMixedFolder(fs::path(TESSAREL_TEST_DATA) / "corpus", large,
                                                   (10000 + perCopy - 1) / perCopy, largePdfs);
        Read(setup, large, jobs, true, cache.get());
        cache->flush();
        const Timing warmLarge = Best(3, [&] {
            const auto w = std::chrono::steady_clock::now();
            Read(setup, large, jobs, true, cache.get());
            return Seconds(w);
        });
        Print("10000 documents, cache warm", "%8.3f s", warmLarge, warmLarge,
              " (" + std::to_string(largeDocuments) + " documents walked, 10000 catalogued)");
    }

    if (wanted("text")) {
        const fs::path text = root / "text";
        const std::int64_t bytes = MakeTextFolder(text, textFiles, textKb);
        const double mb = static_cast<double>(bytes) / 1e6;
        std::printf("text folder: %d files, %.0f MB\n", textFiles, mb);
        std::unique_ptr<CCatalog> catalog;
        const Timing oneText = Best(3, [&] {
            catalog.reset();
            const auto t = std::chrono::steady_clock::now();
            catalog = Read(setup, text, 1, true);
            return Seconds(t);
        });
        const Timing nText = Best(3, [&] {
            catalog.reset();
            const auto t = std::chrono::steady_clock::now();
            catalog = Read(setup, text, jobs, true);
            return Seconds(t);
        });
        Print("plain text, 1 worker", "%8.0f MB/s", mb / oneText, oneText);
        Print("plain text, " + workersText, "%8.0f MB/s", mb / nText, nText);
        timeCli(text, mb, "");

        // The rare-word search.
        CSearcher searcher(setup.sink);
        const Timing one = Search(searcher, *catalog, 1);
        const Timing n = Search(searcher, *catalog, jobs);
        Print("rare word, 1 thread", "%8.4f s", one, one, " (" + std::to_string(searcher.resultCount()) + " results)");
        Print("rare word, " + std::to_string(jobs) + " threads", "%8.4f s", n, n);
        std::printf("  N threads / 1 thread: %.2f\n", n / one);
        timeRg(text, n);
        const Timing grep = Best(3, [&] { return TimeCommand("grep -r -F -c quorvexil " + text.string()); });
        Print("grep -r -F -c", "%8.4f s", grep, grep);
        std::printf("  N threads / grep: %.2f\n", n / grep);
        setup.sink.drain();
    }

    // Small text files, where the cost is the walk and the files' opening, not their bytes.
    if (wanted("small")) {
        const fs::path small = root / "small";
        const double smallMb = static_cast<double>(MakeTextFolder(small, 9000, 2)) / 1e6;
        std::printf("small text folder: 9000 files, %.0f MB\n", smallMb);
        const Timing before = Best(3, [&] {
            const auto t = std::chrono::steady_clock::now();
            Read(setup, small, 1, false);
            return Seconds(t);
        });
        const Timing now = Best(3, [&] {
            const auto t = std::chrono::steady_clock::now();
            Read(setup, small, jobs, true);
            return Seconds(t);
        });
        Print("small files, 1 worker in process (as before)", "%8.3f s", before, before);
        Print("small files, " + workersText, "%8.3f s", now, now);
        timeCli(small, smallMb, "");
    }

    // A folder past the default cap, read whole: the cost a document adds beside its text.
    if (wanted("many")) {
        const fs::path many = root / "many";
        const std::int64_t manyBytes = MakeManySmallFiles(many, manyFiles);
        const double manyMb = static_cast<double>(manyBytes) / 1e6;
        std::printf("many small files: %d files of 200 to 700 words, %.0f MB\n", manyFiles, manyMb);
        std::unique_ptr<CCatalog> catalog;
        const Timing read = Best(2, [&] {
            catalog.reset();
            const auto t = std::chrono::steady_clock::now();
            catalog = Read(setup, many, jobs, true, nullptr, manyFiles);
            return Seconds(t);
        });
        Print("many small files, " + workersText, "%8.3f s", read, read,
              " (" + std::to_string(catalog->count()) + " catalogued)");
        ResetOwnPeak();
        const double idleMb = OwnPeakMb();
        std::printf("  resident with the catalogue: %.0f MB = %.2f x the text + %.0f bytes a document\n", idleMb,
                    idleMb * 1048576.0 / static_cast<double>(manyBytes),
                    (idleMb * 1048576.0 - static_cast<double>(manyBytes)) / manyFiles);
        timeCli(many, manyMb, "--max-documents " + std::to_string(manyFiles) + " ");
        CSearcher searcher(setup.sink);
        const Timing n = Search(searcher, *catalog, jobs);
        Print("rare word, " + std::to_string(jobs) + " threads", "%8.4f s", n, n,
              " (" + std::to_string(searcher.resultCount()) + " results)");
        timeRg(many, n);
        setup.sink.drain();
    }
    if (keep.empty())
        fs::remove_all(root);
    return 0;
}
