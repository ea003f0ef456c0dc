// The text cache as the built tessarel-cli uses it, process and all: whatever happened in an
// earlier run (descriptors short, a damaged database, another layout width, a run over one type),
// the next run's results are byte for byte those of --no-cache; the cache follows the settings
// file, and its folder and files are the user's alone.

#include "CliRun.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace tessarel::test;

namespace {

const fs::path kCorpus = fs::path(TESSAREL_TEST_DATA) / "corpus";

// A copy of the corpus in a scratch folder, with a cache folder and a settings folder of its own
// for every command the test runs.
class CacheScratch {
public:
    CacheScratch() {
        fs::copy(kCorpus, docs(), fs::copy_options::recursive);
        for (const char* name : {"XDG_CACHE_HOME", "XDG_CONFIG_HOME"}) {
            const char* value = std::getenv(name);
            saved_.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
        }
        setenv("XDG_CACHE_HOME", (root() / "cache").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root() / "config").c_str(), 1);
    }
    ~CacheScratch() {
        for (const auto& [name, value] : saved_)
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }
    const fs::path& root() const { return scratch_.path(); }
    fs::path docs() const { return root() / "docs"; }
    fs::path folder() const { return root() / "cache" / "Tessarel"; }
    fs::path database() const { return folder() / "texts.sqlite"; }
    void writeSettings(const std::string& lines) const {
        fs::create_directories(root() / "config" / "Quendralight");
        std::ofstream(root() / "config" / "Quendralight" / "Tessarel.conf") << "[Settings]\n" << lines;
    }

private:
    Scratch scratch_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// Every hit of a search over the documents, as --list prints them, and the number of results:
// the result page's path and the search time are left out, which differ from run to run.
std::string Results(const CacheScratch& s, const std::string& options, const std::string& prelude = "") {
    const Result r =
        RunCli("search --list --unlimited --program-dir pages " + options + " docs the", s.root(), prelude);
    EXPECT_EQ(r.status, 0) << options << "\n" << r.err;
    std::istringstream lines(r.out);
    std::string page, status, out;
    std::getline(lines, page);
    std::getline(lines, status);
    out = status.substr(0, status.find(" (")) + "\n";
    for (std::string line; std::getline(lines, line);)
        out += line + "\n";
    return out;
}

std::int64_t Rows(const CacheScratch& s) {
    const Result r = RunCli("cache stats", s.root());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    return r.out.rfind("rows: ", 0) == 0 ? std::stoll(r.out.substr(6)) : -1;
}

mode_t Mode(const fs::path& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Overwrites 20 pages of the database, chosen by a fixed seed from page 40 on, with noise.
void DamagePages(const fs::path& database) {
    constexpr std::size_t kPage = 4096;
    const std::size_t pages = fs::file_size(database) / kPage;
    ASSERT_GT(pages, 60u) << "too small a database to damage";
    std::mt19937 rng(40);
    std::set<std::size_t> chosen;
    while (chosen.size() < 20)
        chosen.insert(40 + rng() % (pages - 40));
    const int fd = open(database.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    std::string noise(kPage, '\0');
    for (std::size_t page : chosen) {
        for (char& c : noise)
            c = static_cast<char>(rng());
        ASSERT_EQ(pwrite(fd, noise.data(), kPage, static_cast<off_t>(page * kPage)),
                  static_cast<ssize_t>(kPage));
    }
    close(fd);
}

std::string Sql(const fs::path& database, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(database.c_str(), &db);
    std::string result;
    sqlite3_exec(
        db, sql.c_str(),
        [](void* out, int n, char** values, char**) {
            for (int i = 0; i < n; ++i)
                *static_cast<std::string*>(out) += std::string(values[i] ? values[i] : "") + "\n";
            return 0;
        },
        &result, nullptr);
    sqlite3_close(db);
    return result;
}

TEST(CacheCli, ARunShortOfDescriptorsKeepsNoTextItCouldNotRead) {
    CacheScratch s;
    const std::string fresh = Results(s, "--no-cache");
    // So few descriptors that documents fail to open: what a run shows then is its own affair,
    // but nothing it failed to read may reach the next run.
    RunCli("search --list --program-dir pages docs the", s.root(), "ulimit -n 16;");
    EXPECT_EQ(Results(s, ""), fresh);
    EXPECT_EQ(Results(s, ""), fresh);
}

TEST(CacheCli, ADamagedDatabaseIsRemovedAtOnceAndMadeAnew) {
    CacheScratch s;
    const std::string fresh = Results(s, "--no-cache");
    EXPECT_EQ(Results(s, ""), fresh);
    const std::int64_t rows = Rows(s);
    ASSERT_GT(rows, 40);

    DamagePages(s.database());
    const int damaged = open(s.database().c_str(), O_RDONLY);
    EXPECT_EQ(Results(s, ""), fresh);
    // The run that met the damage removed the file, though the process ends without unwinding.
    struct stat st;
    ASSERT_EQ(fstat(damaged, &st), 0);
    close(damaged);
    EXPECT_EQ(st.st_nlink, 0u);
    EXPECT_EQ(Sql(s.database(), "PRAGMA integrity_check"), "ok\n");
    EXPECT_EQ(Results(s, ""), fresh);
    EXPECT_EQ(Rows(s), rows);

    // cache clear empties a damaged database too.
    DamagePages(s.database());
    const Result cleared = RunCli("cache clear", s.root());
    EXPECT_EQ(cleared.status, 0) << cleared.err;
    EXPECT_EQ(Rows(s), 0);
    EXPECT_EQ(Results(s, ""), fresh);

    // A table of another shape under the current schema number is damage as well, not a cache
    // bypassed for good.
    fs::remove_all(s.folder());
    fs::create_directories(s.folder());
    Sql(s.database(), "CREATE TABLE texts(path BLOB PRIMARY KEY, text BLOB); PRAGMA user_version = 2;");
    EXPECT_EQ(Results(s, ""), fresh);
    EXPECT_EQ(Rows(s), rows);
    EXPECT_EQ(Results(s, ""), fresh);
}

TEST(CacheCli, TheWordReadersLayoutWidthIsPartOfTheKey) {
    CacheScratch s;
    const std::string wide = "export COLUMNS=200;";
    const std::string narrow = "export COLUMNS=50;";
    const std::string fresh = Results(s, "--no-cache --types doc", narrow);
    EXPECT_NE(Results(s, "--no-cache --types doc", wide), fresh) << "the width changes no offset";
    Results(s, "--types doc", wide);
    EXPECT_EQ(Results(s, "--types doc", narrow), fresh);
}

TEST(CacheCli, ARunOverOneTypeKeepsTheRowsOfTheOthers) {
    CacheScratch s;
    const std::string fresh = Results(s, "--no-cache");
    Results(s, "");
    const std::int64_t rows = Rows(s);
    ASSERT_GT(rows, 40);
    Results(s, "--types pdf");
    EXPECT_EQ(Rows(s), rows);
    EXPECT_EQ(Results(s, ""), fresh);
    // Only the files the walk no longer finds go.
    fs::remove_all(s.docs() / "rtf");
    Results(s, "--types pdf");
    EXPECT_LT(Rows(s), rows);
}

TEST(CacheCli, TheSettingsFileSwitchesAndBoundsTheCache) {
    CacheScratch s;
    s.writeSettings("TextCache=0\n");
    const std::string fresh = Results(s, "--no-cache");
    EXPECT_EQ(Results(s, ""), fresh);
    EXPECT_FALSE(fs::exists(s.folder())) << "texts written with TextCache=0";
    Result stats = RunCli("cache stats", s.root());
    EXPECT_NE(stats.out.find("state: off (TextCache=0)\n"), std::string::npos) << stats.out;

    s.writeSettings("TextCache=1\nTextCacheLimitMB=3\nReadingThreads=1\n");
    EXPECT_EQ(Results(s, ""), fresh);
    stats = RunCli("cache stats", s.root());
    EXPECT_EQ(stats.status, 0) << stats.err;
    EXPECT_NE(stats.out.find("limit: 3.0 MiB\nstate: in use\n"), std::string::npos) << stats.out;
}

TEST(CacheCli, TheCacheIsTheUsersAloneAndARunLeavesNoLog) {
    CacheScratch s;
    const std::string fresh = Results(s, "--no-cache");
    // Modes others could read, from an older build or a careless copy, are taken away.
    fs::create_directories(s.folder());
    chmod(s.folder().c_str(), 0755);
    for (const char* suffix : {"", "-wal"}) {
        const fs::path file = s.database().string() + suffix;
        std::ofstream{file};
        chmod(file.c_str(), 0644);
    }
    EXPECT_EQ(Results(s, ""), fresh);
    EXPECT_EQ(Mode(s.folder()), 0700u);
    // A process that closes the database removes its log and shared-memory file; the release
    // build ends without closing it and leaves them.
    for (const char* suffix : {"", "-wal", "-shm"})
        if (*suffix == '\0' || fs::exists(s.database().string() + suffix)) {
            EXPECT_EQ(Mode(s.database().string() + suffix), 0600u) << suffix;
        }
    // The write-ahead log was emptied into the database before the process ended.
    const fs::path log = s.database().string() + "-wal";
    EXPECT_EQ(fs::exists(log) ? fs::file_size(log) : 0u, 0u);
    EXPECT_GT(Rows(s), 40);

    // A folder of another user, or a link in the database's place, is not used: one line says why.
    struct Refusal {
        const char* what;
        std::function<void()> make;
        const char* reason;
    };
    const std::vector<Refusal> refusals = {
        {"link",
         [&] {
             fs::remove(s.database());
             fs::create_symlink(s.root() / "elsewhere", s.database());
         },
         "a link, not a file"},
        {"owner", [&] { ASSERT_EQ(chown(s.folder().c_str(), 65534, 65534), 0); }, "belongs to another user"},
    };
    for (const Refusal& refusal : refusals) {
        if (refusal.what == std::string("owner") && geteuid() != 0)
            continue; // only root can give a folder away
        fs::remove_all(s.folder());
        fs::create_directories(s.folder());
        refusal.make();
        const Result r = RunCli("search --list --unlimited --program-dir pages docs the", s.root());
        EXPECT_EQ(r.status, 0) << refusal.what;
        EXPECT_NE(r.err.find(refusal.reason), std::string::npos) << refusal.what << ": " << r.err;
        EXPECT_EQ(r.err.find("text cache"), r.err.rfind("text cache")) << "one line: " << r.err;
        EXPECT_FALSE(fs::exists(s.root() / "elsewhere")) << refusal.what;
        EXPECT_EQ(Results(s, ""), fresh) << refusal.what;
    }
}

} // namespace

TEST(SettingsCli, TheDocumentCapComesFromTheSettingsOrTheCommandAndWhatItLeftUnreadIsSaid) {
    CacheScratch s;
    const std::string search = "search --no-cache --list --program-dir pages ";
    const std::string notice = "tessarel-cli: 3 documents were read; the folder holds more: raise MaxDocuments "
                               "to read them\n";
    s.writeSettings("MaxDocuments=3\n");
    Result r = RunCli(search + "docs the", s.root());
    EXPECT_NE(r.status, 2) << r.err;
    EXPECT_EQ(r.err, notice);
    r = RunCli(search + "--max-documents 100000 docs the", s.root());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("documents were read"), std::string::npos) << r.err;
    r = RunCli(search + "--max-documents 1 docs the", s.root());
    EXPECT_NE(r.err.find("tessarel-cli: 1 documents were read;"), std::string::npos) << r.err;
    for (const char* wrong : {"0", "1000001", "many"}) {
        r = RunCli(search + "--max-documents " + wrong + " docs the", s.root());
        EXPECT_EQ(r.status, 2) << wrong;
        EXPECT_NE(r.err.find("--max-documents takes a number from 1 to 1000000"), std::string::npos) << r.err;
    }
}
