// tessarel-cli: the engine without a window, for scripting and for checking what the desktop
// program would find. Options default to the values the installer writes.

#include "cli/JsonText.h"
#include "engine/Catalog.h"
#include "engine/Pages.h"
#include "engine/Paths.h"
#include "engine/Searcher.h"
#include "engine/TextCache.h"
#include "engine/TextPage.h"
#include "extract/ReadDocument.h"
#include "extract/RtfConverter.h"
#include "extract/TempTextFile.h"
#include "platform/EngineSink.h"
#include "platform/IniSettingsStore.h"
#include "platform/Notifier.h"
#include "platform/SettingsStore.h"
#include "platform/Text.h"
#include "platform/Version.h"

#include <algorithm>
#include <clocale>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace tessarel;

namespace {

// Exit statuses as grep has them.
constexpr int kFound = 0;
constexpr int kNotFound = 1;
constexpr int kError = 2;

std::vector<std::string> AllTypeNames() {
    std::vector<std::string> names;
    for (const DocumentType& type : kDocumentTypes)
        names.emplace_back(type.name);
    return names;
}

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
    bool json = false;
    bool help = false;
    int jobs = 0; // reading workers; 0: every hardware thread
    int maxDocuments = 0; // 0: the setting MaxDocuments, or 10000
    // Read every document afresh: no text is looked up in the text cache or stored there.
    bool noCache = false;
    // Recognise scanned pages and images: 1 on; -1 as the setting Ocr says.
    int ocr = -1;
    std::vector<std::string> types = AllTypeNames();
    std::vector<std::string> positional;
};

struct OptionSpec {
    const char* name;
    const char* value; // the value's name in the usage, or nullptr for a switch
    const char* help;
    void (*apply)(Options&, const std::string& value);
};

struct CommandSpec {
    const char* name;
    const char* arguments;
    const char* summary;
    std::vector<const OptionSpec*> options;
    const char* exitStatus;
    int (*run)(const CommandSpec&, Options&);
};

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "tessarel-cli: %s\n", message.c_str());
    std::exit(kError);
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

const OptionSpec kProgramDir{"--program-dir", "DIR", "folder whose contents/ gets the pages (default: .)",
                             [](Options& o, const std::string& v) { o.programDir = v; }};
const OptionSpec kCase{"--case", nullptr, "case sensitive",
                       [](Options& o, const std::string&) { o.caseSensitive = 1; }};
const OptionSpec kMatchWord{"--match-word", nullptr, "a word must end where the search word ends",
                            [](Options& o, const std::string&) { o.matchWord = 1; }};
const OptionSpec kNoFixBeginning{"--no-fix-beginning", nullptr,
                                 "a word need not begin where the search word does",
                                 [](Options& o, const std::string&) { o.fixBeginning = 0; }};
const OptionSpec kOrder{"--order", "ORDER", "relevance, date or alphabetical (default: relevance)",
                        [](Options& o, const std::string& v) {
                            if (v == "relevance")
                                o.order = CSearcher::Relevance;
                            else if (v == "date")
                                o.order = CSearcher::Date;
                            else if (v == "alphabetical")
                                o.order = CSearcher::Alphabetical;
                            else
                                Fail("unknown order: " + v);
                        }};
const OptionSpec kFlat{"--flat", nullptr, "list hits flat, not grouped under their documents",
                       [](Options& o, const std::string&) { o.groupByFiles = 0; }};
const OptionSpec kPerFile{"--per-file", "N", "results shown per document, 0 to 20 (default: 4)",
                          [](Options& o, const std::string& v) {
                              if (!ParseInt(v, o.perFile) || o.perFile < 0 ||
                                  o.perFile > CFileResults::kMaxHits)
                                  Fail("--per-file takes a number from 0 to 20: " + v);
                          }};
const OptionSpec kUnlimited{"--unlimited", nullptr, "20 results per document",
                            [](Options& o, const std::string&) { o.unlimited = true; }};
const OptionSpec kTypes{"--types", "LIST",
                        "types to read, comma-separated: text,rtf,doc,pdf,docx,xlsx,pptx,odt,ods,odp,epub,mail,images",
                        [](Options& o, const std::string& v) {
                            o.types = SplitCommas(v);
                            for (const std::string& t : o.types)
                                if (std::none_of(std::begin(kDocumentTypes), std::end(kDocumentTypes),
                                                 [&t](const DocumentType& type) { return t == type.name; }))
                                    Fail("unknown type: " + t);
                        }};
const OptionSpec kList{"--list", nullptr,
                       "print each shown hit: path, offset, length, fragment, tab-separated",
                       [](Options& o, const std::string&) { o.list = true; }};
const OptionSpec kJson{"--json", nullptr, "print each hit, then the status, as one JSON object a line",
                       [](Options& o, const std::string&) { o.json = true; }};
const OptionSpec kJobs{"--jobs", "N", "documents read at once (default: one per hardware thread)",
                       [](Options& o, const std::string& v) {
                           if (!ParseInt(v, o.jobs) || o.jobs < 1 || o.jobs > 64)
                               Fail("--jobs takes a number from 1 to 64: " + v);
                       }};
const OptionSpec kMaxDocuments{
    "--max-documents", "N", "documents read at most, up to 1000000 (default: the setting MaxDocuments, or 10000)",
    [](Options& o, const std::string& v) {
        if (!ParseInt(v, o.maxDocuments) || o.maxDocuments < 1 || o.maxDocuments > CCatalog::kMostDocuments)
            Fail("--max-documents takes a number from 1 to " + std::to_string(CCatalog::kMostDocuments) + ": " + v);
    }};
const OptionSpec kNoCache{"--no-cache", nullptr, "read every document afresh, without the text cache",
                          [](Options& o, const std::string&) { o.noCache = true; }};
const OptionSpec kOcr{"--ocr", nullptr, "recognise scanned PDF pages and images (slow; images are read only then)",
                      [](Options& o, const std::string&) { o.ocr = 1; }};
const OptionSpec kHelp{"--help", nullptr, "print this help and exit",
                       [](Options& o, const std::string&) { o.help = true; }};

// What a search leaves out, said where its usage is.
const std::string kSearchLimits =
    "text files: " + ToUtf8(kDocumentTypes[0].extensions.substr(1)) +
    "(read up to their first NUL byte),\nand those of setting TextExtensions (by default " +
    ToUtf8(kTextExtensionsOfToday) + ")\n"
    "a search word is cut to " + std::to_string(Query::kMaxWordLength) +
    " characters; it is given up in a document after " + std::to_string(Query::kRejectionLimit) +
    " occurrences\ninside longer words; at most " + std::to_string(CGroupList::kMaxBlocks) +
    " documents are listed grouped and " + std::to_string(CResultList::kMaxBlocks) +
    " hits flat, whatever\n--unlimited says\n";

int Extract(const CommandSpec& command, Options& o);
int Search(const CommandSpec& command, Options& o);
int Show(const CommandSpec& command, Options& o);
int Cache(const CommandSpec& command, Options& o);

const std::vector<CommandSpec>& Commands() {
    static const std::vector<CommandSpec> commands = {
        {"extract",
         "FILE...",
         "print each file's text as its reader gives it, read afresh",
         {&kOcr, &kHelp},
         "0 when every file was read, 2 when one could not be",
         Extract},
        {"search",
         "[options] FOLDER QUERY",
         "read the documents under FOLDER and search them; print the result page's path and the status line",
         {&kProgramDir, &kCase, &kMatchWord, &kNoFixBeginning, &kOrder, &kFlat, &kPerFile, &kUnlimited,
          &kTypes, &kJobs, &kMaxDocuments, &kList, &kJson, &kNoCache, &kOcr, &kHelp},
         "0 when a result was found, 1 when none was, 2 on an error",
         Search},
        {"show",
         "[options] FOLDER QUERY INDEX START LENGTH",
         "search as above, then write the text page of document INDEX around the hit at START, LENGTH",
         {&kProgramDir, &kCase, &kMatchWord, &kNoFixBeginning, &kOrder, &kFlat, &kPerFile, &kUnlimited,
          &kTypes, &kJobs, &kMaxDocuments, &kJson, &kNoCache, &kOcr, &kHelp},
         "0 when the page was written, 2 on an error",
         Show},
        {"cache",
         "stats|clear",
         "print the rows, sizes, limit, state and location of the cache of extracted texts, or empty it",
         {&kHelp},
         "0 when done, 2 when the cache can't be used",
         Cache},
    };
    return commands;
}

const CommandSpec* FindCommand(std::string_view name) {
    for (const CommandSpec& command : Commands())
        if (name == command.name)
            return &command;
    return nullptr;
}

std::string OptionLabel(const OptionSpec& option) {
    return std::string(option.name) + (option.value ? std::string(" ") + option.value : std::string());
}

std::string CommandUsage(const CommandSpec& command) {
    std::string usage = std::string("usage: tessarel-cli ") + command.name + " " + command.arguments + "\n" +
                        command.summary + "\noptions:\n";
    for (const OptionSpec* option : command.options) {
        std::string label = OptionLabel(*option);
        label.resize(std::max<std::size_t>(label.size() + 2, 22), ' ');
        usage += "  " + label + option->help + "\n";
    }
    usage += "exit status: " + std::string(command.exitStatus) + "\n";
    if (command.run == Search || command.run == Show)
        usage += kSearchLimits;
    return usage;
}

std::string GeneralUsage() {
    std::string usage = "usage: tessarel-cli COMMAND [options] ARGUMENTS\ncommands:\n";
    for (const CommandSpec& command : Commands()) {
        std::string label = std::string(command.name) + " " + command.arguments;
        usage += "  " + label + "\n      " + command.summary + "\n";
    }
    return usage +
           "  help [COMMAND]\n      print the usage of COMMAND, one line per option\n"
           "tessarel-cli --version prints the version.\n"
           "exit status: search 0 found, 1 nothing found, 2 error; extract 0 all read, 2 one unreadable;\n"
           "cache 0 done, 2 when the cache can't be used\n" +
           kSearchLimits;
}

[[noreturn]] void FailWithUsage(const std::string& message, const CommandSpec& command) {
    std::fprintf(stderr, "tessarel-cli: %s\n%s", message.c_str(), CommandUsage(command).c_str());
    std::exit(kError);
}

// Options may stand anywhere among the arguments; "--" ends them.
Options ParseOptions(const CommandSpec& command, int argc, char** argv, int first) {
    Options o;
    bool optionsEnded = false;
    for (int i = first; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            o.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const OptionSpec* option = nullptr;
        for (const OptionSpec* candidate : command.options)
            if (arg == candidate->name)
                option = candidate;
        if (!option)
            FailWithUsage("unknown option: " + arg, command);
        std::string value;
        if (option->value) {
            if (i + 1 >= argc)
                FailWithUsage(arg + " needs a value", command);
            value = argv[++i];
        }
        option->apply(o, value);
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

// A contents folder of the command's own below the temporary directory, removed at the end:
// extracting a file leaves nothing behind where it was run.
class PrivateContentsFolder {
public:
    PrivateContentsFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tessarel-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            Fail("can't create a temporary folder in " + pattern.substr(0, pattern.rfind('/')) + ": " +
                 std::strerror(errno));
        path_ = pattern + "/";
    }
    ~PrivateContentsFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

int Extract(const CommandSpec&, Options& o) {
    if (o.positional.empty())
        Fail("extract needs at least one FILE");
    const PrivateContentsFolder folder;
    const std::string& contents = folder.path();
    TempTextFile temp;
    RtfConverterControl rtf;
    // What a reader says of a document goes to stderr after it.
    std::vector<std::u16string> logLines;
    ReadContext context;
    context.contentsPath = contents;
    context.wordTempPath = temp.acquire(contents);
    context.rtf = &rtf;
    if (o.ocr == 1) {
        IniSettingsStore settings{IniSettingsStore::defaultPath()};
        std::vector<std::string> missing;
        context.recognition.on = true;
        context.recognition.languages =
            InstalledLanguagesOf(ToUtf8(settings.readString(kSettingsSection, "OcrLanguages", u"eng")), &missing);
        for (const std::string& language : missing)
            std::fprintf(stderr, "tessarel-cli: the recognition language %s is not installed\n", language.c_str());
        context.recognition.on = !context.recognition.languages.empty();
    }
    context.logLines = &logLines;
    // A file that can't be read is reported and the others still extracted; the exit status
    // then tells a script that something was missing.
    int status = 0;
    for (const std::string& path : o.positional) {
        FileRecord record;
        record.nativePath = path;
        record.path = FromUtf8(path);
        const std::size_t dot = record.path.rfind(u'.');
        record.extension = Folded(dot == std::u16string::npos ? record.path : record.path.substr(dot + 1));
        struct stat st;
        if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || access(path.c_str(), R_OK) != 0) {
            std::fprintf(stderr, "tessarel-cli: can't read %s\n", path.c_str());
            status = kError;
            continue;
        }
        record.size = st.st_size;
        logLines.clear();
        const bool read = ReadDocumentText(record, context);
        for (const std::u16string& line : logLines)
            std::fprintf(stderr, "tessarel-cli: %s: %s\n", path.c_str(), ToUtf8(line).c_str());
        if (!read) {
            std::fprintf(stderr, "tessarel-cli: can't read %s\n", path.c_str());
            status = kError;
            continue;
        }
        PrintText(record.text);
        std::fputc('\n', stdout);
    }
    return status;
}

// The reading run's status texts as one line on a terminal, rewritten in place; a pipe or a
// file gets none of them, so that scripts see only what they asked for.
class ProgressLine {
public:
    ProgressLine() : terminal_(isatty(STDERR_FILENO) == 1) {}
    void show(std::u16string_view text) {
        if (!terminal_)
            return;
        std::fprintf(stderr, "\r%s\033[K", ToUtf8(text).c_str());
        std::fflush(stderr);
        shown_ = true;
    }
    // The last text stays on its line.
    void end() {
        if (shown_)
            std::fputc('\n', stderr);
        shown_ = false;
    }

private:
    bool terminal_;
    bool shown_ = false;
};

// Passes the engine's status texts to the progress line until the message `until` arrives.
void PumpUntil(QueuedEngineSink& sink, std::uint32_t until, ProgressLine& progress) {
    for (;;) {
        const QueuedEngineSink::Message m = sink.take();
        if (m.message == WM_ENGINE_STATUS)
            progress.show(m.payload);
        else if (m.message == WM_SEARCH_WAITING)
            progress.show(u"Reading files...");
        if (m.message == until)
            return;
    }
}

std::u16string Fragment(const CCatalog& catalog, int index, long long start, long long length) {
    const auto from = static_cast<std::size_t>(std::max<long long>(start, 0));
    return catalog.record(index).text.utf16(from, static_cast<std::size_t>(std::max<long long>(length, 0)));
}

std::u16string Fragment(const CCatalog& catalog, const SearchHit& hit) {
    return Fragment(catalog, hit.document, static_cast<long long>(hit.offset),
                    static_cast<long long>(hit.length));
}

void PrintHitsTabbed(const CCatalog& catalog, const std::vector<SearchHit>& hits) {
    for (const SearchHit& hit : hits) {
        std::u16string fragment = Fragment(catalog, hit);
        for (char16_t& c : fragment)
            if (c == u'\r' || c == u'\n')
                c = u' ';
        std::printf("%s\t%zu\t%zu\t%s\n", ToUtf8(catalog.record(hit.document).path).c_str(), hit.offset,
                    hit.length, ToUtf8(fragment).c_str());
    }
}

// A path's bytes as JSON: "path" readable, and "path_hex" exact whenever "path" had to replace.
std::string JsonPathMembers(const FileInfo& record) {
    const std::string bytes = record.fileName();
    std::string members = "\"path\":" + JsonStringOfBytes(bytes);
    if (!IsValidUtf8(bytes))
        members += ",\"path_hex\":\"" + HexBytes(bytes) + "\"";
    return members;
}

void PrintHitJson(const CCatalog& catalog, int index, long long start, long long length) {
    const std::string line = "{" + JsonPathMembers(catalog.record(index)) +
                             ",\"index\":" + std::to_string(index) + ",\"offset\":" + std::to_string(start) +
                             ",\"length\":" + std::to_string(length) +
                             ",\"fragment\":" + JsonString(Fragment(catalog, index, start, length)) + "}\n";
    std::fputs(line.c_str(), stdout);
}

// The status line "N results (S.SS )" as JSON members, with the page written.
void PrintStatusJson(const CSearcher& searcher, const std::string& page) {
    double seconds = 0;
    std::sscanf(ToUtf8(searcher.statusLine()).c_str(), "%*d results (%lf", &seconds);
    std::printf("{\"results\":%d,\"seconds\":%.2f,\"page\":%s}\n", searcher.resultCount(), seconds,
                JsonStringOfBytes(page).c_str());
}

// What a search and a show share: the reading run over the folder and the search run over it.
struct SearchRun {
    std::string programDir;
    // The window's settings; what the command writes (its program folder) stays in memory.
    IniSettingsStore settings{IniSettingsStore::defaultPath()};
    QueuedEngineSink sink;
    StderrNotifier notifier;
    RtfConverterControl rtf;
    std::unique_ptr<TextCache> cache; // outlives the catalogue that uses it
    std::unique_ptr<CCatalog> catalog;
    std::unique_ptr<CSearcher> searcher;
    std::unique_ptr<PageWriter> pages; // one numbering for the result page and the text page
};

constexpr std::u16string_view kFontFace = u"Times New Roman";
constexpr int kFontSize = 12;

// Reads the folder, runs the search and writes the result page, as the desktop program does
// before any text page; returns the page's path. The arguments start with FOLDER QUERY.
std::string RunSearch(SearchRun& run, const Options& o, const CommandSpec& command, std::size_t arguments) {
    if (o.positional.size() != arguments) {
        std::string needed = command.arguments;
        if (needed.rfind("[options] ", 0) == 0)
            needed.erase(0, 10);
        FailWithUsage(std::string(command.name) + " needs " + needed, command);
    }
    const std::string& folder = o.positional[0];
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        Fail("no such folder: " + folder);

    run.programDir = PrepareProgramDirectory(o.programDir);
    run.pages = std::make_unique<PageWriter>(run.programDir);
    run.settings.writeString(kSettingsSection, "ProgramDirectory", FromUtf8(run.programDir));
    run.catalog = std::make_unique<CCatalog>(run.settings, run.sink, run.notifier);
    CCatalog& catalog = *run.catalog;
    std::error_code ec;
    catalog.folder = FromUtf8(fs::absolute(folder, ec).lexically_normal().string());
    if (catalog.folder.size() > 1 && catalog.folder.back() == u'/')
        catalog.folder.pop_back();
    catalog.rtf = &run.rtf;
    catalog.readingThreads = o.jobs;
    catalog.maxDocuments = o.maxDocuments;
    catalog.ocr = o.ocr;
    // Without a usable cache the run simply reads every document, and says why once.
    if (!o.noCache && TextCacheEnabled(run.settings)) {
        std::string why;
        run.cache = TextCache::open(TextCache::defaultFolder(), TextCacheLimitBytes(run.settings), &why);
        if (!run.cache)
            std::fprintf(stderr, "tessarel-cli: the text cache is not used: %s\n", why.c_str());
        catalog.textCache = run.cache.get();
    }
    for (const DocumentType& type : kDocumentTypes)
        catalog.*type.switchOf = Has(o.types, type.name);
    // The window's further text extensions hold for the command line too.
    TypeSwitches stored;
    ReadTypeSwitches(run.settings, stored);
    catalog.TextExtensions = stored.TextExtensions;
    ProgressLine progress;
    catalog.start();
    PumpUntil(run.sink, WM_READING_DONE, progress);
    progress.end();
    for (const std::u16string& notice : catalog.limitNotices())
        std::fprintf(stderr, "tessarel-cli: %s\n", ToUtf8(notice).c_str());
    // Said whether or not stderr is a terminal: those documents were read without the helper's limits.
    if (catalog.readerMissing())
        std::fputs("tessarel-cli: the reader helper tessarel-reader is missing: PDF and Office documents "
                   "were read inside the program\n",
                   stderr);
    // The refusal itself came through the notifier; a script sees an error, not "nothing found".
    if (CCatalog::refusesFolder(catalog.folder)) {
        catalog.waitForEnd();
        std::exit(kError);
    }

    run.searcher = std::make_unique<CSearcher>(run.sink);
    CSearcher& searcher = *run.searcher;
    searcher.query.caseSensitive = o.caseSensitive;
    searcher.query.matchWord = o.matchWord;
    searcher.query.fixBeginning = o.fixBeginning;
    searcher.query.setQueryText(FromUtf8(o.positional[1]));
    searcher.query.split();
    if (searcher.query.wordCount() == 0)
        Fail("Please, enter search words.");
    for (const std::u16string& word : searcher.query.cutWords())
        std::fprintf(stderr, "tessarel-cli: a search word is cut to its first %zu characters: %s\n",
                     Query::kMaxWordLength, ToUtf8(word).c_str());
    searcher.catalog = &catalog;
    searcher.order = o.order;
    searcher.groupByFiles = o.groupByFiles;
    searcher.resultsPerFile = o.unlimited ? CFileResults::kMaxHits : o.perFile;
    searcher.start();
    // The status line follows WM_SEARCH_DONE; it is the result, printed on stdout, not progress.
    ProgressLine none;
    PumpUntil(run.sink, WM_ENGINE_STATUS, none);
    searcher.waitForEnd();

    // The texts stored during the run are written while the search runs; the rest before the end.
    if (run.cache)
        run.cache->flush();
    const std::optional<std::string> page =
        run.pages->write(searcher.output(), std::u16string(kFontFace), kFontSize);
    if (!page)
        Fail("can't write the result page into " + ContentsPath(run.programDir));
    return *page;
}

// Ends the process with the catalogue still in place: unmapping gigabytes of texts is work the
// process's end does anyway. The sanitizer build goes the long way, so that its leak check still
// sees everything.
int EndWith(int status) {
#if !defined(__SANITIZE_ADDRESS__)
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
#endif
    return status;
}

int Search(const CommandSpec& command, Options& o) {
    SearchRun run;
    const std::string page = RunSearch(run, o, command, 2);
    if (o.json) {
        for (const SearchHit& hit : run.searcher->hits())
            PrintHitJson(*run.catalog, hit.document, static_cast<long long>(hit.offset),
                         static_cast<long long>(hit.length));
        PrintStatusJson(*run.searcher, page);
    } else {
        std::printf("%s\n%s\n", page.c_str(), ToUtf8(run.searcher->statusLine()).c_str());
        if (o.list)
            PrintHitsTabbed(*run.catalog, run.searcher->hits());
    }
    return EndWith(run.searcher->resultCount() > 0 ? kFound : kNotFound);
}

int Show(const CommandSpec& command, Options& o) {
    SearchRun run;
    RunSearch(run, o, command, 5);
    const std::string link =
        "show#" + o.positional[2] + "#start" + o.positional[3] + "#length" + o.positional[4];
    const std::optional<ShowLink> parsed = ParseShowLink(FromUtf8(link));
    const std::optional<std::u16string> content =
        parsed ? BuildTextPage(*run.catalog, *parsed, run.searcher->query) : std::nullopt;
    if (!content)
        Fail("no document " + o.positional[2] + " in this catalogue");
    const std::optional<std::string> textPage =
        run.pages->write(*content, std::u16string(kFontFace), kFontSize);
    if (!textPage)
        Fail("can't write the text page into " + ContentsPath(run.programDir));
    if (o.json) {
        PrintHitJson(*run.catalog, parsed->index, parsed->start, parsed->length);
        PrintStatusJson(*run.searcher, *textPage);
    } else {
        std::printf("%s\n", textPage->c_str());
    }
    return EndWith(kFound);
}

// In MiB, as TextCacheLimitMB counts.
std::string Mebibytes(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1 << 20));
    return text;
}

void PrintCacheStats(const TextCache::Stats& stats, const std::string& state) {
    std::printf("rows: %lld\ntexts: %s\non disk: %s\nlimit: %s\nstate: %s\nlocation: %s\n",
                static_cast<long long>(stats.rows),
                Mebibytes(static_cast<std::uint64_t>(stats.bytes)).c_str(),
                Mebibytes(static_cast<std::uint64_t>(stats.fileBytes)).c_str(),
                Mebibytes(stats.limitBytes).c_str(), state.c_str(), stats.location.c_str());
}

int Cache(const CommandSpec& command, Options& o) {
    if (o.positional.size() != 1 || (o.positional[0] != "stats" && o.positional[0] != "clear"))
        FailWithUsage("cache needs stats or clear", command);
    const std::string folder = TextCache::defaultFolder();
    if (folder.empty())
        Fail("no cache folder: neither XDG_CACHE_HOME nor HOME is set");
    IniSettingsStore settings(IniSettingsStore::defaultPath());
    const std::uint64_t limit = TextCacheLimitBytes(settings);
    // Switched off, the cache is still there to be looked at or emptied.
    const std::string off = TextCacheEnabled(settings) ? "" : "off (TextCache=0)";
    TextCache::Stats stats;
    stats.limitBytes = limit;
    stats.location = folder + "/" + TextCache::kFileName;
    // Looking is not a reason to make the cache.
    struct stat st;
    if (o.positional[0] == "stats" && stat(stats.location.c_str(), &st) != 0) {
        PrintCacheStats(stats, off.empty() ? "in use, empty" : off);
        return 0;
    }
    std::string why;
    const std::unique_ptr<TextCache> cache = TextCache::open(folder, limit, &why);
    if (!cache) {
        if (o.positional[0] == "stats")
            PrintCacheStats(stats, "bypassed: " + why);
        Fail("can't use the text cache: " + why);
    }
    if (o.positional[0] == "clear") {
        if (!cache->clear())
            Fail("can't clear " + stats.location + ": " + cache->bypassReason());
        std::printf("cleared %s\n", stats.location.c_str());
        return 0;
    }
    const std::optional<TextCache::Stats> found = cache->stats();
    if (!found) {
        PrintCacheStats(stats, "bypassed: " + cache->bypassReason());
        Fail("can't read " + stats.location);
    }
    PrintCacheStats(*found, !off.empty()        ? off
                            : cache->bypassed() ? "bypassed: " + cache->bypassReason()
                                                : "in use");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "C.UTF-8");
    if (argc < 2) {
        std::fputs(GeneralUsage().c_str(), stderr);
        return kError;
    }
    const std::string_view name = argv[1];
    if (name == "--help" || name == "-h") {
        std::fputs(GeneralUsage().c_str(), stdout);
        return 0;
    }
    if (name == "--version") {
        std::printf("tessarel-cli %s\n", kVersion);
        return 0;
    }
    if (name == "help") {
        if (argc < 3) {
            std::fputs(GeneralUsage().c_str(), stdout);
            return 0;
        }
        const CommandSpec* command = FindCommand(argv[2]);
        if (!command)
            Fail("unknown command: " + std::string(argv[2]) + "\n" + GeneralUsage());
        std::fputs(CommandUsage(*command).c_str(), stdout);
        return 0;
    }
    const CommandSpec* command = FindCommand(name);
    if (!command)
        Fail("unknown command: " + std::string(name) + "\n" + GeneralUsage());
    Options options = ParseOptions(*command, argc, argv, 2);
    if (options.help) {
        std::fputs(CommandUsage(*command).c_str(), stdout);
        return 0;
    }
    return command->run(*command, options);
}
