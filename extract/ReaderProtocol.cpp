#include "extract/ReaderProtocol.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace tessarel::protocol {
namespace {

constexpr std::uint32_t kRequestMagic = 0x51525354; // "TSRQ"
constexpr std::uint32_t kReplyMagic = 0x50525354;   // "TSRP"
constexpr std::size_t kReplyHeaderBytes = 16;       // magic, status, text units
// A log line longer than this is not something a reader writes.
constexpr std::uint32_t kMaxLogLineUnits = 1u << 16;

// Moves all `size` bytes through fd with `io` (read or write), across short transfers and
// interruptions; false when the descriptor fails or the peer goes away.
template <typename Byte, typename Io> bool TransferAll(int fd, Byte* data, std::size_t size, Io io) {
    while (size > 0) {
        const ssize_t n = io(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    return TransferAll(fd, data, size, ::write);
}

bool ReadAll(int fd, char* data, std::size_t size) {
    return TransferAll(fd, data, size, ::read);
}

template <typename T> void Put(std::string& out, T value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <typename T> bool Get(std::string_view& in, T& value) {
    if (in.size() < sizeof value)
        return false;
    std::memcpy(&value, in.data(), sizeof value);
    in.remove_prefix(sizeof value);
    return true;
}

void PutUnits(std::string& out, std::u16string_view units) {
    Put(out, static_cast<std::uint32_t>(units.size()));
    out.append(reinterpret_cast<const char*>(units.data()), units.size() * 2);
}

bool GetUnits(std::string_view& in, std::u16string& units, std::uint32_t limit) {
    std::uint32_t n = 0;
    if (!Get(in, n) || n > limit || in.size() < std::size_t{n} * 2)
        return false;
    units.resize(n);
    std::memcpy(units.data(), in.data(), std::size_t{n} * 2);
    in.remove_prefix(std::size_t{n} * 2);
    return true;
}

} // namespace

bool WriteRequest(int fd, const ReadRequest& request) {
    std::string frame;
    Put(frame, kRequestMagic);
    Put(frame, static_cast<std::uint32_t>(request.path.size()));
    frame.append(request.path);
    PutUnits(frame, request.extension);
    Put(frame, request.size);
    // A helper that died must make the write fail, not raise SIGPIPE in the program.
    return TransferAll(fd, frame.data(), frame.size(), [](int to, const char* data, std::size_t size) {
        return ::send(to, data, size, MSG_NOSIGNAL);
    });
}

bool ReadRequestFrom(int fd, ReadRequest& request) {
    std::uint32_t head[2];
    if (!ReadAll(fd, reinterpret_cast<char*>(head), sizeof head) || head[0] != kRequestMagic ||
        head[1] > kMaxPathBytes)
        return false;
    request.path.resize(head[1]);
    std::uint32_t extensionUnits = 0;
    if (!ReadAll(fd, request.path.data(), request.path.size()) ||
        !ReadAll(fd, reinterpret_cast<char*>(&extensionUnits), sizeof extensionUnits) ||
        extensionUnits > kMaxPathBytes)
        return false;
    request.extension.resize(extensionUnits);
    return ReadAll(fd, reinterpret_cast<char*>(request.extension.data()), std::size_t{extensionUnits} * 2) &&
           ReadAll(fd, reinterpret_cast<char*>(&request.size), sizeof request.size);
}

bool WriteReply(int fd, const ReadReply& reply) {
    std::string head;
    Put(head, kReplyMagic);
    Put(head, static_cast<std::uint32_t>(reply.status));
    Put(head, static_cast<std::uint64_t>(reply.text.size()));
    std::string tail;
    Put(tail, static_cast<std::uint32_t>(reply.logLines.size()));
    for (const std::u16string& line : reply.logLines)
        PutUnits(tail, std::u16string_view(line).substr(0, kMaxLogLineUnits));
    const auto tailBytes = static_cast<std::uint32_t>(tail.size());
    // The text goes straight from its own buffer: it is the bulk of every reply.
    return WriteAll(fd, head.data(), head.size()) &&
           WriteAll(fd, reinterpret_cast<const char*>(reply.text.data()), reply.text.size() * 2) &&
           WriteAll(fd, reinterpret_cast<const char*>(&tailBytes), sizeof tailBytes) &&
           WriteAll(fd, tail.data(), tail.size());
}

void ReplyReader::reset() {
    header_.clear();
    reply_ = ReadReply{};
    textUnits_ = 0;
    textBytesRead_ = 0;
    haveHeader_ = false;
    tail_.clear();
    tailBytes_ = 0;
    haveTailLength_ = false;
}

ReplyReader::State ReplyReader::parseHeader() {
    std::string_view in = header_;
    std::uint32_t magic = 0;
    std::uint32_t status = 0;
    Get(in, magic);
    Get(in, status);
    Get(in, textUnits_);
    if (magic != kReplyMagic || status > ReadReply::Unread || textUnits_ > kMaxTextUnits)
        return State::Malformed;
    reply_.status = static_cast<ReadReply::Status>(status);
    reply_.text.resize(textUnits_);
    haveHeader_ = true;
    return State::NeedMore;
}

ReplyReader::State ReplyReader::readAvailable(int fd) {
    for (;;) {
        char* into = nullptr;
        std::size_t wanted = 0;
        std::string* growing = nullptr;
        if (!haveHeader_) {
            growing = &header_;
            wanted = kReplyHeaderBytes - header_.size();
        } else if (textBytesRead_ < textUnits_ * 2) {
            into = reinterpret_cast<char*>(reply_.text.data()) + textBytesRead_;
            wanted = textUnits_ * 2 - textBytesRead_;
        } else if (!haveTailLength_) {
            growing = &tail_;
            wanted = sizeof tailBytes_ - tail_.size();
        } else {
            growing = &tail_;
            wanted = tailBytes_ - tail_.size();
        }
        if (wanted > 0) {
            char small[4096];
            const std::size_t ask = into ? wanted : std::min(wanted, sizeof small);
            const ssize_t n = ::read(fd, into ? into : small, ask);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return State::NeedMore;
            if (n <= 0)
                return State::Closed;
            if (into)
                textBytesRead_ += static_cast<std::uint64_t>(n);
            else
                growing->append(small, static_cast<std::size_t>(n));
            continue;
        }
        if (!haveHeader_) {
            if (parseHeader() == State::Malformed)
                return State::Malformed;
        } else if (textBytesRead_ < textUnits_ * 2) {
            continue;
        } else if (!haveTailLength_) {
            std::memcpy(&tailBytes_, tail_.data(), sizeof tailBytes_);
            tail_.clear();
            if (tailBytes_ > kMaxLogLines * (kMaxLogLineUnits * 2 + 4) + 4)
                return State::Malformed;
            haveTailLength_ = true;
        } else {
            std::string_view in = tail_;
            std::uint32_t lines = 0;
            if (!Get(in, lines) || lines > kMaxLogLines)
                return State::Malformed;
            reply_.logLines.resize(lines);
            for (std::u16string& line : reply_.logLines)
                if (!GetUnits(in, line, kMaxLogLineUnits))
                    return State::Malformed;
            return in.empty() ? State::Complete : State::Malformed;
        }
    }
}

} // namespace tessarel::protocol
