// The dispatch's own reading: the temporary file read back and the buffer it goes through.
#include "extract/ReadDocument.h"
#include "tests/extract/ReaderTestSupport.h"
#include "wordbin/Convert.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>
#include <vector>

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

// No descriptor left: every reader fails, and says so, rather than give the empty text as if
// it were the file's. The same files read when descriptors are there again.
TEST(ReadDispatch, AFileThatCannotBeOpenedNowIsAFailedRead) {
    ContentsFolder contents;
    const std::vector<std::string> files = {"txt/man-ls.txt",     "rtf/features-lo.rtf", "doc97/simple.doc",
                                            "docx/features.docx", "pdf/features.pdf",    "odt/features.odt"};
    std::vector<int> held;
    for (int fd; (fd = open("/dev/null", O_RDONLY)) >= 0;)
        held.push_back(fd);
    std::vector<std::pair<bool, std::size_t>> starved;
    for (const std::string& file : files) {
        FileRecord record = RecordFor(CorpusPath(file));
        const bool read = ReadDocumentText(record, contents.context());
        starved.push_back({read, record.text.size()});
    }
    for (int fd : held)
        close(fd);
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_FALSE(starved[i].first) << files[i];
        EXPECT_EQ(starved[i].second, 0u) << files[i];
        FileRecord record = RecordFor(CorpusPath(files[i]));
        EXPECT_TRUE(ReadDocumentText(record, contents.context())) << files[i];
        EXPECT_FALSE(record.text.empty()) << files[i];
    }
    FileRecord missing = RecordFor(contents.folder() + "/gone.rtf");
    EXPECT_FALSE(ReadDocumentText(missing, contents.context()));
}

} // namespace
} // namespace tessarel::test
