// The PDF driver on a file made of the input: it must end and stay within its buffer.
#include "FuzzTempFile.h"
#include "extract/PdfText.h"

#include <Error.h>

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The library's diagnostics for damaged input would drown the fuzzer's own output.
    setErrorCallback([](ErrorCategory, Goffset, const char*) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = tessarel::fuzz::WriteInput("input.pdf", data, size);
    const std::size_t capacity = 3 * size + 1024;
    if (tessarel::ExtractPdfText(path, capacity).size() >= capacity)
        std::abort();
    return 0;
}
