// Extraction timings. PDF: our driver against `pdftotext -enc UTF-8` on the same files, run
// alternately so that both see the same machine load; pdftotext's time includes starting its
// process, which is measured on its own (`pdftotext -v`) and shown beside it. Archives: each
// reader on a generated document whose text part is about 1 MB.
#include "extract/PdfText.h"
#include "extract/ReadDocument.h"
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
    std::filesystem::remove_all(pattern);
    return 0;
}
