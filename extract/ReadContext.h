#pragma once
// What a reader borrows from the reading run besides its own record.

#include <string>

namespace tessarel {

class RtfConverterControl;

struct ReadContext {
    // The contents folder, with a trailing "/".
    std::string contentsPath;
    // The temporary extraction file shared by the Word binary glue and the archive readers.
    std::string wordTempPath;
    // The RTF converter; may be null, in which case the RTF reader uses one of its own.
    RtfConverterControl* rtf = nullptr;
};

} // namespace tessarel
