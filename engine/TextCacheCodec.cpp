#include "engine/TextCacheCodec.h"

#include <cstring>
#include <memory>
#include <zstd.h>

namespace tessarel {
namespace {

// A fast level: compression runs on the reading workers, and texts compress well at any level.
constexpr int kCompressionLevel = 1;
// Larger than any text a reader can produce from the largest file the walk accepts.
constexpr std::size_t kMaxTextUnits = std::size_t{1} << 28;

constexpr std::uint64_t kMultiplier1 = 0x9E3779B97F4A7C15ull;
constexpr std::uint64_t kMultiplier2 = 0xD6E8FEB86659FD93ull;

std::uint64_t Rotate(std::uint64_t x, int bits) {
    return (x << bits) | (x >> (64 - bits));
}

std::uint64_t Word(const char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

std::uint64_t Mix(std::uint64_t acc, std::uint64_t word) {
    return Rotate((acc ^ word) * kMultiplier1, 29);
}

// Spreads every input bit over the whole result.
std::uint64_t Finish(std::uint64_t h) {
    h ^= h >> 33;
    h *= kMultiplier2;
    h ^= h >> 29;
    h *= kMultiplier1;
    h ^= h >> 32;
    return h;
}

struct CompressContextFree {
    void operator()(ZSTD_CCtx* c) const { ZSTD_freeCCtx(c); }
};
struct DecompressContextFree {
    void operator()(ZSTD_DCtx* d) const { ZSTD_freeDCtx(d); }
};

// One context per thread: making a context costs more than compressing a small text.
ZSTD_CCtx* ThreadCompressContext() {
    thread_local std::unique_ptr<ZSTD_CCtx, CompressContextFree> context(ZSTD_createCCtx());
    return context.get();
}

ZSTD_DCtx* ThreadDecompressContext() {
    thread_local std::unique_ptr<ZSTD_DCtx, DecompressContextFree> context(ZSTD_createDCtx());
    return context.get();
}

void PutU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

bool GetU32(std::string_view& in, std::uint32_t& v) {
    if (in.size() < 4)
        return false;
    v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(static_cast<unsigned char>(in[static_cast<std::size_t>(i)]))
             << (8 * i);
    in.remove_prefix(4);
    return true;
}

} // namespace

std::uint64_t Checksum64(std::string_view bytes, std::uint64_t seed) {
    // Four independent lanes over 32-byte stripes keep the multipliers busy in parallel.
    std::uint64_t lanes[4] = {seed ^ kMultiplier1, seed ^ kMultiplier2, seed + kMultiplier1,
                              seed - kMultiplier2};
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    for (; left >= 32; p += 32, left -= 32)
        for (int i = 0; i < 4; ++i)
            lanes[i] = Mix(lanes[i], Word(p + 8 * i));
    std::uint64_t h = lanes[0] ^ Rotate(lanes[1], 17) ^ Rotate(lanes[2], 31) ^ Rotate(lanes[3], 47);
    for (; left >= 8; p += 8, left -= 8)
        h = Mix(h, Word(p));
    std::uint64_t tail = 0;
    std::memcpy(&tail, p, left);
    h = Mix(h, tail ^ (static_cast<std::uint64_t>(bytes.size()) << 3));
    return Finish(h ^ bytes.size());
}

std::string CompressText(std::u16string_view text) {
    ZSTD_CCtx* context = ThreadCompressContext();
    if (!context)
        return {};
    const std::size_t size = text.size() * sizeof(char16_t);
    std::string frame(ZSTD_compressBound(size), '\0');
    const std::size_t written =
        ZSTD_compressCCtx(context, frame.data(), frame.size(), text.data(), size, kCompressionLevel);
    if (ZSTD_isError(written))
        return {};
    frame.resize(written);
    // The frame waits in the writer's queue: it must not keep the bound's whole capacity.
    frame.shrink_to_fit();
    return frame;
}

std::optional<std::u16string> DecompressText(std::string_view frame, std::size_t units) {
    ZSTD_DCtx* context = ThreadDecompressContext();
    if (!context || units > kMaxTextUnits)
        return std::nullopt;
    const unsigned long long declared = ZSTD_getFrameContentSize(frame.data(), frame.size());
    if (declared != units * sizeof(char16_t))
        return std::nullopt;
    std::u16string text(units, u'\0');
    const std::size_t got =
        ZSTD_decompressDCtx(context, text.data(), units * sizeof(char16_t), frame.data(), frame.size());
    if (ZSTD_isError(got) || got != units * sizeof(char16_t))
        return std::nullopt;
    return text;
}

std::string PackLines(const std::vector<std::u16string>& lines) {
    std::size_t size = 4;
    for (const std::u16string& line : lines)
        size += 4 + 2 * line.size();
    std::string blob;
    blob.reserve(size);
    PutU32(blob, static_cast<std::uint32_t>(lines.size()));
    for (const std::u16string& line : lines) {
        PutU32(blob, static_cast<std::uint32_t>(line.size()));
        for (char16_t unit : line) {
            blob.push_back(static_cast<char>(unit & 0xFF));
            blob.push_back(static_cast<char>(unit >> 8));
        }
    }
    return blob;
}

std::optional<std::vector<std::u16string>> UnpackLines(std::string_view blob) {
    std::uint32_t count = 0;
    if (!GetU32(blob, count) || count > blob.size() / 4)
        return std::nullopt;
    std::vector<std::u16string> lines;
    lines.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t length = 0;
        if (!GetU32(blob, length) || length > blob.size() / 2)
            return std::nullopt;
        std::u16string& line = lines.emplace_back(length, u'\0');
        for (std::uint32_t u = 0; u < length; ++u)
            line[u] = static_cast<char16_t>(static_cast<unsigned char>(blob[2 * u]) |
                                            static_cast<unsigned char>(blob[2 * u + 1]) << 8);
        blob.remove_prefix(2 * std::size_t{length});
    }
    if (!blob.empty())
        return std::nullopt;
    return lines;
}

} // namespace tessarel
