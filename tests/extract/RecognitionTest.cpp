// Text recognition through the read dispatch: scanned images and PDF pages give their words with
// recognition on and nothing with it off; a PDF's text layer is never recognised; budgets skip
// pages with one log line; damaged and oversized images cost nothing.
#include "extract/ReadDocument.h"
#include "extract/Recognition.h"
#include "platform/Text.h"
#include "tests/extract/ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace tessarel::test {
namespace {

namespace fs = std::filesystem;

std::string OcrPath(const std::string& name) {
    return std::string(TESSAREL_TEST_DATA) + "/ocr/" + name;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

struct Reading {
    std::u16string text;
    std::vector<std::u16string> logLines;
    std::vector<std::pair<int, int>> pages; // (done, of) as reported
};

Reading Read(const std::string& path, bool on, std::chrono::milliseconds pageBudget = std::chrono::seconds(20)) {
    ContentsFolder contents;
    ReadContext context = contents.context();
    Reading reading;
    context.recognition.on = on;
    context.recognition.pageBudget = pageBudget;
    context.logLines = &reading.logLines;
    context.onPage = [&reading](int done, int of) { reading.pages.emplace_back(done, of); };
    FileRecord record = RecordFor(path);
    ReadDocumentText(record, context);
    reading.text = record.text;
    return reading;
}

bool Has(const std::u16string& text, const char16_t* word) {
    return text.find(word) != std::u16string::npos;
}

std::size_t FormFeeds(const std::u16string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), u'\f'));
}

// A PDF of pages in order: a page of text in a standard font, or a page showing a grey JPEG
// image (1241 x 420 at 150 dpi) and nothing else, as a scanner makes it.
std::string PdfOf(const std::vector<std::string>& pages, const std::string& jpeg) {
    std::vector<std::string> objects;
    std::string kids;
    const int first = 3;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const int page = first + static_cast<int>(p) * 2;
        kids += std::to_string(page) + " 0 R ";
        std::string content;
        std::string resources;
        if (pages[p].empty()) {
            content = "q 595.44 0 0 201.6 0 600 cm /Im0 Do Q";
            resources = "/XObject << /Im0 " + std::to_string(first + static_cast<int>(pages.size()) * 2) + " 0 R >>";
        } else {
            content = "BT /F1 14 Tf 72 720 Td (" + pages[p] + ") Tj ET";
            resources = "/Font << /F1 " + std::to_string(first + static_cast<int>(pages.size()) * 2 + 1) + " 0 R >>";
        }
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << " + resources +
                          " >> /Contents " + std::to_string(page + 1) + " 0 R >>");
        objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content +
                          "\nendstream");
    }
    objects.push_back("<< /Type /XObject /Subtype /Image /Width 1241 /Height 420 /ColorSpace /DeviceGray "
                      "/BitsPerComponent 8 /Filter /DCTDecode /Length " +
                      std::to_string(jpeg.size()) + " >>\nstream\n" + jpeg + "\nendstream");
    objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    objects.insert(objects.begin(), {"<< /Type /Catalog /Pages 2 0 R >>",
                                     "<< /Type /Pages /Kids [" + kids + "] /Count " +
                                         std::to_string(pages.size()) + " >>"});
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t offset : offsets) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        pdf += entry;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

// A PNG whose header claims `width` x `height` grey pixels, with a few bytes of image data.
std::string PngClaiming(std::uint32_t width, std::uint32_t height) {
    auto chunk = [](const std::string& type, const std::string& data) {
        std::string out;
        const auto length = static_cast<std::uint32_t>(data.size());
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<char>(length >> shift));
        const std::string body = type + data;
        out += body;
        const auto crc = static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<char>(crc >> shift));
        return out;
    };
    std::string header;
    for (std::uint32_t value : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            header.push_back(static_cast<char>(value >> shift));
    header += std::string("\x08\x00\x00\x00\x00", 5); // 8-bit grey, no interlace
    const std::string raw(4096, '\0');
    std::string deflated(compressBound(raw.size()), '\0');
    uLongf size = deflated.size();
    compress(reinterpret_cast<Bytef*>(deflated.data()), &size, reinterpret_cast<const Bytef*>(raw.data()), raw.size());
    deflated.resize(size);
    return "\x89PNG\r\n\x1a\n" + chunk("IHDR", header) + chunk("IDAT", deflated) + chunk("IEND", "");
}

TEST(Recognition, EachScannedFormGivesThePageWordsWhenOnAndNothingWhenOff) {
    for (const char* name : {"scan.png", "scan.jpg", "scan.tif", "scan.pdf"}) {
        const Reading on = Read(OcrPath(name), true);
        EXPECT_TRUE(Has(on.text, u"Preamble")) << name;
        EXPECT_TRUE(Has(on.text, u"GENERAL PUBLIC LICENSE")) << name;
        EXPECT_TRUE(on.logLines.empty()) << name;
        EXPECT_FALSE(on.pages.empty()) << name;
        const Reading off = Read(OcrPath(name), false);
        EXPECT_EQ(off.text, u"") << name;
        EXPECT_TRUE(off.pages.empty()) << name;
    }
}

TEST(Recognition, EveryPageOfATiffIsReadAndPagesAreSeparatedByOneFormFeed) {
    const Reading tiff = Read(OcrPath("scan.tif"), true);
    ASSERT_EQ(FormFeeds(tiff.text), 1u);
    const std::size_t feed = tiff.text.find(u'\f');
    EXPECT_TRUE(Has(tiff.text.substr(0, feed), u"Preamble"));
    EXPECT_TRUE(Has(tiff.text.substr(feed), u"Activities"));
    EXPECT_NE(tiff.text.back(), u'\f');
    EXPECT_EQ(tiff.pages, (std::vector<std::pair<int, int>>{{1, 2}, {2, 2}}));
}

TEST(Recognition, APdfWithATextLayerIsNeverRecognised) {
    for (const char* path : {"pdf/multipage.pdf", "pdf/features.pdf", "pdf/cyrillic.pdf"}) {
        const Reading on = Read(CorpusPath(path), true);
        const Reading off = Read(CorpusPath(path), false);
        EXPECT_EQ(on.text, off.text) << path;
        EXPECT_TRUE(on.pages.empty()) << path;
    }
}

TEST(Recognition, AScannedPageTakesItsPlaceAmongPagesOfText) {
    ContentsFolder contents;
    const std::string path = contents.folder() + "mixed.pdf";
    WriteFile(path, PdfOf({"kiwi on the first page", "", "melon on the third page"}, ReadBytes(OcrPath("scan.jpg"))));
    const Reading on = Read(path, true);
    ASSERT_EQ(FormFeeds(on.text), 2u) << ToUtf8(on.text);
    const std::size_t first = on.text.find(u'\f');
    const std::size_t second = on.text.find(u'\f', first + 1);
    EXPECT_TRUE(Has(on.text.substr(0, first), u"kiwi"));
    EXPECT_TRUE(Has(on.text.substr(first, second - first), u"Preamble"));
    EXPECT_TRUE(Has(on.text.substr(second), u"melon"));
    // Off, the scanned page is an empty page between the others.
    const Reading off = Read(path, false);
    EXPECT_EQ(FormFeeds(off.text), 2u);
    EXPECT_FALSE(Has(off.text, u"Preamble"));
}

TEST(Recognition, PagesPastTheirBudgetAreSkippedWithOneLogLine) {
    const Reading tiff = Read(OcrPath("scan.tif"), true, std::chrono::milliseconds(1));
    EXPECT_FALSE(Has(tiff.text, u"Preamble"));
    ASSERT_EQ(tiff.logLines.size(), 1u);
    EXPECT_NE(tiff.logLines[0].find(u"0 of 2 pages read"), std::u16string::npos) << ToUtf8(tiff.logLines[0]);
    const Reading pdf = Read(OcrPath("scan.pdf"), true, std::chrono::milliseconds(1));
    ASSERT_EQ(pdf.logLines.size(), 1u);
    EXPECT_NE(pdf.logLines[0].find(u"0 of 1 pages read"), std::u16string::npos);
}

TEST(Recognition, AnImageClaimingTooManyPixelsIsNeverDecoded) {
    ContentsFolder contents;
    const std::string bomb = contents.folder() + "bomb.png";
    WriteFile(bomb, PngClaiming(200000, 200000));
    const Reading reading = Read(bomb, true);
    EXPECT_EQ(reading.text, u"");
    ASSERT_EQ(reading.logLines.size(), 1u);
    EXPECT_NE(reading.logLines[0].find(u"0 of 1 pages read"), std::u16string::npos);
}

TEST(Recognition, DamagedImagesAndScannedPdfsGiveSomeTextOrNoneAndNeverCrash) {
    ContentsFolder contents;
    for (const char* name : {"scan.png", "scan.jpg", "scan.tif", "scan.pdf"}) {
        const std::string bytes = ReadBytes(OcrPath(name));
        const std::string extension = fs::path(name).extension().string();
        std::vector<std::string> damaged;
        for (std::size_t cut : {std::size_t{64}, bytes.size() / 3})
            damaged.push_back(bytes.substr(0, cut));
        for (std::size_t at : {std::size_t{16}, bytes.size() / 2}) {
            std::string flipped = bytes;
            for (std::size_t i = at; i < std::min(bytes.size(), at + 8); ++i)
                flipped[i] = static_cast<char>(~flipped[i]);
            damaged.push_back(flipped);
        }
        for (std::size_t i = 0; i < damaged.size(); ++i) {
            const std::string path = contents.folder() + "damaged" + std::to_string(i) + extension;
            WriteFile(path, damaged[i]);
            const Reading reading = Read(path, true);
            EXPECT_LE(reading.text.size(), 100000u) << name << " " << i;
        }
    }
}

TEST(Recognition, LanguagesOfASettingAreTheInstalledOnesAndTheOthersAreNamed) {
    EXPECT_EQ(RecognitionLanguageNames("eng+deu, fra eng ../x"), (std::vector<std::string>{"eng", "deu", "fra"}));
    std::vector<std::string> missing;
    EXPECT_EQ(InstalledLanguagesOf("eng+qqq", &missing), "eng");
    EXPECT_EQ(missing, (std::vector<std::string>{"qqq"}));
    const std::vector<std::string> installed = InstalledRecognitionLanguages();
    EXPECT_NE(std::find(installed.begin(), installed.end(), "eng"), installed.end());
    EXPECT_EQ(std::find(installed.begin(), installed.end(), "osd"), installed.end());
    RecognitionSettings settings;
    settings.on = true;
    const std::string english = RecognitionFingerprint(settings);
    settings.languages = "eng+deu";
    EXPECT_NE(RecognitionFingerprint(settings), english);
    settings.on = false;
    EXPECT_EQ(RecognitionFingerprint(settings), "");
}

} // namespace
} // namespace tessarel::test
