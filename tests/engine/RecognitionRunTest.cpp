// Reading runs with text recognition, through the sandboxed helpers: scanned documents are found
// by their words when it is on, images are left out when it is off, the status bar counts pages,
// the text cache spares a second run all recognition, and damaged scans cost only themselves.

#include "Harness.h"

#include "engine/TextCache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace tessarel::test {
namespace {

const fs::path kScans = fs::path(TESSAREL_TEST_DATA) / "ocr";
const char* const kScanNames[] = {"scan.png", "scan.jpg", "scan.tif", "scan.pdf"};

std::string Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// The scans and a PDF with a text layer, in a folder of their own.
void WriteScans(const TempDir& folder) {
    for (const char* name : kScanNames)
        folder.write(name, Bytes(kScans / name));
    folder.write("text-layer.pdf", Bytes(fs::path(TESSAREL_TEST_DATA) / "corpus/pdf/multipage.pdf"));
}

CCatalog& ReadScans(Engine& e, const TempDir& folder, int ocr, const std::function<void(CCatalog&)>& also = {}) {
    return e.read(folder.path(), [&](CCatalog& c) {
        c.FilesImages = 1;
        c.ocr = ocr;
        c.readingThreads = 2;
        if (also)
            also(c);
    });
}

std::vector<std::string> FilesWith(Engine& e, const std::string& word) {
    e.search(word);
    std::vector<std::string> files;
    for (const Hit& hit : e.hits())
        if (std::find(files.begin(), files.end(), hit.file) == files.end())
            files.push_back(hit.file);
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> Statuses(Engine& e) {
    std::vector<std::string> texts;
    for (const auto& m : e.sink.drain())
        if (m.message == WM_ENGINE_STATUS)
            texts.push_back(Utf8(m.payload));
    return texts;
}

bool Contains(const std::vector<std::string>& lines, const std::string& part) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.find(part) != std::string::npos; });
}

TEST(RecognitionRun, WithRecognitionEveryScanIsFoundByAWordOfItsPage) {
    TempDir folder;
    WriteScans(folder);
    Engine e;
    CCatalog& c = ReadScans(e, folder, 1);
    EXPECT_EQ(c.count(), 5);
    EXPECT_EQ(FilesWith(e, "Preamble"), (std::vector<std::string>{"scan.jpg", "scan.pdf", "scan.png", "scan.tif",
                                                                  "text-layer.pdf"}));
    // The second page of the TIFF is read too.
    EXPECT_EQ(FilesWith(e, "Activities"), (std::vector<std::string>{"scan.tif", "text-layer.pdf"}));
    EXPECT_FALSE(Contains(LogLines(e), "could not be read"));
}

TEST(RecognitionRun, WithoutItImagesAreNotCataloguedAndTheScannedPdfHasNoText) {
    TempDir folder;
    WriteScans(folder);
    Engine e;
    CCatalog& c = ReadScans(e, folder, 0);
    std::vector<std::string> files;
    for (int i = 0; i < c.count(); ++i)
        files.push_back(FileNameOfRecord(c.record(i)));
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"scan.pdf", "text-layer.pdf"}));
    EXPECT_EQ(FilesWith(e, "Preamble"), (std::vector<std::string>{"text-layer.pdf"}));
}

TEST(RecognitionRun, AMissingLanguageIsOneLogLineAndTheOthersServe) {
    TempDir folder;
    folder.write("scan.png", Bytes(kScans / "scan.png"));
    Engine e;
    ReadScans(e, folder, 1, [](CCatalog& c) { c.ocrLanguages = "eng+qqq"; });
    const std::vector<std::string> log = LogLines(e);
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& line) { return line.find("\"qqq\" is not installed") != std::string::npos; }),
              1);
    EXPECT_EQ(FilesWith(e, "Preamble"), (std::vector<std::string>{"scan.png"}));
}

TEST(RecognitionRun, APagePastItsBudgetIsSkippedWithItsLogLine) {
    TempDir folder;
    folder.write("scan.tif", Bytes(kScans / "scan.tif"));
    Engine e;
    ReadScans(e, folder, 1, [](CCatalog& c) { c.recognitionBudgets.pageBudget = std::chrono::milliseconds(1); });
    EXPECT_TRUE(Contains(LogLines(e), "0 of 2 pages read")) << ::testing::PrintToString(LogLines(e));
    EXPECT_TRUE(FilesWith(e, "Preamble").empty());
}

TEST(RecognitionRun, TheStatusCountsRecognisedPagesAndACachedRunRecognisesNothing) {
    TempDir folder;
    TempDir cacheFolder;
    folder.write("scan.tif", Bytes(kScans / "scan.tif"));
    std::unique_ptr<TextCache> cache = TextCache::open(cacheFolder.path().string(), 64u << 20);
    ASSERT_TRUE(cache);
    auto cached = [&](CCatalog& c) { c.textCache = cache.get(); };
    Engine cold;
    ReadScans(cold, folder, 1, cached);
    cache->flush();
    // Half-way through the one document, its first page of two is done.
    const std::vector<std::string> coldStatuses = Statuses(cold);
    EXPECT_TRUE(Contains(coldStatuses, "Reading files... 50%")) << ::testing::PrintToString(coldStatuses);
    Engine warm;
    ReadScans(warm, folder, 1, cached);
    EXPECT_FALSE(Contains(Statuses(warm), "Reading files... 50%"));
    EXPECT_EQ(FilesWith(warm, "Activities"), (std::vector<std::string>{"scan.tif"}));
    // Other recognition settings are another key: the document is recognised again.
    Engine other;
    ReadScans(other, folder, 1, [&](CCatalog& c) {
        cached(c);
        c.recognitionBudgets.pageBudget = std::chrono::milliseconds(19000);
    });
    EXPECT_TRUE(Contains(Statuses(other), "Reading files... 50%"));
}

TEST(RecognitionRun, DamagedScansThroughTheHelperNeitherCrashNorHang) {
    TempDir folder;
    int n = 0;
    for (const char* name : kScanNames) {
        const std::string bytes = Bytes(kScans / name);
        const std::string extension = fs::path(name).extension().string();
        for (std::size_t at : {std::size_t{12}, std::size_t{33}, bytes.size() / 4, bytes.size() / 2}) {
            std::string damaged = bytes;
            for (std::size_t i = at; i < std::min(damaged.size(), at + 24); ++i)
                damaged[i] = static_cast<char>(damaged[i] * 31 + 7);
            folder.write("flipped" + std::to_string(n++) + extension, damaged);
            folder.write("cut" + std::to_string(n++) + extension, bytes.substr(0, at));
        }
    }
    Engine e;
    const auto start = std::chrono::steady_clock::now();
    CCatalog& c = ReadScans(e, folder, 1);
    EXPECT_EQ(c.count(), n);
    const std::vector<std::string> log = LogLines(e);
    EXPECT_FALSE(Contains(log, "crashed")) << ::testing::PrintToString(log);
    EXPECT_FALSE(Contains(log, "time limit"));
    EXPECT_FALSE(Contains(log, "memory limit"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::minutes(5));
}

} // namespace
} // namespace tessarel::test
