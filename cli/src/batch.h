#pragma once

#include "cases.h"
#include "output_file.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace vistrel::cli {

struct BatchResult {
    std::size_t rows = 0;
    std::size_t unreadable = 0;
    std::string firstUnreadable; // the message of the first row that could not be read
    std::string usageError;      // set when the header itself is unusable; nothing was written
    std::string inputError;      // set when reading stopped early
    bool outputFailed = false;   // a write failed; the output says why
};

struct BatchIo {
    std::FILE* in = nullptr;
    Sink* out = nullptr;
    const NumberText* numbers = nullptr;
    // Called now and then with the bytes read so far; may be empty.
    std::function<void(std::uint64_t)> progress;
    bool json = false;        // JSON Lines instead of CSV
    bool keepUnknown = false; // pass every column that is no input through, not only id and label
    char delimiter = 0;       // the input's separator; 0 to detect it from the header
};

// Reads cases from CSV and writes one output row for each, in order, with
// every column and the message and margin. Streams: memory stays flat.
// Label columns are written in their place: after the column that came
// before them in the input.
BatchResult runBatch(const BatchIo& io);

// Always passed through, also without --keep-unknown.
inline constexpr std::array<std::string_view, 2> kLabelColumns{"id", "label"};

// The header line every output starts with.
std::string outputHeader();
// One output row: every column, then message and margin_log.
void appendRow(std::string& out, const Case& c, const Evaluation& e);

} // namespace vistrel::cli
