#include "wordbin/CompoundFile.h"

#include "wordbin/Report.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

namespace tessarel::wordbin {
namespace {

// Where the header keeps what the container is read from.
namespace header {
constexpr std::uint64_t kDepotCount = 0x2C;
constexpr std::uint64_t kRootListStart = 0x30;
constexpr std::uint64_t kSmallDepotStart = 0x3C;
constexpr std::uint64_t kExtensionStart = 0x44;
constexpr std::uint64_t kDepotList = 0x4C;
} // namespace header

// The fields of a 128-byte directory entry.
namespace entry {
constexpr std::size_t kNameBytes = 0x40;
constexpr std::size_t kType = 0x42;
constexpr std::size_t kPrevious = 0x44;
constexpr std::size_t kNext = 0x48;
constexpr std::size_t kChild = 0x4C;
constexpr std::size_t kStart = 0x74;
constexpr std::size_t kSize = 0x78;
} // namespace entry

// The last slot of a depot extension block links to the next one.
constexpr std::uint64_t kExtensionNextLink = 0x1FC;
constexpr std::uint32_t kHeaderDepotEntries = 109;
constexpr std::uint32_t kExtensionEntries = 127;
constexpr std::uint32_t kEntriesPerDepotBlock = kBigBlockSize / 4;
constexpr std::uint32_t kDirectoryEntrySize = 128;
// Writers mark a missing sibling or child with this value as often as with end of chain.
constexpr std::uint32_t kNoEntry = 0xFFFFFFFF;
constexpr int kMaxDirectoryDepth = 25;

constexpr std::uint8_t kStreamType = 2;
constexpr std::uint8_t kRootType = 5;

bool IsNone(std::uint32_t link) {
    return link == kEndOfChain || link == kNoEntry;
}

std::uint64_t BigBlockOffset(std::uint32_t block) {
    return (static_cast<std::uint64_t>(block) + 1) * kBigBlockSize;
}

} // namespace

struct CompoundFile::Entry {
    std::uint32_t next = 0;
    std::uint32_t previous = 0;
    std::uint32_t dir = 0;
    std::uint32_t start = 0;
    std::uint32_t size = 0;
    int level = INT_MAX;
    std::string name; // low bytes of the UTF-16 name, up to its first terminator
    std::uint8_t type = 0;
};

bool CompoundFile::recognise(const SourceFile& file) {
    const std::uint64_t size = file.size();
    if (size < 3 * kBigBlockSize)
        return false;
    const std::uint64_t tail = size % kBigBlockSize;
    // Some writers leave one or two stray bytes after the last block.
    if (tail != 0 && !((tail == 1 || tail == 2) && size % 3 != tail))
        return false;
    static constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::uint8_t head[8];
    return file.read(0, 8, head) && std::memcmp(head, kSignature, 8) == 0;
}

std::uint64_t CompoundFile::blockOffset(std::uint32_t block, std::uint32_t blockSize) const {
    if (blockSize == kBigBlockSize)
        return BigBlockOffset(block);
    const std::uint32_t run = block / 8;
    if (run >= smallBlockList_.size())
        return 0;
    return BigBlockOffset(smallBlockList_[run]) + (block % 8) * static_cast<std::uint64_t>(kSmallBlockSize);
}

bool CompoundFile::fillDepot(const std::vector<std::uint32_t>& depotBlocks,
                             std::vector<std::uint32_t>& depot) {
    std::size_t filled = 0;
    std::uint8_t block[kBigBlockSize];
    for (std::uint32_t depotBlock : depotBlocks) {
        if (filled == depot.size())
            break;
        const std::uint64_t offset = BigBlockOffset(depotBlock);
        if (!file_.read(offset, kBigBlockSize, block)) {
            Report(Status::StepFails, "Reading big block from 0x%lx is not possible",
                   static_cast<unsigned long>(offset));
            return false;
        }
        const std::size_t take = std::min<std::size_t>(kEntriesPerDepotBlock, depot.size() - filled);
        for (std::size_t i = 0; i < take; ++i)
            depot[filled + i] = Get32(block, i * 4);
        filled += take;
    }
    return filled == depot.size();
}

CompoundFile::Chain CompoundFile::followBigChain(std::uint32_t start, std::uint32_t maxSteps) {
    Chain chain;
    std::uint32_t block = start;
    while (block != kEndOfChain && chain.size() < maxSteps) {
        if (block >= bigDepot_.size())
            Report(Status::Fatal, "The Big Block Depot is damaged");
        chain.push_back(block);
        block = bigDepot_[block];
    }
    return chain;
}

void CompoundFile::assignLevels(std::vector<Entry>& entries, std::uint32_t index, int level, int depth) {
    if (depth > kMaxDirectoryDepth || index >= entries.size())
        return;
    Entry& entry = entries[index];
    // An entry already given this level or a shallower one ends the visit, which also ends loops.
    if (entry.level <= level)
        return;
    entry.level = level;
    assignLevels(entries, entry.dir, level + 1, depth + 1);
    assignLevels(entries, entry.next, level, depth + 1);
    assignLevels(entries, entry.previous, level, depth + 1);
}

bool CompoundFile::open() {
    const std::uint64_t size = file_.size();
    const std::int64_t maxBlock = static_cast<std::int64_t>(size / kBigBlockSize) - 2;
    if (maxBlock < 1)
        return false;
    const std::uint32_t blockCount = static_cast<std::uint32_t>(maxBlock + 1);
    const std::uint32_t rootListStart = file_.readLong(header::kRootListStart);
    // The root entry's start is the small stream's (its size, read next, the small depot's).
    const std::uint32_t smallStreamStart = file_.readLong(BigBlockOffset(rootListStart) + entry::kStart);
    if (!readDepots(blockCount, rootListStart))
        return false;
    std::vector<Entry> entries;
    if (!readDirectory(blockCount, rootListStart, entries) || !locateStreams(entries))
        return false;
    smallBlockList_ = followBigChain(smallStreamStart, blockCount);
    if (streams_.wordDocument.size < kSmallStreamThreshold) {
        Report(Status::StepFails, "I'm afraid the text stream of this file is too small to handle.");
        return false;
    }
    return readBigStream(streams_.wordDocument, 0, kWordHeaderSize, wordHeader_.data());
}

bool CompoundFile::readDepots(std::uint32_t blockCount, std::uint32_t rootListStart) {
    const std::uint32_t depotCount = file_.readLong(header::kDepotCount);
    // The root entry's size is the small stream's, which the small depot maps.
    const std::uint32_t rootSize = file_.readLong(BigBlockOffset(rootListStart) + entry::kSize);
    const std::uint32_t smallDepotLength = rootSize / kSmallBlockSize;

    // Only the depot blocks that the N entries need are listed; later slots could never be read.
    const std::uint32_t neededDepotBlocks = (blockCount + kEntriesPerDepotBlock - 1) / kEntriesPerDepotBlock;
    std::vector<std::uint32_t> depotBlocks(std::min(depotCount, neededDepotBlocks), 0);
    std::size_t listed = std::min<std::size_t>(depotBlocks.size(), kHeaderDepotEntries);
    for (std::size_t i = 0; i < listed; ++i)
        depotBlocks[i] = file_.readLong(header::kDepotList + i * 4);
    std::uint32_t extensionBlock = file_.readLong(header::kExtensionStart);
    while (extensionBlock != kEndOfChain && listed < depotBlocks.size()) {
        const std::uint64_t at = BigBlockOffset(extensionBlock);
        const std::size_t take = std::min<std::size_t>(depotBlocks.size() - listed, kExtensionEntries);
        for (std::size_t i = 0; i < take; ++i)
            depotBlocks[listed + i] = file_.readLong(at + i * 4);
        listed += take;
        extensionBlock = file_.readLong(at + kExtensionNextLink);
    }

    bigDepot_.assign(blockCount, 0);
    if (!fillDepot(depotBlocks, bigDepot_))
        return false;

    // The small depot's blocks: a short chain is completed from block 0, as the slots start zeroed.
    Chain smallDepotChain = followBigChain(file_.readLong(header::kSmallDepotStart), blockCount);
    if (smallDepotLength > static_cast<std::uint64_t>(blockCount) * kEntriesPerDepotBlock)
        return false;
    const std::size_t smallSlots = (smallDepotLength + kEntriesPerDepotBlock - 1) / kEntriesPerDepotBlock;
    smallDepotChain.resize(smallSlots, 0);
    smallDepot_.assign(smallDepotLength, 0);
    return fillDepot(smallDepotChain, smallDepot_);
}

bool CompoundFile::readDirectory(std::uint32_t blockCount, std::uint32_t rootListStart,
                                 std::vector<Entry>& entries) {
    const Chain rootList = followBigChain(rootListStart, blockCount);
    if (rootList.empty()) {
        Report(Status::StepFails, "No Rootlist found");
        return false;
    }
    const std::uint32_t entryCount =
        static_cast<std::uint32_t>(rootList.size() * kBigBlockSize / kDirectoryEntrySize);
    entries.assign(entryCount, Entry{});
    std::uint32_t root = 0;
    for (std::uint32_t k = 0; k < entryCount; ++k) {
        const std::uint64_t offset = BigBlockOffset(rootList[k * kDirectoryEntrySize / kBigBlockSize]) +
                                     (k * kDirectoryEntrySize) % kBigBlockSize;
        const auto bytes = file_.view(offset, kDirectoryEntrySize);
        if (bytes.empty()) {
            Report(Status::StepFails, "Reading PPS %d is not possible", static_cast<int>(k));
            return false;
        }
        Entry& e = entries[k];
        const std::size_t units = std::min<std::size_t>((Get16(bytes, entry::kNameBytes) + 1u) / 2, 32);
        for (std::size_t i = 0; units >= 2 && i + 1 < units; ++i) {
            const char c = static_cast<char>(bytes[i * 2]);
            if (c == '\0')
                break;
            e.name.push_back(c);
        }
        e.type = bytes[entry::kType];
        e.previous = Get32(bytes, entry::kPrevious);
        e.next = Get32(bytes, entry::kNext);
        e.dir = Get32(bytes, entry::kChild);
        e.start = Get32(bytes, entry::kStart);
        e.size = Get32(bytes, entry::kSize);
        if (e.type == kRootType)
            root = k;
        for (std::uint32_t link : {e.previous, e.next, e.dir}) {
            if (!IsNone(link) && link >= entryCount) {
                Report(Status::StepFails, "The Property Set Storage is damaged");
                return false;
            }
        }
    }
    assignLevels(entries, root, 0, 0);
    return true;
}

bool CompoundFile::locateStreams(const std::vector<Entry>& entries) {
    bool spreadsheet = false;
    const std::pair<const char*, StreamLocation*> wanted[] = {
        {"WordDocument", &streams_.wordDocument},
        {"Data", &streams_.data},
        {"0Table", &streams_.table0},
        {"1Table", &streams_.table1},
        {"\x05SummaryInformation", &streams_.summaryInformation},
        {"\x05"
         "DocumentSummaryInformation",
         &streams_.documentSummaryInformation},
    };
    std::vector<bool> taken(std::size(wanted), false);
    for (const Entry& e : entries) {
        if (e.level != 1 || e.type != kStreamType || e.name.empty() || e.size == 0)
            continue;
        if (e.name == "Book" || e.name == "Workbook")
            spreadsheet = true;
        for (std::size_t i = 0; i < std::size(wanted); ++i) {
            if (!taken[i] && e.name == wanted[i].first) {
                taken[i] = true;
                *wanted[i].second = {e.start, e.size};
            }
        }
    }
    if (!taken[0]) {
        Report(Status::StepFails, spreadsheet ? "Sorry, but this is an Excel spreadsheet"
                                              : "This OLE file does not contain a Word document");
        return false;
    }
    return true;
}

bool CompoundFile::chainBlock(std::uint32_t start, bool small, std::uint64_t index, std::uint32_t& block) {
    LazyChain& chain = chains_.try_emplace({start, small}, LazyChain{{}, start, false}).first->second;
    const std::vector<std::uint32_t>& depot = small ? smallDepot_ : bigDepot_;
    // Links are followed only as far as a read needs them, so damage beyond the text is harmless.
    while (chain.blocks.size() <= index && !chain.ended) {
        if (chain.next == kEndOfChain) {
            chain.ended = true;
            break;
        }
        // A block beyond the depot is damage, an empty depot included.
        if (chain.next >= depot.size())
            Report(Status::Fatal,
                   small ? "The Small Block Depot is damaged" : "The Big Block Depot is damaged");
        // A chain never holds more blocks than its depot; a longer one is a loop and ends there.
        if (chain.blocks.size() >= depot.size()) {
            chain.ended = true;
            break;
        }
        chain.blocks.push_back(chain.next);
        chain.next = depot[chain.next];
    }
    if (index >= chain.blocks.size())
        return false;
    block = chain.blocks[index];
    return true;
}

bool CompoundFile::readRange(StreamLocation stream, bool small, std::uint64_t offset, std::size_t count,
                             std::uint8_t* destination) {
    if (count == 0)
        return true;
    const std::uint32_t blockSize = small ? kSmallBlockSize : kBigBlockSize;
    std::uint64_t index = offset / blockSize;
    std::uint64_t within = offset % blockSize;
    while (count > 0) {
        std::uint32_t block;
        if (!chainBlock(stream.start, small, index, block))
            return false; // the chain ends early
        const std::size_t take = std::min<std::uint64_t>(blockSize - within, count);
        const std::uint64_t at = blockOffset(block, blockSize) + within;
        if (!file_.read(at, take, destination)) {
            Report(Status::StepFails, "Read big block 0x%lx not possible", static_cast<unsigned long>(at));
            return false;
        }
        destination += take;
        count -= take;
        within = 0;
        ++index;
    }
    return true;
}

bool CompoundFile::readStream(StreamLocation stream, std::uint64_t offset, std::size_t count,
                              std::uint8_t* destination) {
    return readRange(stream, stream.size < kSmallStreamThreshold, offset, count, destination);
}

bool CompoundFile::readBigStream(StreamLocation stream, std::uint64_t offset, std::size_t count,
                                 std::uint8_t* destination) {
    return readRange(stream, false, offset, count, destination);
}

std::vector<std::uint8_t> CompoundFile::streamBytes(StreamLocation stream, std::uint64_t offset,
                                                    std::size_t count) {
    // No stream range can hold more bytes than the file.
    if (count > file_.size())
        return {};
    std::vector<std::uint8_t> bytes(count);
    if (!readStream(stream, offset, count, bytes.data()))
        return {};
    return bytes;
}

bool CompoundFile::bigStreamFileOffset(StreamLocation stream, std::uint64_t offset,
                                       std::uint64_t& fileOffset) {
    std::uint32_t block;
    if (!chainBlock(stream.start, false, offset / kBigBlockSize, block))
        return false;
    fileOffset = BigBlockOffset(block) + offset % kBigBlockSize;
    return true;
}

} // namespace tessarel::wordbin
