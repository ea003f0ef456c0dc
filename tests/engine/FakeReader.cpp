// A stand-in for tessarel-reader that misbehaves as TESSAREL_FAKE_READER says, for the reading
// run's supervision of its helpers. Every start appends a line to TESSAREL_FAKE_READER_STARTS.
//   die-at-start   ends with status 3 before it is ready
//   oom-then-hang  says it ran out of memory, then neither ends nor answers
//   big-reply      a document named "…big…" gets a reply of 32 Mi units; others as echo
//   stderr         writes a line with an escape sequence to its error output, then as echo
//   echo           (any other) the document's first bytes, read from its descriptor, as its text

#include "extract/ReaderProtocol.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

using namespace tessarel;

namespace {

bool Mode(const char* mode) {
    const char* set = std::getenv("TESSAREL_FAKE_READER");
    return set && std::strcmp(set, mode) == 0;
}

bool WriteAll(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(STDOUT_FILENO, data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// A reply of `units` units written from a small buffer: the claim and the bytes are real.
bool WriteBigReply(std::uint64_t units) {
    const std::uint32_t head[2] = {0x50525354, ReadReply::Read};
    std::string chunk(1 << 20, 'a');
    const std::uint32_t pages[2] = {0, 0};
    if (!WriteAll(reinterpret_cast<const char*>(head), sizeof head) ||
        !WriteAll(reinterpret_cast<const char*>(&units), sizeof units) ||
        !WriteAll(reinterpret_cast<const char*>(pages), sizeof pages))
        return false;
    for (std::uint64_t left = units * 2; left > 0;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
        if (!WriteAll(chunk.data(), n))
            return false;
        left -= n;
    }
    const std::uint32_t tail[2] = {4, 0};
    return WriteAll(reinterpret_cast<const char*>(tail), sizeof tail);
}

} // namespace

int main() {
    if (const char* starts = std::getenv("TESSAREL_FAKE_READER_STARTS")) {
        if (std::FILE* f = std::fopen(starts, "a")) {
            std::fputs("start\n", f);
            std::fclose(f);
        }
    }
    if (Mode("die-at-start"))
        return 3;
    ReadReply ready;
    ready.status = ReadReply::Ready;
    if (!protocol::WriteReply(STDOUT_FILENO, ready))
        return 1;
    ReadRequest request;
    int document = -1;
    while (protocol::ReadRequestFrom(STDIN_FILENO, request, document)) {
        ReadReply reply;
        if (Mode("oom-then-hang")) {
            reply.status = ReadReply::OutOfMemory;
            protocol::WriteReply(STDOUT_FILENO, reply);
            for (;;)
                ::pause();
        }
        if (Mode("big-reply") && request.path.find("big") != std::string::npos) {
            if (!WriteBigReply(32u << 20))
                return 1;
            continue;
        }
        if (Mode("stderr"))
            std::fprintf(stderr, "message for %s\x1b[31m\n", request.path.c_str());
        char bytes[64];
        const ssize_t n = document >= 0 ? ::pread(document, bytes, sizeof bytes, 0) : -1;
        for (ssize_t i = 0; i < n; ++i)
            reply.text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i])));
        if (document >= 0)
            ::close(document);
        if (!protocol::WriteReply(STDOUT_FILENO, reply))
            return 1;
    }
    return 0;
}
