// The frames between the reading run and its helpers: a request carries its document's
// descriptor, a request to a helper that died fails instead of ending the program, a reply larger
// than the pipe arrives whole, and a reply's claimed length costs nothing until its bytes come.

#include "extract/ReaderProtocol.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tessarel {
namespace {

TEST(ReaderProtocol, ARequestToAHelperThatDiedFailsWithoutSigpipe) {
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    ReadRequest request{"/a/document.pdf", u"pdf", 1234, {true, "eng+deu", std::chrono::milliseconds(7), std::chrono::milliseconds(90)}};
    const int document = ::open(TESSAREL_TEST_DATA "/corpus/txt/cp1251.txt", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(document, 0);
    ASSERT_TRUE(protocol::WriteRequest(ends[0], request, document));
    ReadRequest received;
    int receivedFd = -1;
    ASSERT_TRUE(protocol::ReadRequestFrom(ends[1], received, receivedFd));
    EXPECT_EQ(received.path, request.path);
    EXPECT_EQ(received.extension, request.extension);
    EXPECT_EQ(received.size, request.size);
    EXPECT_TRUE(received.recognition.on);
    EXPECT_EQ(received.recognition.languages, "eng+deu");
    EXPECT_EQ(received.recognition.pageBudget.count(), 7);
    EXPECT_EQ(received.recognition.documentBudget.count(), 90);
    // The descriptor that came is the same open file, under a number of the receiver's own.
    struct stat sent, got;
    ASSERT_GE(receivedFd, 0);
    ASSERT_EQ(::fstat(document, &sent), 0);
    ASSERT_EQ(::fstat(receivedFd, &got), 0);
    EXPECT_NE(receivedFd, document);
    EXPECT_EQ(sent.st_ino, got.st_ino);
    ::close(receivedFd);
    ::close(document);
    // A request without a descriptor gives none.
    ASSERT_TRUE(protocol::WriteRequest(ends[0], request));
    ASSERT_TRUE(protocol::ReadRequestFrom(ends[1], received, receivedFd));
    EXPECT_EQ(receivedFd, -1);
    ::close(ends[1]);
    // With SIGPIPE at its default, a plain write here would end the test program.
    EXPECT_FALSE(protocol::WriteRequest(ends[0], request));
    ::close(ends[0]);
}

TEST(ReaderProtocol, AReplyLargerThanThePipeArrivesWhole) {
    int pipe[2];
    ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
    ReadReply sent;
    for (int i = 0; i < 3 << 20; ++i)
        sent.text.push_back(static_cast<char16_t>(u'a' + i % 26));
    sent.logLines = {u"first remark", u"second remark"};
    std::thread writer([&] {
        EXPECT_TRUE(protocol::WriteReply(pipe[1], sent));
        ::close(pipe[1]);
    });
    ::fcntl(pipe[0], F_SETFL, O_NONBLOCK);
    protocol::ReplyReader reader;
    reader.reset();
    protocol::ReplyReader::State state = protocol::ReplyReader::State::NeedMore;
    while (state == protocol::ReplyReader::State::NeedMore) {
        pollfd p{pipe[0], POLLIN, 0};
        ::poll(&p, 1, 5000);
        state = reader.readAvailable(pipe[0]);
    }
    writer.join();
    ::close(pipe[0]);
    ASSERT_EQ(state, protocol::ReplyReader::State::Complete);
    const ReadReply got = reader.take();
    EXPECT_TRUE(got.text == sent.text);
    EXPECT_EQ(got.logLines, sent.logLines);
}

// A reply's head: magic, status, text units, pages done, pages.
std::string ReplyHead(std::uint64_t units, std::uint32_t status = ReadReply::Read, std::uint32_t done = 0,
                      std::uint32_t pages = 0) {
    std::string head(24, '\0');
    const std::uint32_t magic = 0x50525354;
    std::memcpy(head.data(), &magic, 4);
    std::memcpy(head.data() + 4, &status, 4);
    std::memcpy(head.data() + 8, &units, 8);
    std::memcpy(head.data() + 16, &done, 4);
    std::memcpy(head.data() + 20, &pages, 4);
    return head;
}

// The empty log lines' frame that ends a reply.
const std::string kNoLogLines("\x04\0\0\0\0\0\0\0", 8);

protocol::ReplyReader::State Feed(protocol::ReplyReader& reader, const std::string& bytes) {
    int pipe[2];
    EXPECT_EQ(::pipe2(pipe, O_CLOEXEC | O_NONBLOCK), 0);
    EXPECT_EQ(::write(pipe[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    const protocol::ReplyReader::State state = reader.readAvailable(pipe[0]);
    ::close(pipe[0]);
    ::close(pipe[1]);
    return state;
}

TEST(ReaderProtocol, AClaimBeyondTheTextBoundIsMalformed) {
    for (const std::uint64_t units :
         {std::uint64_t{kMaxTextUnits} + 1, std::uint64_t{512} << 20, ~std::uint64_t{0}}) {
        protocol::ReplyReader reader;
        reader.reset();
        EXPECT_EQ(Feed(reader, ReplyHead(units)), protocol::ReplyReader::State::Malformed) << units;
    }
}

TEST(ReaderProtocol, PageProgressCarriesNoTextAndItsCountsAreBounded) {
    protocol::ReplyReader reader;
    reader.reset();
    ASSERT_EQ(Feed(reader, ReplyHead(0, ReadReply::Progress, 3, 20) + kNoLogLines),
              protocol::ReplyReader::State::Complete);
    const ReadReply progress = reader.take();
    EXPECT_EQ(progress.status, ReadReply::Progress);
    EXPECT_EQ(progress.pagesDone, 3u);
    EXPECT_EQ(progress.pages, 20u);
    const struct {
        std::uint64_t units;
        std::uint32_t done, pages;
    } malformed[] = {{5, 1, 2}, {0, 3, 2}, {0, 0, protocol::kMaxPages + 1}, {0, ~0u, ~0u}};
    for (const auto& m : malformed) {
        reader.reset();
        EXPECT_EQ(Feed(reader, ReplyHead(m.units, ReadReply::Progress, m.done, m.pages)),
                  protocol::ReplyReader::State::Malformed)
            << m.units << " " << m.done << " " << m.pages;
    }
    reader.reset();
    EXPECT_EQ(Feed(reader, ReplyHead(0, ReadReply::Progress + 1)), protocol::ReplyReader::State::Malformed);
}

#if !defined(__SANITIZE_ADDRESS__)
TEST(ReaderProtocol, AClaimedLengthTakesNoMemoryBeforeItsBytes) {
    // The largest claim allowed, and a few bytes of it: the reader holds about those bytes, not
    // the 128 MiB claimed.
    protocol::ReplyReader reader;
    reader.reset();
    const std::size_t before = ::mallinfo2().uordblks + ::mallinfo2().hblkhd;
    EXPECT_EQ(Feed(reader, ReplyHead(kMaxTextUnits) + std::string(1000, 'a')),
              protocol::ReplyReader::State::NeedMore);
    const std::size_t after = ::mallinfo2().uordblks + ::mallinfo2().hblkhd;
    EXPECT_LT(after - std::min(after, before), std::size_t{1} << 20);
}
#endif

} // namespace
} // namespace tessarel
