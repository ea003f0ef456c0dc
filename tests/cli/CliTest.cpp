// Runs tessarel-cli as a user would, over the real documents of the test corpus: each document's
// probe words must be found (or not) both in its extracted text and by a search.

#include "CliRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace tessarel::test;

namespace {

const fs::path kCorpus = fs::path(TESSAREL_TEST_DATA) / "corpus";

// Every folder of the corpus: each document is held to the probe list.
const std::vector<std::string> kCheckedFolders = {"txt/", "html/", "src/",  "doc97/", "doc95/", "doc6/", "docx/",
                                                  "xlsx/", "pptx/", "odt/", "rtf/",   "pdf/",  "broken/"};

// HTML is searched as it stands, markup included: a word split by tags is not found, and a word
// of a paragraph the page hides is. The probe list reads the page as a browser shows it.
const std::map<std::string, bool> kMarkupExceptions = {
    {"html/features-lo.html\tkaleidoscope", false},
    {"html/features-lo.html\tΩμέγα", true},
};

struct Probe {
    std::string probe;
    bool found;
};

std::map<std::string, std::vector<Probe>> ProbesByDocument() {
    std::ifstream in(kCorpus / "probes-sound.tsv");
    std::map<std::string, std::vector<Probe>> probes;
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string path, probe, expect;
        std::getline(fields, path, '\t');
        std::getline(fields, probe, '\t');
        std::getline(fields, expect, '\t');
        for (const std::string& folder : kCheckedFolders)
            if (path.rfind(folder, 0) == 0)
                probes[path].push_back({probe, expect == "found"});
        const auto exception = kMarkupExceptions.find(path + "\t" + probe);
        if (exception != kMarkupExceptions.end() && probes.count(path))
            probes[path].back().found = exception->second;
    }
    return probes;
}

TEST(Cli, CorpusProbesThroughExtractAndSearch) {
    const auto probes = ProbesByDocument();
    ASSERT_FALSE(probes.empty());
    for (const auto& [document, list] : probes) {
        Scratch scratch;
        const fs::path folder = scratch.path() / "docs";
        fs::create_directories(folder);
        fs::copy_file(kCorpus / document, folder / fs::path(document).filename());
        const Result extracted = RunCli("extract " + Quoted((kCorpus / document).string()), scratch.path());
        ASSERT_EQ(extracted.status, 0) << document;
        for (const Probe& p : list) {
            EXPECT_EQ(extracted.out.find(p.probe) != std::string::npos, p.found)
                << document << ": extract, " << p.probe;
            const std::string query = p.probe.find(' ') != std::string::npos ? "\"" + p.probe + "\"" : p.probe;
            const Result searched =
                RunCli("search --case --no-fix-beginning --list " + Quoted(folder.string()) + " " + Quoted(query),
                    scratch.path());
            const std::size_t second = searched.out.find('\n');
            const std::string status = searched.out.substr(second + 1, searched.out.find('\n', second + 1) - second - 1);
            EXPECT_EQ(status.rfind("0 results", 0) != 0, p.found) << document << ": search, " << p.probe << ": " << status;
            // The exit status says the same as the status line.
            ASSERT_EQ(searched.status, status.rfind("0 results", 0) != 0 ? 0 : 1) << document << ": " << status;
        }
    }
}

TEST(Cli, SearchPrintsThePageAndTheStatusLineAndListsHits) {
    Scratch scratch;
    const fs::path folder = scratch.path() / "docs";
    fs::create_directories(folder);
    std::ofstream(folder / "fruit.txt") << "kiwi one. kiwi two.";
    const Result r = RunCli("search --list " + Quoted(folder.string()) + " kiwi", scratch.path());
    ASSERT_EQ(r.status, 0);
    std::istringstream lines(r.out);
    std::string page, status, hit;
    std::getline(lines, page);
    std::getline(lines, status);
    EXPECT_EQ(page, (scratch.path() / "contents/content1.html").string());
    EXPECT_TRUE(fs::exists(page));
    EXPECT_EQ(status.substr(0, 11), "1 results (");
    std::vector<std::string> hits;
    while (std::getline(lines, hit))
        hits.push_back(hit);
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0], (folder / "fruit.txt").string() + "\t10\t10\t kiwi two.");

    const Result shown = RunCli("show " + Quoted(folder.string()) + " kiwi 0 10 10", scratch.path());
    ASSERT_EQ(shown.status, 0);
    EXPECT_EQ(shown.out, (scratch.path() / "contents/content2.html").string() + "\n");
}

TEST(Cli, ExtractOfAFileThatCantBeReadEndsWithStatus2AfterTheOthers) {
    Scratch scratch;
    std::ofstream(scratch.path() / "one.txt") << "first words";
    std::ofstream(scratch.path() / "two.txt") << "second words";
    const Result r = RunCli("extract one.txt missing.txt . two.txt", scratch.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, " first words\n second words\n");
    const Result fine = RunCli("extract one.txt", scratch.path());
    EXPECT_EQ(fine.status, 0);
    EXPECT_EQ(fine.out, " first words\n");
    const Result noFolder =
        RunCli("search " + Quoted((scratch.path() / "absent").string()) + " word", scratch.path());
    EXPECT_EQ(noFolder.status, 2);
}

// The files a --list search shows, by name, in page order.
std::vector<std::string> ListedFiles(const std::string& out) {
    std::vector<std::string> files;
    std::istringstream lines(out);
    std::string line;
    for (int skipped = 0; skipped < 2 && std::getline(lines, line); ++skipped) {
    }
    while (std::getline(lines, line)) {
        const std::string name = fs::path(line.substr(0, line.find('\t'))).filename().string();
        if (files.empty() || files.back() != name)
            files.push_back(name);
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(Cli, LaterTypesAndTheTextExtensionsOfTheSettings) {
    Scratch scratch;
    const fs::path folder = scratch.path() / "docs";
    fs::create_directories(folder);
    std::ofstream(folder / "notes.md") << "quokka in markdown";
    std::ofstream(folder / "build.toml") << "name = \"quokka\"";
    std::ofstream(folder / "plain.txt") << "quokka in text";
    fs::copy_file(fs::path(TESSAREL_TEST_DATA) / "odf/two-sheets.ods", folder / "sheets.ods");
    const fs::path config = scratch.path() / "config";
    fs::create_directories(config / "Quendralight");
    const std::string prelude = "export XDG_CONFIG_HOME=" + Quoted(config.string()) + ";";
    const std::string where = " --list " + Quoted(folder.string());

    Result r = RunCli("search --types text" + where + " quokka", scratch.path(), prelude);
    EXPECT_EQ(ListedFiles(r.out), (std::vector<std::string>{"build.toml", "notes.md", "plain.txt"}));
    std::ofstream(config / "Quendralight/Tessarel.conf") << "[Settings]\nTextExtensions=toml\n";
    r = RunCli("search --types text" + where + " quokka", scratch.path(), prelude);
    EXPECT_EQ(ListedFiles(r.out), (std::vector<std::string>{"build.toml", "plain.txt"}));

    r = RunCli("search --types ods,odp,epub,mail" + where + " Ωμέγα", scratch.path(), prelude);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ListedFiles(r.out), (std::vector<std::string>{"sheets.ods"}));
    r = RunCli("search --types text,odp" + where + " Ωμέγα", scratch.path(), prelude);
    EXPECT_EQ(r.status, 1);
    r = RunCli("search --types email" + where + " Ωμέγα", scratch.path(), prelude);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("unknown type: email"), std::string::npos);
}

TEST(Cli, ErrorsAreOneLineAndNonZero) {
    Scratch scratch;
    EXPECT_NE(RunCli("search /nonexistent/folder word", scratch.path()).status, 0);
    EXPECT_NE(RunCli("search --order sideways " + Quoted(scratch.path().string()) + " word", scratch.path()).status, 0);
    EXPECT_NE(RunCli("search --per-file 21 " + Quoted(scratch.path().string()) + " word", scratch.path()).status, 0);
    EXPECT_NE(RunCli("frobnicate", scratch.path()).status, 0);
    EXPECT_NE(RunCli("search " + Quoted(scratch.path().string()) + " '   '", scratch.path()).status, 0);
}

} // namespace
