// The spreadsheet, presentation and book readers: their scans on small parts, real documents of
// an office suite, and books made here, sound and damaged.
#include "extract/ReadDocument.h"
#include "extract/XmlTextScan.h"
#include "tests/extract/ReaderTestSupport.h"

#include "platform/Text.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace tessarel::test {
namespace {

struct ScanCase {
    const char* name;
    void (*scan)(std::u16string_view, std::u16string&);
    std::u16string_view part;
    std::u16string_view text;
};

class StructuredScans : public ::testing::TestWithParam<ScanCase> {};

TEST_P(StructuredScans, YieldTheText) {
    const ScanCase& c = GetParam();
    std::u16string text;
    c.scan(c.part, text);
    EXPECT_EQ(text, c.text);
    EXPECT_LE(text.size(), c.part.size());
}

#define CELL(t) u"<table:table-cell><text:p>" t u"</text:p></table:table-cell>"
#define ROW(cells) u"<table:table-row>" cells u"</table:table-row>"

const ScanCase kScanCases[] = {
    {"SheetCellsTabbedRowsLined", ScanOdfText, ROW(CELL(u"a") CELL(u"b")) ROW(CELL(u"c")), u"a\tb\nc\n"},
    {"SheetEmptyCellsKeepTheirColumns", ScanOdfText,
     ROW(u"<table:table-cell/>" CELL(u"b") u"<table:table-cell table:number-columns-repeated=\"2\"/>" CELL(u"e")),
     u"\tb\t\t\te\n"},
    {"SheetHugeRepeatIsNoFlood", ScanOdfText,
     ROW(CELL(u"a") u"<table:table-cell table:number-columns-repeated=\"1000000000\"/>" CELL(u"z")),
     u"a" u"\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t" u"z\n"},
    {"SheetEmptyRowsAndTrailingCellsGiveNothing", ScanOdfText,
     ROW(u"<table:table-cell table:number-columns-repeated=\"1024\"/>")
         u"<table:table-row table:number-rows-repeated=\"1048575\"><table:table-cell/></table:table-row>"
             ROW(CELL(u"x") u"<table:table-cell table:number-columns-repeated=\"9\"/>"),
     u"x\n"},
    {"SheetCoveredCellKeepsItsColumn", ScanOdfText,
     ROW(u"<table:table-cell table:number-columns-spanned=\"2\"><text:p>wide</text:p></table:table-cell>"
         u"<table:covered-table-cell/>" CELL(u"c")),
     u"wide\t\tc\n"},
    {"SheetParagraphsOfACellStayOnItsLine", ScanOdfText,
     ROW(u"<table:table-cell><text:p>one</text:p><text:p>two<text:line-break/>three<text:tab/>four</text:p>"
         u"</table:table-cell>" CELL(u"next")),
     u"one two three four\tnext\n"},
    {"SheetReferencesDecodedSpacesKept", ScanOdfText, ROW(CELL(u"R&amp;D<text:s text:c=\"3\"/>&#233;&lt;")),
     u"R&D \u00e9<\n"},
    {"SheetValuesOutsideParagraphsAreNoText", ScanOdfText,
     ROW(u"<table:table-cell office:value=\"3.14\"><text:p>3,14</text:p></table:table-cell>"), u"3,14\n"},
    {"SheetDeletedTextLeftOut", ScanOdfText,
     u"<text:tracked-changes><text:changed-region><text:deletion><text:p>gone</text:p></text:deletion>"
     u"</text:changed-region></text:tracked-changes>" ROW(CELL(u"kept")),
     u"kept\n"},
    {"SlidesInDocumentOrderNotesLeftOut", ScanOdfText,
     u"<draw:page draw:name=\"b\"><draw:frame><draw:text-box><text:p>Second first</text:p>"
     u"<text:list><text:list-item><text:p>point</text:p></text:list-item></text:list></draw:text-box>"
     u"</draw:frame><presentation:notes><draw:text-box><text:p>rehearse</text:p></draw:text-box>"
     u"</presentation:notes></draw:page><draw:page draw:name=\"a\"><text:p>then <text:span>this</text:span>"
     u"</text:p></draw:page>",
     u"Second first\npoint\nthen this\n"},
    {"SlideTableCells", ScanOdfText, u"<draw:page><table:table>" ROW(CELL(u"k") CELL(u"v")) u"</table:table></draw:page>",
     u"k\tv\n"},
    {"SheetUnclosedTagStops", ScanOdfText, ROW(CELL(u"kept")) u"<table:table-row><table:table-cell><text:p>lost",
     u"kept\nlost"},
    {"XhtmlHeadScriptStyleLeftOut", ScanXhtmlText,
     u"<html><head><title>Not this</title><style>p{color:red}</style></head><body><p>Visible</p>"
     u"<script type=\"text/javascript\">var hidden = '<p>no</p>';</script><p>too</p></body></html>",
     u"Visible\ntoo\n"},
    {"XhtmlBlocksEndLinesInlineJoins", ScanXhtmlText,
     u"<body><h1>Title</h1><p>kalei<em>dosc</em>ope and <a href=\"x\">link</a></p><ul><li>one</li><li>two</li>"
     u"</ul><div>a<br/>b</div></body>",
     u"Title\nkaleidoscope and link\none\ntwo\na\nb\n"},
    {"XhtmlWhiteSpaceIsOneBlank", ScanXhtmlText, u"<p>\n   spread\n\t over   lines  </p>\n  <p> next</p>",
     u"spread over lines\nnext\n"},
    {"XhtmlReferencesDecoded", ScanXhtmlText,
     u"<p>caf&eacute; &amp; cr&egrave;me &mdash; &#8220;quoted&#x201D; &hellip;&nbsp;&lt;tag&gt; &unknown; &Uuml;</p>",
     u"caf\u00e9 & cr\u00e8me \u2014 \u201cquoted\u201d \u2026\u00a0<tag> &unknown; \u00dc\n"},
    {"XhtmlCdataIsTextCommentsAreNot", ScanXhtmlText, u"<p>a<!-- <p>hidden</p> --><![CDATA[<raw>]]></p>",
     u"a<raw>\n"},
    {"XhtmlTableCellsSpaced", ScanXhtmlText, u"<table><tr><td>k</td><td>v</td></tr><tr><th>x</th></tr></table>",
     u"k v\nx\n"},
    {"XhtmlUnclosedHeadLeavesNothing", ScanXhtmlText, u"<p>before</p><head><p>after</p>", u"before\n"},
};

#undef CELL
#undef ROW

INSTANTIATE_TEST_SUITE_P(Parts, StructuredScans, ::testing::ValuesIn(kScanCases),
                         [](const auto& info) { return std::string(info.param.name); });

std::u16string ExpectedText(const std::string& path) {
    std::ifstream in(path + ".expected.txt", std::ios::binary);
    return FromUtf8(std::string(std::istreambuf_iterator<char>(in), {}));
}

// Documents written by LibreOffice 7.4, each with the text it must give.
TEST(OfficeSuiteDocuments, GiveTheirExpectedText) {
    ContentsFolder contents;
    for (const char* name : {"two-sheets.ods", "merged-cells.ods", "three-slides.odp"}) {
        const std::string path = std::string(TESSAREL_TEST_DATA) + "/odf/" + name;
        const std::u16string expected = ExpectedText(path);
        ASSERT_FALSE(expected.empty()) << name;
        EXPECT_EQ(ReadText(path, contents.context()), expected) << name;
    }
    const std::u16string sheets = ReadText(std::string(TESSAREL_TEST_DATA) + "/odf/two-sheets.ods", contents.context());
    for (const std::u16string_view word : {u"Übersetzung Größe\tПереводной\t2010\t3", u"Ωμέγα committee\t5"})
        EXPECT_NE(sheets.find(word), std::u16string::npos);
    const std::u16string slides =
        ReadText(std::string(TESSAREL_TEST_DATA) + "/odf/three-slides.odp", contents.context());
    EXPECT_LT(slides.find(u"proprietary"), slides.find(u"binaries"));
    EXPECT_LT(slides.find(u"binaries"), slides.find(u"Благодарим"));
    EXPECT_EQ(slides.find(u"rehearsalnote"), std::u16string::npos);
}

TEST(BookPackage, SpineOrderResolvedAgainstThePackageFolder) {
    const BookPackage book = ReadBookPackage(
        u"<package><metadata><dc:title id=\"t\">\n  The   Long\nWay &amp; Back </dc:title><dc:title>Second</dc:title>"
        u"</metadata><manifest><item id=\"a\" href=\"Text/a.xhtml\"/><item href=\"../up.xhtml\" id=\"b\"/>"
        u"<item id=\"c\" href=\"Text/My%20Chapter.xhtml#start\"/><item id=\"d\" href=\"http://x/y.xhtml\"/>"
        u"<item id=\"e\" href=\"../../../outside.xhtml\"/><item id=\"f\" href=\"./Text/./b&amp;c.xhtml\"/></manifest>"
        u"<spine toc=\"ncx\"><itemref idref=\"c\"/><itemref idref=\"missing\"/><itemref idref=\"b\"/>"
        u"<itemref idref=\"d\"/><itemref idref=\"e\"/><itemref idref=\"a\" linear=\"no\"/><itemref idref=\"f\"/>"
        u"</spine></package>",
        "OPS/book/content.opf", 100);
    EXPECT_EQ(book.title, u"The Long Way & Back");
    EXPECT_EQ(book.spine, (std::vector<std::string>{"OPS/book/Text/My Chapter.xhtml", "OPS/up.xhtml",
                                                    "OPS/book/Text/a.xhtml", "OPS/book/Text/b&c.xhtml"}));
    EXPECT_FALSE(book.itemsLeftOut);

    const BookPackage capped = ReadBookPackage(
        u"<manifest><item id=\"a\" href=\"a.x\"/></manifest><spine><itemref idref=\"a\"/><itemref idref=\"a\"/>"
        u"<itemref idref=\"a\"/></spine>",
        "root.opf", 2);
    EXPECT_EQ(capped.spine, (std::vector<std::string>{"a.x", "a.x"}));
    EXPECT_TRUE(capped.itemsLeftOut);
}

TEST(BookPackage, ContainerNamesThePackageDocument) {
    EXPECT_EQ(PackageDocumentPath(u"<rootfiles><rootfile full-path=\"other.pdf\" media-type=\"application/pdf\"/>"
                                  u"<rootfile full-path=\"OEBPS/c&amp;d.opf\" "
                                  u"media-type=\"application/oebps-package+xml\"/></rootfiles>"),
              "OEBPS/c&d.opf");
    EXPECT_EQ(PackageDocumentPath(u"<rootfile full-path='only.opf'/>"), "only.opf");
    EXPECT_EQ(PackageDocumentPath(u"<rootfiles></rootfiles>"), "");
    EXPECT_EQ(PackageDocumentPath(u"<rootfile full-path=\"cut"), "");
}

using Members = std::vector<std::pair<std::string, std::string>>;

const std::string kContainer =
    "<?xml version=\"1.0\"?><container><rootfiles><rootfile full-path=\"OEBPS/content.opf\" "
    "media-type=\"application/oebps-package+xml\"/></rootfiles></container>";

// A package whose manifest lists the chapters one, two, three and whose reading order is
// three, one, two.
const std::string kPackage =
    "<?xml version=\"1.0\"?><package><metadata><dc:title>Quokka Tales</dc:title></metadata><manifest>"
    "<item id=\"c1\" href=\"Text/one.xhtml\" media-type=\"application/xhtml+xml\"/>"
    "<item id=\"c2\" href=\"Text/two.xhtml\" media-type=\"application/xhtml+xml\"/>"
    "<item id=\"c3\" href=\"Text/three%20too.xhtml\" media-type=\"application/xhtml+xml\"/>"
    "<item id=\"css\" href=\"Styles/book.css\" media-type=\"text/css\"/></manifest>"
    "<spine><itemref idref=\"c3\"/><itemref idref=\"c1\"/><itemref idref=\"c2\"/></spine></package>";

const std::string kMarkupHeavyChapter =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!DOCTYPE html><html xmlns=\"http://www.w3.org/1999/xhtml\">"
    "<head><title>Chapter One</title><link rel=\"stylesheet\" href=\"../Styles/book.css\"/>"
    "<style>.x { content: \"styled\"; }</style></head><body class=\"c\"><section epub:type=\"chapter\">"
    "<h2 class=\"title\"><span class=\"num\">1</span> <span>Beginnings</span></h2><p class=\"first\">"
    "<span class=\"dropcap\">O</span>nce there was a <em>quokka</em> &amp; a <strong>wom<i>bat</i></strong>"
    "&#8212;caf&eacute; friends.</p><script>document.write('scripted');</script>"
    "<div class=\"fig\"><img src=\"../Images/a.png\" alt=\"alt text\"/><p>Caption&nbsp;here</p></div>"
    "</section></body></html>";

class Books : public ::testing::Test {
protected:
    std::u16string read(const std::string& name, const Members& members) {
        const std::string path = contents.folder() + "/" + name;
        WriteZip(path, members);
        return readFile(path);
    }
    std::u16string readFile(const std::string& path) {
        logLines.clear();
        ReadContext context = contents.context();
        context.logLines = &logLines;
        FileRecord record = RecordFor(path);
        ReadDocumentText(record, context);
        return std::u16string(record.text);
    }
    ContentsFolder contents;
    std::vector<std::u16string> logLines;
};

TEST_F(Books, TitleThenChaptersInReadingOrder) {
    const std::u16string text = read("tales.epub", {{"mimetype", "application/epub+zip"},
                                                    {"META-INF/container.xml", kContainer},
                                                    {"OEBPS/content.opf", kPackage},
                                                    {"OEBPS/Text/one.xhtml", kMarkupHeavyChapter},
                                                    {"OEBPS/Text/two.xhtml", "<html><body><p>Second.</p></body></html>"},
                                                    {"OEBPS/Text/three too.xhtml", "<body><p>Third first.</p></body>"},
                                                    {"OEBPS/Styles/book.css", "p { styled: yes }"}});
    EXPECT_EQ(text, u"Quokka Tales\nThird first.\n1 Beginnings\nOnce there was a quokka & a wombat\u2014caf\u00e9 "
                    u"friends.\nCaption\u00a0here\nSecond.\n");
    EXPECT_TRUE(logLines.empty());
}

TEST_F(Books, AMissingChapterIsLoggedAndSkipped) {
    const std::u16string text = read("holes.epub", {{"META-INF/container.xml", kContainer},
                                                    {"OEBPS/content.opf", kPackage},
                                                    {"OEBPS/Text/two.xhtml", "<p>Second.</p>"}});
    EXPECT_EQ(text, u"Quokka Tales\nSecond.\n");
    EXPECT_EQ(logLines, (std::vector<std::u16string>{
                            u"A part of the book is missing from its archive: OEBPS/Text/three too.xhtml",
                            u"A part of the book is missing from its archive: OEBPS/Text/one.xhtml"}));
}

TEST_F(Books, ManyMissingChaptersTakeBoundedLogLines) {
    std::string package = "<package><manifest><item id=\"x\" href=\"gone.xhtml\"/></manifest><spine>";
    for (int i = 0; i < 500; ++i)
        package += "<itemref idref=\"x\"/>";
    package += "</spine></package>";
    read("gone.epub", {{"META-INF/container.xml", kContainer}, {"OEBPS/content.opf", package}});
    ASSERT_EQ(logLines.size(), 9u);
    EXPECT_EQ(logLines.back(), u"Further parts missing from the book's archive: 492");
}

TEST_F(Books, WithoutContainerOrPackageTheTextIsEmpty) {
    EXPECT_EQ(read("nocontainer.epub", {{"OEBPS/content.opf", kPackage}, {"OEBPS/Text/two.xhtml", "<p>x</p>"}}),
              u"");
    EXPECT_EQ(read("nopackage.epub", {{"META-INF/container.xml", kContainer}, {"OEBPS/Text/two.xhtml", "<p>x</p>"}}),
              u"");
}

TEST_F(Books, ATruncatedBookGivesAtMostItsOwnText) {
    const Members members = {{"META-INF/container.xml", kContainer},
                             {"OEBPS/content.opf", kPackage},
                             {"OEBPS/Text/one.xhtml", kMarkupHeavyChapter},
                             {"OEBPS/Text/two.xhtml", "<p>Second.</p>"},
                             {"OEBPS/Text/three too.xhtml", "<p>Third first.</p>"}};
    const std::string path = contents.folder() + "/whole.epub";
    WriteZip(path, members);
    std::ifstream in(path, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(in), {});
    const std::u16string whole = readFile(path);
    ASSERT_NE(whole.find(u"quokka"), std::u16string::npos);
    // Another book read just before leaves its last chapter in the temporary file.
    const std::string other = contents.folder() + "/other.epub";
    WriteZip(other, {{"META-INF/container.xml", kContainer},
                     {"OEBPS/content.opf", kPackage},
                     {"OEBPS/Text/two.xhtml", "<p>zorvantide</p>"}});
    for (const std::size_t keep : {bytes.size() - 1, bytes.size() - 30, bytes.size() * 3 / 4, bytes.size() / 2,
                                   std::size_t{30}}) {
        const std::string cut = contents.folder() + "/cut.epub";
        WriteFile(cut, bytes.substr(0, keep));
        ASSERT_NE(readFile(other).find(u"zorvantide"), std::u16string::npos);
        const std::u16string text = readFile(cut);
        EXPECT_EQ(text.find(u"zorvantide"), std::u16string::npos) << keep;
        for (std::size_t line = 0; line < text.size();) {
            const std::size_t end = std::min(text.find(u'\n', line), text.size());
            EXPECT_NE(whole.find(text.substr(line, end - line)), std::u16string::npos) << keep;
            line = end + 1;
        }
    }
}

} // namespace
} // namespace tessarel::test
