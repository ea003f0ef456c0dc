// The image reader: the recognised text of a PNG, JPEG or TIFF image, every page of a TIFF, pages
// separated by one form feed as a PDF's are.

#include "extract/Readers.h"

#include "extract/Recognition.h"
#include "platform/File.h"
#include "platform/Text.h"

#include <leptonica/allheaders.h>

#include <cstdio>
#include <memory>
#include <string>

namespace tessarel {
namespace {

// A TIFF may claim any number of pages; past this many the budget would be spent long before.
constexpr int kMaxImagePages = 10000;

struct PixDeleter {
    void operator()(Pix* pix) const { pixDestroy(&pix); }
};
using UniquePix = std::unique_ptr<Pix, PixDeleter>;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

bool FitsBound(l_int32 width, l_int32 height) {
    return width > 0 && height > 0 &&
           static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) <= kMaxRecognitionPixels;
}

bool IsTiff(l_int32 format) {
    return format == IFF_TIFF || format == IFF_TIFF_PACKBITS || format == IFF_TIFF_RLE || format == IFF_TIFF_G3 ||
           format == IFF_TIFF_G4 || format == IFF_TIFF_LZW || format == IFF_TIFF_ZIP || format == IFF_TIFF_JPEG;
}

int TiffPageCount(const l_uint8* data, std::size_t size) {
    const std::unique_ptr<std::FILE, FileCloser> stream(fopenReadFromMemory(data, size));
    l_int32 pages = 0;
    if (!stream || tiffGetCount(stream.get(), &pages) != 0)
        return 0;
    return std::min(pages, kMaxImagePages);
}

void AppendPage(std::string& utf8, int page) {
    if (page > 0)
        utf8.push_back('\f');
}

} // namespace

void ReadImageText(FileRecord& record, const ReadContext& context) {
    record.text.clear();
    if (!context.recognition.on)
        return;
    std::string bytes;
    {
        UniqueFile f = OpenForReading(record.fileName(), context.documentFd);
        if (!f)
            return;
        char chunk[1 << 16];
        std::size_t got = 0;
        while ((got = std::fread(chunk, 1, sizeof chunk, f.get())) > 0 &&
               bytes.size() + got <= static_cast<std::size_t>(std::max<std::int64_t>(record.size, 0)) + sizeof chunk)
            bytes.append(chunk, got);
    }
    const auto* data = reinterpret_cast<const l_uint8*>(bytes.data());
    l_int32 format = IFF_UNKNOWN;
    if (bytes.size() < 12 || findFileFormatBuffer(data, &format) != 0)
        return;
    // Only the three formats the type names: any other decoder is more surface for nothing.
    if (format != IFF_PNG && format != IFF_JFIF_JPEG && !IsTiff(format))
        return;
    DocumentRecognition recognition(context.recognition, context.onPage, context.logLines);
    if (!recognition.ready())
        return;
    std::string utf8;
    if (IsTiff(format)) {
        const int pages = TiffPageCount(data, bytes.size());
        recognition.setPages(pages);
        for (int page = 0; page < pages; ++page) {
            AppendPage(utf8, page);
            l_int32 w = 0, h = 0, bps = 0, spp = 0, res = 0, cmap = 0, pageFormat = 0;
            // The header first: a page that would decode into more pixels than the bound is never decoded.
            if (readHeaderMemTiff(data, bytes.size(), page, &w, &h, &bps, &spp, &res, &cmap, &pageFormat) != 0 ||
                !FitsBound(w, h)) {
                recognition.skip();
                continue;
            }
            recognition.recognize(UniquePix(pixReadMemTiff(data, bytes.size(), page)).get(), utf8);
        }
    } else {
        recognition.setPages(1);
        l_int32 w = 0, h = 0, bps = 0, spp = 0, cmap = 0;
        if (pixReadHeaderMem(data, bytes.size(), &format, &w, &h, &bps, &spp, &cmap) != 0 || !FitsBound(w, h))
            recognition.skip();
        else
            recognition.recognize(UniquePix(pixReadMem(data, bytes.size())).get(), utf8);
    }
    while (!utf8.empty() && (utf8.back() == '\n' || utf8.back() == ' '))
        utf8.pop_back();
    record.text = FromUtf8(utf8);
}

} // namespace tessarel
