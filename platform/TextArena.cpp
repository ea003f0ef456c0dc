#include "platform/TextArena.h"

#include <sys/mman.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#else
#define ASAN_POISON_MEMORY_REGION(at, size) ((void)(at), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(at, size) ((void)(at), (void)(size))
#endif

#include <cstdint>
#include <iterator>
#include <new>

namespace tessarel {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kBlockBytes = std::size_t{32} << 20;
// A text larger than this gets a mapping of its own, so that a block is never mostly wasted.
constexpr std::size_t kOwnMappingBytes = kBlockBytes / 4;

std::size_t RoundUp(std::size_t n, std::size_t to) {
    return (n + to - 1) / to * to;
}

// Under AddressSanitizer every text is fenced: the memory between and after texts, and a text
// given back, stay poisoned, so that a reader writing past its text is caught as it would be on
// the heap.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::size_t kFence = 32;
#else
constexpr std::size_t kFence = 0;
#endif

// The room an allocation takes in a block.
std::size_t Footprint(std::size_t requested) {
    return RoundUp(requested == 0 ? 1 : requested, alignof(std::max_align_t)) + kFence;
}

} // namespace

TextArena::~TextArena() {
    release();
}

void TextArena::release() {
    std::lock_guard lock(mutex_);
    for (const Block& block : blocks_) {
        ASAN_UNPOISON_MEMORY_REGION(block.base, block.size);
        ::munmap(block.base, block.size);
    }
    blocks_.clear();
    next_ = end_ = nullptr;
}

std::size_t TextArena::reservedBytes() const {
    std::lock_guard lock(mutex_);
    std::size_t total = 0;
    for (const Block& block : blocks_)
        total += block.size;
    return total;
}

TextArena::Block TextArena::map(std::size_t bytes) {
    // Huge pages need 2 MiB alignment: map a little more, then give back the unaligned ends.
    const std::size_t size = RoundUp(bytes, kHugePage);
    void* raw = ::mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        throw std::bad_alloc();
    char* const start = static_cast<char*>(raw);
    char* const base = reinterpret_cast<char*>(RoundUp(reinterpret_cast<std::uintptr_t>(start), kHugePage));
    if (base > start)
        ::munmap(start, static_cast<std::size_t>(base - start));
    char* const tail = base + size;
    const std::size_t tailBytes = static_cast<std::size_t>(start + size + kHugePage - tail);
    if (tailBytes > 0)
        ::munmap(tail, tailBytes);
    // Advice only: without transparent huge pages the block is plain memory.
    ::madvise(base, size, MADV_HUGEPAGE);
    ASAN_POISON_MEMORY_REGION(base, size);
    return {base, size};
}

void* TextArena::do_allocate(std::size_t requested, std::size_t alignment) {
    const std::size_t bytes = Footprint(requested);
    std::lock_guard lock(mutex_);
    if (bytes > kOwnMappingBytes) {
        blocks_.reserve(blocks_.size() + 1);
        const Block own = map(bytes);
        blocks_.push_back(own);
        ASAN_UNPOISON_MEMORY_REGION(own.base, requested);
        return own.base;
    }
    char* at = reinterpret_cast<char*>(RoundUp(reinterpret_cast<std::uintptr_t>(next_), alignment));
    if (next_ == nullptr || at + bytes > end_) {
        blocks_.reserve(blocks_.size() + 1);
        const Block block = map(kBlockBytes);
        blocks_.push_back(block);
        next_ = block.base;
        end_ = block.base + block.size;
        at = next_;
    }
    next_ = at + bytes;
    ASAN_UNPOISON_MEMORY_REGION(at, requested);
    return at;
}

void TextArena::do_deallocate(void* p, std::size_t requested, std::size_t) {
    const std::size_t bytes = Footprint(requested);
    std::lock_guard lock(mutex_);
    if (bytes > kOwnMappingBytes) {
        for (auto block = blocks_.rbegin(); block != blocks_.rend(); ++block) {
            if (block->base == p) {
                ASAN_UNPOISON_MEMORY_REGION(block->base, block->size);
                ::munmap(block->base, block->size);
                blocks_.erase(std::next(block).base());
                return;
            }
        }
        return;
    }
    ASAN_POISON_MEMORY_REGION(p, requested);
    if (static_cast<char*>(p) + bytes == next_)
        next_ = static_cast<char*>(p);
}

} // namespace tessarel
