// The RTF converter on arbitrary bytes: it must end, stay within its buffer, and never crash.
#include "extract/RtfConverter.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    tessarel::RtfConverterControl converter;
    const std::u16string text = converter.convert(bytes);
    if (text.size() >= size + 1024)
        std::abort();
    return 0;
}
