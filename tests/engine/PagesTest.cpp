#include "Harness.h"

#include "engine/Html.h"
#include "engine/Marking.h"
#include "engine/Pages.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tessarel::test {
namespace {

std::u16string ReadPage(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    std::u16string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             static_cast<unsigned char>(bytes[i + 1]) << 8));
    return text;
}

FileRecord Record(std::u16string path, std::int64_t size = 0, std::int64_t modified = 0) {
    FileRecord r;
    r.path = std::move(path);
    r.size = size;
    r.modified = modified;
    return r;
}

std::u16string Header(const FileRecord& r) {
    FixedText header(1520);
    MakeDocumentHeader(header, r);
    return header.str();
}

TEST(DocumentHeader, PiecesInOrder) {
    setenv("TZ", "UTC", 1);
    tzset();
    // 7 March 2015 09:05 UTC
    const FileRecord r = Record(u"/docs/Report.pdf", 1536, 1425719100);
    EXPECT_EQ(Header(r), u"<img src=\"images/pdf.gif\">&nbsp;<a href=\"open#/docs/Report.pdf\" title=\"Open the "
                         u"document\">Report.pdf</a><span class=\"file_info\">1 KB, 7.3.2015 9:5</span><br>"
                         u"<span class=\"file_info\">/docs/Report.pdf</span><br>");
}

TEST(DocumentHeader, IconNames) {
    auto icon = [](std::u16string path) {
        const std::u16string h = Header(Record(std::move(path)));
        return h.substr(17, h.find(u".gif") - 17);
    };
    EXPECT_EQ(icon(u"/d/a.PDF"), u"PDF");
    EXPECT_EQ(icon(u"/d/a.html"), u"html");
    EXPECT_EQ(icon(u"/d/a.htm"), u"htm");
    EXPECT_EQ(icon(u"/d/a.cpp"), u"txt");
    EXPECT_EQ(icon(u"/d/a.rtf"), u"txt");
    EXPECT_EQ(icon(u"/d/a.docx"), u"docx");
    EXPECT_EQ(icon(u"/d/a.ods"), u"ods");
    EXPECT_EQ(icon(u"/d/a.epub"), u"epub");
    EXPECT_EQ(icon(u"/d/a.mbox"), u"mbox");
    // The further text extensions have no pictures of their own.
    EXPECT_EQ(icon(u"/d/README.md"), u"txt");
    EXPECT_EQ(icon(u"/d/a.YAML"), u"txt");
}

TEST(DocumentHeader, PathsAreEscapedAndPercentSignsKeptForTheView) {
    const std::u16string h = Header(Record(u"/d/<b>&\"100%\".txt"));
    EXPECT_NE(h.find(u"open#/d/&lt;b&gt;&amp;&quot;100%25&quot;.txt\""), std::u16string::npos);
    EXPECT_NE(h.find(u">&lt;b&gt;&amp;\"100%\".txt</a>"), std::u16string::npos);
}

TEST(DocumentHeader, LongAndHeavilyEscapedPathsKeepEveryPiece) {
    // A path grows up to six times when escaped; the header makes room for it rather than leave
    // an "open#" link without its target or the path line without the path.
    const std::u16string longPath = u"/" + std::u16string(1600, u'p') + u".txt";
    std::u16string ampersands = u"/";
    while (ampersands.size() < 795)
        ampersands += u"a&b";
    ampersands += u"\"q\".txt";
    for (const std::u16string& path : {longPath, ampersands}) {
        const std::u16string h = Header(Record(path));
        const std::u16string target =
            u"<a href=\"open#" + Escaped(path, true) + u"\" title=\"Open the document\">";
        EXPECT_NE(h.find(target), std::u16string::npos) << Utf8(h.substr(0, 200));
        EXPECT_NE(h.find(u">" + Escaped(FileNameOf(path)) + u"</a>"), std::u16string::npos);
        EXPECT_TRUE(h.ends_with(u"<span class=\"file_info\">" + Escaped(path) + u"</span><br>"));
    }

    FixedText buffer(10);
    EXPECT_TRUE(buffer.append(u"12345"));
    EXPECT_FALSE(buffer.append(u"67890"));  // 5 + 5 leaves no room for the terminator
    EXPECT_TRUE(buffer.append(u"6789"));
    EXPECT_EQ(buffer.str(), u"123456789");
}

TEST(DocumentHeader, UnconvertibleTimeGivesZerosAndMinusOnes) {
    EXPECT_EQ(FileInfoText(10, std::numeric_limits<std::int64_t>::max()), u"0 KB, 0.0.0 -1:-1");
}

TEST(ResultLine, LinkAndEscapedFragment) {
    EXPECT_EQ(ResultLine(3, 120, 45, u"a < b"),
              u"<img src=\"images/arrow.gif\"> <a href=\"show#3#start120#length45\" title=\"Show the text\">a &lt; "
              u"b</a><br><img src=\"images/space.gif\" width=1 height=10><br>");
}

TEST(PageWriter, HeadStyleEncodingAndNumbering) {
    TempDir dir;
    fs::create_directories(dir.path() / "contents");
    PageWriter writer(dir.path().string());
    const auto first = writer.write(u"Ready for search.", u"", 0);
    const auto second = writer.write(u"two", u"Times New Roman", 12);
    const auto third = writer.write(u"three", u"", 0);
    ASSERT_TRUE(first && second && third);
    EXPECT_TRUE(first->ends_with("/contents/content1.html"));
    EXPECT_TRUE(third->ends_with("/contents/content3.html"));
    const std::u16string page = ReadPage(*first);
    EXPECT_EQ(page.substr(0, 23), u"<html>\n\t\t<head>\n\t\t<meta");
    EXPECT_NE(page.find(u"\t\tbody {font-family: Arial; font-size: 10pt; color: #1D3760; background-color: #FFFFFF; "
                        u"margin-left:20; margin-right:200;}\n"),
              std::u16string::npos);
    EXPECT_NE(page.find(u"\t\tspan.searched {color: #FD0000;}\n"), std::u16string::npos);
    EXPECT_TRUE(page.ends_with(u"\t\t<body>\nReady for search.\n</body>\n\t</html>"));
    EXPECT_NE(ReadPage(*second).find(u"font-family: Times New Roman; font-size: 12pt;"), std::u16string::npos);
}

TEST(PageWriter, AFailedWriteKeepsThePageNumber) {
    PageWriter writer("/nonexistent/tessarel");
    EXPECT_FALSE(writer.write(u"x", u"", 0));
    EXPECT_EQ(writer.pageNumber(), 1);
}

TEST(Marking, OutsideTagsOnlyAndNotInsideReferences) {
    Query q;
    q.setWords({u"img", u"amp"});
    const std::u16string page = u"<img src=\"images/img.gif\">img &amp; amp";
    EXPECT_EQ(MarkSearchWords(page, q),
              u"<img src=\"images/img.gif\"><span class=searched>img</span> &amp; <span class=searched>amp</span>");
    Query special;
    special.setWords({u"a<b"});
    EXPECT_EQ(MarkSearchWords(u"x a&lt;b y", special), u"x <span class=searched>a&lt;b</span> y");
}

TEST(TextPage, WholeTextWithTheFragmentSetOff) {
    TempDir docs;
    std::string text = "Start. ";
    text += "The hit sentence.\r\nNext line.";
    text += std::string(3000, 'z');
    docs.write("doc.txt", text);
    Engine e;
    CCatalog& c = e.read(docs.path());
    e.search("hit");
    const auto hits = e.hits();
    ASSERT_EQ(hits.size(), 1u);
    const auto link = ParseShowLink(u"show#0#start" + NumberText(static_cast<long long>(hits[0].offset)) +
                                    u"#length" + NumberText(static_cast<long long>(hits[0].length)));
    ASSERT_TRUE(link);
    const auto page = BuildTextPage(c, *link, e.searcher->query);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->substr(0, 24), u" Start.<a name=\"point1\">");
    EXPECT_NE(page->find(u"<a name=\"point1\"><span class=fragment> The <span class=searched>hit</span> "
                         u"sentence.</span><br>\r\nNext line."),
              std::u16string::npos);
    EXPECT_FALSE(page->ends_with(u"..."));
}

TEST(TextPage, EveryLineEndBreaksTheLine) {
    TempDir docs;
    docs.write("lines.txt", "first line\nsecond line\r\nthird line\rsame line");
    Engine e;
    CCatalog& c = e.read(docs.path());
    const auto page = BuildTextPage(c, {0, 1, 5}, e.searcher->query);
    ASSERT_TRUE(page);
    EXPECT_TRUE(page->ends_with(u" line<br>\nsecond line<br>\r\nthird line\rsame line"));
}

TEST(TextPage, WindowsOfHalfAMillionUnits) {
    TempDir docs;
    std::string text(2000000, 'a');
    text.replace(600000, 6, " kiwi.");
    docs.write("big.txt", text);
    Engine e;
    CCatalog& c = e.read(docs.path());
    const auto page = BuildTextPage(c, {0, 600001, 6}, e.searcher->query);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->substr(0, 3), u"...");
    EXPECT_EQ(page->substr(3, 10), std::u16string(10, u'a'));
    EXPECT_TRUE(page->ends_with(u"..."));
    EXPECT_EQ(page->size(), 3 + 500000 + 38 + 6 + 7 + 500000 + 3);
}

TEST(TextPage, LinksAreParsedLikeNumbersAndClamped) {
    const auto link = ParseShowLink(u"x show#12#start34#length56junk", 2);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->index, 12);
    EXPECT_EQ(link->start, 34);
    EXPECT_EQ(link->length, 56);
    EXPECT_FALSE(ParseShowLink(u"show#12#length5"));
    TempDir docs;
    docs.write("s.txt", "short");
    Engine e;
    CCatalog& c = e.read(docs.path());
    EXPECT_FALSE(BuildTextPage(c, {5, 0, 1}, e.searcher->query));
    const auto page = BuildTextPage(c, {0, 999, 999}, e.searcher->query);
    ASSERT_TRUE(page);
    EXPECT_TRUE(page->ends_with(u"<span class=fragment></span>"));
}

} // namespace
} // namespace tessarel::test
