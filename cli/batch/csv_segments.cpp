// SPDX-License-Identifier: GPL-3.0-or-later
#include "csv_segments.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

namespace vistrel::cli {

namespace {

bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

// How often c occurs in bytes: eight bytes at a time, each word's matches
// added up in its byte lanes. 31 words keep every lane and their sum below 256.
std::size_t countOf(std::string_view bytes, char c) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kLow7 = kOnes * 0x7F;
    const std::uint64_t pattern = kOnes * static_cast<unsigned char>(c);
    std::size_t count = 0;
    std::size_t k = 0;
    while (k + 8 <= bytes.size()) {
        std::uint64_t lanes = 0;
        for (int words = 0; words < 31 && k + 8 <= bytes.size(); ++words, k += 8) {
            std::uint64_t w = 0;
            std::memcpy(&w, bytes.data() + k, sizeof w);
            const std::uint64_t x = w ^ pattern;                       // zero bytes where c is
            const std::uint64_t nonzero = (((x & kLow7) + kLow7) | x); // top bit set where x is not zero
            lanes += (~nonzero & ~kLow7) >> 7;
        }
        count += static_cast<std::size_t>((lanes * kOnes) >> 56);
    }
    for (; k < bytes.size(); ++k) {
        count += bytes[k] == c ? 1U : 0U;
    }
    return count;
}

// Just after the last line end that has an even number of quotes before it,
// or the whole text when there is none.
std::size_t cutPoint(std::string_view bytes) {
    std::size_t quotes = countOf(bytes, '"');
    for (std::size_t end = bytes.size(); end > 0; --end) {
        const char c = bytes[end - 1];
        if (isLineEnd(c) && quotes % 2 == 0) {
            return end;
        }
        quotes -= c == '"' ? 1U : 0U;
    }
    return bytes.size();
}

} // namespace

CsvSegmenter::CsvSegmenter(std::FILE* in, CsvReader::Rest rest, std::size_t segmentBytes)
    : in_(in), carry_(std::move(rest.bytes)), line_(rest.line), afterCr_(rest.afterCr), atEnd_(rest.atEnd),
      done_(rest.atEnd && carry_.empty()), segmentBytes_(std::max<std::size_t>(segmentBytes, 1)) {}

void CsvSegmenter::readUpTo(std::string& bytes, std::size_t size) {
    while (!atEnd_ && bytes.size() < size) {
        const std::size_t had = bytes.size();
        const std::size_t wanted = size - had;
        bytes.resize(size);
        const std::size_t n = std::fread(bytes.data() + had, 1, wanted, in_);
        bytes.resize(had + n);
        bytesRead_ += n;
        if (n < wanted) { // fread stops short only at the end or on an error
            atEnd_ = true;
            if (std::ferror(in_) != 0) {
                inputErrno_ = errno != 0 ? errno : EIO;
            }
        }
    }
}

bool CsvSegmenter::next(CsvSegment& segment) {
    if (done_) {
        return false;
    }
    std::swap(segment.bytes, carry_);
    carry_.clear();
    readUpTo(segment.bytes, segmentBytes_);
    segment.last = atEnd_ && segment.bytes.size() <= segmentBytes_;
    if (!segment.last) {
        const std::size_t cut = cutPoint(std::string_view(segment.bytes).substr(0, segmentBytes_));
        carry_.assign(segment.bytes, cut);
        segment.bytes.resize(cut);
    }
    segment.firstLine = line_;
    segment.afterCr = afterCr_;
    // Lines are counted as the reader counts them: CR, LF and CRLF each end one.
    const std::string& b = segment.bytes;
    if (b.find('\r') == std::string::npos) {
        line_ += countOf(b, '\n');
        if (afterCr_ && !b.empty() && b.front() == '\n') {
            --line_;
        }
        afterCr_ = afterCr_ && b.empty();
    } else {
        for (const char c : b) {
            line_ += c == '\r' || (c == '\n' && !afterCr_) ? 1U : 0U;
            afterCr_ = c == '\r';
        }
    }
    done_ = segment.last;
    return true;
}

} // namespace vistrel::cli
