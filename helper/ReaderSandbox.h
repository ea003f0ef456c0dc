#pragma once
// The sandbox a reader helper reads in, so that a parser taken over by a hostile document gains
// nothing. First Landlock, where the kernel has it: the files the parsers need are readable
// (ReaderReadablePaths), the helper's own temporary file readable and writable, nothing else;
// no TCP, and no signals or abstract sockets beyond the helper. The user's documents are never
// opened by name: the reading run hands each one over as a descriptor. Then the helper drops
// any capability it has and installs the system-call filter: what reading a document, writing
// the temporary file and the reply, and managing memory need; anything else (programs,
// processes, threads, sockets, tracing, signalling or limiting other processes, asking for
// signals on a descriptor) fails with EPERM.

#include <string>

namespace tessarel {

struct ReaderSandboxOutcome {
    // False: the helper must read nothing; `why` says what failed.
    bool installed = false;
    // The Landlock ABI in force, 0 when the kernel has none (the filter alone holds then).
    int landlockAbi = 0;
    std::string why;
};

// The system's files the parsers may read: their libraries' data, fonts and font configuration.
// One place, so that what the helper reaches is read at a glance.
inline constexpr const char* kReaderReadablePaths[] = {"/usr", "/etc", "/var/cache/fontconfig"};

// Installs the sandbox on the calling thread (the helper has no other). `tempPath` is the
// helper's temporary file, which must exist; an empty path gives it no file to write.
// `recognitionData`, the recognition languages' folder, is readable too when it lies outside
// the system's readable files.
ReaderSandboxOutcome InstallReaderSandbox(const std::string& tempPath, const std::string& recognitionData = {});

} // namespace tessarel
