// A text field that holds its text at the text's own length, cut to a fixed
// capacity the way copy_cut cuts a fixed array.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

#include "core/text.h"

namespace pf {

// At most N - 1 bytes: N counts the NUL, as the size of the fixed array the
// field stands for would. A short text stays inside the object, a longer one
// takes one heap block of its own length. All zero bytes is the empty text,
// so records of these in zero-filled static storage need no start-up step,
// and a record never used is a page never touched.
template <std::size_t N>
class BoundedText {
    static_assert(N >= 1 && N <= UINT32_MAX);

public:
    static constexpr std::size_t capacity = N;

    constexpr BoundedText() = default;
    BoundedText(const BoundedText &other) { assign(other.view()); }
    BoundedText(BoundedText &&other) noexcept { swap(other); }
    BoundedText &operator=(const BoundedText &other) {
        assign(other.view());
        return *this;
    }
    BoundedText &operator=(BoundedText &&other) noexcept {
        BoundedText(std::move(other)).swap(*this);
        return *this;
    }
    constexpr ~BoundedText() { delete[] heap_; }

    const char *c_str() const noexcept { return heap_ ? heap_ : in_place_; }
    std::string_view view() const noexcept { return {c_str(), size_}; }
    bool empty() const noexcept { return size_ == 0; }

    // True when assigning text would leave this one as it is.
    bool holds(std::string_view text) const noexcept {
        text = as_c_text(text);
        return view() == text.substr(0, cut_length(text, N));
    }

    // Replaces the text by text, cut to fit; true when it fitted whole. A NUL
    // ends text, as it ends the C text that c_str() gives. text may lie
    // inside this object. Assigning the text held changes nothing, so an
    // address handed out before stays valid. Throws std::bad_alloc, with the
    // text as it was, when memory runs out.
    bool assign(std::string_view text) {
        text = as_c_text(text);
        const std::size_t keep = cut_length(text, N);
        const std::string_view kept = text.substr(0, keep);
        if (kept == view()) return keep == text.size();
        if (keep < kInPlace) {
            // Copied before the old block goes, as the text may lie in it.
            if (keep > 0) std::memmove(in_place_, kept.data(), keep);
            in_place_[keep] = '\0';
            delete[] heap_;
            heap_ = nullptr;
        } else {
            char *block = new char[keep + 1];
            std::memcpy(block, kept.data(), keep);
            block[keep] = '\0';
            delete[] heap_;
            heap_ = block;
        }
        size_ = static_cast<std::uint32_t>(keep);
        return keep == text.size();
    }

    void swap(BoundedText &other) noexcept {
        std::swap(heap_, other.heap_);
        std::swap(size_, other.size_);
        std::swap(in_place_, other.in_place_);
    }

    friend bool operator==(const BoundedText &a, const BoundedText &b) noexcept { return a.view() == b.view(); }

private:
    static constexpr std::string_view as_c_text(std::string_view text) noexcept {
        return text.substr(0, text.find('\0'));
    }

    // A field this small holds every text in place; a larger one its short
    // texts, in the bytes that pad the object to 32 anyway.
    static constexpr std::size_t kInPlace = N <= 64 ? N : 20;

    char *heap_ = nullptr;  // null while the text is in place
    std::uint32_t size_ = 0;
    char in_place_[kInPlace] = {};
};

}  // namespace pf
