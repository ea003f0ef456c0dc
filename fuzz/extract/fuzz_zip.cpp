// The archive readers on a file made of the input, and their tag scans on the input itself
// (an inflated member rarely survives a mutation of its archive).
#include "FuzzTempFile.h"
#include "extract/Readers.h"
#include "extract/XmlTextScan.h"
#include "platform/Text.h"

#include <cstdlib>

using namespace tessarel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::WriteInput("input.zip", data, size);
    ReadContext context;
    context.contentsPath = fuzz::FuzzFolder() + "/";
    context.wordTempPath = context.contentsPath + "wts.txt";
    FileRecord record;
    record.nativePath = path;
    record.size = static_cast<std::int64_t>(size);
    for (auto reader : {ReadDocxText, ReadXlsxText, ReadPptxText, ReadOdtText})
        reader(record, context);

    const std::u16string part = FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    for (auto scan : {ScanDocxText, ScanXlsxText, ScanPptxText, ScanOdtText}) {
        std::u16string text;
        scan(part, text);
        if (text.size() > part.size())
            std::abort();
    }
    MainDocumentTarget(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
