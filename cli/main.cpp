// tessarel-cli: the engine without a window, for scripting and for checking what the desktop
// program would find. Options default to the values the installer writes.

#include "engine/Catalog.h"
#include "engine/Pages.h"
#include "engine/Paths.h"
#include "engine/Searcher.h"
#include "engine/TextPage.h"
#include "extract/ReadDocument.h"
#include "extract/RtfConverter.h"
#include "extract/TempTextFile.h"
#include "platform/EngineSink.h"
#include "platform/Notifier.h"
#include "platform/SettingsStore.h"
#include "platform/Text.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace tessarel;

namespace {

constexpr const char* kUsage =
    "usage: tessarel-cli extract FILE...\n"
    "       tessarel-cli search [options] FOLDER QUERY\n"
    "       tessarel-cli show [options] FOLDER QUERY INDEX START LENGTH\n"
    "options: --program-dir DIR  --case  --match-word  --no-fix-beginning\n"
    "         --order relevance|date|alphabetical  --flat  --per-file N  --unlimited\n"
    "         --types text,rtf,doc,pdf,docx,xlsx,pptx,odt  --list\n";

struct Options {
    std::string programDir = ".";
    int caseSensitive = 0;
    int matchWord = 0;
    int fixBeginning = 1;
    int order = CSearcher::Relevance;
    int groupByFiles = 1;
    int perFile = 4;
    bool unlimited = false;
    bool list = false;
    std::vector<std::string> types{"text", "rtf", "doc", "pdf", "docx", "xlsx", "pptx", "odt"};
    std::vector<std::string> positional;
};

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "tessarel-cli: %s\n", message.c_str());
    std::exit(2);
}

bool ParseInt(const std::string& text, int& out) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < -1000000 || value > 1000000)
        return false;
    out = static_cast<int>(value);
    return true;
}

std::vector<std::string> SplitCommas(const std::string& list) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = list.find(',', start);
        const std::size_t end = comma == std::string::npos ? list.size() : comma;
        if (end > start)
            items.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

Options ParseOptions(int argc, char** argv, int first) {
    Options o;
    for (int i = first; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                Fail(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--program-dir") {
            o.programDir = value();
        } else if (arg == "--case") {
            o.caseSensitive = 1;
        } else if (arg == "--match-word") {
            o.matchWord = 1;
        } else if (arg == "--no-fix-beginning") {
            o.fixBeginning = 0;
        } else if (arg == "--order") {
            const std::string v = value();
            if (v == "relevance")
                o.order = CSearcher::Relevance;
            else if (v == "date")
                o.order = CSearcher::Date;
            else if (v == "alphabetical")
                o.order = CSearcher::Alphabetical;
            else
                Fail("unknown order: " + v);
        } else if (arg == "--flat") {
            o.groupByFiles = 0;
        } else if (arg == "--per-file") {
            const std::string v = value();
            if (!ParseInt(v, o.perFile) || o.perFile < 0 || o.perFile > 20)
                Fail("--per-file takes a number from 0 to 20: " + v);
        } else if (arg == "--unlimited") {
            o.unlimited = true;
        } else if (arg == "--types") {
            o.types = SplitCommas(value());
            for (const std::string& t : o.types)
                if (t != "text" && t != "rtf" && t != "doc" && t != "pdf" && t != "docx" && t != "xlsx" &&
                    t != "pptx" && t != "odt")
                    Fail("unknown type: " + t);
        } else if (arg == "--list") {
            o.list = true;
        } else if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            Fail("unknown option: " + arg);
        } else {
            o.positional.push_back(arg);
        }
    }
    return o;
}

// The contents folder the engine writes into, created when missing.
std::string PrepareProgramDirectory(const std::string& dir) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(dir, ec).lexically_normal();
    if (ec)
        Fail("bad program directory: " + dir);
    fs::create_directories(absolute / "contents", ec);
    if (ec)
        Fail("can't create " + (absolute / "contents").string() + ": " + ec.message());
    return absolute.string();
}

bool Has(const std::vector<std::string>& items, std::string_view item) {
    for (const std::string& s : items)
        if (s == item)
            return true;
    return false;
}

void PrintText(std::u16string_view text) {
    const std::string utf8 = ToUtf8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

int Extract(int argc, char** argv) {
    if (argc < 3)
        Fail("extract needs at least one FILE");
    const std::string contents = ContentsPath(PrepareProgramDirectory("."));
    TempTextFile temp;
    RtfConverterControl rtf;
    const ReadContext context{contents, temp.acquire(contents), &rtf};
    // A file that can't be read is reported and the others still extracted; the exit status
    // then tells a script that something was missing.
    int status = 0;
    for (int i = 2; i < argc; ++i) {
        FileRecord record;
        record.nativePath = argv[i];
        record.path = FromUtf8(argv[i]);
        const std::size_t dot = record.path.rfind(u'.');
        record.extension = Folded(dot == std::u16string::npos ? record.path : record.path.substr(dot + 1));
        struct stat st;
        if (stat(argv[i], &st) != 0 || !S_ISREG(st.st_mode) || access(argv[i], R_OK) != 0) {
            std::fprintf(stderr, "tessarel-cli: can't read %s\n", argv[i]);
            status = 2;
            continue;
        }
        record.size = st.st_size;
        ReadDocumentText(record, context);
        PrintText(record.text);
        std::fputc('\n', stdout);
    }
    return status;
}

// Prints the engine's status texts until the message `until` arrives.
void PumpUntil(QueuedEngineSink& sink, std::uint32_t until) {
    for (;;) {
        const QueuedEngineSink::Message m = sink.take();
        if (m.message == WM_ENGINE_STATUS) {
            std::fprintf(stderr, "%s\n", ToUtf8(m.payload).c_str());
        } else if (m.message == WM_SEARCH_WAITING) {
            std::fprintf(stderr, "Reading files...\n");
        }
        if (m.message == until)
            return;
    }
}

// The hits of a result page in output order, from its "show#" links.
void ListHits(const CCatalog& catalog, std::u16string_view page) {
    constexpr std::u16string_view kLink = u"<a href=\"show#";
    for (std::size_t at = page.find(kLink); at != std::u16string_view::npos; at = page.find(kLink, at + 1)) {
        const std::optional<ShowLink> link = ParseShowLink(page, at + 9);
        if (!link || link->index >= catalog.count())
            continue;
        const FileRecord& record = catalog.record(link->index);
        std::u16string fragment = record.text.substr(static_cast<std::size_t>(link->start),
                                                     static_cast<std::size_t>(link->length));
        for (char16_t& c : fragment)
            if (c == u'\r' || c == u'\n')
                c = u' ';
        std::printf("%s\t%lld\t%lld\t%s\n", ToUtf8(record.path).c_str(), link->start, link->length,
                    ToUtf8(fragment).c_str());
    }
}

int SearchOrShow(int argc, char** argv, bool show) {
    const Options o = ParseOptions(argc, argv, 2);
    const std::size_t wanted = show ? 5 : 2;
    if (o.positional.size() != wanted)
        Fail(std::string(show ? "show needs FOLDER QUERY INDEX START LENGTH" : "search needs FOLDER QUERY") +
             "\n" + kUsage);
    const std::string& folder = o.positional[0];
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        Fail("no such folder: " + folder);

    const std::string programDir = PrepareProgramDirectory(o.programDir);
    MemorySettingsStore settings;
    settings.writeString(kSettingsSection, "ProgramDirectory", FromUtf8(programDir));
    QueuedEngineSink sink;
    StderrNotifier notifier;
    RtfConverterControl rtf;

    CCatalog catalog(settings, sink, notifier);
    std::error_code ec;
    catalog.folder = FromUtf8(fs::absolute(folder, ec).lexically_normal().string());
    if (catalog.folder.size() > 1 && catalog.folder.back() == u'/')
        catalog.folder.pop_back();
    catalog.rtf = &rtf;
    catalog.FilesText = Has(o.types, "text");
    catalog.FilesRtf = Has(o.types, "rtf");
    catalog.FilesDoc = Has(o.types, "doc");
    catalog.FilesPdf = Has(o.types, "pdf");
    catalog.FilesDocx = Has(o.types, "docx");
    catalog.FilesXlsx = Has(o.types, "xlsx");
    catalog.FilesPptx = Has(o.types, "pptx");
    catalog.FilesOdt = Has(o.types, "odt");
    catalog.start();
    PumpUntil(sink, WM_READING_DONE);

    CSearcher searcher(sink);
    searcher.query.caseSensitive = o.caseSensitive;
    searcher.query.matchWord = o.matchWord;
    searcher.query.fixBeginning = o.fixBeginning;
    searcher.query.setQueryText(FromUtf8(o.positional[1]));
    searcher.query.split();
    if (searcher.query.wordCount() == 0) {
        std::fprintf(stderr, "Please, enter search words.\n");
        return 1;
    }
    searcher.catalog = &catalog;
    searcher.order = o.order;
    searcher.groupByFiles = o.groupByFiles;
    searcher.resultsPerFile = o.unlimited ? 20 : o.perFile;
    searcher.start();
    PumpUntil(sink, WM_ENGINE_STATUS);  // the status line follows WM_SEARCH_DONE
    searcher.waitForEnd();

    PageWriter pages(programDir);
    const std::u16string fontFace = u"Times New Roman";
    const int fontSize = 12;
    const std::optional<std::string> page = pages.write(searcher.output(), fontFace, fontSize);
    if (!page)
        Fail("can't write the result page into " + ContentsPath(programDir));
    if (!show) {
        std::printf("%s\n%s\n", page->c_str(), ToUtf8(searcher.statusLine()).c_str());
        if (o.list)
            ListHits(catalog, searcher.output());
        return 0;
    }
    const std::string link = "show#" + o.positional[2] + "#start" + o.positional[3] + "#length" + o.positional[4];
    const std::optional<ShowLink> parsed = ParseShowLink(FromUtf8(link));
    const std::optional<std::u16string> content =
        parsed ? BuildTextPage(catalog, *parsed, searcher.query) : std::nullopt;
    if (!content)
        Fail("no document " + o.positional[2] + " in this catalogue");
    const std::optional<std::string> textPage = pages.write(*content, fontFace, fontSize);
    if (!textPage)
        Fail("can't write the text page into " + ContentsPath(programDir));
    std::printf("%s\n", textPage->c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "C.UTF-8");
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string_view command = argv[1];
    if (command == "extract")
        return Extract(argc, argv);
    if (command == "search")
        return SearchOrShow(argc, argv, false);
    if (command == "show")
        return SearchOrShow(argc, argv, true);
    if (command == "--help" || command == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    Fail("unknown command: " + std::string(command) + "\n" + kUsage);
}
