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
// Documents of a book's reading order read at most; each attempt, failed or not, takes one.
constexpr std::size_t kMaxBookDocuments = 5000;
// Members missing from a book named one by one in the log; a book missing more says how many.
constexpr int kMaxMissingNamed = 8;

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

void ReadOdsText(FileRecord& record, const ReadContext& context) {
    ReadNamedMember(record, context, "content.xml", ScanOdfText);
}

void ReadOdpText(FileRecord& record, const ReadContext& context) {
    ReadNamedMember(record, context, "content.xml", ScanOdfText);
}

void ReadEpubText(FileRecord& record, const ReadContext& context) {
    record.text.clear();
    if (context.wordTempPath.empty())
        return;
    ZipArchive zip(ArchivePath(record), context.documentFd);
    // The container, the package and every document of the book share one budget.
    std::uint64_t budget = kMaxInflatedBytes;
    std::u16string part;
    if (!ExtractMember(zip, zip.findMember("META-INF/container.xml"), context, budget, part))
        return;
    const std::string packagePath = PackageDocumentPath(part);
    if (packagePath.empty() || !ExtractMember(zip, zip.findMember(packagePath), context, budget, part))
        return;
    const BookPackage book = ReadBookPackage(part, packagePath, kMaxBookDocuments);
    std::u16string text;
    text.append(book.title);
    int missing = 0;
    for (const std::string& member : book.spine) {
        if (budget == 0)
            break;
        const int index = zip.findMember(member);
        if (index < 0) {
            // Named in the log, the rest of the book still read.
            if (++missing <= kMaxMissingNamed)
                context.log(u"A part of the book is missing from its archive: " + FromUtf8(member));
            continue;
        }
        if (!ExtractMember(zip, index, context, budget, part))
            continue;
        if (!text.empty() && text.back() != u'\n')
            text.push_back(u'\n');
        ScanXhtmlText(part, text);
        if (text.size() >= kMaxTextUnits)
            break;
    }
    if (book.itemsLeftOut)
        context.log(u"The book's reading order is longer than " + NumberText(static_cast<long long>(kMaxBookDocuments)) +
                    u" documents: the rest was not read.");
    if (missing > kMaxMissingNamed)
        context.log(u"Further parts missing from the book's archive: " + NumberText(missing - kMaxMissingNamed));
    record.text = std::move(text);
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
