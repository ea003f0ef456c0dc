// The image reader with recognition on, on a PNG, JPEG or TIFF file made of the input (the
// first byte chooses which): it must end within the page budget's reach and never crash.
#include "FuzzTempFile.h"
#include "extract/Readers.h"

#include <chrono>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    static const char* const kNames[] = {"input.png", "input.jpg", "input.tif"};
    const std::string path = tessarel::fuzz::WriteInput(kNames[data[0] % 3], data + 1, size - 1);
    tessarel::FileRecord record;
    record.path = std::u16string(path.begin(), path.end());
    record.nativePath = path;
    record.extension = data[0] % 3 == 0 ? u"png" : data[0] % 3 == 1 ? u"jpg" : u"tif";
    record.size = static_cast<std::int64_t>(size - 1);
    tessarel::ReadContext context;
    context.recognition.on = true;
    context.recognition.pageBudget = std::chrono::seconds(2);
    context.recognition.documentBudget = std::chrono::seconds(5);
    tessarel::ReadImageText(record, context);
    return 0;
}
