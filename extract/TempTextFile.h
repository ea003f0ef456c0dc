#pragma once
// The temporary extraction file "wts.txt" of the contents folder, held for one reading run.
// An exclusive lock keeps a second Tessarel process from writing the same file at the same
// moment; that process falls back to a name of its own, so no document gets another's text.

#include <string>

namespace tessarel {

class TempTextFile {
public:
    TempTextFile() = default;
    TempTextFile(const TempTextFile&) = delete;
    TempTextFile& operator=(const TempTextFile&) = delete;
    ~TempTextFile();

    // Locks contentsPath + "wts.txt" (or a per-process name when another process holds it) and
    // returns its path; an empty path when the contents folder can't be written.
    const std::string& acquire(const std::string& contentsPath);
    const std::string& path() const { return path_; }
    // Empties the file, so a reader that fails leaves nothing of the previous document behind.
    void truncate() const;

private:
    void release();

    std::string path_;
    int fd_ = -1;
    bool ownName_ = false;
};

// Empties the file at path (creating it); false when that fails.
bool TruncateFile(const std::string& path);

// Removes the per-process temporary files ("wts-PID.txt", "wts-PID-N.txt") of the contents folder
// whose process is gone: a program or helper that was killed leaves them behind.
void SweepTemporaryFiles(const std::string& contentsPath);

} // namespace tessarel
