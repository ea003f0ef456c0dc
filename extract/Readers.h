#pragma once
// The format readers behind the dispatch, one per document type.

#include "extract/FileRecord.h"
#include "extract/ReadContext.h"

#include <string_view>

namespace tessarel {

bool ReadRtfText(FileRecord& record, const ReadContext& context);
void ReadDocxText(FileRecord& record, const ReadContext& context);
void ReadXlsxText(FileRecord& record, const ReadContext& context);
void ReadPptxText(FileRecord& record, const ReadContext& context);
void ReadOdtText(FileRecord& record, const ReadContext& context);
void ReadOdsText(FileRecord& record, const ReadContext& context);
void ReadOdpText(FileRecord& record, const ReadContext& context);
void ReadEpubText(FileRecord& record, const ReadContext& context);
void ReadPdfText(FileRecord& record, const ReadContext& context);
// A message (.eml) or an mbox archive: every message, in order, in one text.
bool ReadMailText(FileRecord& record, const ReadContext& context);
// Recognised text; the empty text unless the context's recognition is on.
void ReadImageText(FileRecord& record, const ReadContext& context);

// The extensions the image reader takes.
inline bool IsImageExtension(std::u16string_view e) {
    return e == u"png" || e == u"jpg" || e == u"jpeg" || e == u"tif" || e == u"tiff";
}

} // namespace tessarel
