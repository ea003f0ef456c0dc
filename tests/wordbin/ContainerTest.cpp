// Compound files and Word 97 documents written by the test's own writer, intact and damaged.
#include "tests/wordbin/ConvertHelpers.h"
#include "tests/wordbin/WordDocumentWriter.h"
#include "wordbin/CompoundFile.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tessarel::wordbin::testing {
namespace {

struct Outcome {
    std::string text;
    std::string messages;
};

Outcome Convert97(const Bytes& file) {
    ::testing::internal::CaptureStderr();
    Outcome outcome;
    outcome.text = ConvertBytes(file);
    outcome.messages = ::testing::internal::GetCapturedStderr();
    return outcome;
}

Word97Layout Plain(std::u16string text) {
    Word97Layout layout;
    layout.before = std::move(text);
    return layout;
}

TEST(ContainerTest, IntactDocumentGivesItsText) {
    const Outcome outcome = Convert97(BuildWord97(Plain(u"Hello caf\u00e9 world\r\u201cquoted\u201d\r")));
    EXPECT_EQ(outcome.text, "\nHello café world\n“quoted”");
    EXPECT_EQ(outcome.messages, "");
}

TEST(ContainerTest, EightBitPieceIsReadAtHalfItsPosition) {
    Word97Layout layout = Plain(u"eight bit text\x93\r");
    layout.eightBit = true;
    EXPECT_EQ(Convert97(BuildWord97(layout)).text, "\neight bit text“");
}

TEST(ContainerTest, FieldInstructionsAreSkippedAndResultsKept) {
    const Outcome outcome = Convert97(BuildWord97(Plain(u"page \x13 PAGE \\* MERGEFORMAT \x14"
                                                        u"7\x15 of\r")));
    EXPECT_EQ(outcome.text, "\npage 7 of");
}

TEST(ContainerTest, TabsBecomeSpacesToTheDefaultStop) {
    // 36000 thousandths a stop, 6400 a column: the first stop lies past 5 columns.
    EXPECT_EQ(Convert97(BuildWord97(Plain(u"\tab\r"))).text, "\n      ab");
}

TEST(ContainerTest, WordDocumentBelow4096BytesIsRefused) {
    Word97Layout layout = Plain(u"short\r");
    layout.minimumWordDocumentSize = 4095;
    const Outcome refused = Convert97(BuildWord97(layout));
    EXPECT_EQ(refused.text, "");
    EXPECT_NE(refused.messages.find("I'm afraid the text stream of this file is too small to handle."),
              std::string::npos);
    layout.minimumWordDocumentSize = 4096;
    EXPECT_EQ(Convert97(BuildWord97(layout)).text, "\nshort");
}

TEST(ContainerTest, SiblingLoopInTheDirectoryEnds) {
    ContainerDamage damage;
    damage.siblingLoop = true;
    const Outcome outcome = Convert97(BuildWord97(Plain(u"looped\r"), damage));
    EXPECT_EQ(outcome.text, "\nlooped");
}

TEST(ContainerTest, DepotNamingABlockBeyondTheFileAbandonsTheConversion) {
    ContainerDamage damage;
    damage.wordDocumentNext = 0x00FFFFFF;
    const Outcome outcome = Convert97(BuildWord97(Plain(u"lost\r"), damage));
    EXPECT_EQ(outcome.text, "");
    EXPECT_NE(outcome.messages.find("The Big Block Depot is damaged"), std::string::npos);
    // The next document converts normally.
    EXPECT_EQ(Convert97(BuildWord97(Plain(u"next\r"))).text, "\nnext");
}

TEST(ContainerTest, EmptySmallDepotAbandonsTheConversionWithItsMessage) {
    // The table stream is a small one, but the root entry leaves the small depot without entries.
    ContainerDamage damage;
    damage.emptySmallDepot = true;
    const Outcome outcome = Convert97(BuildWord97(Plain(u"lost\r"), damage));
    EXPECT_EQ(outcome.text, "");
    EXPECT_NE(outcome.messages.find("The Small Block Depot is damaged"), std::string::npos)
        << outcome.messages;
}

TEST(ContainerTest, ContainerWithoutWordDocumentIsNamed) {
    const struct {
        const char* stream;
        const char* message;
    } cases[] = {
        {"Workbook", "Sorry, but this is an Excel spreadsheet"},
        {"Contents", "This OLE file does not contain a Word document"},
    };
    for (const auto& c : cases) {
        CompoundFileWriter writer;
        writer.add(c.stream, Bytes(5000, 'x'));
        const Outcome outcome = Convert97(writer.Build());
        EXPECT_EQ(outcome.text, "");
        EXPECT_NE(outcome.messages.find(c.message), std::string::npos) << c.stream;
    }
}

TEST(ContainerTest, ContainerSizeTest) {
    // A tail of one or two bytes passes only when size mod 3 differs from it; three never pass.
    CompoundFileWriter writer;
    writer.add("Contents", Bytes(10, 'x'));
    const Bytes file = writer.Build();
    ASSERT_EQ(file.size(), 2560u);
    const struct {
        std::size_t size;
        bool container;
    } cases[] = {{2561, true}, {2562, true}, {2563, false}, {1537, false}, {1538, false}};
    for (const auto& c : cases) {
        Bytes sized = file;
        sized.resize(c.size, 0);
        const Outcome outcome = Convert97(sized);
        EXPECT_EQ(outcome.messages.find("is not a Word Document.") == std::string::npos, c.container)
            << c.size;
    }
}

TEST(ContainerTest, TableRowIsWrittenAsCellLine) {
    Word97Layout layout = Plain(u"before\r");
    layout.row.cells = {"a", "b"};
    layout.after = u"after\r";
    const Outcome outcome = Convert97(BuildWord97(layout));
    EXPECT_EQ(outcome.text, "\nbefore\n|a         |b         |\n\n\nafter");
}

TEST(ContainerTest, ColumnsWidensTheCells) {
    Word97Layout layout;
    layout.row.cells = {"a", "b"};
    layout.after = u"x\r";
    const struct {
        const char* columns;
        const char* line;
    } cases[] = {
        {"104", "|a             |b             |"}, // paragraph break 100: 14 columns a cell
        {"20", "|a     |b     |"},                  // clamped to 45: 6 columns
        {"wide", "|a         |b         |"},        // not a number: the default 76
    };
    for (const auto& c : cases) {
        setenv("COLUMNS", c.columns, 1);
        const std::string text = Convert97(BuildWord97(layout)).text;
        unsetenv("COLUMNS");
        EXPECT_NE(text.find(c.line), std::string::npos) << c.columns << text;
    }
}

TEST(ContainerTest, RowWithWrongColumnCountIsSkipped) {
    Word97Layout layout = Plain(u"before\r");
    layout.row.cells = {"a"};
    layout.row.columns = 2;
    layout.after = u"after\r";
    const Outcome outcome = Convert97(BuildWord97(layout));
    EXPECT_EQ(outcome.text.find("|a"), std::string::npos);
    EXPECT_NE(outcome.messages.find("Skipping an unmatched table row"), std::string::npos);
    EXPECT_NE(outcome.text.find("after"), std::string::npos);
}

TEST(ContainerTest, ThirtyTwoColumnsAbandonTheConversion) {
    Word97Layout layout = Plain(u"before\r");
    layout.row.cells.assign(31, "x");
    layout.row.width = 200;
    const Outcome accepted = Convert97(BuildWord97(layout));
    EXPECT_NE(accepted.text.find("|x|x|"), std::string::npos);
    layout.row.cells.assign(32, "x");
    const Outcome refused = Convert97(BuildWord97(layout));
    EXPECT_EQ(refused.text, "");
    EXPECT_NE(refused.messages.find("The number of columns is corrupt"), std::string::npos);
}

TEST(ContainerTest, LongCellTextWrapsAtSpaces) {
    Word97Layout layout;
    layout.row.cells = {"alpha beta gamma", "z"};
    layout.after = u"x\r";
    const Outcome outcome = Convert97(BuildWord97(layout));
    // "alpha beta" fills the column exactly, but the text goes on: the cut is after its last space.
    EXPECT_NE(outcome.text.find("|alpha     |z         |\n|beta gamma|          |"), std::string::npos)
        << outcome.text;
}

TEST(ContainerTest, SmallBlocksResolveThroughTheSmallBlockList) {
    SourceFile source;
    source.assign(BuildWord97(Plain(u"small table stream\r")));
    CompoundFile container(source);
    ASSERT_TRUE(container.open());
    // The mini stream holds one run of eight small blocks: block 9 lies beyond it.
    EXPECT_NE(container.blockOffset(1, kSmallBlockSize), 0u);
    EXPECT_EQ(container.blockOffset(1, kSmallBlockSize) - container.blockOffset(0, kSmallBlockSize), 64u);
    EXPECT_EQ(container.blockOffset(9, kSmallBlockSize), 0u);
    EXPECT_EQ(container.blockOffset(3, kBigBlockSize), 4u * 512);
    // A range starting several blocks into a stream skips whole blocks.
    std::uint8_t bytes[4];
    ASSERT_TRUE(container.readBigStream(container.streams().wordDocument, 0x800, 4, bytes));
    EXPECT_EQ(bytes[0], 's');
    EXPECT_EQ(bytes[2], 'm');
}

TEST(ContainerTest, StatusBitNineChoosesTable1) {
    Word97Layout layout = Plain(u"from the right table\r");
    layout.decoyTable0 = true;
    EXPECT_EQ(Convert97(BuildWord97(layout)).text, "\nfrom the right table");
}

TEST(ContainerTest, WordSixTextInOrderOfItsPieces) {
    const struct { bool fastSaved; } cases[] = {{false}, {true}};
    for (const auto& c : cases) {
        const Outcome outcome = Convert97(BuildWord6("first half\x92s, second \xE9 half\r", c.fastSaved));
        EXPECT_EQ(outcome.text, "\nfirst half’s, second é half") << c.fastSaved;
    }
}

TEST(ContainerTest, WordTwoFiles) {
    EXPECT_EQ(Convert97(BuildWord2("Word two text\r")).text, "\nWord two text");
    const Outcome fastSaved = Convert97(BuildWord2("lost\r", 0x0004));
    EXPECT_EQ(fastSaved.text, "");
    EXPECT_NE(fastSaved.messages.find("Word2: fast saved documents are not supported yet"),
              std::string::npos);
    const Outcome encrypted = Convert97(BuildWord2("lost\r", 0x0100));
    EXPECT_NE(encrypted.messages.find("Encrypted documents are not supported"), std::string::npos);
}

TEST(ContainerTest, RtfUnderADocNameGetsItsMessage) {
    const std::string rtf = "{\\rtf1\\ansi text}";
    const Outcome outcome = Convert97(Bytes(rtf.begin(), rtf.end()));
    EXPECT_EQ(outcome.text, "");
    EXPECT_NE(outcome.messages.find("is not a Word Document. It is probably a Rich Text Format file"),
              std::string::npos);
}

} // namespace
} // namespace tessarel::wordbin::testing
