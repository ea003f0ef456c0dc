// Extraction timings. PDF: our driver against `pdftotext -enc UTF-8` on the same files, run
// alternately so that both see the same machine load; pdftotext's time includes starting its
// process, which is measured on its own (`pdftotext -v`) and shown beside it. Archives: each
// reader on a generated document whose text part is about 1 MB; a generated book of sixty chapters.
// Mail: an mbox of a few thousand generated messages. Recognition: a reading run with text
// recognition over 20 page images on every core, against the `tesseract` command on the same
// images under `xargs -P$(nproc)`, then the same run again, served by the text cache.
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
#include <ctime>
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

double ThreadMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
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

void WriteZip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& members) {
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    for (const auto& [name, content] : members) {
        zip_fileinfo info{};
        zipOpenNewFileInZip64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                              Z_DEFAULT_COMPRESSION, 1);
        zipWriteInFileInZip(zip, content.data(), static_cast<unsigned>(content.size()));
        zipCloseFileInZip(zip);
    }
    zipClose(zip, nullptr);
}

void WriteZip(const std::string& path, const std::string& name, const std::string& content) {
    WriteZip(path, {{name, content}});
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
        {"ods", "content.xml", "<table:table-row table:style-name=\"ro1\"><table:table-cell office:value-type=\"string\" calcext:value-type=\"string\"><text:p>" + words + "</text:p></table:table-cell><table:table-cell table:number-columns-repeated=\"3\"/><table:table-cell office:value-type=\"float\" office:value=\"42\"><text:p>42</text:p></table:table-cell></table:table-row>"},
        {"odp", "content.xml", "<draw:frame draw:style-name=\"gr1\"><draw:text-box><text:p text:style-name=\"P1\"><text:span text:style-name=\"T1\">" + words + "</text:span></text:p></draw:text-box></draw:frame>"},
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

// A chapter of a novel-like book: paragraphs of words drawn from a vocabulary in no order, so
// that it deflates about as much as prose does, with the inline markup and references of books.
std::string Chapter(int number, std::size_t bytes, std::uint32_t& seed) {
    static const char* const kSyllables[] = {"ka", "lo", "mer", "in", "tha", "sul", "ve", "dor", "ne", "ri",
                                             "quo", "an", "pe", "zu", "es", "wol", "ti", "gra", "fen", "o"};
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    std::string xhtml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!DOCTYPE html><html xmlns=\"http://www.w3.org/"
                        "1999/xhtml\"><head><title>Chapter " + std::to_string(number) +
                        "</title><link rel=\"stylesheet\" href=\"../Styles/book.css\"/><style>p{text-indent:1em}"
                        "</style></head><body><section class=\"chapter\"><h2>Chapter " + std::to_string(number) + "</h2>";
    while (xhtml.size() < bytes) {
        xhtml += "<p class=\"text\">";
        for (int w = 0; w < 80; ++w) {
            const std::uint32_t r = next();
            for (std::uint32_t k = 0; k < 1 + (r >> 29); ++k)
                xhtml += kSyllables[(next() >> 16) % 20];
            if (r % 23 == 0)
                xhtml += " <em>emphasis</em>";
            else if (r % 31 == 0)
                xhtml += "&#8212;";
            else if (r % 37 == 0)
                xhtml += " caf&eacute;";
            xhtml += r % 11 == 0 ? ", " : " ";
        }
        xhtml += "</p>";
    }
    return xhtml + "</section></body></html>";
}

void BenchBook(const std::string& scratch) {
    constexpr int kChapters = 60;
    std::string manifest, spine;
    std::vector<std::pair<std::string, std::string>> members = {
        {"mimetype", "application/epub+zip"},
        {"META-INF/container.xml", "<?xml version=\"1.0\"?><container><rootfiles><rootfile full-path=\"OEBPS/"
                                   "content.opf\" media-type=\"application/oebps-package+xml\"/></rootfiles></container>"}};
    std::uint32_t seed = 7;
    std::size_t inflated = 0;
    for (int i = kChapters; i >= 1; --i) {
        const std::string id = "c" + std::to_string(i);
        manifest += "<item id=\"" + id + "\" href=\"Text/" + id + ".xhtml\" media-type=\"application/xhtml+xml\"/>";
        members.emplace_back("OEBPS/Text/" + id + ".xhtml", Chapter(i, 150 * 1024, seed));
        inflated += members.back().second.size();
    }
    for (int i = 1; i <= kChapters; ++i)
        spine += "<itemref idref=\"c" + std::to_string(i) + "\"/>";
    members.emplace(members.begin() + 2, "OEBPS/content.opf",
                    "<?xml version=\"1.0\"?><package><metadata><dc:title>Bench Book</dc:title></metadata><manifest>" +
                        manifest + "</manifest><spine>" + spine + "</spine></package>");
    const std::string path = scratch + "/bench.epub";
    WriteZip(path, members);
    tessarel::ReadContext context;
    context.contentsPath = scratch + "/";
    context.wordTempPath = context.contentsPath + "wts.txt";
    tessarel::FileRecord record;
    record.nativePath = path;
    record.extension = u"epub";
    record.size = static_cast<std::int64_t>(std::filesystem::file_size(path));
    constexpr int kRounds = 11;
    // The processor time of the reading thread as well: on a loaded machine it is what one core
    // spends, where the elapsed time also counts the waits for one.
    std::vector<double> times, processor;
    for (int i = 0; i < kRounds; ++i) {
        const double before = ThreadMilliseconds();
        times.push_back(Milliseconds([&] { tessarel::ReadDocumentText(record, context); }));
        processor.push_back(ThreadMilliseconds() - before);
    }
    const double ms = Median(times), cpu = Median(processor);
    std::printf("\nEPUB, %d chapters (median of %d runs)\n  %.2f MB file, %.2f MB of XHTML, %zu units of text\n"
                "  elapsed   %7.2f ms, %5.1f MB/s of file, %5.1f MB/s of XHTML\n"
                "  processor %7.2f ms, %5.1f MB/s of file, %5.1f MB/s of XHTML\n",
                kChapters, kRounds, record.size / 1e6, inflated / 1e6, record.text.size(), ms,
                record.size / 1e3 / ms, inflated / 1e3 / ms, cpu, record.size / 1e3 / cpu, inflated / 1e3 / cpu);
}

// One message of the generated archive: plain text most often, then quoted-printable Latin-1,
// base64 UTF-8, HTML with a plain alternative, HTML alone, and a plain text with an attachment.
std::string MailMessage(int n) {
    const std::string words = "Redistribution and use in source and binary forms, with or without modification, are "
                              "permitted provided that the following conditions are met.";
    const std::string number = std::to_string(n);
    std::string m = "From sender" + number + "@example.org Mon Jan  6 10:" + std::to_string(10 + n % 50) +
                    ":00 2025\n";
    m += "Return-Path: <sender" + number + "@example.org>\nReceived: from mail.example.org (mail.example.org "
         "[192.0.2.1]) by mx.example.net with ESMTPS id " + number + "; Mon, 6 Jan 2025 10:00:00 +0000\n";
    m += "From: =?UTF-8?Q?Ren=C3=A9_Sender?= <sender" + number + "@example.org>\nTo: Team <team@example.net>\n";
    m += "Cc: someone@example.com\nSubject: Report number " + number + "\nDate: Mon, 6 Jan 2025 10:00:00 +0000\n";
    m += "Message-ID: <" + number + "@example.org>\nMIME-Version: 1.0\n";
    std::string body;
    for (int line = 0; line < 30; ++line)
        body += words + "\n";
    switch (n % 10) {
    case 0:
        m += "Content-Type: text/plain; charset=ISO-8859-1\nContent-Transfer-Encoding: quoted-printable\n\n";
        for (int line = 0; line < 30; ++line)
            m += "Le caf=E9 de la r=E9union est pr=EAt, na=EFve question =E0 quelle heure? " + words.substr(0, 20) +
                 "\n";
        break;
    case 1: {
        m += "Content-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: base64\n\n";
        static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::string encoded;
        for (std::size_t i = 0; i + 2 < body.size(); i += 3) {
            const unsigned v = (static_cast<unsigned char>(body[i]) << 16) |
                               (static_cast<unsigned char>(body[i + 1]) << 8) | static_cast<unsigned char>(body[i + 2]);
            for (int k = 3; k >= 0; --k)
                encoded.push_back(alphabet[(v >> (6 * k)) & 63]);
            if (encoded.size() % 77 == 76)
                encoded.push_back('\n');
        }
        m += encoded + "\n";
        break;
    }
    case 2:
        m += "Content-Type: multipart/alternative; boundary=\"alt\"\n\n--alt\nContent-Type: text/plain; "
             "charset=UTF-8\n\n" + body + "--alt\nContent-Type: text/html; charset=UTF-8\n\n<html><body>";
        for (int line = 0; line < 30; ++line)
            m += "<p style=\"margin:0\">" + words + "&nbsp;</p>\n";
        m += "</body></html>\n--alt--\n";
        break;
    case 3:
        m += "Content-Type: text/html; charset=UTF-8\n\n<html><head><style>p { color: red; }</style></head><body>";
        for (int line = 0; line < 30; ++line)
            m += "<div><span class=\"x\">" + words + "</span> &amp; more</div>\n";
        m += "</body></html>\n";
        break;
    case 4:
        m += "Content-Type: multipart/mixed; boundary=\"mix\"\n\n--mix\nContent-Type: text/plain; charset=UTF-8\n\n" +
             body + "--mix\nContent-Type: application/pdf; name=\"report.pdf\"\nContent-Disposition: attachment; "
             "filename=\"report.pdf\"\nContent-Transfer-Encoding: base64\n\n";
        for (int line = 0; line < 40; ++line)
            m += "JVBERi0xLjQKJcOkw7zDtsOfCjIgMCBvYmoKPDwvTGVuZ3RoIDMgMCBSL0ZpbHRlci9GbGF0ZUR\n";
        m += "--mix--\n";
        break;
    default:
        m += "Content-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n\n" + body;
        break;
    }
    return m + "\n";
}

void BenchMail(const std::string& scratch) {
    constexpr int kMessages = 4000;
    constexpr int kRounds = 7;
    const std::string path = scratch + "/bench.mbox";
    std::string mbox;
    for (int n = 0; n < kMessages; ++n)
        mbox += MailMessage(n);
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(mbox.data(), 1, mbox.size(), f);
        std::fclose(f);
    }
    tessarel::ReadContext context;
    context.contentsPath = scratch + "/";
    tessarel::FileRecord record;
    record.nativePath = path;
    record.extension = u"mbox";
    record.size = static_cast<std::int64_t>(mbox.size());
    // The processor time of this thread as well: on a loaded machine it is the figure for one core.
    std::vector<double> times, processor;
    for (int i = 0; i < kRounds; ++i) {
        const double before = ThreadMilliseconds();
        times.push_back(Milliseconds([&] { tessarel::ReadDocumentText(record, context); }));
        processor.push_back(ThreadMilliseconds() - before);
    }
    const double ms = Median(times), cpu = Median(processor);
    std::printf("\nMail, an mbox of %d messages, %.1f MB (median of %d runs)\n", kMessages, mbox.size() / 1e6, kRounds);
    std::printf("  mbox  %8zu units of text  %7.2f ms  %6.1f MB/s   processor %7.2f ms  %6.1f MB/s\n",
                record.text.size(), ms, mbox.size() / 1e6 / (ms / 1e3), cpu, mbox.size() / 1e6 / (cpu / 1e3));
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
    // A second argument runs one part alone: pdf, archives, book, mail or ocr.
    const std::string only = argc > 2 ? argv[2] : "";
    if (only.empty() || only == "pdf")
        BenchPdf(corpus, pattern);
    if (only.empty() || only == "archives")
        BenchArchives(pattern);
    if (only.empty() || only == "book")
        BenchBook(pattern);
    if (only.empty() || only == "mail")
        BenchMail(pattern);
    if (only.empty() || only == "ocr")
        BenchRecognition(corpus, pattern);
    std::filesystem::remove_all(pattern);
    return 0;
}
