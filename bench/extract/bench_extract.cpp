// Extraction timings. PDF: our driver against `pdftotext -enc UTF-8` on the same files, run
// alternately so that both see the same machine load; pdftotext's time includes starting its
// process, which is measured on its own (`pdftotext -v`) and shown beside it. Archives: each
// reader on a generated document whose text part is about 1 MB. Recognition: a reading run with
// text recognition over 20 page images on every core, against the `tesseract` command on the
// same images under `xargs -P$(nproc)`, then the same run again, served by the text cache.
#include "engine/Catalog.h"
#include "engine/TextCache.h"
#include "extract/PdfText.h"
#include "extract/ReadDocument.h"
#include "platform/EngineSink.h"
#include "platform/Notifier.h"
#include "platform/SettingsStore.h"
#include "platform/Text.h"

#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool Run(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int status = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (status != 0)
        return false;
    int exitStatus = 0;
    waitpid(pid, &exitStatus, 0);
    return WIFEXITED(exitStatus) && WEXITSTATUS(exitStatus) == 0;
}

void BenchPdf(const std::string& corpus, const std::string& scratch) {
    const char* files[] = {"pdf/cyrillic.pdf", "pdf/features.pdf", "pdf/multipage.pdf", "pdf/owner-copyok.pdf", "pdf/long.pdf"};
    constexpr int kRounds = 15;
    const std::string out = scratch + "/pdftotext.txt";
    std::vector<double> startup;
    for (int i = 0; i < kRounds; ++i)
        startup.push_back(Milliseconds([&] { Run({"pdftotext", "-v"}); }));
    const double start = Median(startup);
    std::printf("PDF (median of %d runs, ms)        ours  pdftotext  ratio  pdftotext-start  ratio\n", kRounds);
    double oursTotal = 0, theirsTotal = 0;
    for (const char* file : files) {
        const std::string path = corpus + "/" + file;
        const auto size = std::filesystem::file_size(path);
        std::vector<double> ours, theirs;
        std::size_t bytes = 0;
        for (int i = 0; i < kRounds; ++i) {
            ours.push_back(Milliseconds([&] { bytes = tessarel::ExtractPdfText(path, 3 * size + 1024).size(); }));
            theirs.push_back(Milliseconds([&] {
                if (!Run({"pdftotext", "-enc", "UTF-8", path, out}))
                    std::fprintf(stderr, "pdftotext failed on %s\n", path.c_str());
            }));
        }
        const double o = Median(ours), t = Median(theirs);
        oursTotal += o;
        theirsTotal += t;
        std::printf("  %-24s %7zu B %7.2f %9.2f  %5.2f  %15.2f  %5.2f\n", file, bytes, o, t, o / t, t - start,
                    o / std::max(0.01, t - start));
    }
    std::printf("  all files                          %7.2f %9.2f  %5.2f  %15.2f  %5.2f\n", oursTotal, theirsTotal,
                oursTotal / theirsTotal, theirsTotal - 5 * start, oursTotal / (theirsTotal - 5 * start));
    std::printf("  pdftotext process start (-v): %.2f ms\n", start);
}

void WriteZip(const std::string& path, const std::string& name, const std::string& content) {
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    zip_fileinfo info{};
    zipOpenNewFileInZip64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, 1);
    zipWriteInFileInZip(zip, content.data(), static_cast<unsigned>(content.size()));
    zipCloseFileInZip(zip);
    zipClose(zip, nullptr);
}

std::string Repeat(const std::string& unit, std::size_t bytes) {
    std::string part;
    part.reserve(bytes + unit.size());
    while (part.size() < bytes)
        part += unit;
    return part;
}

void BenchArchives(const std::string& scratch) {
    const std::string words = "Redistribution and use in source and binary forms, with or without modification, are permitted";
    const struct {
        const char* extension;
        const char* member;
        std::string unit;
    } formats[] = {
        {"docx", "word/document.xml", "<w:p><w:pPr><w:pStyle w:val=\"Normal\"/></w:pPr><w:r><w:rPr><w:b/></w:rPr><w:t xml:space=\"preserve\">" + words + "</w:t></w:r></w:p>"},
        {"xlsx", "xl/sharedStrings.xml", "<si><t xml:space=\"preserve\">" + words + "</t></si>"},
        {"pptx", "ppt/slides/slide1.xml", "<a:p><a:r><a:rPr lang=\"en-US\"/><a:t>" + words + "</a:t></a:r></a:p>"},
        {"odt", "content.xml", "<text:p text:style-name=\"P1\">" + words + " <text:span text:style-name=\"T1\">Кирилица</text:span></text:p>"},
    };
    tessarel::ReadContext context;
    context.contentsPath = scratch + "/";
    context.wordTempPath = context.contentsPath + "wts.txt";
    constexpr int kRounds = 21;
    std::printf("\nArchives, 1 MB document part (median of %d runs, ms)\n", kRounds);
    for (const auto& f : formats) {
        const std::string path = scratch + "/bench." + f.extension;
        WriteZip(path, f.member, Repeat(f.unit, 1 << 20));
        tessarel::FileRecord record;
        record.nativePath = path;
        record.extension = tessarel::Widen(f.extension);
        record.size = static_cast<std::int64_t>(std::filesystem::file_size(path));
        std::vector<double> times;
        for (int i = 0; i < kRounds; ++i)
            times.push_back(Milliseconds([&] { tessarel::ReadDocumentText(record, context); }));
        std::printf("  %-5s %8zu units of text  %6.2f\n", f.extension, record.text.size(), Median(times));
    }
}

constexpr int kScannedPages = 20;

// Renders kScannedPages pages of the corpus's PDFs as 300 dpi grey page images, as a scanner
// would give them; the number made.
int RenderPages(const std::string& corpus, const std::string& folder) {
    std::filesystem::create_directories(folder);
    const struct {
        const char* file;
        int pages;
    } sources[] = {{"pdf/multipage.pdf", 7}, {"pdf/owner-copyok.pdf", 7}, {"pdf/long.pdf", 6}};
    int made = 0;
    for (const auto& source : sources) {
        const std::string prefix = folder + "/" + std::filesystem::path(source.file).stem().string();
        Run({"pdftoppm", "-r", "300", "-gray", "-png", "-f", "1", "-l", std::to_string(source.pages),
             corpus + "/" + source.file, prefix});
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        made += entry.path().extension() == ".png" ? 1 : 0;
    return made;
}

double ReadingRun(const std::string& folder, const std::string& programDir, tessarel::TextCache* cache,
                  int& withText) {
    using namespace tessarel;
    MemorySettingsStore settings;
    QueuedEngineSink sink;
    StderrNotifier notifier;
    settings.writeString(kSettingsSection, "ProgramDirectory", FromUtf8(programDir));
    CCatalog catalog(settings, sink, notifier);
    catalog.folder = FromUtf8(folder);
    catalog.FilesImages = 1;
    catalog.ocr = 1;
    catalog.textCache = cache;
    const double ms = Milliseconds([&] { catalog.run(); });
    withText = 0;
    for (int i = 0; i < catalog.count(); ++i)
        withText += catalog.record(i).text.size() > 1000 ? 1 : 0;
    if (cache)
        cache->flush();
    return ms;
}

void BenchRecognition(const std::string& corpus, const std::string& scratch) {
    const std::string pages = scratch + "/scans";
    const int made = RenderPages(corpus, pages);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::printf("\nText recognition: %d page images, 300 dpi grey, A4; %u cores\n", made, cores);
    if (made == 0 || !Run({"tesseract", "--version"})) {
        std::printf("  (pdftoppm or tesseract missing: skipped)\n");
        return;
    }
    const std::string xargs = "cd '" + pages + "' && ls *.png | xargs -P" + std::to_string(cores) +
                              " -I{} tesseract {} '" + scratch + "/out-{}' >/dev/null 2>&1";
    // One thread a process, as the helpers run: the parallelism is the processes'.
    auto shell = [](const std::string& command) {
        if (std::system(command.c_str()) != 0)
            std::printf("  (failed: %s)\n", command.c_str());
    };
    const double single = Milliseconds([&] { shell("OMP_THREAD_LIMIT=1 sh -c \"" + xargs + "\""); });
    const double threaded = Milliseconds([&] { shell("sh -c \"" + xargs + "\""); });
    const std::string programDir = scratch + "/program";
    std::filesystem::create_directories(programDir + "/contents");
    std::unique_ptr<tessarel::TextCache> cache = tessarel::TextCache::open(scratch + "/cache", 256u << 20);
    int firstText = 0;
    int secondText = 0;
    const double first = ReadingRun(pages, programDir, cache.get(), firstText);
    const double second = ReadingRun(pages, programDir, cache.get(), secondText);
    auto rate = [made](double ms) { return made / (ms / 1000.0); };
    std::printf("  %-44s %9.0f ms  %6.2f pages/s\n", "tesseract, xargs -P, OMP_THREAD_LIMIT=1", single, rate(single));
    std::printf("  %-44s %9.0f ms  %6.2f pages/s\n", "tesseract, xargs -P, its own threads", threaded, rate(threaded));
    std::printf("  %-44s %9.0f ms  %6.2f pages/s  (%.2fx the first; %d pages with text)\n",
                "reading run, recognition on", first, rate(first), rate(first) / rate(std::min(single, threaded)),
                firstText);
    std::printf("  %-44s %9.0f ms  (%.1f%% of the first; %d pages with text)\n", "the same run again, cached", second,
                100.0 * second / first, secondText);
}

} // namespace

int main(int argc, char** argv) {
    const std::string corpus = argc > 1 ? argv[1] : TESSAREL_CORPUS;
    std::string pattern = (std::filesystem::temp_directory_path() / "tessarel-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        return 1;
    // The library's diagnostics would mix with the table.
    std::freopen("/dev/null", "w", stderr);
    BenchPdf(corpus, pattern);
    BenchArchives(pattern);
    BenchRecognition(corpus, pattern);
    std::filesystem::remove_all(pattern);
    return 0;
}
