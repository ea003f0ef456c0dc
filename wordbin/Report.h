#pragma once
// The Word reader's one reporting routine. Messages are diagnostics on the standard error stream;
// the status decides what happens next.

#include <cstdio>

namespace tessarel::wordbin {

enum class Status {
    StepFails = 0, // the current step fails; the caller goes on as its table says
    Fatal = 1,     // the whole conversion of the current document is abandoned
};

// Thrown by Report for a fatal status and caught only by Convert, so the conversion unwinds with
// every list it built freed by its owner.
struct ConversionAbandoned {};

// Where messages go: stderr unless a test or the fuzz target names another stream (null: stderr).
void SetReportStream(std::FILE* stream);

// Writes the formatted message and a line end to stderr; throws ConversionAbandoned when fatal.
void Report(Status status, const char* format, ...) __attribute__((format(printf, 2, 3)));

} // namespace tessarel::wordbin
