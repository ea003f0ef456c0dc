// Mail read in the real reader helper, under its sandbox (outside the sanitizer builds): GMime
// and the converters it loads find what they need there, and the text is the one read in this
// process.
#include "Harness.h"
#include "engine/Catalog.h"
#include "engine/ReaderHelper.h"
#include "extract/ReadDocument.h"

#include <gtest/gtest.h>

namespace tessarel::test {
namespace {

FileRecord MailRecord(const std::string& name) {
    const fs::path path = fs::path(TESSAREL_TEST_DATA) / "mail" / name;
    FileRecord record;
    record.nativePath = path.string();
    record.path = FromUtf8(record.nativePath);
    record.extension = FromUtf8(path.extension().string().substr(1));
    record.size = static_cast<std::int64_t>(fs::file_size(path));
    return record;
}

TEST(MailInHelper, EachMailGivesTheTextItGivesInProcess) {
    ASSERT_FALSE(ReaderHelper::locate().empty());
    TempDir contents;
    ReaderRun run;
    ReaderHelper helper(ReaderHelper::locate(), contents.path().string() + "/", ReaderLimits{}, &run);
    for (const char* name : {"alternative.eml", "html-only.eml", "three.mbox", "charsets.eml"}) {
        FileRecord record = MailRecord(name);
        ASSERT_TRUE(CCatalog::readInHelper(record.extension)) << name;
        EXPECT_TRUE(CCatalog::worthCaching(record.extension)) << name;
        ReadReply reply;
        std::string why;
        ASSERT_EQ(helper.read(record, reply, -1, why), ReaderHelper::Outcome::Read) << name << ": " << why;
        EXPECT_EQ(reply.status, ReadReply::Read) << name;
        EXPECT_EQ(reply.logLines, std::vector<std::u16string>{}) << name;
        FileRecord inProcess = MailRecord(name);
        ASSERT_TRUE(ReadDocumentText(inProcess, ReadContext{}));
        ASSERT_FALSE(inProcess.text.empty()) << name;
        EXPECT_EQ(Utf8(reply.text), Utf8(inProcess.text)) << name;
    }
}

} // namespace
} // namespace tessarel::test
