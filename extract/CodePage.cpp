#include "extract/CodePage.h"

#include <cerrno>
#include <iconv.h>

namespace tessarel {
namespace {

constexpr char16_t kReplacement = 0xFFFD;
// A character of these pages becomes at most a letter with combining marks.
constexpr std::size_t kMaxUnits = 4;
using Units = std::array<char16_t, kMaxUnits>;

// The C library's name for a Windows code page, or empty for one it is not asked about.
std::string IconvName(int codePage) {
    switch (codePage) {
    case 437:
    case 850:
    case 852:
    case 855:
    case 857:
    case 860:
    case 861:
    case 862:
    case 863:
    case 864:
    case 865:
    case 866:
    case 869:
    case 874:
    case 932:
    case 936:
    case 949:
    case 950:
    case 1250:
    case 1251:
    case 1252:
    case 1253:
    case 1254:
    case 1255:
    case 1256:
    case 1257:
    case 1258:
        return "CP" + std::to_string(codePage);
    case 10000:
        return "MACINTOSH";
    case 20866:
        return "KOI8-R";
    case 21866:
        return "KOI8-U";
    case 65001:
        return "UTF-8";
    default:
        if (codePage >= 28591 && codePage <= 28599)
            return "ISO-8859-" + std::to_string(codePage - 28590);
        return {};
    }
}

bool IsMultiByte(int codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 || codePage == 65001;
}

} // namespace

struct CodePageDecoder::Page {
    int codePage = 0;
    bool multiByte = false;
    iconv_t handle = reinterpret_cast<iconv_t>(-1);
    std::array<char16_t, 256> table{};

    ~Page() {
        if (handle != reinterpret_cast<iconv_t>(-1))
            iconv_close(handle);
    }

    // One character converted, into at most kMaxUnits units; false when the bytes make none (or
    // only part of one).
    bool convert(const char* bytes, std::size_t length, std::size_t& used, Units& units, int& count) {
        char output[2 * kMaxUnits];
        char* in = const_cast<char*>(bytes);
        std::size_t inLeft = length;
        char* outPtr = output;
        std::size_t outLeft = sizeof output;
        iconv(handle, nullptr, nullptr, nullptr, nullptr);
        std::size_t result = iconv(handle, &in, &inLeft, &outPtr, &outLeft);
        // Some pages hold a letter back in case a combining mark follows; the character ends here.
        if (result != static_cast<std::size_t>(-1))
            result = iconv(handle, nullptr, nullptr, &outPtr, &outLeft);
        const std::size_t produced = sizeof output - outLeft;
        if (produced < 2 && result == static_cast<std::size_t>(-1))
            return false;
        used = length - inLeft;
        count = static_cast<int>(produced / 2);
        for (int i = 0; i < count; ++i)
            units[i] = static_cast<char16_t>(static_cast<unsigned char>(output[2 * i]) |
                                             (static_cast<unsigned char>(output[2 * i + 1]) << 8));
        return used > 0 && count > 0;
    }
};

CodePageDecoder::CodePageDecoder() = default;
CodePageDecoder::~CodePageDecoder() = default;

CodePageDecoder::Page& CodePageDecoder::page(int codePage) {
    // Only the pages named above are ever made, so a document naming thousands of unknown
    // pages costs no more than one naming none.
    if (IconvName(codePage).empty())
        codePage = 1252;
    for (auto& p : pages_)
        if (p->codePage == codePage)
            return *p;
    auto p = std::make_unique<Page>();
    p->codePage = codePage;
    p->handle = iconv_open("UTF-16LE", IconvName(codePage).c_str());
    if (p->handle == reinterpret_cast<iconv_t>(-1))
        p->handle = iconv_open("UTF-16LE", "CP1252");
    p->multiByte = IsMultiByte(codePage);
    for (int b = 0; b < 256; ++b) {
        p->table[static_cast<std::size_t>(b)] = b < 0x80 ? static_cast<char16_t>(b) : kReplacement;
        if (b >= 0x80 && p->handle != reinterpret_cast<iconv_t>(-1) && !p->multiByte) {
            const char byte = static_cast<char>(b);
            std::size_t used = 0;
            Units units;
            int count = 0;
            if (p->convert(&byte, 1, used, units, count) && count == 1)
                p->table[static_cast<std::size_t>(b)] = units[0];
        }
    }
    if (p->handle == reinterpret_cast<iconv_t>(-1))
        p->multiByte = false;
    pages_.push_back(std::move(p));
    return *pages_.back();
}

void CodePageDecoder::decode(int codePage, std::string_view bytes, std::u16string& out) {
    Page& p = page(codePage);
    if (!p.multiByte) {
        for (char c : bytes)
            out.push_back(p.table[static_cast<unsigned char>(c)]);
        return;
    }
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        // A character is at most four bytes in these pages; one that doesn't convert is replaced
        // and the scan moves on by one byte.
        std::size_t used = 0;
        Units units;
        int count = 0;
        const std::size_t length = std::min<std::size_t>(4, bytes.size() - i);
        std::size_t tryLength = 1;
        bool done = false;
        for (; tryLength <= length && !done; ++tryLength)
            done = p.convert(bytes.data() + i, tryLength, used, units, count);
        if (!done) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        out.append(units.data(), static_cast<std::size_t>(count));
        i += used;
    }
}

int CodePageDecoder::charsetCodePage(int charset) {
    switch (charset) {
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 255:
        return 437;
    default:
        return 0;
    }
}

} // namespace tessarel
