#pragma once
// Message boxes the engine raises (the drive-sized folder, a log file that can't be opened).

#include <mutex>
#include <string>
#include <vector>

namespace tessarel {

class Notifier {
public:
    virtual ~Notifier() = default;
    // May be called from a worker thread; an implementation that shows a window must hand the
    // call over to the UI thread.
    virtual void warn(const std::u16string& caption, const std::u16string& text) = 0;
};

// Writes "caption: text" to stderr: the CLI's notifier.
class StderrNotifier : public Notifier {
public:
    void warn(const std::u16string& caption, const std::u16string& text) override;
};

// Remembers every warning: the tests' notifier.
class RecordingNotifier : public Notifier {
public:
    void warn(const std::u16string& caption, const std::u16string& text) override;
    std::vector<std::u16string> texts() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::u16string> texts_;
};

} // namespace tessarel
