#include "wordbin/TextLocation.h"

#include "wordbin/CompoundFile.h"
#include "wordbin/FormattingReader.h"
#include "wordbin/Report.h"

#include <algorithm>
#include <cstring>

namespace tessarel::wordbin {
namespace {

constexpr std::size_t kWord2HeaderSize = 384;
constexpr int kUnknownVersion = 99;

constexpr std::uint16_t kFastSaved = 1 << 2;
constexpr std::uint16_t kEncrypted = 1 << 8;
constexpr std::uint16_t kUseTable1 = 1 << 9;
constexpr std::uint32_t kEightBitPiece = 1u << 30;

bool StartsWith(const SourceFile& file, std::initializer_list<std::uint8_t> bytes) {
    const auto head = file.view(0, bytes.size());
    return !head.empty() && std::equal(bytes.begin(), bytes.end(), head.begin());
}

struct VersionInfo {
    int version = kUnknownVersion;
    bool oldMacintosh = false;
};

VersionInfo VersionOf(std::span<const std::uint8_t> header) {
    std::uint16_t nFib = Get16(header, 0x02);
    if (nFib >= 0x1000)
        nFib = static_cast<std::uint16_t>(nFib >> 8 | nFib << 8);
    switch (nFib) {
    case 0:
        return {0, false};
    case 28:
        return {4, true};
    case 33:
        return {1, false};
    case 35:
        return {5, true};
    case 45:
        return {2, false};
    case 101:
    case 102:
        return {6, false};
    case 103:
    case 104: {
        const std::uint16_t characterSet = Get16(header, 0x14);
        if (characterSet == 0)
            return {7, false};
        if (characterSet == 256)
            return {6, true};
        return Get8(header, 0x05) == 0xE0 ? VersionInfo{7, false} : VersionInfo{6, true};
    }
    default:
        return {nFib < 192 ? kUnknownVersion : 8, false};
    }
}

void ReadCounts(Document& document, std::size_t at, int howMany) {
    for (int i = 0; i < howMany; ++i)
        document.counts[i] = Get32(document.header, at + 4 * i);
}

std::uint64_t CountSum(const Document& document) {
    std::uint64_t sum = 0;
    for (std::uint32_t count : document.counts)
        sum += count;
    return sum;
}

// Adds `count` bytes of "WordDocument" starting at stream offset `offset` as text blocks, one per
// stream block, with character positions counted from `cp`.
bool AddStreamRange(Document& document, CompoundFile& container, std::uint32_t offset, std::uint64_t count,
                    std::uint32_t cp, bool wide, std::uint16_t modifier) {
    const StreamLocation stream = container.streams().wordDocument;
    // No text can hold more bytes than its stream; the cap also bounds hostile piece tables.
    const std::uint64_t limit = 4 * static_cast<std::uint64_t>(document.source.size());
    std::uint64_t streamOffset = offset;
    while (count > 0) {
        if (document.text.locatedBytes() > limit)
            return true;
        std::uint64_t fileOffset;
        if (!container.bigStreamFileOffset(stream, streamOffset, fileOffset))
            return true; // the chain ends: the text stops there
        const std::uint32_t within = static_cast<std::uint32_t>(streamOffset % kBigBlockSize);
        const std::uint32_t take =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(kBigBlockSize - within, count));
        TextBlock block;
        block.fileOffset = fileOffset;
        block.streamOffset = static_cast<std::uint32_t>(streamOffset);
        block.cp = cp + static_cast<std::uint32_t>((streamOffset - offset) / (wide ? 2 : 1));
        block.length = take;
        block.wide = wide;
        block.modifier = modifier;
        if (!document.text.add(block))
            return false;
        streamOffset += take;
        count -= take;
    }
    return true;
}

// The complex part: property-modifier groups and the piece table.
bool ReadPieceTable(Document& document, CompoundFile& container, const std::vector<std::uint8_t>& clx) {
    const bool word97 = document.version == 8;
    std::size_t at = 0;
    while (at < clx.size()) {
        const std::uint8_t type = clx[at];
        if (type == 0) {
            at += 2;
        } else if (type == 1) {
            const std::uint16_t length = Get16(clx, at + 1);
            const std::size_t begin = std::min(clx.size(), at + 3);
            const std::size_t end = std::min(clx.size(), begin + length);
            document.modifierGroups.emplace_back(clx.begin() + static_cast<std::ptrdiff_t>(begin),
                                                 clx.begin() + static_cast<std::ptrdiff_t>(end));
            at += length + 3u;
        } else if (type == 2) {
            std::uint32_t length = Get32(clx, at + 1);
            if (!word97)
                length &= 0xFFFF;
            if (length < 4)
                return !word97;
            const std::size_t base = at + 5;
            if (base > clx.size())
                return true;
            // Never more pieces than the bytes present can describe.
            const std::size_t n = std::min<std::size_t>((length - 4) / 12, (clx.size() - base) / 12);
            for (std::size_t i = 0; i < n; ++i) {
                const std::uint32_t cpStart = Get32(clx, base + 4 * i);
                const std::uint32_t cpEnd = Get32(clx, base + 4 * (i + 1));
                const std::size_t descriptor = base + 4 * (n + 1) + 8 * i;
                std::uint32_t position = Get32(clx, descriptor + 2);
                const std::uint16_t modifier = Get16(clx, descriptor + 6);
                if (cpEnd <= cpStart)
                    continue;
                bool wide = document.farEast;
                if (word97) {
                    wide = !(position & kEightBitPiece);
                    if (!wide)
                        position = (position & ~kEightBitPiece) / 2;
                }
                const std::uint64_t bytes = static_cast<std::uint64_t>(cpEnd - cpStart) * (wide ? 2 : 1);
                if (!AddStreamRange(document, container, position, bytes, cpStart, wide, modifier))
                    return false;
            }
            return true;
        } else {
            Report(Status::StepFails, "Unknown type of 'fastsaved' format");
            return false;
        }
    }
    return true;
}

void CutAndTidy(Document& document) {
    document.text.cutIntoLists(document.counts);
    document.text.discardBlankList(kTextBoxes, document.source);
    document.text.discardBlankList(kHeaderTextBoxes, document.source);
}

bool LocateWord12(Document& document) {
    const auto header = document.source.view(0, kWord2HeaderSize);
    if (header.empty())
        return false;
    document.header.assign(header.begin(), header.end());
    const VersionInfo info = VersionOf(header);
    if (info.version != 1 && info.version != 2) {
        Report(Status::StepFails, "This file is not from ''Win Word 1 or 2'.");
        return false;
    }
    document.version = info.version;
    const std::uint16_t status = Get16(header, 0x0A);
    if (status & kFastSaved) {
        Report(Status::StepFails, "Word2: fast saved documents are not supported yet");
        return false;
    }
    if (status & kEncrypted) {
        Report(Status::StepFails, "Encrypted documents are not supported");
        return false;
    }
    document.fcMin = Get32(header, 0x18);
    ReadCounts(document, 0x34, 5);
    // The text can't run beyond the file.
    const std::uint64_t available =
        document.fcMin < document.source.size() ? document.source.size() - document.fcMin : 0;
    const std::uint64_t length = std::min<std::uint64_t>(CountSum(document), available);
    if (length > 0) {
        TextBlock block;
        block.fileOffset = document.fcMin;
        block.streamOffset = document.fcMin;
        block.cp = 0;
        block.length = static_cast<std::uint32_t>(length);
        if (!document.text.add(block))
            return false;
    }
    if (document.text.empty()) {
        Report(Status::StepFails, "I can't find the text of this document");
        return false;
    }
    CutAndTidy(document);
    const SourceFile& file = document.source;
    const RangeReader fromFile = [&file](std::uint64_t offset, std::size_t count) {
        const auto bytes = file.view(offset, count);
        return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    };
    ReadFormatting(document, fromFile, fromFile);
    return true;
}

bool LocateInContainer(Document& document, CompoundFile& container) {
    const auto& headerBytes = container.wordHeader();
    document.header.assign(headerBytes.begin(), headerBytes.end());
    const std::span<const std::uint8_t> header = document.header;
    const VersionInfo info = VersionOf(header);
    if (info.version < 6) {
        Report(Status::StepFails, "This file is from a version of Word before Word 6.");
        return false;
    }
    document.version = info.version;
    document.oldMacintosh = info.oldMacintosh;
    const std::uint16_t identifier = Get16(header, 0x00);
    const std::uint16_t status = Get16(header, 0x0A);
    PpsInfo& streams = container.streams();
    streams.table = (status & kUseTable1) ? streams.table1 : streams.table0;
    streams.table0 = {};
    streams.table1 = {};
    if (status & kEncrypted) {
        Report(Status::StepFails, "Encrypted documents are not supported");
        return false;
    }
    if (document.version != 6 && document.version != 7 && document.version != 8) {
        Report(Status::StepFails, "This version of Word is not supported");
        return false;
    }
    document.fastSaved = (status & kFastSaved) != 0;
    document.farEast = document.version < 8 && (identifier == 0x8098 || identifier == 0x8099 ||
                                                identifier == 0xA697 || identifier == 0xA699);
    document.fcMin = Get32(header, 0x18);
    ReadCounts(document, document.version == 8 ? 0x4C : 0x34, kTextListCount);

    const StreamLocation wordStream = streams.wordDocument;
    const StreamLocation tableStream = streams.table;
    if (document.version < 8 && !document.fastSaved) {
        const std::uint64_t bytes = CountSum(document) * (document.farEast ? 2 : 1);
        if (!AddStreamRange(document, container, document.fcMin, bytes, 0, document.farEast, 0))
            return false;
    } else if (document.version < 8) {
        const std::vector<std::uint8_t> clx =
            container.streamBytes(wordStream, Get32(header, 0x160), Get32(header, 0x164));
        if (!ReadPieceTable(document, container, clx))
            return false;
    } else {
        if (tableStream.size == 0)
            return false;
        const std::vector<std::uint8_t> clx =
            container.streamBytes(tableStream, Get32(header, 0x1A2), Get32(header, 0x1A6));
        if (!ReadPieceTable(document, container, clx))
            return false;
    }
    if (document.text.empty()) {
        Report(Status::StepFails, "I can't find the text of this document");
        return false;
    }
    CutAndTidy(document);

    const RangeReader fromWordDocument = [&container, wordStream](std::uint64_t offset, std::size_t count) {
        return container.streamBytes(wordStream, offset, count);
    };
    const RangeReader fromTableStream = [&container, tableStream](std::uint64_t offset, std::size_t count) {
        return container.streamBytes(tableStream, offset, count);
    };
    ReadFormatting(document, document.version == 8 ? fromTableStream : fromWordDocument, fromWordDocument);
    return true;
}

} // namespace

DocumentKind Classify(const SourceFile& file, const std::string& path) {
    const std::uint64_t size = file.size();
    if (size >= 128 && StartsWith(file, {0x31, 0xBE, 0x00, 0x00, 0x00, 0xAB}))
        return DocumentKind::WordForDos;
    if (size >= kWord2HeaderSize &&
        (StartsWith(file, {0x9B, 0xA5, 0x21, 0x00}) || StartsWith(file, {0xDB, 0xA5, 0x2D, 0x00})))
        return DocumentKind::WordForWindows12;
    if (StartsWith(file, {0xFE, 0x37, 0x00, 0x1C, 0x00, 0x00}) ||
        StartsWith(file, {0xFE, 0x37, 0x00, 0x23, 0x00, 0x00}))
        return DocumentKind::Macintosh45;
    if (CompoundFile::recognise(file))
        return DocumentKind::Word6OrLater;
    if (StartsWith(file, {0x7B, 0x5C, 0x72, 0x74, 0x66, 0x31}))
        Report(Status::StepFails, "%s is not a Word Document. It is probably a Rich Text Format file",
               path.c_str());
    else if (StartsWith(file, {0xFF, 0x57, 0x50, 0x43}))
        Report(Status::StepFails, "%s is not a Word Document. It is probably a Word Perfect file",
               path.c_str());
    else
        Report(Status::StepFails, "%s is not a Word Document.", path.c_str());
    return DocumentKind::Unknown;
}

bool Locate(Document& document, DocumentKind kind) {
    if (kind == DocumentKind::WordForWindows12)
        return LocateWord12(document);
    if (kind != DocumentKind::Word6OrLater)
        return false;
    // The container's depots live only as long as this call: the text blocks carry file offsets.
    CompoundFile container(document.source);
    return container.open() && LocateInContainer(document, container);
}

} // namespace tessarel::wordbin
