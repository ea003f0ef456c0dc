// Converts arbitrary bytes as a Word document: the reader must neither crash, hang nor leak.
#include "wordbin/Convert.h"
#include "wordbin/Report.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

const std::string& Path(const char* tag) {
    static const std::string in = "/tmp/fuzz-convert-" + std::to_string(getpid()) + "-in.doc";
    static const std::string out = "/tmp/fuzz-convert-" + std::to_string(getpid()) + "-out.txt";
    return tag[0] == 'i' ? in : out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The reader's diagnostics would drown the fuzzer's own output.
    static std::FILE* quiet = std::fopen("/dev/null", "w");
    tessarel::wordbin::SetReportStream(quiet);
    std::FILE* input = std::fopen(Path("in").c_str(), "wb");
    if (!input)
        return 0;
    if (size)
        std::fwrite(data, 1, size, input);
    std::fclose(input);
    tessarel::wordbin::Convert(Path("in"), Path("out"));
    return 0;
}
