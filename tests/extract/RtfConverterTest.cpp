// The RTF converter: what is shown, what is left out, and how bytes become characters.
#include "extract/RtfConverter.h"
#include "tests/extract/ReaderTestSupport.h"

#include <gtest/gtest.h>

namespace tessarel::test {
namespace {

struct RtfCase {
    const char* name;
    std::string_view rtf;
    std::u16string_view text;
};

class RtfConversion : public ::testing::TestWithParam<RtfCase> {};

TEST_P(RtfConversion, YieldsTheVisibleText) {
    RtfConverterControl converter;
    EXPECT_EQ(converter.convert(GetParam().rtf), GetParam().text);
}

const RtfCase kRtfCases[] = {
    {"ParagraphsAndLines", "{\\rtf1 one\\par two\\line three\\par}", u"one\r\ntwo\r\nthree\r\n"},
    {"ControlWordEatsOneSpace", "{\\rtf1\\b  bold\\b0 plain}", u" boldplain"},
    {"TabsAndTableCells", "{\\rtf1 a\\tab b\\par\\trowd\\cellx100 c\\cell d\\cell\\row}", u"a\tb\r\nc\td\t\r\n"},
    {"Escapes", "{\\rtf1 \\{x\\}\\\\ \\~y\\-z}", u"{x}\\ \u00A0yz"},
    {"Typography", "{\\rtf1 \\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote}", u"\u2014\u2013\u2022\u2018\u2019\u201C\u201D"},
    {"UnicodeWithFallback", "{\\rtf1 \\u1059\\'3f\\u1074?a}", u"Увa"},
    {"UnicodeFallbackLength", "{\\rtf1\\uc2 \\u1059\\'3f\\'3fb\\uc0 \\u1074 c}", u"Уbвc"},
    {"NegativeUnicode", "{\\rtf1 \\u-4064?}", u"\uF020"},
    {"AnsiCodePage1251", "{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e0\\'e2\\'e5\\'ed}", u"Правен"},
    {"AnsiCodePage1250", "{\\rtf1\\ansi\\ansicpg1250 \\'9a\\'e8}", u"šč"},
    {"DoubleByteCodePage", "{\\rtf1\\ansi\\ansicpg932 \\'82\\'a0\\'83e}", u"\u3042\u30C6"},
    {"UnknownCodePageReadsAs1252", "{\\rtf1\\ansicpg77777 \\'e9}", u"é"},
    {"DefaultAnsiIs1252", "{\\rtf1\\ansi caf\\'e9}", u"café"},
    {"FontCharsetDecidesPage", "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}{\\f1\\fcharset204 Arial;}}\\f1\\'c4\\f0\\'c4}", u"ДÄ"},
    {"HiddenTextDropped", "{\\rtf1 shown {\\v hidden}\\v also\\v0  again}", u"shown  again"},
    {"PlainEndsHidden", "{\\rtf1 \\v gone\\plain back}", u"back"},
    {"SkippedDestinations",
     "{\\rtf1{\\fonttbl{\\f0 Font;}}{\\colortbl;\\red0;}{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}}"
     "{\\header head}{\\footer foot}{\\*\\unknown x{y}}{\\pict 0102}body}",
     u"body"},
    {"FieldResultKeptInstructionDropped", "{\\rtf1 {\\field{\\*\\fldinst PAGE}{\\fldrslt 7}}}", u"7"},
    {"BinaryDataSkipped", "{\\rtf1 a{\\pict\\bin4 }}{x}b}", u"ab"},
    {"BinaryDataInTextSkipped", "{\\rtf1 a\\bin3 {{{b}", u"ab"},
    {"TextAfterTheDocumentIgnored", "{\\rtf1 in}out", u"in"},
    {"UnclosedGroupsKeepText", "{\\rtf1 a{\\b b{\\i c", u"abc"},
    {"NotRtf", "plain text", u""},
    {"UpperCaseSignatureIsNotRtf", "{\\RTF1 text}", u""},
    {"BackslashNewlineIsParagraph", "{\\rtf1 a\\\nb}", u"a\r\nb"},
    {"NulNeverReachesTheText", "{\\rtf1 a\\u0?\\'00\\u b}", u"ab"},
    {"StarOnlyAtGroupStart", "{\\rtf1 a\\*b}", u"ab"},
};

INSTANTIATE_TEST_SUITE_P(Documents, RtfConversion, ::testing::ValuesIn(kRtfCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RtfConverter, DeepNestingAndLongInputStayBounded) {
    std::string rtf = "{\\rtf1 ";
    rtf.append(100'000, '{');
    rtf += "deep";
    rtf.append(100'000, '}');
    RtfConverterControl converter;
    EXPECT_EQ(converter.convert(rtf), u"deep");
    // Output never exceeds the reader's buffer: the input's length plus 1023 units.
    std::string pars = "{\\rtf1 ";
    for (int i = 0; i < 1000; ++i)
        pars += "\\\n";
    EXPECT_LE(converter.convert(pars).size(), pars.size() + 1023);
}

TEST(RtfReader, DocWithRtfSignatureIsReadAsRtf) {
    ContentsFolder contents;
    const std::u16string rtf = ReadText(CorpusPath("rtf/cyrillic-cp1251.rtf"), contents.context());
    EXPECT_NE(rtf.find(u"Уважаеми"), std::u16string::npos);
    EXPECT_EQ(ReadText(CorpusPath("rtf/really-rtf.doc"), contents.context()), rtf);
    EXPECT_EQ(ReadText(CorpusPath("rtf/missing.rtf"), contents.context()), u"");
}

} // namespace
} // namespace tessarel::test
