// The spreadsheet and presentation readers on a file made of the input, and their scan on the
// input itself (an inflated member rarely survives a mutation of its archive).
#include "FuzzTempFile.h"
#include "extract/Readers.h"
#include "extract/XmlTextScan.h"
#include "platform/Text.h"

#include <cstdlib>

using namespace tessarel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::WriteInput("input.ods", data, size);
    ReadContext context;
    context.contentsPath = fuzz::FuzzFolder() + "/";
    context.wordTempPath = context.contentsPath + "wts.txt";
    FileRecord record;
    record.nativePath = path;
    record.size = static_cast<std::int64_t>(size);
    for (auto reader : {ReadOdsText, ReadOdpText})
        reader(record, context);

    const std::u16string part = FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    std::u16string text;
    ScanOdfText(part, text);
    if (text.size() > part.size())
        std::abort();
    return 0;
}
