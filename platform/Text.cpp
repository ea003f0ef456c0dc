#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <clocale>
#include <cwctype>
#include <locale.h>
#include <memory>
#include <wctype.h>

namespace tessarel {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Decodes one code point starting at bytes[i]; returns 0 on an ill-formed sequence.
// On success `length` holds the sequence length.
char32_t DecodeUtf8At(std::string_view bytes, std::size_t i, std::size_t& length) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    if (b0 < 0x80) {
        length = 1;
        return b0;
    }
    std::size_t n;
    char32_t cp;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        n = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        n = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        n = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + n > bytes.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(bytes[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    length = n;
    return cp;
}

void AppendCodePoint(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// 0x80..0xBF of Windows-1251; 0xC0..0xFF are U+0410..U+044F.
constexpr std::array<char16_t, 64> kCp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

struct CaseTables {
    std::unique_ptr<char16_t[]> lower{new char16_t[0x10000]};
    std::unique_ptr<char16_t[]> upper{new char16_t[0x10000]};

    CaseTables() {
        // A locale object of our own, so the tables do not depend on when setlocale ran.
        locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        for (std::uint32_t u = 0; u < 0x10000; ++u) {
            char16_t lo = static_cast<char16_t>(u);
            char16_t up = static_cast<char16_t>(u);
            if (u < 0xD800 || u > 0xDFFF) {
                const wint_t l = utf8 ? towlower_l(static_cast<wint_t>(u), utf8) : std::towlower(u);
                const wint_t h = utf8 ? towupper_l(static_cast<wint_t>(u), utf8) : std::towupper(u);
                // One unit in, one out: a mapping that leaves the BMP is not taken.
                if (l < 0x10000 && (l < 0xD800 || l > 0xDFFF))
                    lo = static_cast<char16_t>(l);
                if (h < 0x10000 && (h < 0xD800 || h > 0xDFFF))
                    up = static_cast<char16_t>(h);
            }
            lower[u] = lo;
            upper[u] = up;
        }
        if (utf8)
            freelocale(utf8);
    }
};

const CaseTables& Tables() {
    static const CaseTables tables;
    return tables;
}

} // namespace

std::u16string FromUtf8(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::size_t length = 0;
        const char32_t cp = DecodeUtf8At(utf8, i, length);
        if (length == 0) {
            out.push_back(kReplacement);
            ++i;
        } else {
            AppendCodePoint(out, cp);
            i += length;
        }
    }
    return out;
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 3 / 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        DecodeUtf8At(bytes, i, length);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

char16_t Cp1251ToUnit(unsigned char byte) {
    if (byte < 0x80)
        return byte;
    if (byte >= 0xC0)
        return static_cast<char16_t>(0x0410 + (byte - 0xC0));
    return kCp1251High[byte - 0x80];
}

std::u16string FromCp1251(std::string_view bytes) {
    std::u16string out(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        out[i] = Cp1251ToUnit(static_cast<unsigned char>(bytes[i]));
    return out;
}

bool UnitToCp1251(char16_t unit, unsigned char& byte) {
    if (unit < 0x80) {
        byte = static_cast<unsigned char>(unit);
        return true;
    }
    if (unit >= 0x0410 && unit <= 0x044F) {
        byte = static_cast<unsigned char>(0xC0 + (unit - 0x0410));
        return true;
    }
    for (std::size_t i = 0; i < kCp1251High.size(); ++i) {
        if (kCp1251High[i] == unit) {
            byte = static_cast<unsigned char>(0x80 + i);
            return true;
        }
    }
    return false;
}

char16_t FoldUnit(char16_t unit) { return Tables().lower[unit]; }
char16_t UpperUnit(char16_t unit) { return Tables().upper[unit]; }

void FoldInPlace(std::u16string& text) {
    const char16_t* lower = Tables().lower.get();
    for (char16_t& c : text)
        c = lower[c];
}

namespace {

// The folding loop itself; ASCII stretches skip the table. Twice as fast with AVX2 where the
// processor has it.
__attribute__((target_clones("avx2", "default"))) void FoldUnits(const char16_t* s, std::size_t n,
                                                                 char16_t* d) {
    constexpr std::size_t kChunk = 64;
    const char16_t* lower = Tables().lower.get();
    std::size_t i = 0;
    for (; i + kChunk <= n; i += kChunk) {
        unsigned bits = 0;
        for (std::size_t k = 0; k < kChunk; ++k)
            bits |= s[i + k];
        if (bits < 0x80) {
            for (std::size_t k = 0; k < kChunk; ++k) {
                const char16_t c = s[i + k];
                d[i + k] = static_cast<char16_t>(c + (static_cast<unsigned>(c - u'A') < 26u ? 32 : 0));
            }
        } else {
            for (std::size_t k = 0; k < kChunk; ++k)
                d[i + k] = lower[s[i + k]];
        }
    }
    for (; i < n; ++i)
        d[i] = lower[s[i]];
}

} // namespace

void FoldInto(std::pmr::u16string& dst, std::u16string_view src) {
    // Through a small buffer, so that the destination is written once and never zero-filled first.
    constexpr std::size_t kStep = 1024;
    char16_t step[kStep];
    dst.clear();
    dst.reserve(src.size());
    for (std::size_t at = 0; at < src.size(); at += kStep) {
        const std::size_t n = std::min(kStep, src.size() - at);
        FoldUnits(src.data() + at, n, step);
        dst.append(step, n);
    }
}

void FoldUnitsInto(const char16_t* src, std::size_t n, char16_t* dst) { FoldUnits(src, n, dst); }

const unsigned char* NarrowFoldTable() {
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (unsigned u = 0; u < 256; ++u)
            t[u] = static_cast<unsigned char>(Tables().lower[u]);
        return t;
    }();
    static const bool narrow = [] {
        for (unsigned u = 0; u < 256; ++u)
            if (Tables().lower[u] >= 256)
                return false;
        return true;
    }();
    return narrow ? table.data() : nullptr;
}

std::u16string Folded(std::u16string_view text) {
    std::u16string out(text.size(), u'\0');
    FoldUnits(text.data(), text.size(), out.data());
    return out;
}

std::u16string Widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::u16string NumberText(long long value) { return Widen(std::to_string(value)); }

} // namespace tessarel
