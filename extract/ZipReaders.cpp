#include "extract/ReadDocument.h"
#include "extract/Readers.h"
#include "extract/XmlTextScan.h"
#include "extract/ZipArchive.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace tessarel {
namespace {

// All members one document may inflate, together: a zip bomb stops here instead of filling
// memory or the disk.
constexpr std::uint64_t kMaxInflatedBytes = 64ull * 1024 * 1024;
// Slots for slide parts, as many as a presentation may contribute.
constexpr int kMaxSlides = 1000;
// Room for a text beyond its part's length, as the readers' buffers have.
constexpr std::size_t kTextSlack = 1025;

std::string ArchivePath(const FileRecord& record) {
    return record.fileName();
}

// Extracts one member to the temporary file and reads it back decoded. Empty when nothing was
// extracted for this document, so the file's earlier content is never read. Whatever the member
// inflated, extracted or not, is taken from the document's budget.
bool ExtractMember(ZipArchive& zip, int index, const ReadContext& context, std::uint64_t& budget,
                   std::u16string& part) {
    part.clear();
    if (index < 0 || budget == 0)
        return false;
    std::uint64_t written = 0;
    const bool extracted = zip.extractMember(index, context.wordTempPath, budget, &written);
    budget -= std::min(budget, written);
    if (!extracted)
        return false;
    part = ReadTempTextFile(context);
    return true;
}

using Scan = void (*)(std::u16string_view, std::u16string&);

void ScanInto(FileRecord& record, std::u16string_view part, Scan scan) {
    std::u16string text;
    text.reserve(part.size() + kTextSlack);
    scan(part, text);
    record.text = std::move(text);
}

// The reader frame of the single-part formats. When the name occurs more than once the last
// member is the one whose text stands, so only that one is inflated.
void ReadNamedMember(FileRecord& record, const ReadContext& context, const std::string& name, Scan scan) {
    record.text.clear();
    if (context.wordTempPath.empty())
        return;
    ZipArchive zip(ArchivePath(record), context.documentFd);
    int last = -1;
    for (int i = 0; i < zip.memberCount(); ++i)
        if (zip.memberName(i) == name)
            last = i;
    std::u16string part;
    std::uint64_t budget = kMaxInflatedBytes;
    if (ExtractMember(zip, last, context, budget, part))
        ScanInto(record, part, scan);
}

} // namespace

void ReadDocxText(FileRecord& record, const ReadContext& context) {
    record.text.clear();
    if (context.wordTempPath.empty())
        return;
    ZipArchive zip(ArchivePath(record), context.documentFd);
    // The main part is found by name: producers store it at different places in the archive.
    // The relationships and the main part share one budget.
    std::u16string part;
    std::uint64_t budget = kMaxInflatedBytes;
    int main = -1;
    if (ExtractMember(zip, zip.findMember("_rels/.rels"), context, budget, part)) {
        const std::string target = MainDocumentTarget(ToUtf8(part));
        if (!target.empty())
            main = zip.findMember(target);
    }
    if (main < 0)
        main = zip.findMember("word/document.xml");
    if (ExtractMember(zip, main, context, budget, part))
        ScanInto(record, part, ScanDocxText);
}

void ReadXlsxText(FileRecord& record, const ReadContext& context) {
    ReadNamedMember(record, context, "xl/sharedStrings.xml", ScanXlsxText);
}

void ReadOdtText(FileRecord& record, const ReadContext& context) {
    ReadNamedMember(record, context, "content.xml", ScanOdtText);
}

void ReadPptxText(FileRecord& record, const ReadContext& context) {
    record.text.clear();
    if (context.wordTempPath.empty())
        return;
    ZipArchive zip(ArchivePath(record), context.documentFd);
    // Slides in the archive's member order, not by their numbers.
    std::u16string slides;
    std::u16string part;
    std::uint64_t budget = kMaxInflatedBytes;
    // Every attempt takes a slot, failed ones too: a directory naming a broken slide a million
    // times costs no more than a thousand slides.
    int attempts = 0;
    bool extracted = false;
    for (int i = 0; i < zip.memberCount() && attempts < kMaxSlides && budget > 0; ++i) {
        if (zip.memberName(i).compare(0, 16, "ppt/slides/slide") != 0)
            continue;
        ++attempts;
        if (!ExtractMember(zip, i, context, budget, part))
            continue;
        extracted = true;
        slides += part;
    }
    if (extracted)
        ScanInto(record, slides, ScanPptxText);
}

} // namespace tessarel
