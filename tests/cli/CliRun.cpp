#include "CliRun.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tessarel::test {
namespace {

const std::string kCli = TESSAREL_CLI;

int ExitStatus(int waitStatus) {
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
}

std::string CommandLine(const std::string& args, const fs::path& cwd, const std::string& prelude = "") {
    return "cd " + Quoted(cwd.string()) + " && " + prelude + " exec " + Quoted(kCli) + " " + args;
}

} // namespace

std::string Quoted(const std::string& arg) {
    std::string q = "'";
    for (char c : arg)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

Result RunCli(const std::string& args, const fs::path& cwd, const std::string& prelude) {
    const fs::path errFile = cwd / ".stderr";
    const std::string command =
        CommandLine(args, cwd, prelude) + " 2>" + Quoted(errFile.string()) + " </dev/null";
    Result r{-1, {}, {}};
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return r;
    std::array<char, 65536> chunk;
    std::size_t got;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), p)) > 0)
        r.out.append(chunk.data(), got);
    r.status = ExitStatus(pclose(p));
    std::ifstream err(errFile, std::ios::binary);
    std::ostringstream text;
    text << err.rdbuf();
    r.err = text.str();
    fs::remove(errFile);
    return r;
}

Result RunCliOnTerminal(const std::string& args, const fs::path& cwd) {
    Result r{-1, {}, {}};
    int master = -1;
    const std::string command = CommandLine(args, cwd);
    const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    if (child < 0)
        return r;
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::array<char, 4096> chunk;
    for (;;) {
        const ssize_t got = read(master, chunk.data(), chunk.size());
        if (got <= 0)
            break; // EIO once the child has closed the terminal
        r.out.append(chunk.data(), static_cast<std::size_t>(got));
    }
    close(master);
    int status = 0;
    waitpid(child, &status, 0);
    r.status = ExitStatus(status);
    return r;
}

Scratch::Scratch() {
    std::random_device rd;
    path_ = fs::temp_directory_path() / ("tessarel-cli-" + std::to_string(rd()));
    fs::create_directories(path_);
}

Scratch::~Scratch() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

} // namespace tessarel::test
