#pragma once
// Turns RTF into its visible text. The main window owns one; the reading run borrows it.

#include <string>
#include <string_view>

namespace tessarel {

class RtfConverterControl {
public:
    // The visible text of an RTF document as UTF-16, paragraph ends as CR LF. Bytes that don't
    // begin with "{\rtf" give the empty text. The text holds at most rtf.size() + 1023 units,
    // the room the reader's buffer has.
    std::u16string convert(std::string_view rtf);
};

} // namespace tessarel
