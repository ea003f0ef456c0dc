#pragma once
// What the reading run and a reader helper process say to each other: one request (the document)
// and one reply (its text and log lines) a document, as length-prefixed binary frames. Both ends
// check every length, so a helper that sends rubbish is caught, never trusted.

#include "extract/ReadDocument.h"

#include <cstdint>
#include <memory_resource>
#include <string>
#include <vector>

namespace tessarel {

struct ReadRequest {
    std::string path; // the file-name bytes
    std::u16string extension;
    std::int64_t size = 0; // as the walk saw it; the readers' size limits use it
    RecognitionSettings recognition;
};

struct ReadReply {
    // Ready is a helper's first frame, once its sandbox is in place: a helper that ends before
    // it could not start, whatever document it was given. Unread: the file could not be opened
    // or read; the empty text is no answer to keep. Progress comes while a document's pages are
    // recognised, before its reply, with no text: `pagesDone` of `pages`.
    enum Status : std::uint32_t { Read = 0, OutOfMemory = 1, Ready = 2, Unread = 3, Progress = 4 };
    Status status = Read;
    std::uint32_t pagesDone = 0;
    std::uint32_t pages = 0;
    std::pmr::u16string text;
    std::vector<std::u16string> logLines;
};

namespace protocol {

inline constexpr std::uint32_t kMaxPathBytes = 1u << 20;
inline constexpr std::uint32_t kMaxLogLines = 64;
inline constexpr std::uint32_t kMaxLanguageBytes = 256;
// More pages than a document's budget could ever see.
inline constexpr std::uint32_t kMaxPages = 1u << 20;

// Both return false when the descriptor failed or the peer went away.
// The request goes to a stream socket, so that a helper that died fails the write, and it
// carries the document's open descriptor `documentFd` (none when -1), which the helper receives
// as a descriptor of its own in `documentFd` (-1 when none came).
bool WriteRequest(int fd, const ReadRequest& request, int documentFd = -1);
bool ReadRequestFrom(int fd, ReadRequest& request, int& documentFd);
bool WriteReply(int fd, const ReadReply& reply);

// Takes one reply apart as its bytes arrive. The text's storage grows with the bytes that came,
// never with the length the header claims, and a claim beyond kMaxTextUnits is malformed.
// The caller polls fd and enforces the time limit.
class ReplyReader {
public:
    enum class State { NeedMore, Complete, Malformed, Closed };
    void reset();
    // Reads what fd has now (fd is non-blocking).
    State readAvailable(int fd);
    ReadReply take() { return std::move(reply_); }
    // The status of the reply read (once Complete).
    ReadReply::Status peekStatus() const { return reply_.status; }

private:
    State parseHeader();

    std::string header_;
    ReadReply reply_;
    std::uint64_t textUnits_ = 0;
    std::uint64_t textBytesRead_ = 0;
    bool haveHeader_ = false;
    std::string tail_; // the log lines' frame after the text
    std::uint32_t tailBytes_ = 0;
    bool haveTailLength_ = false;
};

} // namespace protocol
} // namespace tessarel
