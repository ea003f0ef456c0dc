// The dispatch's own reading: the temporary file read back and the buffer it goes through.
#include "extract/ReadDocument.h"
#include "tests/extract/ReaderTestSupport.h"
#include "wordbin/Convert.h"

#include <gtest/gtest.h>

namespace tessarel::test {
namespace {

TEST(ReadDispatch, TemporaryFileIsReadUpToTheConversionBound) {
    ContentsFolder contents;
    WriteFile(contents.context().wordTempPath, std::string(wordbin::kMaxConvertedBytes + 10, 'a'));
    EXPECT_EQ(ReadTempTextFile(contents.context()).size(), wordbin::kMaxConvertedBytes);
}

TEST(ReadDispatch, LargeFileLeavesNoLargeBuffer) {
    ContentsFolder contents;
    const std::string path = contents.folder() + "/large.txt";
    WriteFile(path, std::string(3u << 20, 'w'));
    EXPECT_EQ(ReadText(path, contents.context()).size(), (3u << 20) + 1);
    EXPECT_LE(ReadBufferBytes(), 1u << 20);
    // A small file's buffer stays for the next one.
    WriteFile(path, "small");
    EXPECT_EQ(ReadText(path, contents.context()), u" small");
    EXPECT_GT(ReadBufferBytes(), 0u);
}

} // namespace
} // namespace tessarel::test
