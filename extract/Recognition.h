#pragma once
// Text recognition of scanned pages and images. A document's recognition runs under two time
// budgets, one a page and one for the document: a page past its budget is skipped, and once the
// document's budget is spent the pages left are skipped too; one log line then says how many
// were read.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct Pix;

namespace tessarel {

struct RecognitionSettings {
    bool on = false;
    // Installed language names joined by "+", as the recognition engine takes them.
    std::string languages = "eng";
    std::chrono::milliseconds pageBudget{20000};
    std::chrono::milliseconds documentBudget{600000};
};

// Pages of a PDF are rendered in grey at this resolution: the one the recognition engine's
// models were trained for; fewer dots lose small print, more only cost time.
inline constexpr int kRecognitionDpi = 300;
// The most pixels a page or image may have to be decoded or rendered: an A3 page at 600 dpi,
// 256 MB as 32-bit colour, well inside the helper's memory limit.
inline constexpr std::uint64_t kMaxRecognitionPixels = 7016ull * 9920ull;

// Where the languages' data are; empty when none is installed.
std::string RecognitionDataFolder();
// The languages installed there, sorted (the engine's own orientation data left out).
std::vector<std::string> InstalledRecognitionLanguages();
// The languages of a setting ("eng+deu", "eng, deu") split into names; names that aren't a
// plain language name are dropped.
std::vector<std::string> RecognitionLanguageNames(std::string_view setting);
// The installed languages of a setting, joined by "+"; those not installed go to `missing`.
std::string InstalledLanguagesOf(std::string_view setting, std::vector<std::string>* missing = nullptr);
// What the recognised texts depend on, for the text cache's key.
std::string RecognitionFingerprint(const RecognitionSettings& settings);

// One document's recognition. `onPage` hears of each page done (recognised or skipped) out of
// the document's pages; `logLines` gets the document's lines (may be null).
class DocumentRecognition {
public:
    DocumentRecognition(const RecognitionSettings& settings, std::function<void(int, int)> onPage,
                        std::vector<std::u16string>* logLines);
    DocumentRecognition(const DocumentRecognition&) = delete;
    DocumentRecognition& operator=(const DocumentRecognition&) = delete;
    // Says how many pages were read when some were skipped.
    ~DocumentRecognition();

    // False when the engine can't start (no language data): nothing is recognised then.
    bool ready() const { return ready_; }
    // The document's page count, once known (progress is counted in it).
    void setPages(int pages) { pages_ = pages; }
    // Recognises one page into `utf8` (appended); false when the page was skipped: no engine,
    // the document's budget spent, the page's budget passed.
    bool recognize(Pix* page, std::string& utf8);
    // A grey page, one byte a pixel.
    bool recognize(const unsigned char* grey, int width, int height, int bytesPerLine, int dpi, std::string& utf8);
    // Counts a page that could not even be decoded as skipped.
    void skip() { pageDone(false); }
    // True while the document's budget lasts.
    bool budgetLeft() const;

private:
    bool recognizeSet(std::string& utf8);
    void pageDone(bool read);

    RecognitionSettings settings_;
    std::function<void(int, int)> onPage_;
    std::vector<std::u16string>* logLines_;
    std::chrono::steady_clock::time_point start_;
    bool ready_ = false;
    int pages_ = 0;
    int done_ = 0;
    int read_ = 0;
};

} // namespace tessarel
