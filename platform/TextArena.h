#pragma once
// Storage for the texts of one catalogue. A reading run writes gigabytes of text once and keeps
// it until the catalogue goes; taking it from the allocator one document at a time costs a page
// fault every 4 KiB, more than the reading itself. The arena hands out texts from large blocks
// that the kernel may back with huge pages, and gives everything back at once.

#include <cstddef>
#include <memory_resource>
#include <mutex>
#include <vector>

namespace tessarel {

class TextArena final : public std::pmr::memory_resource {
public:
    TextArena() = default;
    ~TextArena() override;
    TextArena(const TextArena&) = delete;
    TextArena& operator=(const TextArena&) = delete;

    // Gives back every block. Only when no text taken from the arena is still in use.
    void release();
    // Bytes of address space the arena holds (for tests and measurement).
    std::size_t reservedBytes() const;

private:
    struct Block {
        char* base;
        std::size_t size;
    };
    void* do_allocate(std::size_t bytes, std::size_t alignment) override;
    // Memory goes back with the arena; only the latest allocation is taken back at once, so a
    // text that is shortened or replaced straight after it was made wastes nothing.
    void do_deallocate(void* p, std::size_t bytes, std::size_t alignment) override;
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
        return this == &other;
    }
    static Block map(std::size_t bytes);

    mutable std::mutex mutex_;
    std::vector<Block> blocks_;
    char* next_ = nullptr;
    char* end_ = nullptr;
};

} // namespace tessarel
