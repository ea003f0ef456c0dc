// Table rows and paragraph styles of the three file generations, written by the test's writer.
#include "tests/wordbin/ConvertHelpers.h"
#include "tests/wordbin/WordDocumentWriter.h"
#include "wordbin/PropertyModifiers.h"

#include <gtest/gtest.h>

namespace tessarel::wordbin::testing {
namespace {

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes joined;
    for (const Bytes& part : parts)
        joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

const Bytes kInTable = {24, 1};
const Bytes kRowEnd = {25, 1};

// Before, a three-cell row, after; Word 2 puts the row-end properties on the last cell mark too.
std::vector<OldRun> OldTable(bool word2, const Bytes& definition) {
    if (word2)
        return {{"before\r", 0, {}},
                {"a\x07"
                 "b\x07"
                 "c",
                 0, kInTable},
                {"\x07\x07", 0, Join({kInTable, kRowEnd, definition})},
                {"after\r", 0, {}}};
    return {{"before\r", 0, {}},
            {"a\x07"
             "b\x07"
             "c\x07",
             0, kInTable},
            {"\x07", 0, Join({kInTable, kRowEnd, definition})},
            {"after\r", 0, {}}};
}

std::string ConvertOld(bool word2, const std::vector<OldRun>& runs, const Bytes& styleSheet = {}) {
    return ConvertBytes(word2 ? BuildWord2Runs(runs, styleSheet) : BuildWord6Runs(runs));
}

TEST(FormattingTest, OldGenerationRowsAreWrittenAsCellLines) {
    const struct {
        bool word2;
        std::uint8_t code;
    } cases[] = {{false, 190}, {true, 152}, {true, 154}};
    for (const auto& c : cases) {
        EXPECT_EQ(ConvertOld(c.word2, OldTable(c.word2, OldRowDefinition(c.code, 3))),
                  "\nbefore\n|a         |b         |c         |\n\n\nafter")
            << int(c.code);
    }
}

TEST(FormattingTest, RowDefinitionWithoutColumnsKeepsTheTextAsParagraphs) {
    // No columns, or an operand size under 6: no row, and nothing of the cells is lost.
    const Bytes shortSize = {190, 4, 0, 3, 0, 0};
    const Bytes shortSize2 = {152, 4, 0, 3, 0, 0};
    const struct {
        bool word2;
        Bytes definition;
    } cases[] = {{false, OldRowDefinition(190, 0)},
                 {true, OldRowDefinition(152, 0)},
                 {false, shortSize},
                 {true, shortSize2}};
    for (const auto& c : cases) {
        const std::string text = ConvertOld(c.word2, OldTable(c.word2, c.definition));
        EXPECT_NE(text.find("a |b |c | |"), std::string::npos) << text;
        EXPECT_NE(text.find("after"), std::string::npos);
    }
    Word97Layout layout;
    layout.row.cells = {"a", "b"};
    layout.row.columns = 0;
    layout.after = u"after\r";
    EXPECT_EQ(ConvertBytes(BuildWord97(layout)), "\na |b | |after");
}

TEST(FormattingTest, FastSavedRowDropCountsOnlyItsGenerationsDefinition) {
    const Bytes word6 = Join({kRowEnd, OldRowDefinition(190, 2)});
    const Bytes word2 = Join({kRowEnd, OldRowDefinition(152, 2)});
    EXPECT_TRUE(ModifierGroupEndsRow(word6, 6));
    EXPECT_FALSE(ModifierGroupEndsRow(word2, 6)); // 152 is no Word 6 row definition
    EXPECT_TRUE(ModifierGroupEndsRow(word2, 2));
    EXPECT_FALSE(ModifierGroupEndsRow(word6, 2));
    EXPECT_FALSE(ModifierGroupEndsRow(kRowEnd, 6));
}

// Word 1/2 paragraphs name their style by a one-byte code: heading 1 is 254, the standard style 0.
constexpr std::uint8_t kHeading1 = 254;

std::string ConvertWord2Styles(std::vector<std::uint8_t> styles, const Bytes& styleSheet) {
    std::vector<OldRun> runs;
    const char* texts[] = {"one\r", "two\r", "three\r", "four\r"};
    for (std::size_t i = 0; i < styles.size(); ++i)
        runs.push_back({texts[i], styles[i], {}});
    return ConvertOld(true, runs, styleSheet);
}

TEST(FormattingTest, WordTwoStyleCodesGoThroughTheStyleSheet) {
    const Bytes sheet = BuildWord2StyleSheet({
        {0, 222, {}},
        {kHeading1, 0, {}},
        {1, 0, {0x80}},       // hidden
        {2, 0, {0x40}},       // capitals
        {3, 0, {0x04, 0x01}}, // struck through under revision marks: deleted
        {4, 2, {}},           // based on the capitals style
    });
    // Heading 1 is set off by empty lines; the hidden and deleted styles drop their text.
    EXPECT_EQ(ConvertWord2Styles({kHeading1, 0, 1, 2}, sheet), "\n\none\n\ntwo\n\nFOUR");
    EXPECT_EQ(ConvertWord2Styles({3, 4, 0}, sheet), "\n\nTWO\nthree");
    // A code the style sheet doesn't define is the standard style, whatever its number.
    EXPECT_EQ(ConvertWord2Styles({5, 0}, sheet), "\none\ntwo");
}

TEST(FormattingTest, WordTwoWithoutAStyleSheetUsesTheStandardStyle) {
    // Raw codes 1..9 are no headings; the same without a sheet, with a damaged one, and with a
    // sheet whose tables run beyond it.
    Bytes damaged = BuildWord2StyleSheet({{kHeading1, 0, {}}});
    damaged[2] = 0xFF;
    Bytes truncated = BuildWord2StyleSheet({{kHeading1, 0, {}}});
    truncated.resize(truncated.size() - 3);
    for (const Bytes& sheet : {Bytes{}, damaged, truncated}) {
        EXPECT_EQ(ConvertWord2Styles({1, 2, kHeading1}, sheet), "\none\ntwo\nthree") << sheet.size();
    }
}

} // namespace
} // namespace tessarel::wordbin::testing
