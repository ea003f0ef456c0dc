#pragma once
// Builds real catalogues from files written into a temporary folder and runs searches on them,
// so each test reads as "documents + query + options -> hits".

#include "engine/Catalog.h"
#include "engine/Searcher.h"
#include "engine/TextPage.h"
#include "platform/EngineSink.h"
#include "platform/Notifier.h"
#include "platform/SettingsStore.h"
#include "platform/Text.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessarel::test {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir();
    ~TempDir();
    const fs::path& path() const { return path_; }
    // Writes bytes to a file below the folder, creating its folders.
    fs::path write(const std::string& relative, std::string_view bytes) const;

private:
    fs::path path_;
};

struct Hit {
    std::string file; // file name
    std::size_t offset;
    std::size_t length;
    std::string fragment; // as shown, UTF-8
    bool operator==(const Hit&) const = default;
};

struct SearchOptions {
    int caseSensitive = 0;
    int matchWord = 0;
    int fixBeginning = 0;
    int order = CSearcher::Relevance;
    int groupByFiles = 1;
    int resultsPerFile = 20;
};

class Engine {
public:
    Engine();
    // A catalogue of `folder` with every type switched on, read synchronously.
    CCatalog& read(const fs::path& folder);
    CCatalog& read(const fs::path& folder, const std::function<void(CCatalog&)>& configure);
    // Runs one search on the last catalogue; returns the page text.
    const std::u16string& search(const std::string& query, const SearchOptions& options = {});
    // The hits of the last page, in output order.
    std::vector<Hit> hits() const;
    std::vector<std::string> filesInOrder() const;

    TempDir programDir;
    MemorySettingsStore settings;
    QueuedEngineSink sink;
    RecordingNotifier notifier;
    std::unique_ptr<CCatalog> catalog;
    std::unique_ptr<CSearcher> searcher;
};

// Sets an environment variable for its scope (a helper started meanwhile inherits it), then puts
// back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv();

private:
    const char* name_;
    std::optional<std::string> old_;
};

std::string Utf8(std::u16string_view text);
std::string FileNameOfRecord(const FileInfo& record);
// The text the case-blind search reads: the folded copy, or the narrow text folded as it is read.
std::u16string SearchedText(const CatalogRecord& record);
// The log's entries, decoded from UTF-16LE after its mark.
std::vector<std::string> LogLines(const Engine& e);

// What a reading run made, for comparing one run with another: paths, texts and log.
struct CatalogueSnapshot {
    std::vector<std::string> paths;
    std::vector<std::u16string> texts;
    std::vector<std::u16string> folded;
    std::vector<std::string> log;
};
CatalogueSnapshot TakeSnapshot(const Engine& e, const CCatalog& c);

} // namespace tessarel::test
