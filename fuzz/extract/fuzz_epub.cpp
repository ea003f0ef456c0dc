// The book reader on a file made of the input, and the package and XHTML scans on the input
// itself (an inflated member rarely survives a mutation of its archive).
#include "FuzzTempFile.h"
#include "extract/Readers.h"
#include "extract/XmlTextScan.h"
#include "platform/Text.h"

#include <cstdlib>
#include <vector>

using namespace tessarel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::WriteInput("input.epub", data, size);
    std::vector<std::u16string> logLines;
    ReadContext context;
    context.contentsPath = fuzz::FuzzFolder() + "/";
    context.wordTempPath = context.contentsPath + "wts.txt";
    context.logLines = &logLines;
    FileRecord record;
    record.nativePath = path;
    record.size = static_cast<std::int64_t>(size);
    ReadEpubText(record, context);
    if (logLines.size() > 10)
        std::abort();

    const std::u16string part = FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    std::u16string text;
    ScanXhtmlText(part, text);
    if (text.size() > part.size())
        std::abort();
    const std::string package = PackageDocumentPath(part);
    const BookPackage book = ReadBookPackage(part, package, 100);
    if (book.spine.size() > 100 || book.title.size() > part.size())
        std::abort();
    return 0;
}
