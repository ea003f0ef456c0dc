#pragma once
// A text buffer of fixed capacity that takes a piece only when the whole piece fits, so a result
// page never ends in half a tag; later, smaller pieces may still go in.

#include <cstddef>
#include <string>
#include <string_view>

namespace tessarel {

class FixedText {
public:
    // `capacity` counts a terminator, so a buffer holds capacity - 1 units: the page limits are
    // stated that way.
    explicit FixedText(std::size_t capacity) : capacity_(capacity) { text_.reserve(capacity); }

    bool append(std::u16string_view piece) {
        if (text_.size() + piece.size() >= capacity_)
            return false;
        text_.append(piece);
        return true;
    }
    void clear() { text_.clear(); }
    // Grows the capacity to at least `capacity`, for a buffer sized from what it is to hold.
    void ensureCapacity(std::size_t capacity) {
        if (capacity > capacity_) {
            capacity_ = capacity;
            text_.reserve(capacity);
        }
    }
    std::size_t capacity() const { return capacity_; }
    std::size_t size() const { return text_.size(); }
    std::u16string_view view() const { return text_; }
    const std::u16string& str() const { return text_; }
    // Replaces the whole text, keeping at most capacity - 1 units.
    void assign(std::u16string_view text) { text_.assign(text.substr(0, capacity_ ? capacity_ - 1 : 0)); }

private:
    std::size_t capacity_;
    std::u16string text_;
};

} // namespace tessarel
