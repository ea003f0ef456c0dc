#pragma once
// The system calls a reader helper keeps once it is ready to read: what opening and reading a
// document, writing the temporary file and the reply pipe, and managing memory need. Anything
// else (starting programs, processes or threads, sockets, tracing, signalling other processes)
// fails with EPERM, so that a parser taken over by a hostile document can do no more than read
// and write files as the user could.

namespace tessarel {

// Installs the filter on the calling thread (the helper has no other). False when the kernel or
// the library refused it: the helper then reads without it.
bool InstallReaderSandbox();

} // namespace tessarel
