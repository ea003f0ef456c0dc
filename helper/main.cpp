// tessarel-reader: reads documents for a reading run in a process of its own, one at a time, so
// that a document on which a parser crashes, hangs or runs out of memory costs only this process,
// and one that takes a parser over gains nothing (ReaderSandbox.h).
//
//   tessarel-reader PARENT-PID TEMP-FILE CONTENTS-FOLDER MEMORY-LIMIT-BYTES
//
// Requests come on standard input with each document's open descriptor, replies go to standard
// output (ReaderProtocol.h), and the parsers' own messages to standard error, which the reading
// run puts in its log.

#include "extract/ReadDocument.h"
#include "extract/ReaderProtocol.h"
#include "extract/Recognition.h"
#include "helper/ReaderProbe.h"
#include "helper/ReaderSandbox.h"
#include "platform/Text.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace tessarel;

namespace {

void LimitProcess(pid_t parent) {
    // The helper never outlives the program that started it.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
        std::_Exit(1);
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    // Only the three channels: nothing the parent had open leaks into a parser's reach.
    ::closefrom(3);
}

// Set once the sandbox is in place, which needs memory of its own: the limit is the parsers'.
void LimitMemory(unsigned long long memoryLimit) {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer's shadow memory alone is terabytes of address space: its builds go without.
    memoryLimit = 0;
#endif
    if (memoryLimit > 0) {
        const rlimit memory{memoryLimit, memoryLimit};
        ::setrlimit(RLIMIT_AS, &memory);
    }
}

ReaderSandboxOutcome Sandbox(const std::string& tempPath) {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer's leak check at the end traces the process from a thread of its own and
    // reads /proc, which the sandbox forbids: its builds go without.
    (void)tempPath;
    return {true, 0, {}};
#else
    return InstallReaderSandbox(tempPath, RecognitionDataFolder());
#endif
}

// Test seams: a document named here makes the helper abort or hang, as a hostile one might.
bool Named(const char* variable, const std::string& path) {
    const char* named = std::getenv(variable);
    return named && *named && path == named;
}

// Each recognised page is said to the reading run at once: its progress, and its sign of life.
void ReportPage(int done, int pages) {
    ReadReply progress;
    progress.status = ReadReply::Progress;
    progress.pagesDone = static_cast<std::uint32_t>(std::clamp(done, 0, static_cast<int>(protocol::kMaxPages)));
    progress.pages = std::max(progress.pagesDone,
                              static_cast<std::uint32_t>(std::clamp(pages, 0, static_cast<int>(protocol::kMaxPages))));
    protocol::WriteReply(STDOUT_FILENO, progress);
}

ReadReply Read(const ReadRequest& request, ReadContext context) {
    if (Named("TESSAREL_READER_ABORT_ON", request.path))
        std::abort();
    if (Named("TESSAREL_READER_HANG_ON", request.path))
        for (;;)
            ::pause();
    ReadReply reply;
    FileRecord record;
    record.path = FromUtf8(request.path);
    record.nativePath = request.path;
    record.extension = request.extension;
    record.size = request.size;
    context.recognition = request.recognition;
    context.onPage = ReportPage;
    context.logLines = &reply.logLines;
    try {
        if (!ReadDocumentText(record, context))
            reply.status = ReadReply::Unread;
        reply.text = std::move(record.text);
    } catch (const std::bad_alloc&) {
        reply = ReadReply{};
        reply.status = ReadReply::OutOfMemory;
    } catch (const std::exception& e) {
        reply = ReadReply{};
        reply.logLines.push_back(u"Can't read the document: " + FromUtf8(e.what()));
    } catch (...) {
        reply = ReadReply{};
        reply.logLines.push_back(u"Can't read the document.");
    }
    return reply;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fputs("tessarel-reader: started by Tessarel's reading run, not by hand\n", stderr);
        return 2;
    }
    ReaderProbe probe = ReaderProbe::fromEnvironment();
    LimitProcess(static_cast<pid_t>(std::atoll(argv[1])));
    const std::string tempPath = argv[2];
    const ReaderSandboxOutcome sandbox = Sandbox(tempPath);
    LimitMemory(std::strtoull(argv[4], nullptr, 10));
    ReadReply ready;
    ready.status = ReadReply::Ready;
    if (!protocol::WriteReply(STDOUT_FILENO, ready))
        return 1;
    ReadContext context;
    context.contentsPath = argv[3];
    context.wordTempPath = tempPath;
    ReadRequest request;
    while (protocol::ReadRequestFrom(STDIN_FILENO, request, context.documentFd)) {
        ReadReply reply;
        if (!sandbox.installed) {
            // Without its sandbox the helper reads nothing: a hostile document would reach all.
            reply.logLines.push_back(u"The reader's sandbox could not be put in place (" +
                                     FromUtf8(sandbox.why) + u"): the document was not read.");
        } else {
            probe.run(tempPath, reply.logLines);
            ReadReply read = Read(request, context);
            read.logLines.insert(read.logLines.begin(), reply.logLines.begin(), reply.logLines.end());
            reply = std::move(read);
        }
        if (context.documentFd >= 0)
            ::close(context.documentFd);
        if (!protocol::WriteReply(STDOUT_FILENO, reply))
            return 1;
        // After running out of memory the parsers' state can't be trusted: start afresh.
        if (reply.status == ReadReply::OutOfMemory)
            return 0;
    }
    return 0;
}
