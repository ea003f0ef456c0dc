#include "extract/PdfText.h"
#include "extract/Readers.h"
#include "platform/File.h"
#include "platform/Text.h"

#include <Error.h>
#include <GlobalParams.h>
#include <PDFDoc.h>
#include <Stream.h>
#include <TextOutputDev.h>
#include <goo/GooString.h>
#include <goo/gfile.h>

#include <memory>

namespace tessarel {
namespace {

struct OutputBuffer {
    std::string& text;
    std::size_t capacity;
    bool full = false;
};

// Every piece the text device emits, separators and page breaks included, passes here. A piece
// that doesn't fit ends the text, so the text never has a hole in it.
void AppendPiece(void* stream, const char* bytes, int length) {
    auto& out = *static_cast<OutputBuffer*>(stream);
    if (out.full || length <= 0)
        return;
    if (out.text.size() + static_cast<std::size_t>(length) >= out.capacity) {
        out.full = true;
        return;
    }
    out.text.append(bytes, static_cast<std::size_t>(length));
}

// The library reports every damaged structure it meets ("Syntax Error: ...") on stderr. A damaged
// document simply yields less text; its messages would only clutter the terminal of a reading run.
void DropLibraryMessage(ErrorCategory, Goffset, const char*) {}

// Each document gets parameters of its own, so no library state survives from one to the next.
struct ScopedGlobalParams {
    ScopedGlobalParams() {
        setErrorCallback(DropLibraryMessage);
        globalParams = std::make_unique<GlobalParams>();
        globalParams->setTextEncoding("UTF-8");
    }
    ~ScopedGlobalParams() { globalParams.reset(); }
};

} // namespace

// The library's global parameters are one process-wide object: a process reads one PDF document
// at a time (the reading run reads them in helper processes, or takes turns without them).
std::string ExtractPdfText(const std::string& path, std::size_t capacity, int fd) {
    std::string text;
    if (capacity == 0)
        return text;
    ScopedGlobalParams params;
    // No passwords: a document that needs a user password doesn't open, and that is its answer.
    std::unique_ptr<GooFile> file;
    std::unique_ptr<PDFDoc> opened;
    if (fd >= 0) {
        // The stream reads the file and the document owns the stream; the file outlives both.
        const int own = ReopenDescriptor(fd);
        file = own >= 0 ? GooFile::open(own) : nullptr;
        if (!file)
            return text;
        opened =
            std::make_unique<PDFDoc>(new FileStream(file.get(), 0, false, file->size(), Object(objNull)));
    } else {
        opened = std::make_unique<PDFDoc>(std::make_unique<GooString>(path));
    }
    PDFDoc& doc = *opened;
    if (!doc.isOk() || !doc.okToCopy())
        return text;
    const int pages = doc.getNumPages();
    text.reserve(capacity);
    OutputBuffer out{text, capacity};
    TextOutputDev device(AppendPiece, &out, /*physLayout*/ false, /*fixedPitch*/ 0, /*rawOrder*/ false);
    // Lines end with LF alone: a carriage return ends a fragment, and a sentence goes on over a line.
    device.setTextEOL(eolUnix);
    device.setTextPageBreaks(true);
    // Page by page, so that a full buffer ends the work as well as the text.
    for (int page = 1; device.isOk() && page <= pages && !out.full; ++page)
        doc.displayPage(&device, page, 72, 72, 0, /*useMediaBox*/ false, /*crop*/ true, /*printing*/ false);
    // The form feed after the last page separates nothing.
    if (!text.empty() && text.back() == '\f')
        text.pop_back();
    return text;
}

void ReadPdfText(FileRecord& record, const ReadContext& context) {
    record.text.clear();
    const std::string path = record.fileName();
    const std::size_t size = record.size > 0 ? static_cast<std::size_t>(record.size) : 0;
    std::string utf8 = ExtractPdfText(path, 3 * size + 1024, context.documentFd);
    const std::size_t nul = utf8.find('\0');
    if (nul != std::string::npos)
        utf8.resize(nul);
    record.text = FromUtf8(utf8);
}

} // namespace tessarel
