// Which files a reading run takes: the switches of the later types, the text extensions of
// today and the setting that lists them.
#include "Harness.h"

#include "engine/DocumentTypes.h"
#include "tests/extract/ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tessarel::test {
namespace {

std::vector<std::string> Found(Engine& e, const std::string& query) {
    e.search(query);
    std::vector<std::string> files = e.filesInOrder();
    std::sort(files.begin(), files.end());
    return files;
}

// Files of today's text and source kinds, each holding the word "quokka", and files that must
// stay unread.
void WriteSourceTree(const TempDir& docs) {
    docs.write("README.md", "# Notes\n\nThe *quokka* smiles.\n");
    docs.write("tool.py", "def quokka():\n    return 'ok'\n");
    docs.write("deploy.yaml", "animal: quokka\nlegs: 4\n");
    docs.write("table.csv", "name,kind\nquokka,marsupial\n");
    docs.write("lib.RS", "fn quokka() {}\n");
    docs.write("old.txt", "quokka in plain text\n");
    docs.write("Makefile", "quokka:\n\techo\n");
    docs.write("picture.png", "quokka");
}

TEST(TodaysTextFiles, AreFoundUnderTheTextSwitch) {
    TempDir docs;
    WriteSourceTree(docs);
    Engine e;
    e.read(docs.path());
    EXPECT_EQ(Found(e, "quokka"), (std::vector<std::string>{"README.md", "deploy.yaml", "lib.RS", "old.txt",
                                                            "table.csv", "tool.py"}));
    e.read(docs.path(), [](CCatalog& c) { c.FilesText = 0; });
    EXPECT_EQ(e.catalog->count(), 0);
}

TEST(TodaysTextFiles, TheSettingChoosesTheFurtherExtensions) {
    TempDir docs;
    WriteSourceTree(docs);
    Engine e;
    // Empty: the seventeen alone.
    e.read(docs.path(), [](CCatalog& c) { c.TextExtensions.clear(); });
    EXPECT_EQ(Found(e, "quokka"), (std::vector<std::string>{"old.txt"}));
    // A further extension is never taken from another type (png is an image's, pdf a PDF's), and a
    // file without one stays unread.
    docs.write("data.xyz", "quokka");
    e.read(docs.path(), [](CCatalog& c) { c.TextExtensions = u"png pdf md xyz"; });
    EXPECT_EQ(Found(e, "quokka"), (std::vector<std::string>{"README.md", "data.xyz", "old.txt"}));
}

TEST(LaterTypes, EachHasItsSwitch) {
    TempDir docs;
    const fs::path data = fs::path(TESSAREL_TEST_DATA) / "odf";
    fs::copy_file(data / "two-sheets.ods", docs.path() / "two-sheets.ods");
    fs::copy_file(data / "three-slides.odp", docs.path() / "three-slides.odp");
    WriteZip((docs.path() / "book.epub").string(),
             {{"META-INF/container.xml", "<rootfile full-path=\"b.opf\"/>"},
              {"b.opf", "<manifest><item id=\"c\" href=\"c.xhtml\"/></manifest><spine><itemref idref=\"c\"/></spine>"},
              {"c.xhtml", "<p>Ωμέγα proprietary</p>"}});
    Engine e;
    e.read(docs.path());
    EXPECT_EQ(Found(e, "Ωμέγα"), (std::vector<std::string>{"book.epub", "two-sheets.ods"}));
    EXPECT_EQ(Found(e, "proprietary"), (std::vector<std::string>{"book.epub", "three-slides.odp"}));
    e.read(docs.path(), [](CCatalog& c) { c.FilesOds = c.FilesEpub = 0; });
    EXPECT_EQ(Found(e, "Ωμέγα"), (std::vector<std::string>{}));
    EXPECT_EQ(Found(e, "proprietary"), (std::vector<std::string>{"three-slides.odp"}));
    e.read(docs.path(), [](CCatalog& c) { c.FilesOdp = 0; });
    EXPECT_EQ(Found(e, "proprietary"), (std::vector<std::string>{"book.epub"}));
}

TEST(LaterTypes, MailIsCataloguedUnderItsSwitch) {
    TempDir docs;
    const fs::path data = fs::path(TESSAREL_TEST_DATA) / "mail";
    fs::copy_file(data / "alternative.eml", docs.path() / "alternative.eml");
    fs::copy_file(data / "three.mbox", docs.path() / "three.mbox");
    Engine e;
    e.read(docs.path());
    // A decoded header word of a message, and a base64 body of the second message of an mbox.
    EXPECT_EQ(Found(e, "Réunion"), (std::vector<std::string>{"alternative.eml"}));
    EXPECT_EQ(Found(e, "Secondbody"), (std::vector<std::string>{"three.mbox"}));
    e.read(docs.path(), [](CCatalog& c) { c.FilesMail = 0; });
    EXPECT_EQ(e.catalog->count(), 0);
}

TEST(TypeSettings, LaterSwitchesAreOnUnlessSaidOtherwise) {
    MemorySettingsStore store;
    TypeSwitches switches;
    ReadTypeSwitches(store, switches);
    EXPECT_EQ(switches.FilesText + switches.FilesRtf + switches.FilesDoc + switches.FilesPdf + switches.FilesDocx +
                  switches.FilesXlsx + switches.FilesPptx + switches.FilesOdt,
              0);
    EXPECT_EQ(switches.FilesOds + switches.FilesOdp + switches.FilesEpub + switches.FilesMail, 4);
    EXPECT_EQ(switches.TextExtensions, kTextExtensionsOfToday);

    store.writeInt(kSettingsSection, "FilesMail", 0);
    store.writeString(kSettingsSection, "TextExtensions", u"");
    ReadTypeSwitches(store, switches);
    EXPECT_EQ(switches.FilesMail, 0);
    EXPECT_EQ(switches.TextExtensions, u"");
    store.writeString(kSettingsSection, "TextExtensions", u"  MD,.Py\tyaml;; ");
    ReadTypeSwitches(store, switches);
    EXPECT_EQ(switches.TextExtensions, u"md py yaml");
}

TEST(TypeSettings, ExtensionsOfTypes) {
    EXPECT_EQ(DocumentTypeOf(u"eml")->name, std::string("mail"));
    EXPECT_EQ(DocumentTypeOf(u"mbox")->name, std::string("mail"));
    EXPECT_EQ(DocumentTypeOf(u"epub")->settingKey, std::string("FilesEpub"));
    EXPECT_EQ(DocumentTypeOf(u"md"), nullptr);
    EXPECT_EQ(DocumentTypeOf(u"md", kTextExtensionsOfToday)->name, std::string("text"));
    EXPECT_EQ(DocumentTypeOf(u"gradle", kTextExtensionsOfToday)->name, std::string("text"));
    EXPECT_EQ(DocumentTypeOf(u"m", u"mm"), nullptr);
    EXPECT_EQ(DocumentTypeOf(u"", kTextExtensionsOfToday), nullptr);
}

} // namespace
} // namespace tessarel::test
