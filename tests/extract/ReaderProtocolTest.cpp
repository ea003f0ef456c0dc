// The frames between the reading run and its helpers: a request to a helper that died fails
// instead of ending the program, and a reply larger than the pipe arrives whole.

#include "extract/ReaderProtocol.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace tessarel {
namespace {

TEST(ReaderProtocol, ARequestToAHelperThatDiedFailsWithoutSigpipe) {
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    ReadRequest request{"/a/document.pdf", u"pdf", 1234};
    ASSERT_TRUE(protocol::WriteRequest(ends[0], request));
    ReadRequest received;
    ASSERT_TRUE(protocol::ReadRequestFrom(ends[1], received));
    EXPECT_EQ(received.path, request.path);
    EXPECT_EQ(received.extension, request.extension);
    EXPECT_EQ(received.size, request.size);
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

} // namespace
} // namespace tessarel
