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

// True when the format groups an integer part of n digits.
bool groups(const NumberFormat& f, int n) {
    return !f.group.empty() && f.groupFirst > 0 && f.groupHigher > 0 && n - f.groupFirst >= f.groupMinLeading;
}

// Where the format puts a group separator: after this many digits from the
// right of the integer part.
bool separatorAfter(const NumberFormat& f, int fromRight) {
    return fromRight == f.groupFirst || (fromRight > f.groupFirst && (fromRight - f.groupFirst) % f.groupHigher == 0);
}

// Digits, separators and sign in the format's own texts, one piece at a time.
template <typename Out>
void renderInto(Out& out, const NumberFormat& f, const Decimal& d, int fractionDigits, bool grouped) {
    if (d.negative) {
        out.minus();
    }
    const int n = std::max(d.intLength, 1);
    const bool group = grouped && groups(f, n);
    for (int k = 0; k < n; ++k) {
        const int fromRight = n - k; // digits from here to the point
        if (group && k > 0 && separatorAfter(f, fromRight)) {
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
    if (g.singleBytes) {
        for (std::size_t n = 0; n < 100; ++n) {
            g.pairs[2 * n] = g.digits[n / 10].bytes[0];
            g.pairs[2 * n + 1] = g.digits[n % 10].bytes[0];
        }
    }
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

// Writes the text from its right end at `end`, so the digits come straight
// off the integer; returns where it starts. integerDigits and grouped are the
// caller's, which needs them to size the text first.
template <bool kSingleBytes>
char* writeThousandths(char* end, const NumberFormat& format, const Glyphs& glyphs, bool negative,
                       std::uint64_t thousandths, int integerDigits, bool grouped) {
    char* at = end;
    const auto put = [&](const Piece& piece) {
        if constexpr (kSingleBytes) {
            *--at = piece.bytes[0];
        } else {
            at -= piece.size;
            std::memcpy(at, piece.bytes.data(), piece.size);
        }
    };
    const auto fraction = static_cast<unsigned>(thousandths % 1000);
    std::uint64_t integer = thousandths / 1000;
    if constexpr (kSingleBytes) {
        // Two digits at a time where no separator can fall between them.
        const auto pair = [&](std::size_t n) {
            at -= 2;
            std::memcpy(at, glyphs.pairs.data() + 2 * n, 2);
        };
        pair(fraction % 100);
        put(glyphs.digits[fraction / 100]);
        put(glyphs.decimal);
        if (!grouped) {
            for (; integer >= 100; integer /= 100) {
                pair(integer % 100);
            }
            if (integer >= 10) {
                pair(integer);
            } else {
                put(glyphs.digits[integer]);
            }
            if (negative && thousandths > 0) {
                put(glyphs.minus);
            }
            return at;
        }
    } else {
        put(glyphs.digits[fraction % 10]);
        put(glyphs.digits[fraction / 10 % 10]);
        put(glyphs.digits[fraction / 100]);
        put(glyphs.decimal);
    }
    for (int fromRight = 1;; ++fromRight, integer /= 10) {
        put(glyphs.digits[integer % 10]);
        if (fromRight == integerDigits) {
            break;
        }
        if (grouped && separatorAfter(format, fromRight)) {
            put(glyphs.group);
        }
    }
    if (negative && thousandths > 0) {
        put(glyphs.minus);
    }
    return at;
}

} // namespace

InlineText renderThousandths(const NumberFormat& format, const Glyphs& glyphs, bool negative,
                             std::uint64_t thousandths) {
    // Every path returns this one text, so it is built where the caller keeps it.
    InlineText text;
    constexpr std::uint64_t kLimit = 1'000'000'000'000'000; // 12 integer digits at most below
    if (!glyphs.fits || thousandths >= kLimit) {
        text.assign(render(format, glyphs, fromThousandths(negative, thousandths), 3, true));
        return text;
    }
    int digits = 1; // before the point
    for (std::uint64_t rest = thousandths / 10'000; rest > 0; rest /= 10) {
        ++digits;
    }
    const bool grouped = groups(format, digits);
    if (glyphs.singleBytes) {
        // Every piece is a byte, so the length is known before writing, and the
        // text is written where it is kept.
        int separators = 0;
        for (int fromRight = 1; grouped && fromRight < digits; ++fromRight) {
            separators += separatorAfter(format, fromRight) ? 1 : 0;
        }
        const auto size = static_cast<std::size_t>(digits + 4 + (negative && thousandths > 0 ? 1 : 0) +
                                                   separators * static_cast<int>(glyphs.group.size));
        char* begin = text.overwrite(size);
        writeThousandths<true>(begin + size, format, glyphs, negative, thousandths, digits, grouped);
        return text;
    }
    std::array<char, 256> buffer; // NOLINT(cppcoreguidelines-pro-type-member-init): written before read
    char* const end = buffer.data() + buffer.size();
    const char* begin = writeThousandths<false>(end, format, glyphs, negative, thousandths, digits, grouped);
    text.assign({begin, static_cast<std::size_t>(end - begin)});
    return text;
}

} // namespace vistrel::detail
