// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "csv_reader.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace vistrel::cli {

// Cuts the rest of a CSV input into segments of about a given size, so that
// readers on several threads can each take one. A cut falls after a line end
// where the quotes before it pair up, so it nearly always lies between
// records; where it does not, the reader of the segment before goes on into
// the next one (CsvReader::handsOverTo tells), and nothing is read twice.
class CsvSegmenter {
  public:
    CsvSegmenter(std::FILE* in, CsvReader::Rest rest, std::size_t segmentBytes);

    // False once the whole input was given out. The last segment says so,
    // and may be empty. segment's memory is reused.
    bool next(CsvSegment& segment);
    [[nodiscard]] std::uint64_t bytesRead() const { return bytesRead_; }
    [[nodiscard]] bool inputFailed() const { return inputErrno_ != 0; }
    [[nodiscard]] int inputErrno() const { return inputErrno_; }

  private:
    void readUpTo(std::string& bytes, std::size_t size);

    std::FILE* in_;
    std::string carry_; // read, but past the last cut
    std::size_t line_;
    bool afterCr_;
    bool atEnd_;
    bool done_ = false;
    std::size_t segmentBytes_;
    std::uint64_t bytesRead_ = 0;
    int inputErrno_ = 0;
};

} // namespace vistrel::cli
