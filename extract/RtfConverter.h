#pragma once
// Turns RTF into its visible text. The main window owns one; the reading run borrows it.

#include <string>
#include <string_view>

namespace tessarel {

class RtfConverterControl {
public:
    // The visible text of an RTF document as UTF-16, paragraph ends as line breaks.
    std::u16string convert(std::string_view rtf);
};

} // namespace tessarel
