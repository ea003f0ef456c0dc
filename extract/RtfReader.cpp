#include "extract/Readers.h"
#include "extract/RtfConverter.h"

namespace tessarel {

// Placeholder until the RTF converter lands: RTF documents get the empty text.
std::u16string RtfConverterControl::convert(std::string_view) { return {}; }

void ReadRtfText(FileRecord& record, const ReadContext&) { record.text.clear(); }

} // namespace tessarel
