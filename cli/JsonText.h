#pragma once
// JSON string values for the command line's --json output. JSON text is UTF-8 with quotes,
// backslashes and control characters escaped; what is not well-formed Unicode is replaced.

#include <string>
#include <string_view>

namespace tessarel {

// A JSON string literal, quotes included. Unpaired surrogates become U+FFFD.
std::string JsonString(std::u16string_view text);
// The same for bytes meant as UTF-8 (file names): every ill-formed sequence becomes U+FFFD, so
// the literal alone may not name the file; HexBytes gives the exact bytes for that.
std::string JsonStringOfBytes(std::string_view bytes);
// Two lower-case hexadecimal digits per byte.
std::string HexBytes(std::string_view bytes);

} // namespace tessarel
