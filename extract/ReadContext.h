#pragma once
// What a reader borrows from the reading run besides its own record.

#include "extract/Recognition.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tessarel {

class RtfConverterControl;

struct ReadContext {
    // The contents folder, with a trailing "/".
    std::string contentsPath;
    // The temporary extraction file shared by the Word binary glue and the archive readers.
    std::string wordTempPath;
    // The RTF converter; may be null, in which case the RTF reader uses one of its own.
    RtfConverterControl* rtf = nullptr;
    // The record's document, opened by the reading run for a reader helper, which can't open the
    // user's files by name; -1: the readers open it by name.
    int documentFd = -1;
    // Scanned PDF pages and images are recognised only when this is on.
    RecognitionSettings recognition;
    // Hears of each recognised page: (pages done, the document's pages). May be empty.
    std::function<void(int, int)> onPage;
    // Where a reader's log lines for its document go (the reading run's log, a helper's reply);
    // null: nowhere.
    std::vector<std::u16string>* logLines = nullptr;

    void log(std::u16string line) const {
        if (logLines)
            logLines->push_back(std::move(line));
    }
};

} // namespace tessarel
