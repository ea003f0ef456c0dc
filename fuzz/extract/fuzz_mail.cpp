// The mail reader on a file made of the input, read both as a message and as an mbox archive,
// and the HTML text scan on the input itself.
#include "FuzzTempFile.h"
#include "extract/HtmlText.h"
#include "extract/ReadDocument.h"
#include "extract/Readers.h"
#include "platform/Text.h"

#include <cstdlib>

using namespace tessarel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::WriteInput("input.mbox", data, size);
    ReadContext context;
    context.contentsPath = fuzz::FuzzFolder() + "/";
    FileRecord record;
    record.nativePath = path;
    record.size = static_cast<std::int64_t>(size);
    ReadMailText(record, context);
    if (record.text.size() > kMaxTextUnits)
        std::abort();

    const std::u16string html = FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    std::u16string text;
    AppendHtmlText(html, text);
    if (text.size() > html.size())
        std::abort();
    return 0;
}
