#pragma once
// The compound file (structured storage) container of Word 6 and later: recognition, the two
// block depots, the directory with its levels, the streams the Word reader needs, and reads of
// byte ranges out of any stream. It knows nothing of Word.

#include "wordbin/SourceFile.h"

#include <array>
#include <cstdint>
#include <map>
#include <vector>

namespace tessarel::wordbin {

inline constexpr std::uint32_t kBigBlockSize = 512;
inline constexpr std::uint32_t kSmallBlockSize = 64;
inline constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
inline constexpr std::uint32_t kSmallStreamThreshold = 4096;
inline constexpr std::size_t kWordHeaderSize = 768;

// Where one stream lives; all zero when the container has none of that name.
struct StreamLocation {
    std::uint32_t start = 0;
    std::uint32_t size = 0;
};

struct PpsInfo {
    StreamLocation wordDocument;
    StreamLocation data;
    StreamLocation table;
    StreamLocation summaryInformation;
    StreamLocation documentSummaryInformation;
    StreamLocation table0;
    StreamLocation table1;
};

class CompoundFile {
public:
    explicit CompoundFile(const SourceFile& file) : file_(file) {}

    static bool recognise(const SourceFile& file);

    // Loads the depots, the directory and the small block list, selects the streams and reads the
    // Word header. False (after its message) when the container can't be used.
    bool open();

    PpsInfo& streams() { return streams_; }
    const std::array<std::uint8_t, kWordHeaderSize>& wordHeader() const { return wordHeader_; }

    // Reads `count` bytes at `offset` of a stream, through the small depot when the stream is
    // shorter than 4096 bytes.
    bool readStream(StreamLocation stream, std::uint64_t offset, std::size_t count,
                    std::uint8_t* destination);
    // The same through the big depot whatever the stream's size ("WordDocument" is always big).
    bool readBigStream(StreamLocation stream, std::uint64_t offset, std::size_t count,
                       std::uint8_t* destination);
    // The bytes of a stream range, or empty when it can't be read.
    std::vector<std::uint8_t> streamBytes(StreamLocation stream, std::uint64_t offset, std::size_t count);

    // The file offset of the stream byte at `offset` in a big-depot stream, or false beyond it.
    bool bigStreamFileOffset(StreamLocation stream, std::uint64_t offset, std::uint64_t& fileOffset);

    std::uint64_t blockOffset(std::uint32_t block, std::uint32_t blockSize) const;

private:
    struct Entry;
    using Chain = std::vector<std::uint32_t>;

    // The steps of Open: the big and small depots, the directory, the streams a Word document has.
    bool readDepots(std::uint32_t blockCount, std::uint32_t rootListStart);
    bool readDirectory(std::uint32_t blockCount, std::uint32_t rootListStart, std::vector<Entry>& entries);
    bool locateStreams(const std::vector<Entry>& entries);
    bool fillDepot(const std::vector<std::uint32_t>& depotBlocks, std::vector<std::uint32_t>& depot);
    Chain followBigChain(std::uint32_t start, std::uint32_t maxSteps);
    // The block at `index` of the chain from `start`, followed and kept on first use.
    bool chainBlock(std::uint32_t start, bool small, std::uint64_t index, std::uint32_t& block);
    bool readRange(StreamLocation stream, bool small, std::uint64_t offset, std::size_t count,
                   std::uint8_t* destination);
    void assignLevels(std::vector<Entry>& entries, std::uint32_t index, int level, int depth);

    const SourceFile& file_;
    std::vector<std::uint32_t> bigDepot_;
    std::vector<std::uint32_t> smallDepot_;
    std::vector<std::uint32_t> smallBlockList_;
    PpsInfo streams_;
    std::array<std::uint8_t, kWordHeaderSize> wordHeader_{};
    struct LazyChain {
        Chain blocks;
        std::uint32_t next;
        bool ended;
    };
    std::map<std::pair<std::uint32_t, bool>, LazyChain> chains_;
};

} // namespace tessarel::wordbin
