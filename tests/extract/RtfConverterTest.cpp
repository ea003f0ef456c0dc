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
    {"TabsAndTableCells", "{\\rtf1 a\\tab b\\par\\trowd\\cellx100 c\\cell d\\cell\\row}",
     u"a\tb\r\nc\td\t\r\n"},
    {"Escapes", "{\\rtf1 \\{x\\}\\\\ \\~y\\-z}", u"{x}\\ \u00A0yz"},
    {"Typography", "{\\rtf1 \\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote}",
     u"\u2014\u2013\u2022\u2018\u2019\u201C\u201D"},
    {"UnicodeWithFallback", "{\\rtf1 \\u1059\\'3f\\u1074?a}", u"Увa"},
    {"UnicodeFallbackLength", "{\\rtf1\\uc2 \\u1059\\'3f\\'3fb\\uc0 \\u1074 c}", u"Уbвc"},
    {"NegativeUnicode", "{\\rtf1 \\u-4064?}", u"\uF020"},
    {"AnsiCodePage1251", "{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e0\\'e2\\'e5\\'ed}", u"Правен"},
    {"AnsiCodePage1250", "{\\rtf1\\ansi\\ansicpg1250 \\'9a\\'e8}", u"šč"},
    {"DoubleByteCodePage", "{\\rtf1\\ansi\\ansicpg932 \\'82\\'a0\\'83e}", u"\u3042\u30C6"},
    // One letter of every page the converter maps; the Hebrew and Vietnamese ones are letters
    // that a combining mark could follow.
    {"CodePage1252", "{\\rtf1\\ansi\\ansicpg1252 \\'e9}", u"\u00E9"},
    {"CodePage1253", "{\\rtf1\\ansi\\ansicpg1253 \\'e1}", u"\u03B1"},
    {"CodePage1254", "{\\rtf1\\ansi\\ansicpg1254 \\'fe}", u"\u015F"},
    {"CodePage1255", "{\\rtf1\\ansi\\ansicpg1255 \\'e0\\'f9}", u"\u05D0\u05E9"},
    {"CodePage1256", "{\\rtf1\\ansi\\ansicpg1256 \\'c7}", u"\u0627"},
    {"CodePage1257", "{\\rtf1\\ansi\\ansicpg1257 \\'e0}", u"\u0105"},
    {"CodePage1258", "{\\rtf1\\ansi\\ansicpg1258 \\'e2\\'61}", u"\u00E2a"},
    {"CodePage874", "{\\rtf1\\ansi\\ansicpg874 \\'a1}", u"\u0E01"},
    {"CodePage936", "{\\rtf1\\ansi\\ansicpg936 \\'c4\\'e3}", u"\u4F60"},
    {"CodePage949", "{\\rtf1\\ansi\\ansicpg949 \\'b0\\'a1}", u"\uAC00"},
    {"CodePage950", "{\\rtf1\\ansi\\ansicpg950 \\'a4\\'a4}", u"\u4E2D"},
    {"Macintosh", "{\\rtf1\\mac \\'8e}", u"\u00E9"},
    {"HebrewAndVietnameseFontCharsets",
     "{\\rtf1\\ansi{\\fonttbl{\\f1\\fcharset177 A;}{\\f2\\fcharset163 B;}}\\f1\\'e0\\f2\\'e2}",
     u"\u05D0\u00E2"},
    {"DefaultFontCharsetBeforeAnyFont", "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fcharset204 X;}}\\'cf\\'f0}",
     u"\u041F\u0440"},
    {"UnknownCodePageReadsAs1252", "{\\rtf1\\ansicpg77777 \\'e9}", u"é"},
    {"DefaultAnsiIs1252", "{\\rtf1\\ansi caf\\'e9}", u"café"},
    {"FontCharsetDecidesPage",
     "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}{\\f1\\fcharset204 Arial;}}\\f1\\'c4\\f0\\'c4}", u"ДÄ"},
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

TEST(RtfConverter, GroupsBeyondTheKeptDepthStillSkipAndScopeTheirState) {
    // Pictures and ignorable destinations are left out, and hidden text and fonts set in a group
    // end with it, however deep.
    std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f1\\fcharset204 X;}}";
    rtf.append(1100, '{');
    rtf += "{\\pict 4142}{\\*\\unknown hidden}{\\v gone}{\\f1\\'cf}a\\'cf{{\\v deeper}}b";
    rtf.append(1100, '}');
    rtf += "c}";
    RtfConverterControl converter;
    EXPECT_EQ(converter.convert(rtf), u"\u041Fa\u00CFbc");
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
