#include "wordbin/Report.h"

#include <cstdarg>
#include <cstdio>

namespace tessarel::wordbin {

void Report(Status status, const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
    std::fputc('\n', stderr);
    if (status == Status::Fatal)
        throw ConversionAbandoned{};
}

} // namespace tessarel::wordbin
