#include "extract/PdfText.h"
#include "extract/ReadDocument.h"
#include "extract/Recognition.h"
#include "extract/Readers.h"
#include "platform/File.h"
#include "platform/Text.h"

#include <Error.h>
#include <GlobalParams.h>
#include <PDFDoc.h>
#include <SplashOutputDev.h>
#include <Stream.h>
#include <TextOutputDev.h>
#include <goo/GooString.h>
#include <goo/gfile.h>
#include <splash/SplashBitmap.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

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

// True when the text since `from` holds nothing but blanks and page breaks: a scanned page.
bool IsBlankPage(const std::string& text, std::size_t from) {
    return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(),
                       [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f'; });
}

// Renders the page in grey, as large as the pixel bound allows up to the recognition
// resolution, and recognises it into `utf8`.
void RecognisePage(PDFDoc& doc, int page, SplashOutputDev& splash, DocumentRecognition& recognition,
                   std::string& utf8) {
    const double width = doc.getPageCropWidth(page);
    const double height = doc.getPageCropHeight(page);
    int dpi = kRecognitionDpi;
    if (width > 0 && height > 0) {
        const double fits = 72.0 * std::sqrt(static_cast<double>(kMaxRecognitionPixels) / (width * height));
        dpi = static_cast<int>(std::min<double>(dpi, std::floor(fits)));
    }
    // A page too large even for a coarse rendering is no scanned page of this world.
    if (!(width > 0 && height > 0) || dpi < 36) {
        recognition.skip();
        return;
    }
    doc.displayPage(&splash, page, dpi, dpi, 0, /*useMediaBox*/ false, /*crop*/ true, /*printing*/ false);
    SplashBitmap* bitmap = splash.getBitmap();
    if (!bitmap) {
        recognition.skip();
        return;
    }
    recognition.recognize(bitmap->getDataPtr(), bitmap->getWidth(), bitmap->getHeight(), bitmap->getRowSize(), dpi,
                          utf8);
    while (!utf8.empty() && (utf8.back() == '\n' || utf8.back() == ' '))
        utf8.pop_back();
}

} // namespace

// The library's global parameters are one process-wide object: a process reads one PDF document
// at a time (the reading run reads them in helper processes, or takes turns without them).
std::string ExtractPdfText(const std::string& path, std::size_t capacity, int fd, const ReadContext* recognise) {
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
    // A recognising read's capacity is the bound on any text, not a size to reserve.
    text.reserve(recognise && recognise->recognition.on ? std::min<std::size_t>(capacity, 1 << 20) : capacity);
    OutputBuffer out{text, capacity};
    TextOutputDev device(AppendPiece, &out, /*physLayout*/ false, /*fixedPitch*/ 0, /*rawOrder*/ false);
    // Lines end with LF alone: a carriage return ends a fragment, and a sentence goes on over a line.
    device.setTextEOL(eolUnix);
    device.setTextPageBreaks(true);
    // Made at the first page without text: a document with a text layer never starts the engine.
    std::optional<DocumentRecognition> recognition;
    std::unique_ptr<SplashOutputDev> splash;
    // Page by page, so that a full buffer ends the work as well as the text.
    for (int page = 1; device.isOk() && page <= pages && !out.full; ++page) {
        const std::size_t before = text.size();
        doc.displayPage(&device, page, 72, 72, 0, /*useMediaBox*/ false, /*crop*/ true, /*printing*/ false);
        if (!recognise || !recognise->recognition.on || out.full || !IsBlankPage(text, before))
            continue;
        if (!recognition) {
            recognition.emplace(recognise->recognition, recognise->onPage, recognise->logLines);
            recognition->setPages(pages);
            SplashColor paper;
            paper[0] = 0xff;
            splash = std::make_unique<SplashOutputDev>(splashModeMono8, 1, false, paper);
            splash->startDoc(&doc);
        }
        if (!recognition->ready())
            continue;
        const bool pageBreak = text.size() > before && text.back() == '\f';
        std::string recognised;
        RecognisePage(doc, page, *splash, *recognition, recognised);
        text.resize(before);
        // The page's text takes its place as a piece would: whole, or not at all and the end.
        if (text.size() + recognised.size() + 1 >= capacity) {
            out.full = true;
            break;
        }
        text.append(recognised);
        if (pageBreak)
            text.push_back('\f');
    }
    // The form feed after the last page separates nothing.
    if (!text.empty() && text.back() == '\f')
        text.pop_back();
    return text;
}

void ReadPdfText(FileRecord& record, const ReadContext& context) {
    record.text.clear();
    const std::string path = record.fileName();
    const std::size_t size = record.size > 0 ? static_cast<std::size_t>(record.size) : 0;
    // Recognised pages have as much text as their words, however small their images compress.
    const std::size_t capacity = context.recognition.on ? kMaxTextUnits : 3 * size + 1024;
    std::string utf8 = ExtractPdfText(path, capacity, context.documentFd, &context);
    const std::size_t nul = utf8.find('\0');
    if (nul != std::string::npos)
        utf8.resize(nul);
    record.text = FromUtf8(utf8);
}

} // namespace tessarel
