#include "Harness.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <random>
#include <stdexcept>

namespace tessarel::test {

TempDir::TempDir() {
    std::random_device rd;
    path_ = fs::temp_directory_path() / ("tessarel-test-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

fs::path TempDir::write(const std::string& relative, std::string_view bytes) const {
    const fs::path file = path_ / relative;
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file;
}

std::string Utf8(std::u16string_view text) {
    return ToUtf8(text);
}

std::u16string SearchedText(const CatalogRecord& record) {
    if (!record.foldsAsRead())
        return record.foldedText.utf16();
    std::u16string folded = record.text.utf16();
    for (char16_t& unit : folded)
        unit = NarrowFoldTable()[unit];
    return folded;
}

std::string FileNameOfRecord(const FileInfo& record) {
    return ToUtf8(std::u16string_view(record.path).substr(record.path.rfind(u'/') + 1));
}

Engine::Engine() {
    fs::create_directories(programDir.path() / "contents");
    settings.writeString(kSettingsSection, "ProgramDirectory", FromUtf8(programDir.path().string()));
    searcher = std::make_unique<CSearcher>(sink);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name))
        old_ = old;
    ::setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (old_)
        ::setenv(name_, old_->c_str(), 1);
    else
        ::unsetenv(name_);
}

CCatalog& Engine::read(const fs::path& folder) {
    return read(folder, [](CCatalog&) {});
}

CCatalog& Engine::read(const fs::path& folder, const std::function<void(CCatalog&)>& configure) {
    catalog.reset();
    catalog = std::make_unique<CCatalog>(settings, sink, notifier);
    catalog->folder = FromUtf8(folder.string());
    catalog->FilesText = catalog->FilesRtf = catalog->FilesDoc = catalog->FilesPdf = 1;
    catalog->FilesDocx = catalog->FilesXlsx = catalog->FilesPptx = catalog->FilesOdt = 1;
    catalog->FilesOds = catalog->FilesOdp = catalog->FilesEpub = catalog->FilesMail = 1;
    configure(*catalog);
    catalog->run();
    return *catalog;
}

const std::u16string& Engine::search(const std::string& query, const SearchOptions& o) {
    searcher->query.caseSensitive = o.caseSensitive;
    searcher->query.matchWord = o.matchWord;
    searcher->query.fixBeginning = o.fixBeginning;
    searcher->query.setQueryText(FromUtf8(query));
    searcher->query.split();
    searcher->catalog = catalog.get();
    searcher->order = o.order;
    searcher->groupByFiles = o.groupByFiles;
    searcher->resultsPerFile = o.resultsPerFile;
    searcher->run();
    return searcher->output();
}

std::vector<Hit> Engine::hits() const {
    std::vector<Hit> found;
    for (const SearchHit& hit : searcher->hits()) {
        const CatalogRecord& record = catalog->record(hit.document);
        found.push_back({Utf8(record.path.substr(record.path.rfind(u'/') + 1)), hit.offset, hit.length,
                         Utf8(record.text.utf16(hit.offset, hit.length))});
    }
    return found;
}

// The log's entries, decoded from UTF-16LE after its mark.
std::vector<std::string> LogLines(const Engine& e) {
    std::ifstream in(e.programDir.path() / "contents/tessarel.log", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    std::u16string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             static_cast<unsigned char>(bytes[i + 1]) << 8));
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t nl = text.find(u'\n'); nl != std::u16string::npos; nl = text.find(u'\n', start)) {
        lines.push_back(ToUtf8(text.substr(start, nl - start)));
        start = nl + 1;
    }
    return lines;
}

CatalogueSnapshot TakeSnapshot(const Engine& e, const CCatalog& c) {
    CatalogueSnapshot s;
    for (int i = 0; i < c.count(); ++i) {
        s.paths.push_back(Utf8(c.record(i).path));
        s.texts.push_back(c.record(i).text.utf16());
        s.folded.push_back(SearchedText(c.record(i)));
    }
    s.log = LogLines(e);
    return s;
}

std::vector<std::string> Engine::filesInOrder() const {
    std::vector<std::string> files;
    for (const Hit& h : hits())
        if (files.empty() || files.back() != h.file)
            files.push_back(h.file);
    return files;
}

} // namespace tessarel::test
