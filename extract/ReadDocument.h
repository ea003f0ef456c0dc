#pragma once
// The read dispatch and the plain-text reader. Every reader leaves the record's text set (the
// empty text when the file can't be read) and touches no other record. A reader returns false
// when the file could not be opened or read (no descriptor left, an I/O error): the empty text is
// then the moment's failure, not the file's answer, and must not be kept for later runs.

#include "extract/FileRecord.h"
#include "extract/ReadContext.h"

#include "wordbin/Convert.h"

#include <string>

namespace tessarel {

// The longest text any reader gives a document: the Word reader's bound on its output.
inline constexpr std::size_t kMaxTextUnits = wordbin::kMaxConvertedBytes;

bool ReadDocumentText(FileRecord& record, const ReadContext& context);
// By the document's descriptor when there is one (ReadContext::documentFd).
bool ReadPlainText(FileRecord& record, int documentFd = -1);
bool IsRtfFile(const FileRecord& record, int documentFd = -1);
bool ReadWordDocumentText(FileRecord& record, const ReadContext& context);
// The temporary file's text, decoded from UTF-8: at most as many bytes as a conversion writes.
// *failed, when given, is set when the file could not be opened or read.
std::u16string ReadTempTextFile(const ReadContext& context, bool* failed = nullptr);
// The Word reader's layout width for tables and tabs (it follows COLUMNS): part of what its text
// depends on.
int WordLayoutWidth();
// The bytes the calling thread's read buffer holds between files.
std::size_t ReadBufferBytes();

// True when a byte is above 0x7F.
bool HasNonAscii(std::string_view bytes);
// Appends bytes that are all below 0x80, one unit each.
void AppendAscii(std::u16string& out, std::string_view ascii);
// Appends the decoded bytes of a plain-text file to `out` (the reader puts the leading space first).
void AppendPlainText(std::u16string& out, std::string_view bytes);

} // namespace tessarel
