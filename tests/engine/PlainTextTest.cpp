#include "Harness.h"

#include "extract/ReadDocument.h"
#include "extract/TempTextFile.h"

#include <gtest/gtest.h>

namespace tessarel::test {
namespace {

std::u16string ReadAs(const TempDir& dir, const std::string& name, std::string_view bytes) {
    const fs::path file = dir.write(name, bytes);
    FileRecord r;
    r.nativePath = file.string();
    r.path = FromUtf8(file.string());
    r.extension = u"txt";
    r.size = static_cast<std::int64_t>(bytes.size());
    ReadPlainText(r);
    return std::u16string(r.text);
}

TEST(PlainText, LeadingSpaceAndEncodings) {
    TempDir d;
    EXPECT_EQ(ReadAs(d, "empty.txt", ""), u" ");
    EXPECT_EQ(ReadAs(d, "u16.txt", std::string("\xFF\xFE" "A\0B\0", 6)), u" AB");
    EXPECT_EQ(ReadAs(d, "odd.txt", std::string("\xFF\xFE" "A\0B", 5)), u" A");
    EXPECT_EQ(ReadAs(d, "cp.txt", "\xCA\xEE\xE4"), u" Код");
    EXPECT_EQ(ReadAs(d, "nul.txt", std::string("before\0after", 12)), u" before");
    // Valid UTF-8 with letters above ASCII is read as UTF-8; the mark becomes U+FEFF.
    EXPECT_EQ(ReadAs(d, "u8.txt", "informaci\xC3\xB3n"), u" información");
    EXPECT_EQ(ReadAs(d, "bom.txt", "\xEF\xBB\xBFGeb\xC3\xBChren"), u" \uFEFFGebühren");
    // One invalid sequence anywhere sends the whole file to Windows-1251.
    EXPECT_EQ(ReadAs(d, "mixed.txt", "\xC3\xB3\xFF"), u" Гія");
}

TEST(PlainText, HtmlKeepsItsMarkup) {
    TempDir d;
    EXPECT_EQ(ReadAs(d, "p.html", "<p>caf&eacute;</p>"), u" <p>caf&eacute;</p>");
}

TEST(PlainText, ReadsAtMostTheWalkedSize) {
    TempDir d;
    const fs::path file = d.write("grown.txt", "0123456789");
    FileRecord r;
    r.nativePath = file.string();
    r.size = 4;
    ReadPlainText(r);
    EXPECT_EQ(r.text, u" 0123");
}

TEST(RtfTest, OnlyTheExactSignature) {
    TempDir d;
    auto isRtf = [&](const std::string& name, std::string_view bytes) {
        FileRecord r;
        r.nativePath = d.write(name, bytes).string();
        return IsRtfFile(r);
    };
    EXPECT_TRUE(isRtf("a.doc", "{\\rtf1\\ansi}"));
    EXPECT_FALSE(isRtf("b.doc", "{\\RTF1\\ansi}"));
    EXPECT_FALSE(isRtf("c.doc", "{\\rt"));
    FileRecord missing;
    missing.nativePath = (d.path() / "missing.doc").string();
    EXPECT_FALSE(IsRtfFile(missing));
}

TEST(Dispatch, NoDocumentGetsAnotherDocumentsText) {
    TempDir docs;
    docs.write("a.txt", "first document words");
    docs.write("b.doc", "not a word document at all");
    docs.write("c.docx", "not a zip either");
    Engine e;
    CCatalog& c = e.read(docs.path());
    for (int i = 0; i < c.count(); ++i) {
        if (c.record(i).extension != u"txt") {
            EXPECT_EQ(c.record(i).text.utf16().find(u"first"), std::u16string::npos);
        }
        EXPECT_EQ(c.record(i).text.size(), SearchedText(c.record(i)).size());
    }
}

TEST(Dispatch, TemporaryFileIsPerProcessWhenAnotherHoldsIt) {
    TempDir contents;
    const std::string dir = contents.path().string() + "/";
    TempTextFile first;
    TempTextFile second;
    EXPECT_EQ(first.acquire(dir), dir + "wts.txt");
    const std::string own = second.acquire(dir);
    EXPECT_NE(own, dir + "wts.txt");
    EXPECT_FALSE(own.empty());
}

} // namespace
} // namespace tessarel::test
