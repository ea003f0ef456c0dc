#include "extract/Readers.h"

namespace tessarel {

// Placeholder until the PDF reader lands: PDF documents get the empty text.
void ReadPdfText(FileRecord& record, const ReadContext&) { record.text.clear(); }

} // namespace tessarel
