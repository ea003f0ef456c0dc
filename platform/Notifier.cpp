#include "platform/Notifier.h"

#include "platform/Text.h"

#include <cstdio>

namespace tessarel {

void StderrNotifier::warn(const std::u16string& caption, const std::u16string& text) {
    std::fprintf(stderr, "%s: %s\n", ToUtf8(caption).c_str(), ToUtf8(text).c_str());
}

void RecordingNotifier::warn(const std::u16string&, const std::u16string& text) {
    std::lock_guard lock(mutex_);
    texts_.push_back(text);
}

std::vector<std::u16string> RecordingNotifier::texts() const {
    std::lock_guard lock(mutex_);
    return texts_;
}

} // namespace tessarel
