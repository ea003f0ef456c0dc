#include "wordbin/Report.h"

#include <cstdarg>
#include <cstdio>

namespace tessarel::wordbin {

namespace {
std::FILE* g_reportStream = nullptr;
}

void SetReportStream(std::FILE* stream) {
    g_reportStream = stream;
}

void Report(Status status, const char* format, ...) {
    std::FILE* stream = g_reportStream ? g_reportStream : stderr;
    std::va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stream, format, arguments);
    va_end(arguments);
    std::fputc('\n', stream);
    if (status == Status::Fatal)
        throw ConversionAbandoned{};
}

} // namespace tessarel::wordbin
