#pragma once
// Runs the built tessarel-cli as a user would: through a shell, in a folder of its own.

#include <filesystem>
#include <string>

namespace tessarel::test {

struct Result {
    int status; // the exit status, or -1 when the program did not exit by itself
    std::string out;
    std::string err;
};

// One argument quoted for a POSIX shell.
std::string Quoted(const std::string& arg);
// Runs tessarel-cli with args (already quoted as needed) in cwd; stderr is kept apart. prelude,
// when given, is shell text run just before ("ulimit -n 16;", "export COLUMNS=50;").
Result RunCli(const std::string& args, const std::filesystem::path& cwd, const std::string& prelude = "");
// The same with stdin, stdout and stderr on one pseudo-terminal: everything lands in out.
Result RunCliOnTerminal(const std::string& args, const std::filesystem::path& cwd);

// A temporary folder removed with the object.
class Scratch {
public:
    Scratch();
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace tessarel::test
