// SPDX-License-Identifier: GPL-3.0-or-later
#include "number_render.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vistrel::detail {

namespace {

using number_detail::Glyphs;
using number_detail::Piece;

bool pieceOf(const std::string& text, Piece& piece) {
    if (text.size() > piece.bytes.size()) {
        return false;
    }
    std::copy(text.begin(), text.end(), piece.bytes.begin());
    piece.size = static_cast<std::uint8_t>(text.size());
    return true;
}

// Digits, separators and sign in the format's own texts, one piece at a time.
template <typename Out>
void renderInto(Out& out, const NumberFormat& f, const Decimal& d, int fractionDigits, bool grouped) {
    if (d.negative) {
        out.minus();
    }
    const int n = std::max(d.intLength, 1);
    const bool group =
        grouped && !f.group.empty() && f.groupFirst > 0 && f.groupHigher > 0 && n - f.groupFirst >= f.groupMinLeading;
    for (int k = 0; k < n; ++k) {
        const int fromRight = n - k; // digits from here to the point
        if (group && k > 0 &&
            (fromRight == f.groupFirst ||
             (fromRight > f.groupFirst && (fromRight - f.groupFirst) % f.groupHigher == 0))) {
            out.group();
        }
        out.digit(d.intLength > 0 ? d.at(k) : '0');
    }
    if (fractionDigits > 0) {
        out.decimal();
        for (int j = 0; j < fractionDigits; ++j) {
            out.digit(d.at(d.intLength + j));
        }
    }
}

// Writes the inline pieces into a fixed buffer, enough for every usual
// number; overflowed() says when not.
class ShortText {
  public:
    explicit ShortText(const Glyphs& g) : glyphs_(g) {}
    void digit(char ascii) { append(glyphs_.digits[static_cast<std::size_t>(ascii - '0')]); }
    void decimal() { append(glyphs_.decimal); }
    void group() { append(glyphs_.group); }
    void minus() { append(glyphs_.minus); }
    [[nodiscard]] bool overflowed() const { return overflow_; }
    [[nodiscard]] std::string str() const { return {buffer_.data(), size_}; }

  private:
    void append(const Piece& piece) {
        if (size_ + piece.bytes.size() > buffer_.size()) {
            overflow_ = true;
            return;
        }
        // The whole inline piece is copied (a fixed size is cheaper than a
        // variable one); only its first size bytes count.
        std::memcpy(buffer_.data() + size_, piece.bytes.data(), piece.bytes.size());
        size_ += piece.size;
    }

    const Glyphs& glyphs_;
    std::array<char, 96> buffer_; // NOLINT(cppcoreguidelines-pro-type-member-init): written before read
    std::size_t size_ = 0;
    bool overflow_ = false;
};

class LongText {
  public:
    explicit LongText(const NumberFormat& f) : format_(f) {}
    void digit(char ascii) { text += format_.digits[static_cast<std::size_t>(ascii - '0')]; }
    void decimal() { text += format_.decimal; }
    void group() { text += format_.group; }
    void minus() { text += format_.minus; }
    std::string text;

  private:
    const NumberFormat& format_;
};

} // namespace

Glyphs glyphsOf(const NumberFormat& format) {
    Glyphs g;
    for (std::size_t d = 0; d < g.digits.size(); ++d) {
        g.fits = pieceOf(format.digits[d], g.digits[d]) && g.fits;
    }
    g.fits = pieceOf(format.decimal, g.decimal) && pieceOf(format.group, g.group) && pieceOf(format.minus, g.minus) &&
             g.fits;
    g.singleBytes = g.fits && g.decimal.size == 1 && g.minus.size == 1 && g.group.size <= 1 &&
                    std::all_of(g.digits.begin(), g.digits.end(), [](const Piece& p) { return p.size == 1; });
    return g;
}

std::string render(const NumberFormat& format, const Glyphs& glyphs, const Decimal& d, int fractionDigits,
                   bool grouped) {
    if (glyphs.fits) {
        ShortText fast(glyphs);
        renderInto(fast, format, d, fractionDigits, grouped);
        if (!fast.overflowed()) {
            return fast.str();
        }
    }
    LongText slow(format);
    renderInto(slow, format, d, fractionDigits, grouped);
    return std::move(slow.text);
}

namespace {

// Written from the right, so the digits come straight off the integer.
template <bool kSingleBytes>
InlineText writeThousandths(const NumberFormat& format, const Glyphs& glyphs, bool negative,
                            std::uint64_t thousandths) {
    std::array<char, 256> buffer; // NOLINT(cppcoreguidelines-pro-type-member-init): written before read
    std::size_t at = buffer.size();
    const auto put = [&](const Piece& piece) {
        if constexpr (kSingleBytes) {
            buffer[--at] = piece.bytes[0];
        } else {
            at -= piece.size;
            std::memcpy(buffer.data() + at, piece.bytes.data(), piece.size);
        }
    };
    auto fraction = static_cast<unsigned>(thousandths % 1000);
    put(glyphs.digits[fraction % 10]);
    put(glyphs.digits[fraction / 10 % 10]);
    put(glyphs.digits[fraction / 100]);
    put(glyphs.decimal);
    std::uint64_t integer = thousandths / 1000;
    if (format.group.empty()) { // nothing to place between the digits: no need to count them first
        do {
            put(glyphs.digits[integer % 10]);
            integer /= 10;
        } while (integer > 0);
        if (negative && thousandths > 0) {
            put(glyphs.minus);
        }
        return InlineText({buffer.data() + at, buffer.size() - at});
    }
    int n = 1; // digits before the point
    for (std::uint64_t rest = integer / 10; rest > 0; rest /= 10) {
        ++n;
    }
    const bool group =
        format.groupFirst > 0 && format.groupHigher > 0 && n - format.groupFirst >= format.groupMinLeading;
    for (int fromRight = 1;; ++fromRight, integer /= 10) {
        put(glyphs.digits[integer % 10]);
        if (fromRight == n) {
            break;
        }
        if (group && (fromRight == format.groupFirst ||
                      (fromRight > format.groupFirst && (fromRight - format.groupFirst) % format.groupHigher == 0))) {
            put(glyphs.group);
        }
    }
    if (negative && thousandths > 0) {
        put(glyphs.minus);
    }
    return InlineText({buffer.data() + at, buffer.size() - at});
}

} // namespace

InlineText renderThousandths(const NumberFormat& format, const Glyphs& glyphs, bool negative,
                             std::uint64_t thousandths) {
    constexpr std::uint64_t kLimit = 1'000'000'000'000'000; // 12 integer digits at most below
    if (!glyphs.fits || thousandths >= kLimit) {
        return InlineText(render(format, glyphs, fromThousandths(negative, thousandths), 3, true));
    }
    return glyphs.singleBytes ? writeThousandths<true>(format, glyphs, negative, thousandths)
                              : writeThousandths<false>(format, glyphs, negative, thousandths);
}

} // namespace vistrel::detail
