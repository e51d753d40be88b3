// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace vistrel {

namespace inline_text_detail {

// Two fixed-size pieces that may overlap cover any length up to twice their
// size, with no call into the library. Both are loaded before either is
// stored, so the source may be the destination itself.
template <std::size_t kPiece> void copyPieces(char* to, const char* from, std::size_t n) {
    std::array<char, kPiece> head; // NOLINT(cppcoreguidelines-pro-type-member-init): written before read
    std::array<char, kPiece> tail; // NOLINT(cppcoreguidelines-pro-type-member-init): written before read
    std::memcpy(head.data(), from, kPiece);
    std::memcpy(tail.data(), from + n - kPiece, kPiece);
    std::memcpy(to, head.data(), kPiece);
    std::memcpy(to + n - kPiece, tail.data(), kPiece);
}

} // namespace inline_text_detail

// Copies n bytes, which may overlap; short texts, the usual ones, without a
// call into the library.
inline void copyShort(char* to, const char* from, std::size_t n) {
    using inline_text_detail::copyPieces;
    if (n > 32) {
        std::memmove(to, from, n);
    } else if (n >= 16) {
        copyPieces<16>(to, from, n);
    } else if (n >= 8) {
        copyPieces<8>(to, from, n);
    } else if (n >= 4) {
        copyPieces<4>(to, from, n);
    } else if (n > 0) {
        const char first = from[0];
        const char middle = from[n / 2];
        const char last = from[n - 1];
        to[0] = first;
        to[n / 2] = middle;
        to[n - 1] = last;
    }
}

// True when the n bytes at a and b are the same; short texts without a call
// into the library.
inline bool equalShort(const char* a, const char* b, std::size_t n) {
    if (n > 16) {
        return std::memcmp(a, b, n) == 0;
    }
    if (n >= 8) {
        std::uint64_t a0 = 0;
        std::uint64_t a1 = 0;
        std::uint64_t b0 = 0;
        std::uint64_t b1 = 0;
        std::memcpy(&a0, a, 8);
        std::memcpy(&b0, b, 8);
        std::memcpy(&a1, a + n - 8, 8);
        std::memcpy(&b1, b + n - 8, 8);
        return ((a0 ^ b0) | (a1 ^ b1)) == 0;
    }
    for (std::size_t k = 0; k < n; ++k) {
        if (a[k] != b[k]) {
            return false;
        }
    }
    return true;
}

// A text kept inside the object when short, as nearly every field's text is:
// writing one is a plain copy, with no allocation to check or release. A long
// text goes to the heap, whose memory is kept for the next long one.
class InlineText {
  public:
    InlineText() = default;
    explicit InlineText(std::string_view text) { assign(text); }
    void assign(std::string_view text) {
        if (text.size() <= kInline) {
            copyShort(inline_.data(), text.data(), text.size());
            size_ = static_cast<std::uint8_t>(text.size());
            long_ = false;
        } else {
            heap_.assign(text);
            long_ = true;
        }
    }
    // Room for a text of size bytes, to be written in place before it is read.
    [[nodiscard]] char* overwrite(std::size_t size) {
        if (size <= kInline) {
            size_ = static_cast<std::uint8_t>(size);
            long_ = false;
            return inline_.data();
        }
        heap_.resize(size);
        long_ = true;
        return heap_.data();
    }
    void clear() {
        size_ = 0;
        long_ = false;
    }
    [[nodiscard]] bool equals(std::string_view text) const {
        const std::string_view own = view();
        return own.size() == text.size() && equalShort(own.data(), text.data(), own.size());
    }
    [[nodiscard]] std::string_view view() const {
        return long_ ? std::string_view(heap_) : std::string_view(inline_.data(), size_);
    }

  private:
    static constexpr std::size_t kInline = 30;
    // Only its first size_ bytes are ever read, so it need not start zeroed:
    // engines build dozens of these per press.
    std::array<char, kInline> inline_; // NOLINT(cppcoreguidelines-pro-type-member-init)
    std::uint8_t size_ = 0;
    bool long_ = false;
    std::string heap_;
};

} // namespace vistrel
