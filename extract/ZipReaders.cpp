#include "extract/Readers.h"

namespace tessarel {

// Placeholders until the archive readers land: these documents get the empty text.
void ReadDocxText(FileRecord& record, const ReadContext&) { record.text.clear(); }
void ReadXlsxText(FileRecord& record, const ReadContext&) { record.text.clear(); }
void ReadPptxText(FileRecord& record, const ReadContext&) { record.text.clear(); }
void ReadOdtText(FileRecord& record, const ReadContext&) { record.text.clear(); }

} // namespace tessarel
