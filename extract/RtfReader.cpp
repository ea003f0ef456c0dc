#include "extract/Readers.h"
#include "extract/RtfConverter.h"
#include "platform/File.h"
#include "platform/Text.h"

#include <cstdio>
#include <memory>

namespace tessarel {

bool ReadRtfText(FileRecord& record, const ReadContext& context) {
    record.text.clear();
    UniqueFile f = OpenForReading(record.fileName(), context.documentFd);
    if (!f)
        return false;
    if (record.size <= 0)
        return true;
    std::string bytes(static_cast<std::size_t>(record.size), '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f.get()));
    if (std::ferror(f.get()))
        return false;
    // The converter holds no state between documents, so a reading run without the window's
    // converter (the command line) uses one of its own.
    RtfConverterControl local;
    RtfConverterControl& converter = context.rtf ? *context.rtf : local;
    record.text = converter.convert(bytes);
    return true;
}

} // namespace tessarel
