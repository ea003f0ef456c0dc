// The command line as scripts and people expect it: version, help, grep's exit statuses, JSON
// output, a quiet stderr, the manual page and the bash completion.

#include "CliRun.h"
#include "cli/JsonText.h"
#include "engine/TextCache.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace tessarel;
using namespace tessarel::test;

namespace {

const fs::path kCliSource = TESSAREL_CLI_SOURCE;
const fs::path kCorpus = fs::path(TESSAREL_TEST_DATA) / "corpus";
const std::vector<std::string> kCommands = {"extract", "search", "show", "cache"};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Output of a shell command, stderr included.
std::string Shell(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    char chunk[4096];
    std::size_t got;
    while (p && (got = std::fread(chunk, 1, sizeof chunk, p)) > 0)
        out.append(chunk, got);
    const int s = p ? pclose(p) : -1;
    if (status)
        *status = s;
    return out;
}

// The options a command's help lists, one per line.
std::vector<std::string> HelpOptions(const std::string& command) {
    std::vector<std::string> options;
    for (const std::string& line : Lines(RunCli("help " + command, ".").out))
        if (line.rfind("  --", 0) == 0)
            options.push_back(line.substr(2, line.find(' ', 2) - 2));
    return options;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// A strict reader of one flat JSON object whose members are strings or numbers: strings come
// back decoded to UTF-8, numbers as written. Nothing on any departure from the JSON grammar.
class FlatJson {
public:
    static std::optional<std::map<std::string, std::string>> Parse(const std::string& text) {
        if (!IsValidUtf8(text))
            return std::nullopt;
        FlatJson p{text};
        std::map<std::string, std::string> members;
        if (!p.take('{'))
            return std::nullopt;
        do {
            std::string key, value;
            if (!p.string(key) || !p.take(':'))
                return std::nullopt;
            if (p.peek() == '"' ? !p.string(value) : !p.number(value))
                return std::nullopt;
            if (!members.emplace(key, value).second)
                return std::nullopt;
        } while (p.take(','));
        if (!p.take('}') || p.at_ != text.size())
            return std::nullopt;
        return members;
    }

private:
    explicit FlatJson(const std::string& text) : text_(text) {}
    char peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }
    bool take(char c) {
        if (peek() != c)
            return false;
        ++at_;
        return true;
    }
    bool hex4(char32_t& unit) {
        if (at_ + 4 > text_.size())
            return false;
        unit = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[at_++];
            const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                              : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
                              : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                                                                          : -1;
            if (digit < 0)
                return false;
            unit = unit * 16 + static_cast<char32_t>(digit);
        }
        return true;
    }
    bool string(std::string& out) {
        if (!take('"'))
            return false;
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"')
                return true;
            if (static_cast<unsigned char>(c) < 0x20)
                return false; // control characters must be escaped
            if (c != '\\') {
                out += c;
                continue;
            }
            const char e = text_[at_++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out += e;
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                char32_t unit = 0, low = 0;
                if (!hex4(unit))
                    return false;
                if (unit >= 0xD800 && unit < 0xDC00) {
                    if (!take('\\') || !take('u') || !hex4(low) || low < 0xDC00 || low >= 0xE000)
                        return false;
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                } else if (unit >= 0xDC00 && unit < 0xE000) {
                    return false;
                }
                AppendUtf8(out, unit);
                break;
            }
            default:
                return false;
            }
        }
        return false;
    }
    bool number(std::string& out) {
        const std::size_t start = at_;
        take('-');
        while (std::isdigit(static_cast<unsigned char>(peek())) || peek() == '.')
            ++at_;
        out = text_.substr(start, at_ - start);
        return !out.empty() && out != "-";
    }

    const std::string& text_;
    std::size_t at_ = 0;
};

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

TEST(CliConventions, VersionComesFromTheProject) {
    const Result r = RunCli("--version", ".");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string("tessarel-cli ") + TESSAREL_VERSION + "\n");
}

TEST(CliConventions, HelpListsOneOptionALineAndUnknownOptionsNameTheUsage) {
    for (const std::string& command : kCommands) {
        const Result help = RunCli("help " + command, ".");
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_EQ(help.out.rfind("usage: tessarel-cli " + command + " ", 0), 0u) << help.out;
        EXPECT_NE(help.out.find("exit status: "), std::string::npos) << help.out;
        const Result dashed = RunCli(command + " --help", ".");
        EXPECT_EQ(dashed.status, 0);
        EXPECT_EQ(dashed.out, help.out);
        const std::vector<std::string> options = HelpOptions(command);
        EXPECT_EQ(std::set<std::string>(options.begin(), options.end()).size(), options.size()) << help.out;
        EXPECT_NE(std::find(options.begin(), options.end(), "--help"), options.end());
        // No line names two options.
        for (const std::string& line : Lines(help.out))
            EXPECT_EQ(line.find(" --", 4), std::string::npos) << line;
    }
    EXPECT_EQ(HelpOptions("search").size(), 16u);

    const Result unknown = RunCli("search --sideways folder word", ".");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.out.empty());
    EXPECT_NE(unknown.err.find("unknown option: --sideways"), std::string::npos) << unknown.err;
    EXPECT_NE(unknown.err.find("usage: tessarel-cli search "), std::string::npos) << unknown.err;
    // An option of another command is unknown here, and the usage named is this command's.
    const Result misplaced = RunCli("show --list folder word 0 0 1", ".");
    EXPECT_EQ(misplaced.status, 2);
    EXPECT_NE(misplaced.err.find("usage: tessarel-cli show "), std::string::npos) << misplaced.err;
    EXPECT_EQ(RunCli("help frobnicate", ".").status, 2);
    EXPECT_EQ(RunCli("--help", ".").status, 0);
}

TEST(CliConventions, ExitStatusAsGrepHasIt) {
    Scratch scratch;
    const fs::path folder = scratch.path() / "docs";
    fs::create_directories(folder);
    std::ofstream(folder / "fruit.txt") << "kiwi one.";
    const std::string docs = Quoted(folder.string());
    EXPECT_EQ(RunCli("search " + docs + " kiwi", scratch.path()).status, 0);
    EXPECT_EQ(RunCli("search " + docs + " banana", scratch.path()).status, 1);
    EXPECT_EQ(RunCli("search --json " + docs + " banana", scratch.path()).status, 1);
    EXPECT_EQ(RunCli("search /nonexistent/folder kiwi", scratch.path()).status, 2);
    EXPECT_EQ(RunCli("search " + docs + " '   '", scratch.path()).status, 2);
    EXPECT_EQ(RunCli("search " + docs, scratch.path()).status, 2);

    const std::string fruit = Quoted((folder / "fruit.txt").string());
    EXPECT_EQ(RunCli("extract " + fruit, scratch.path()).status, 0);
    // One file that can't be read: the others are still printed, and the status says so.
    const Result extracted = RunCli("extract /nonexistent/file.txt " + fruit + " " + docs, scratch.path());
    EXPECT_EQ(extracted.status, 2);
    EXPECT_NE(extracted.out.find("kiwi one."), std::string::npos);
    EXPECT_NE(extracted.err.find("can't read /nonexistent/file.txt"), std::string::npos);

    // A whole drive is refused: that is an error, not "nothing found".
    const Result refused = RunCli("search / kiwi", scratch.path());
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("entire hard drive"), std::string::npos) << refused.err;
}

TEST(CliConventions, ExtractLeavesNothingBehind) {
    Scratch scratch;
    const fs::path work = scratch.path() / "work";
    const fs::path tmp = scratch.path() / "tmp";
    fs::create_directories(work);
    fs::create_directories(tmp);
    const char* before = std::getenv("TMPDIR");
    const std::optional<std::string> saved = before ? std::optional<std::string>(before) : std::nullopt;
    ::setenv("TMPDIR", tmp.c_str(), 1);
    for (const char* document : {"docx/simple.docx", "doc97/simple.doc", "txt/man-ls.txt"}) {
        const Result r = RunCli("extract " + Quoted((kCorpus / document).string()), work);
        EXPECT_EQ(r.status, 0) << document;
        EXPECT_FALSE(r.out.empty()) << document;
    }
    if (saved)
        ::setenv("TMPDIR", saved->c_str(), 1);
    else
        ::unsetenv("TMPDIR");
    EXPECT_TRUE(fs::is_empty(work));
    EXPECT_TRUE(fs::is_empty(tmp));
}

TEST(CliConventions, ACutSearchWordIsSaid) {
    Scratch scratch;
    const fs::path folder = scratch.path() / "docs";
    fs::create_directories(folder);
    const std::string word(45, 'w');
    std::ofstream(folder / "long.txt") << word.substr(0, 39) << "x and more.";
    const Result r = RunCli("search " + Quoted(folder.string()) + " " + word, scratch.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("cut to its first 39 characters: " + word.substr(0, 39) + "\n"), std::string::npos)
        << r.err;
    EXPECT_EQ(RunCli("search " + Quoted(folder.string()) + " short", scratch.path()).err, "");
}

TEST(CliConventions, JsonLinesHoldAnyNameAndText) {
    Scratch scratch;
    const fs::path folder = scratch.path() / "docs";
    fs::create_directories(folder);
    // name -> content; each holds one hit for "kiwi".
    const std::map<std::string, std::string> files = {
        {"quote\"and\\backslash.txt", "kiwi says \"hi\"\tand \\ more."},
        {"control\x01\x1f\x7f.txt", "kiwi\x01 beep\x1b."},
        {"bad\xff\xfe name.txt", "kiwi bad bytes."},
        {"two\nlines.txt", "kiwi on one line."},
        {"\xc3\xa9l\xc3\xa8ve \xf0\x9f\x93\x84.txt", "kiwi \xc3\xa9t\xc3\xa9."},
    };
    for (const auto& [name, content] : files)
        std::ofstream(folder / name, std::ios::binary) << content;

    const Result r = RunCli("search --json --flat " + Quoted(folder.string()) + " kiwi", scratch.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), files.size() + 1) << r.out;
    std::set<std::string> named;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        const auto hit = FlatJson::Parse(lines[i]);
        ASSERT_TRUE(hit) << lines[i];
        for (const char* key : {"path", "index", "offset", "length", "fragment"})
            EXPECT_EQ(hit->count(key), 1u) << key << " in " << lines[i];
        // The exact bytes: from path_hex where the name is not UTF-8, else from path itself.
        const bool replaced = hit->count("path_hex") == 1;
        const std::string path = replaced ? FromHex(hit->at("path_hex")) : hit->at("path");
        ASSERT_EQ(fs::path(path).parent_path(), folder) << lines[i];
        const std::string name = fs::path(path).filename().string();
        ASSERT_EQ(files.count(name), 1u) << lines[i];
        named.insert(name);
        EXPECT_EQ(replaced, !IsValidUtf8(name)) << lines[i];
        if (replaced) {
            EXPECT_NE(hit->at("path").find("\xef\xbf\xbd"), std::string::npos) << "U+FFFD in " << lines[i];
        }
        // The fragment is the document's text from offset for length units: here the whole text
        // after the reader's leading space.
        const std::string& content = files.at(name);
        EXPECT_EQ(hit->at("fragment"), " " + content) << lines[i];
        EXPECT_EQ(std::stoll(hit->at("offset")), 0) << lines[i];
        EXPECT_EQ(static_cast<std::size_t>(std::stoll(hit->at("length"))), FromUtf8(content).size() + 1);
    }
    EXPECT_EQ(named.size(), files.size());

    const auto status = FlatJson::Parse(lines.back());
    ASSERT_TRUE(status) << lines.back();
    EXPECT_EQ(status->at("results"), std::to_string(files.size()));
    EXPECT_GE(std::stod(status->at("seconds")), 0.0);
    EXPECT_TRUE(fs::exists(status->at("page")));

    // show --json: the hit shown, then the status with the text page.
    const auto first = FlatJson::Parse(lines.front());
    const Result shown = RunCli("show --json " + Quoted(folder.string()) + " kiwi " + first->at("index") +
                                    " " + first->at("offset") + " " + first->at("length"),
                                scratch.path());
    ASSERT_EQ(shown.status, 0) << shown.err;
    const std::vector<std::string> shownLines = Lines(shown.out);
    ASSERT_EQ(shownLines.size(), 2u) << shown.out;
    EXPECT_EQ(shownLines[0], lines.front());
    const auto shownStatus = FlatJson::Parse(shownLines[1]);
    ASSERT_TRUE(shownStatus) << shownLines[1];
    EXPECT_EQ(fs::path(shownStatus->at("page")).filename(), "content2.html");
}

TEST(CliConventions, JsonStringsEscapeWhatJsonRequires) {
    EXPECT_EQ(JsonString(u"a\"b\\c/d"), "\"a\\\"b\\\\c/d\"");
    EXPECT_EQ(JsonString(std::u16string(u"\0\x01\b\f\n\r\t\x1f\x7f", 9)),
              "\"\\u0000\\u0001\\b\\f\\n\\r\\t\\u001f\x7f\"");
    EXPECT_EQ(JsonString(u"\xD83D\xDCC4 \xD800 \xDC00"), "\"\xf0\x9f\x93\x84 \xef\xbf\xbd \xef\xbf\xbd\"");
    EXPECT_EQ(JsonStringOfBytes("a\xff"
                                "b\xc3"),
              "\"a\xef\xbf\xbd"
              "b\xef\xbf\xbd\"");
    EXPECT_EQ(HexBytes(std::string_view("\x00\xff a", 4)), "00ff2061");
}

TEST(CliConventions, StderrStaysQuietAndProgressOnlyOnATerminal) {
    Scratch scratch;
    const fs::path folder = scratch.path() / "docs";
    fs::create_directories(folder);
    for (const char* broken : {"truncated-half.pdf", "random-bytes.pdf"})
        fs::copy_file(kCorpus / "broken" / broken, folder / broken);
    std::ofstream(folder / "fruit.txt") << "kiwi one.";
    const std::string args = "search " + Quoted(folder.string()) + " kiwi";

    // Not a terminal: nothing at all on stderr, not even the damaged PDFs' complaints.
    const Result piped = RunCli(args, scratch.path());
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.err, "");
    const Result extracted = RunCli("extract " + Quoted((folder / "truncated-half.pdf").string()) + " " +
                                        Quoted((folder / "random-bytes.pdf").string()),
                                    scratch.path());
    EXPECT_EQ(extracted.status, 0);
    EXPECT_EQ(extracted.err, "");

    // A terminal: one line rewritten in place, ended once the reading run is done.
    const Result terminal = RunCliOnTerminal(args, scratch.path());
    EXPECT_EQ(terminal.status, 0);
    const std::size_t first = terminal.out.find("\rReading files...");
    const std::size_t done = terminal.out.find("\r3 files have been processed.");
    ASSERT_NE(first, std::string::npos) << terminal.out;
    ASSERT_NE(done, std::string::npos) << terminal.out;
    EXPECT_EQ(terminal.out.substr(first, done - first).find('\n'), std::string::npos) << terminal.out;
    EXPECT_EQ(terminal.out.find("Syntax"), std::string::npos) << terminal.out;
    EXPECT_NE(terminal.out.find("1 results ("), std::string::npos) << terminal.out;
}

TEST(CliConventions, ManualPageRendersWithoutWarningsAndNamesEveryOption) {
    // The page as the build makes it, with the project's version.
    const std::string page = TESSAREL_MAN_PAGE;
    int status = 0;
    const std::string warnings = Shell("groff -ww -man -Tascii " + Quoted(page) + " >/dev/null", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(warnings, "");
    // Rendered without hyphenation or line adjustment, so that every option stands whole.
    const std::string text = Shell("groff -ww -man -Tascii -rHY=0 -P-cbou " + Quoted(page));
    for (const std::string& command : kCommands) {
        EXPECT_NE(text.find(command), std::string::npos) << command;
        for (const std::string& option : HelpOptions(command))
            EXPECT_NE(text.find(option), std::string::npos) << option;
    }
    EXPECT_NE(text.find("EXIT STATUS"), std::string::npos);
    EXPECT_NE(text.find(std::string("Tessarel ") + TESSAREL_VERSION), std::string::npos);
}

TEST(CliConventions, BashCompletionOffersCommandsAndEachCommandsOptions) {
    const std::string script = (kCliSource / "tessarel-cli.bash").string();
    auto complete = [&](const std::string& words, int current) {
        const std::string command =
            "bash --norc --noprofile -c " +
            Quoted("source " + Quoted(script) + " && COMP_WORDS=(" + words +
                   ") && COMP_CWORD=" + std::to_string(current) +
                   " && _tessarel_cli tessarel-cli && printf '%s\\n' \"${COMPREPLY[@]}\"");
        std::vector<std::string> offered = Lines(Shell(command));
        std::sort(offered.begin(), offered.end());
        return offered;
    };
    EXPECT_EQ(complete("tessarel-cli s", 1), (std::vector<std::string>{"search", "show"}));
    EXPECT_EQ(complete("tessarel-cli help e", 2), (std::vector<std::string>{"extract"}));
    EXPECT_EQ(complete("tessarel-cli search --js", 2), (std::vector<std::string>{"--json"}));
    EXPECT_EQ(complete("tessarel-cli search --order a", 3), (std::vector<std::string>{"alphabetical"}));
    EXPECT_EQ(complete("tessarel-cli cache ''", 2), (std::vector<std::string>{"clear", "stats"}));
    for (const std::string& command : kCommands) {
        std::vector<std::string> options = HelpOptions(command);
        std::sort(options.begin(), options.end());
        EXPECT_EQ(complete("tessarel-cli " + command + " --", 2), options) << command;
    }
}

// The cache commands work on the user's cache folder, and only look where there is none yet.
TEST(CliConventions, CacheStatsAndClearInTheUsersCacheFolder) {
    Scratch scratch;
    const char* saved = std::getenv("XDG_CACHE_HOME");
    const std::string savedValue = saved ? saved : "";
    setenv("XDG_CACHE_HOME", scratch.path().c_str(), 1);
    const fs::path folder = scratch.path() / "Tessarel";
    const std::string location = "location: " + (folder / "texts.sqlite").string() + "\n";

    Result r = RunCli("cache stats", scratch.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("rows: 0\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find(location), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(folder));

    {
        std::unique_ptr<TextCache> cache = TextCache::open(folder.string(), 1u << 20);
        ASSERT_TRUE(cache);
        for (const char* path : {"/a.txt", "/b.txt", "/c.txt"}) {
            TextCacheKey key;
            key.inode = path[1];
            key.path = path;
            cache->store(key, u"kiwi", {});
        }
    }
    r = RunCli("cache stats", scratch.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("rows: 3\ntexts: 0.0 MiB\non disk: ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\nlimit: 1024.0 MiB\nstate: in use\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(location), std::string::npos) << r.out;
    r = RunCli("cache clear", scratch.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(RunCli("cache stats", scratch.path()).out.rfind("rows: 0\n", 0), 0u);

    // --no-cache is taken by the commands that read through the cache; extract never does.
    std::ofstream(scratch.path() / "fruit.txt") << "kiwi one.";
    EXPECT_EQ(RunCli("extract fruit.txt", scratch.path()).status, 0);
    EXPECT_EQ(RunCli("extract --no-cache fruit.txt", scratch.path()).status, 2);
    EXPECT_EQ(RunCli("search --no-cache . kiwi", scratch.path()).status, 0);
    EXPECT_EQ(RunCli("cache frobnicate", scratch.path()).status, 2);

    unsetenv("XDG_CACHE_HOME");
    const std::string env = "env -u HOME -u XDG_CACHE_HOME ";
    EXPECT_EQ(Shell("cd " + Quoted(scratch.path().string()) + " && " + env + Quoted(TESSAREL_CLI) +
                    " cache stats >/dev/null 2>&1; echo $?"),
              "2\n");
    saved ? setenv("XDG_CACHE_HOME", savedValue.c_str(), 1) : unsetenv("XDG_CACHE_HOME");
}

} // namespace
