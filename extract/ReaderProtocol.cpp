#include "extract/ReaderProtocol.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace tessarel::protocol {
namespace {

constexpr std::uint32_t kRequestMagic = 0x51525354; // "TSRQ"
constexpr std::uint32_t kReplyMagic = 0x50525354;   // "TSRP"
constexpr std::size_t kReplyHeaderBytes = 24;       // magic, status, text units, pages done, pages
// A log line longer than this is not something a reader writes.
constexpr std::uint32_t kMaxLogLineUnits = 1u << 16;
// The text's first storage; it then doubles as the bytes fill it.
constexpr std::uint64_t kFirstTextUnits = 1u << 15;

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

// Sends the first bytes of a frame with the descriptor attached.
bool SendWithDescriptor(int to, const char* data, std::size_t size, int documentFd) {
    iovec part{const_cast<char*>(data), size};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = SOL_SOCKET;
    header->cmsg_type = SCM_RIGHTS;
    header->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(header), &documentFd, sizeof documentFd);
    ssize_t n;
    do
        n = ::sendmsg(to, &message, MSG_NOSIGNAL);
    while (n < 0 && errno == EINTR);
    return n == static_cast<ssize_t>(size);
}

// Reads exactly `size` bytes; a descriptor that comes with them is kept in `documentFd`, and
// any further one closed.
bool ReceiveWithDescriptor(int from, char* data, std::size_t size, int& documentFd) {
    while (size > 0) {
        iovec part{data, size};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 4)];
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(from, &message, MSG_CMSG_CLOEXEC);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        for (cmsghdr* h = CMSG_FIRSTHDR(&message); h; h = CMSG_NXTHDR(&message, h)) {
            if (h->cmsg_level != SOL_SOCKET || h->cmsg_type != SCM_RIGHTS)
                continue;
            const std::size_t count = (h->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (std::size_t i = 0; i < count; ++i) {
                int received;
                std::memcpy(&received, CMSG_DATA(h) + i * sizeof(int), sizeof received);
                if (documentFd < 0)
                    documentFd = received;
                else
                    ::close(received);
            }
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteRequest(int fd, const ReadRequest& request, int documentFd) {
    std::string frame;
    Put(frame, kRequestMagic);
    Put(frame, static_cast<std::uint32_t>(request.path.size()));
    frame.append(request.path);
    PutUnits(frame, request.extension);
    Put(frame, request.size);
    const RecognitionSettings& recognition = request.recognition;
    Put(frame, static_cast<std::uint32_t>(recognition.on ? 1 : 0));
    Put(frame, static_cast<std::uint32_t>(std::min<std::size_t>(recognition.languages.size(), kMaxLanguageBytes)));
    frame.append(recognition.languages.substr(0, kMaxLanguageBytes));
    Put(frame, static_cast<std::int64_t>(recognition.pageBudget.count()));
    Put(frame, static_cast<std::int64_t>(recognition.documentBudget.count()));
    // The descriptor rides on the frame's first byte, which the helper reads with its head.
    if (documentFd >= 0 && !SendWithDescriptor(fd, frame.data(), 1, documentFd))
        return false;
    const std::size_t sent = documentFd >= 0 ? 1 : 0;
    // A helper that died must make the write fail, not raise SIGPIPE in the program.
    return TransferAll(
        fd, frame.data() + sent, frame.size() - sent,
        [](int to, const char* data, std::size_t size) { return ::send(to, data, size, MSG_NOSIGNAL); });
}

bool ReadRequestFrom(int fd, ReadRequest& request, int& documentFd) {
    documentFd = -1;
    std::uint32_t head[2];
    if (!ReceiveWithDescriptor(fd, reinterpret_cast<char*>(head), sizeof head, documentFd) ||
        head[0] != kRequestMagic || head[1] > kMaxPathBytes)
        return false;
    request.path.resize(head[1]);
    std::uint32_t extensionUnits = 0;
    if (!ReadAll(fd, request.path.data(), request.path.size()) ||
        !ReadAll(fd, reinterpret_cast<char*>(&extensionUnits), sizeof extensionUnits) ||
        extensionUnits > kMaxPathBytes)
        return false;
    request.extension.resize(extensionUnits);
    std::uint32_t recognition[2] = {0, 0};
    if (!ReadAll(fd, reinterpret_cast<char*>(request.extension.data()), std::size_t{extensionUnits} * 2) ||
        !ReadAll(fd, reinterpret_cast<char*>(&request.size), sizeof request.size) ||
        !ReadAll(fd, reinterpret_cast<char*>(recognition), sizeof recognition) || recognition[0] > 1 ||
        recognition[1] > kMaxLanguageBytes)
        return false;
    request.recognition.on = recognition[0] == 1;
    request.recognition.languages.resize(recognition[1]);
    std::int64_t budgets[2] = {0, 0};
    if (!ReadAll(fd, request.recognition.languages.data(), recognition[1]) ||
        !ReadAll(fd, reinterpret_cast<char*>(budgets), sizeof budgets) || budgets[0] < 0 || budgets[1] < 0)
        return false;
    request.recognition.pageBudget = std::chrono::milliseconds(budgets[0]);
    request.recognition.documentBudget = std::chrono::milliseconds(budgets[1]);
    return true;
}

bool WriteReply(int fd, const ReadReply& reply) {
    std::string head;
    Put(head, kReplyMagic);
    Put(head, static_cast<std::uint32_t>(reply.status));
    Put(head, static_cast<std::uint64_t>(reply.text.size()));
    Put(head, reply.pagesDone);
    Put(head, reply.pages);
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
    Get(in, reply_.pagesDone);
    Get(in, reply_.pages);
    if (magic != kReplyMagic || status > ReadReply::Progress || textUnits_ > kMaxTextUnits ||
        reply_.pages > kMaxPages || reply_.pagesDone > reply_.pages ||
        (status == ReadReply::Progress && textUnits_ != 0))
        return State::Malformed;
    reply_.status = static_cast<ReadReply::Status>(status);
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
            if (textBytesRead_ >= reply_.text.size() * 2)
                reply_.text.resize(
                    std::min(textUnits_, std::max(kFirstTextUnits, std::uint64_t{reply_.text.size()} * 2)));
            into = reinterpret_cast<char*>(reply_.text.data()) + textBytesRead_;
            wanted = reply_.text.size() * 2 - textBytesRead_;
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
