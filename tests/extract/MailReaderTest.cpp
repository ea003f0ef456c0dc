// The mail reader on hand-written messages and archives (tests/data/mail), damaged copies of
// them made here, and the HTML text scan it uses for HTML-only mail.
#include "extract/HtmlText.h"
#include "extract/ReadDocument.h"
#include "tests/extract/ReaderTestSupport.h"

#include "platform/Text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace tessarel::test {
namespace {

std::string MailPath(const std::string& name) {
    return std::string(TESSAREL_TEST_DATA) + "/mail/" + name;
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string MailText(const std::string& path) {
    ContentsFolder contents;
    return ToUtf8(ReadText(path, contents.context()));
}

std::string TextOf(const std::string& name, const std::string& bytes) {
    ContentsFolder contents;
    const std::string path = contents.folder() + "/" + name;
    WriteFile(path, bytes);
    return ToUtf8(ReadText(path, contents.context()));
}

bool Has(const std::string& text, const std::string& words) {
    return text.find(words) != std::string::npos;
}

TEST(MailReader, AMessageGivesItsHeaderLinesItsPlainTextAndItsAttachmentsNames) {
    const std::string text = MailText(MailPath("alternative.eml"));
    // Encoded words decoded, folded into the five header lines and nothing else of the header.
    EXPECT_EQ(text.substr(0, text.find("\n\n") + 2),
              "From: Bruno Clément <bruno@example.org>\n"
              "To: Ana Souza <ana@example.com>, team@example.com\n"
              "Cc: Élodie Martin <elodie@example.net>\n"
              "Subject: Réunion de lundi and agenda\n"
              "Date: Mon, 6 Jan 2025 10:15:00 +0100\n\n");
    EXPECT_FALSE(Has(text, "handwritten")) << text;
    // The quoted-printable Latin-1 plain part, not its HTML alternative.
    EXPECT_TRUE(Has(text, "Le café de la réunion est prêt.")) << text;
    EXPECT_TRUE(Has(text, "Naïve question: à quelle heure?")) << text;
    EXPECT_FALSE(Has(text, "Htmlonly")) << text;
    EXPECT_FALSE(Has(text, "ignored title")) << text;
    // Attachments by name (an RFC 2231 name decoded), their content unread, even a text one.
    EXPECT_TRUE(Has(text, "Attachment: rapport-janvier.pdf\n")) << text;
    EXPECT_TRUE(Has(text, "Attachment: notes résumé.txt\n")) << text;
    EXPECT_FALSE(Has(text, "attachmentsecret")) << text;
    EXPECT_FALSE(Has(text, "attachednotes")) << text;
    EXPECT_FALSE(Has(text, "multi-part message")) << text;
}

TEST(MailReader, AnHtmlOnlyMessageGivesItsTextWithoutMarkup) {
    const std::string text = MailText(MailPath("html-only.eml"));
    EXPECT_EQ(text.substr(text.find("\n\n") + 2),
              "Digest headline\n"
              "First paragraph with bold and a link.\n"
              "Entities: café & crème <tag> €5 \u263A … “quoted”\n"
              "cellone\tcelltwo\t\n"
              "cellthree\t\n"
              "itemone\n"
              "itemtwo\n"
              "pre   kept\n  lines\n"
              "last\nline\n");
}

TEST(MailReader, EachPartIsDecodedFromItsOwnCharset) {
    const std::string text = MailText(MailPath("charsets.eml"));
    EXPECT_TRUE(Has(text, "From: Привет <ivan@example.ru>\n")) << text;
    EXPECT_TRUE(Has(text, "Subject: 日本語 charsets\n")) << text;
    EXPECT_TRUE(Has(text, "\nПривет, мир! Кириллица в KOI8-R.\n")) << text;
    EXPECT_TRUE(Has(text, "\n日本語のテキストです。\n")) << text;
    // A charset this system has no converter for: Windows-1252, as the bytes are not UTF-8.
    EXPECT_TRUE(Has(text, "\nUnbekannter Zeichensatz: Straße, Grüße.\n")) << text;
    // No charset named: UTF-8, as the bytes are valid UTF-8.
    EXPECT_TRUE(Has(text, "\nOhne Zeichensatz: naïve café.\n")) << text;
}

// The positions of `words` in `text`, in order; npos for any missing.
std::vector<std::size_t> Positions(const std::string& text, const std::vector<std::string>& words) {
    std::vector<std::size_t> at;
    for (const std::string& w : words)
        at.push_back(text.find(w));
    return at;
}

TEST(MailReader, AnMboxIsOneTextOfItsMessagesInOrder) {
    const std::string text = MailText(MailPath("three.mbox"));
    const std::vector<std::size_t> at = Positions(
        text, {"From: Alice <alice@example.org>\nTo: bob@example.net\nSubject: First message\n", "Firstbody words.",
               // A body line that begins "From " and an escaped one stay in their message.
               "\nFrom the start of this project", "\n>From escaped lines stay",
               "From: Bob <bob@example.net>\nTo: alice@example.org\nSubject: Second message\n",
               "Secondbody words in base64, Grüße.", "From: Carol <carol@example.com>\n",
               "Subject: Third message\n", "Thirdbody words, the last message."});
    for (std::size_t i = 0; i < at.size(); ++i) {
        ASSERT_NE(at[i], std::string::npos) << i << "\n" << text;
        if (i > 0) {
            EXPECT_LT(at[i - 1], at[i]) << i;
        }
    }
    // The separator lines are no part of the text.
    EXPECT_FALSE(Has(text, "Mon Jan  6 09:00:00 2025")) << text;
    EXPECT_FALSE(Has(text, "From alice@example.org")) << text;
}

TEST(MailReader, AnMboxCutAnywhereGivesWhatComesBeforeTheCut) {
    const std::string mbox = Contents(MailPath("three.mbox"));
    const std::size_t third = mbox.find("From carol@");
    const std::size_t thirdBody = mbox.find("Thirdbody") + 9;
    ContentsFolder contents;
    const std::string path = contents.folder() + "/cut.mbox";
    for (std::size_t cut = 0; cut < mbox.size(); cut += 7) {
        // Read after another document, whose text must never show up in this one's.
        ReadText(MailPath("alternative.eml"), contents.context());
        WriteFile(path, mbox.substr(0, cut));
        const std::string text = ToUtf8(ReadText(path, contents.context()));
        EXPECT_FALSE(Has(text, "Bonjour")) << cut;
        EXPECT_EQ(Has(text, "Thirdbody"), cut >= thirdBody) << cut;
        if (cut > third) {
            EXPECT_TRUE(Has(text, "Firstbody words.") && Has(text, "Secondbody words")) << cut << "\n" << text;
        }
    }
    // Cut in the middle of the last message's body: its header lines and its first words stay.
    WriteFile(path, mbox.substr(0, mbox.find("the last message.")));
    const std::string text = ToUtf8(ReadText(path, contents.context()));
    EXPECT_TRUE(Has(text, "Subject: Third message\n") && Has(text, "Thirdbody words, ")) << text;
}

std::string Message(const std::string& headers, const std::string& body) {
    return "From: a@example.org\nSubject: test\n" + headers + "\n" + body;
}

TEST(MailReader, ABrokenBase64PartGivesWhatCouldBeDecoded) {
    // "Before the break, " in base64, a run of characters outside the alphabet, then a quantum cut short.
    const std::string text = TextOf(
        "broken.eml", Message("Content-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: base64\n",
                              "QmVmb3JlIHRoZSBicmVhaywg\n!!!*** ~~~\nYWZ0ZXI=gar\nbGF0ZX"));
    EXPECT_TRUE(Has(text, "Before the break, after")) << text;
    // A header the parser can't take loses none of the words after it.
    EXPECT_EQ(TextOf("junk.eml", "junk line\nFrom: a\n\nbody words\n"), "junk line\nFrom: a\n\nbody words\n");
    EXPECT_EQ(TextOf("words.eml", "just some words\n"), "just some words\n");
}

TEST(MailReader, AnEmptyOrMissingFile) {
    EXPECT_EQ(TextOf("empty.eml", ""), "");
    EXPECT_EQ(TextOf("blank.mbox", "\n\n  \n"), "");
    ContentsFolder contents;
    FileRecord missing = RecordFor(contents.folder() + "/gone.eml");
    missing.size = 100;
    EXPECT_FALSE(ReadDocumentText(missing, contents.context()));
    EXPECT_TRUE(missing.text.empty());
}

TEST(MailReader, NestingAndPartsAreBounded) {
    // Messages forwarded inside each other, each with its own subject: the walk stops at its
    // depth and the text says nothing of the deeper ones.
    std::string nested = "innermost words\n";
    for (int level = 60; level >= 1; --level)
        nested = "Subject: level" + std::to_string(level) + "\nContent-Type: message/rfc822\n\n" + nested;
    const std::string deep = TextOf("deep.eml", "From: a@example.org\n" + nested);
    EXPECT_TRUE(Has(deep, "Subject: level1\n") && Has(deep, "Subject: level33\n")) << deep;
    EXPECT_FALSE(Has(deep, "Subject: level34\n")) << deep;
    EXPECT_FALSE(Has(deep, "innermost")) << deep;

    std::string many;
    for (int i = 0; i < 10100; ++i)
        many += "--b\nContent-Type: text/plain\n\npart" + std::to_string(i) + "\n";
    const std::string wide =
        TextOf("wide.eml", Message("Content-Type: multipart/mixed; boundary=b\n", many + "--b--\n"));
    EXPECT_TRUE(Has(wide, "\npart0\n") && Has(wide, "\npart9990\n")) << wide.size();
    EXPECT_FALSE(Has(wide, "\npart10000\n"));
}

TEST(MailReader, TheTextStopsAtTheBoundOfEveryReader) {
    std::string body;
    body.reserve(kMaxTextUnits + 4096);
    const std::string line(99, 'w');
    while (body.size() <= kMaxTextUnits)
        body += line + "\n";
    const std::string mbox = "From a@example.org Mon Jan  6 09:00:00 2025\n" + Message("", body) +
                             "\nFrom b@example.org Mon Jan  6 09:00:00 2025\n" + Message("", "second\n");
    ContentsFolder contents;
    const std::string path = contents.folder() + "/large.mbox";
    WriteFile(path, mbox);
    const std::u16string text = ReadText(path, contents.context());
    EXPECT_EQ(text.size(), kMaxTextUnits);
    EXPECT_EQ(text.find(u"second"), std::u16string::npos);
}

// Without helpers the reading run's workers read mail side by side in this process, the first
// of them setting the library up.
TEST(MailReader, ThreadsReadingAtOnceGiveEachTheTextOfOne) {
    const std::vector<std::string> names = {"alternative.eml", "html-only.eml", "three.mbox", "charsets.eml"};
    std::vector<std::string> alone;
    std::vector<std::vector<std::string>> together(8);
    {
        std::vector<std::thread> threads;
        for (auto& texts : together)
            threads.emplace_back([&names, &texts] {
                for (int round = 0; round < 5; ++round)
                    for (const std::string& name : names)
                        texts.push_back(MailText(MailPath(name)));
            });
        for (std::thread& t : threads)
            t.join();
    }
    for (const std::string& name : names)
        alone.push_back(MailText(MailPath(name)));
    for (const auto& texts : together)
        for (std::size_t i = 0; i < texts.size(); ++i)
            ASSERT_EQ(texts[i], alone[i % names.size()]) << i;
}

struct HtmlCase {
    const char* name;
    std::u16string_view html;
    std::u16string_view text;
};

class HtmlScan : public ::testing::TestWithParam<HtmlCase> {};

TEST_P(HtmlScan, YieldsTheText) {
    const HtmlCase& c = GetParam();
    std::u16string text;
    AppendHtmlText(c.html, text);
    EXPECT_EQ(ToUtf8(text), ToUtf8(c.text));
    EXPECT_LE(text.size(), c.html.size());
}

const HtmlCase kHtmlCases[] = {
    {"ScriptRunsToItsEndTag", u"a<script>if (x < 1) document.write('</p>');</SCRIPT >b", u"ab"},
    {"UnclosedScriptHidesTheRest", u"a<style>p{}", u"a"},
    {"HeadWithoutEndStopsAtTheBody", u"<head><title>t</title><meta x>hidden<body>shown", u"shown"},
    {"HeadWithNeitherEndIsIgnored", u"<head>kept <head>too", u"kept too"},
    {"QuotedGreaterThanInAnAttribute", u"<a title=\"1 > 0\" href='x>y'>link</a>", u"link"},
    {"LessThanThatOpensNoTag", u"a < b <3 c<", u"a < b <3 c<"},
    {"CommentsAndDeclarations", u"<!DOCTYPE html><?xml x?>a<!-- <p>hidden</p> -->b<!-- open", u"ab"},
    {"UnterminatedTagEndsTheText", u"kept<p class=\"x", u"kept"},
    {"WhiteSpaceCollapsed", u"  one \r\n\t two  <br>  three ", u"one two\nthree "},
    {"UnknownAndMalformedReferencesKept", u"&nosuch; &amp &#xZZ; &#38;", u"&nosuch; &amp &#xZZ; &"},
    {"NonBreakingSpaceIsASpace", u"a&nbsp;b&#160;c", u"a b c"},
    {"UpperCaseTags", u"<P>one</P><DIV>two</DIV><TD>x</TD>", u"one\ntwo\nx\t"},
};

INSTANTIATE_TEST_SUITE_P(MailReader, HtmlScan, ::testing::ValuesIn(kHtmlCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tessarel::test
