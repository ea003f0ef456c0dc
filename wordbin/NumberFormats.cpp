#include "wordbin/NumberFormats.h"

#include <cstdio>
#include <utility>

namespace tessarel::wordbin {

std::string Roman(unsigned number, bool upper) {
    static constexpr std::pair<unsigned, const char*> kNumerals[] = {
        {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"}, {50, "l"},
        {40, "xl"},  {10, "x"},   {9, "ix"},  {5, "v"},    {4, "iv"},  {1, "i"}};
    number %= 4000;
    std::string text;
    for (const auto& [value, numeral] : kNumerals) {
        while (number >= value) {
            text += numeral;
            number -= value;
        }
    }
    if (upper)
        for (char& c : text)
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string Letters(unsigned number, bool upper) {
    // A..Z, then the two-letter AA..ZZ from 27, then AAA..ZZZ from 703.
    if (number == 0 || number > 18278)
        return {};
    unsigned repeat = 1;
    unsigned index = number - 1;
    if (number > 702) {
        repeat = 3;
        index = number - 703;
    } else if (number > 26) {
        repeat = 2;
        index = number - 27;
    }
    char letters[3];
    std::size_t n = 0;
    if (repeat == 3)
        letters[n++] = static_cast<char>('a' + index / 676);
    if (repeat >= 2)
        letters[n++] = static_cast<char>('a' + index / 26 % 26);
    letters[n++] = static_cast<char>('a' + index % 26);
    if (upper)
        for (std::size_t i = 0; i < n; ++i)
            letters[i] = static_cast<char>(letters[i] - 'a' + 'A');
    return std::string(letters, n);
}

std::string FormatNumber(unsigned number, std::uint8_t format) {
    char digits[16];
    switch (format) {
    case 1:
        return Roman(number, true);
    case 2:
        return Roman(number, false);
    case 3:
        return Letters(number, true);
    case 4:
        return Letters(number, false);
    case 22:
        std::snprintf(digits, sizeof digits, "%02u", number);
        return digits;
    default:
        std::snprintf(digits, sizeof digits, "%u", number);
        return digits;
    }
}

} // namespace tessarel::wordbin
