#pragma once
// A test seam: the attempts a parser taken over by a hostile document would make, tried from
// inside the real helper once its sandbox is in place. TESSAREL_READER_PROBE names a folder that
// plays the user's home folder (victim.txt, .bashrc, .ssh/id_ed25519 in it) and
// TESSAREL_READER_PROBE_PID a process to harm; both are read before the sandbox goes up. Each
// attempt is reported in a line of the first reply's log, "held: …" or "got through: …".

#include <string>
#include <sys/types.h>
#include <vector>

namespace tessarel {

class ReaderProbe {
public:
    static ReaderProbe fromEnvironment();
    bool enabled() const { return !home_.empty(); }
    // Tries every attempt once; `tempPath` is the helper's own file, which it may write.
    void run(const std::string& tempPath, std::vector<std::u16string>& lines);

private:
    std::string home_;
    pid_t victim_ = -1;
    bool done_ = false;
};

} // namespace tessarel
