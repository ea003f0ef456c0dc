// The archive readers: the tag scans on small parts, and whole archives made here.
#include "extract/XmlTextScan.h"
#include "extract/ZipArchive.h"
#include "tests/extract/ReaderTestSupport.h"

#include "platform/Text.h"

#include <gtest/gtest.h>

#include "extract/ReadDocument.h"
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace tessarel::test {
namespace {

struct ScanCase {
    const char* name;
    void (*scan)(std::u16string_view, std::u16string&);
    std::u16string_view part;
    std::u16string_view text;
};

class TagScans : public ::testing::TestWithParam<ScanCase> {};

TEST_P(TagScans, YieldTheText) {
    const ScanCase& c = GetParam();
    std::u16string text;
    c.scan(c.part, text);
    EXPECT_EQ(text, c.text);
    EXPECT_LE(text.size(), c.part.size());
}

const ScanCase kScanCases[] = {
    {"DocxTwoParagraphs", ScanDocxText,
     u"<w:p><w:r><w:t>one</w:t></w:r></w:p><w:p><w:r><w:t>two</w:t></w:r></w:p>", u"one\ntwo"},
    {"DocxRunsJoined", ScanDocxText,
     u"<w:p><w:r><w:t>kalei</w:t></w:r><w:r><w:t "
     u"xml:space=\"preserve\">dosc</w:t></w:r><w:r><w:t>ope</w:t></w:r></w:p>",
     u"kaleidoscope"},
    {"DocxReferencesDecoded", ScanDocxText,
     u"<w:p><w:t>R&amp;D &lt;b&gt; bash&apos;s &quot;x&quot; &#8364;5 &#x20AC;5 &#x1F600;</w:t></w:p>",
     u"R&D <b> bash's \"x\" \u20ac5 \u20ac5 \U0001F600"},
    {"DocxMalformedReferencesKept", ScanDocxText,
     u"<w:p><w:t>&amp &nbsp; &#; &#x; &#12a; &#0; &#xD800; &#x110000; &#99999999999; &&amp;</w:t></w:p>",
     u"&amp &nbsp; &#; &#x; &#12a; &#0; &#xD800; &#x110000; &#99999999999; &&"},
    {"DocxDecodedOnceOnly", ScanDocxText, u"<w:p><w:t>&amp;amp;</w:t></w:p>", u"&amp;"},
    {"XlsxReferencesDecoded", ScanXlsxText, u"<si><t>Q&amp;A</t></si>", u"Q&A\n"},
    {"PptxReferencesDecoded", ScanPptxText, u"<a:t>&#233;t&#xE9;</a:t>", u"\u00e9t\u00e9\n"},
    {"OdtReferencesDecoded", ScanOdtText, u"<text:p>R&amp;D&apos;s</text:p>", u"R&D's "},
    {"DocxEmptyParagraphsOneLineFeed", ScanDocxText,
     u"<w:p><w:t>a</w:t></w:p><w:p></w:p><w:p><w:pPr/></w:p><w:p><w:tab/><w:t>b</w:t></w:p>", u"a\nb"},
    {"DocxTableTagsCarryNoText", ScanDocxText,
     u"<w:tbl><w:tr><w:tc><w:p><w:t>cell</w:t></w:p></w:tc></w:tr></w:tbl>", u"cell"},
    {"DocxUnclosedRunStops", ScanDocxText, u"<w:p><w:t>kept</w:t></w:p><w:p><w:t>lost", u"kept\n"},
    {"XlsxTwoStrings", ScanXlsxText,
     u"<sst><si><t>first</t></si><si><t xml:space=\"preserve\">second</t></si></sst>", u"first\nsecond\n"},
    {"XlsxRichRunsOnLines", ScanXlsxText,
     u"<si><r><rPr/><t>Com</t></r><r><t>pliance</t></r></si><tableParts/>", u"Com\npliance\n"},
    {"PptxRunsOnLines", ScanPptxText,
     u"<a:p><a:r><a:t>Title</a:t></a:r></a:p><a:t lang=\"x\">skipped</a:t><a:t>Body</a:t>", u"Title\nBody\n"},
    {"OdtPiecesSpaced", ScanOdtText,
     u"<?xml?>\n<office:text><text:p>one</text:p><text:p>two</text:p></office:text>", u"\n one two "},
    {"OdtSplitWordGetsSpace", ScanOdtText, u"<text:p>kalei<text:span>dosc</text:span>ope<text:tab/></text:p>",
     u"kalei dosc ope "},
    {"OdtOneLeadingSpaceDropped", ScanOdtText, u"<p>  two spaces</p>", u" two spaces "},
};

INSTANTIATE_TEST_SUITE_P(Parts, TagScans, ::testing::ValuesIn(kScanCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MainDocumentTarget, ComesFromTheOfficeDocumentRelationship) {
    EXPECT_EQ(
        MainDocumentTarget(
            "<Relationships><Relationship Id=\"rId2\" Type=\"http://x/metadata/core-properties\" "
            "Target=\"docProps/core.xml\"/><Relationship Id=\"rId1\" "
            "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
            "Target=\"/word/main.xml\"/></Relationships>"),
        "word/main.xml");
    EXPECT_EQ(MainDocumentTarget("<Relationship Type='a/officeDocument' TargetMode='x' Target='./w/d.xml'/>"),
              "w/d.xml");
    EXPECT_EQ(MainDocumentTarget("<Relationship Type=\"a/styles\" Target=\"s.xml\"/>"), "");
    EXPECT_EQ(MainDocumentTarget("<Relationship Type=\"a/officeDocument\" Target=\"unclosed"), "");
}

class ArchiveReaders : public ::testing::Test {
protected:
    std::u16string read(const std::string& name,
                        const std::vector<std::pair<std::string, std::string>>& members) {
        const std::string path = contents.folder() + "/" + name;
        WriteZip(path, members);
        return ReadText(path, contents.context());
    }
    ContentsFolder contents;
};

TEST_F(ArchiveReaders, DocxMainPartComesFromPackageRelationships) {
    const std::u16string text =
        read("renamed.docx",
             {{"[Content_Types].xml", "<Types/>"},
              {"_rels/.rels", "<Relationship Type=\"http://x/officeDocument\" Target=\"word/main.xml\"/>"},
              {"word/document.xml", "<w:p><w:t>decoy</w:t></w:p>"},
              {"word/main.xml", "<w:p><w:t>real text</w:t></w:p>"}});
    EXPECT_EQ(text, u"real text");
}

TEST_F(ArchiveReaders, DocxWithoutRelationshipsReadsWordDocument) {
    EXPECT_EQ(read("plain.docx", {{"a", "<w:t>no</w:t>"},
                                  {"b", "x"},
                                  {"c", "x"},
                                  {"d", "<w:t>fourth</w:t>"},
                                  {"word/document.xml", "<w:p><w:t>by name</w:t></w:p>"}}),
              u"by name");
    EXPECT_EQ(read("none.docx", {{"a", "<w:t>no</w:t>"}, {"b", "x"}, {"c", "x"}, {"d", "<w:t>fourth</w:t>"}}),
              u"");
}

TEST_F(ArchiveReaders, XlsxWithoutSharedStringsIsEmpty) {
    read("strings.xlsx", {{"xl/sharedStrings.xml", "<t>earlier</t>"}});
    EXPECT_EQ(read("numbers.xlsx", {{"xl/worksheets/sheet1.xml", "<c><v>31415</v></c>"}}), u"");
}

TEST_F(ArchiveReaders, RepeatedMemberNameReadsTheLastOne) {
    EXPECT_EQ(
        read("twice.xlsx", {{"xl/sharedStrings.xml", "<t>old</t>"}, {"xl/sharedStrings.xml", "<t>new</t>"}}),
        u"new\n");
}

TEST_F(ArchiveReaders, PptxSlidesInMemberOrderNotesLeftOut) {
    const std::u16string text = read("deck.pptx", {{"ppt/slides/slide2.xml", "<a:t>second</a:t>"},
                                                   {"ppt/notesSlides/notesSlide1.xml", "<a:t>note</a:t>"},
                                                   {"ppt/slides/_rels/slide1.xml.rels", "<a:t>rels</a:t>"},
                                                   {"ppt/slides/slide1.xml", "<a:t>first</a:t>"}});
    EXPECT_EQ(text, u"second\nfirst\n");
}

TEST_F(ArchiveReaders, OdtReadsContentAndDecodesUtf8) {
    EXPECT_EQ(read("doc.odt", {{"mimetype", "application/vnd.oasis.opendocument.text"},
                               {"styles.xml", "<p>header</p>"},
                               {"content.xml", "<text:p>Свободният</text:p><text:p>liberté</text:p>"}}),
              u"Свободният liberté ");
}

TEST_F(ArchiveReaders, InflatedMemberIsCapped) {
    // A part that inflates far beyond the cap: the text stops at the cap, the temporary file too.
    std::string huge = "<text:p>";
    huge.append(70u * 1024 * 1024, 'a');
    huge += "</text:p><text:p>beyond</text:p>";
    const std::u16string text = read("bomb.odt", {{"content.xml", huge}});
    EXPECT_EQ(text, u"");
    EXPECT_LE(std::filesystem::file_size(contents.context().wordTempPath), 64u * 1024 * 1024);
}

TEST_F(ArchiveReaders, ChecksumErrorKeepsTheInflatedText) {
    // A part inflated to its end keeps its text whatever its checksum; one that fails to inflate
    // gives nothing.
    RawMember spoiled = Deflated("word/document.xml", "<w:p><w:t>kept</w:t></w:p>");
    spoiled.crc ^= 1;
    const std::string path = contents.folder() + "/crc.docx";
    WriteRawZip(path, {spoiled});
    EXPECT_EQ(ReadText(path, contents.context()), u"kept");
    RawMember broken = Deflated("word/document.xml", "<w:p><w:t>lost</w:t></w:p>");
    broken.deflated = "\xFF\xFF\xFF\xFF";
    WriteRawZip(path, {broken});
    EXPECT_EQ(ReadText(path, contents.context()), u"");
}

TEST_F(ArchiveReaders, FailedSlidesTakeTheirSlots) {
    // A thousand slide entries that fail to inflate use up every slot: the good one after them
    // is never reached.
    std::vector<RawMember> members;
    for (int i = 0; i < 1000; ++i) {
        members.push_back(Deflated("ppt/slides/slide" + std::to_string(i) + ".xml", "<a:t>x</a:t>"));
        members.back().deflated = "\xFF\xFF\xFF\xFF";
    }
    members.push_back(Deflated("ppt/slides/slide1000.xml", "<a:t>good</a:t>"));
    const std::string path = contents.folder() + "/broken.pptx";
    WriteRawZip(path, members);
    EXPECT_EQ(ReadText(path, contents.context()), u"");
    members.erase(members.begin());
    WriteRawZip(path, members);
    EXPECT_EQ(ReadText(path, contents.context()), u"good\n");
}

TEST_F(ArchiveReaders, RelationshipsAndMainPartShareOneBudget) {
    // 40 MiB of relationships leave the main part 24 MiB: its text beyond them is cut off.
    std::string rels = "<Relationship Type=\"a/officeDocument\" Target=\"word/document.xml\"/>";
    rels.append(40u * 1024 * 1024, ' ');
    std::string main = "<w:p><w:t>start</w:t></w:p>";
    main.append(30u * 1024 * 1024, ' ');
    main += "<w:p><w:t>end</w:t></w:p>";
    const std::u16string text = read("budget.docx", {{"_rels/.rels", rels}, {"word/document.xml", main}});
    EXPECT_NE(text.find(u"start"), std::u16string::npos);
    EXPECT_EQ(text.find(u"end"), std::u16string::npos);
}

TEST_F(ArchiveReaders, MembersGoOnlyToTheTemporaryFile) {
    read("escape.odt", {{"../../escaped.xml", "<p>x</p>"}, {"content.xml", "<p>y</p>"}});
    ZipArchive zip(contents.folder() + "/escape.odt");
    ASSERT_EQ(zip.memberCount(), 2);
    EXPECT_EQ(zip.memberName(0), "../../escaped.xml");
    EXPECT_FALSE(zip.extractMember(5, contents.context().wordTempPath, 100));
    EXPECT_TRUE(zip.extractMember(0, contents.context().wordTempPath, 100));
    EXPECT_FALSE(std::filesystem::exists(contents.folder() + "/../../escaped.xml"));
}

TEST_F(ArchiveReaders, AMemberIsNeverWrittenThroughALinkAtTheTemporaryFile) {
    read("linked.odt", {{"content.xml", "<p>planted</p>"}});
    const std::string victim = contents.folder() + "/victim.txt";
    std::ofstream(victim) << "the victim's words";
    const std::string link = contents.folder() + "/link.txt";
    std::filesystem::create_symlink(victim, link);
    ZipArchive zip(contents.folder() + "/linked.odt");
    EXPECT_FALSE(zip.extractMember(0, link, 100));
    std::ifstream in(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "the victim's words");
}

// A reader helper reads its documents by the descriptor the reading run hands over.
TEST_F(ArchiveReaders, EachReaderGivesTheSameTextByDescriptorAsByName) {
    for (const char* name :
         {"docx/features.docx", "xlsx/two-sheets.xlsx", "pptx/three-slides.pptx", "odt/features.odt",
          "pdf/features.pdf", "doc97/features.doc", "rtf/features-lo.rtf"}) {
        const std::string path = CorpusPath(name);
        const std::u16string byName = ReadText(path, contents.context());
        ReadContext byDescriptor = contents.context();
        byDescriptor.documentFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(byDescriptor.documentFd, 0);
        // Read once already: every reader starts from the file's beginning all the same.
        EXPECT_FALSE(ReadText(path, byDescriptor).empty());
        FileRecord elsewhere = RecordFor(path);
        elsewhere.nativePath = "/nowhere/" + std::string(name); // the name can't be opened
        ReadDocumentText(elsewhere, byDescriptor);
        ::close(byDescriptor.documentFd);
        EXPECT_FALSE(byName.empty()) << name;
        EXPECT_TRUE(std::u16string(elsewhere.text) == byName) << name;
    }
}

TEST_F(ArchiveReaders, WithoutATemporaryFileTheTextIsEmpty) {
    const std::string path = contents.folder() + "/doc.odt";
    WriteZip(path, {{"content.xml", "<p>text</p>"}});
    ReadContext noTemp;
    EXPECT_EQ(ReadText(path, noTemp), u"");
}

} // namespace
} // namespace tessarel::test
