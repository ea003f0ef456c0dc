#pragma once
// The read dispatch and the plain-text reader. Every reader leaves the record's text set (the
// empty text when the file can't be read) and touches no other record.

#include "extract/FileRecord.h"
#include "extract/ReadContext.h"

#include "wordbin/Convert.h"

#include <string>

namespace tessarel {

// The longest text any reader gives a document: the Word reader's bound on its output.
inline constexpr std::size_t kMaxTextUnits = wordbin::kMaxConvertedBytes;

void ReadDocumentText(FileRecord& record, const ReadContext& context);
void ReadPlainText(FileRecord& record);
// By the document's descriptor when there is one (ReadContext::documentFd).
bool IsRtfFile(const FileRecord& record, int documentFd = -1);
void ReadWordDocumentText(FileRecord& record, const ReadContext& context);
// The temporary file's text, decoded from UTF-8: at most as many bytes as a conversion writes.
std::u16string ReadTempTextFile(const ReadContext& context);
// The bytes the calling thread's read buffer holds between files.
std::size_t ReadBufferBytes();

// Appends the decoded bytes of a plain-text file to `out` (the reader puts the leading space first).
void AppendPlainText(std::pmr::u16string& out, std::string_view bytes);

} // namespace tessarel
