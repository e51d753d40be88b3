// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/cases.h"
#include "analysis/expected.h"
#include "analysis/review.h"
#include "csv_reader.h"
#include "output_file.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel::cli {

struct BatchResult {
    std::size_t rows = 0;
    std::size_t unreadable = 0;
    // Lines an unclosed quote took into unreadable rows: no rows of their own.
    std::size_t linesTakenIn = 0;
    std::string firstUnreadable;  // the message of the first row that could not be read
    std::size_t failing = 0;      // rows that fail what BatchIo::failOn names
    std::size_t firstFailing = 0; // the input line of the first of them
};

// How many required and recommended checks a row failed.
struct FailedCount {
    std::size_t required = 0;
    std::size_t recommended = 0;
};

// Columns a command adds after margin_log, such as a profile's checks. One
// instance per worker thread.
class ExtraColumns {
  public:
    ExtraColumns() = default;
    ExtraColumns(const ExtraColumns&) = delete;
    ExtraColumns& operator=(const ExtraColumns&) = delete;
    ExtraColumns(ExtraColumns&&) = delete;
    ExtraColumns& operator=(ExtraColumns&&) = delete;
    virtual ~ExtraColumns() = default;

    [[nodiscard]] virtual std::vector<std::string> names() const = 0;
    // One cell per name.
    [[nodiscard]] virtual std::vector<std::string> cells(const Case& c, const Evaluation& e) = 0;
    // The checks that failed in the row last given to cells.
    [[nodiscard]] virtual FailedCount failed() const { return {}; }
};
using ExtraColumnsFactory = std::function<std::unique_ptr<ExtraColumns>()>;

struct BatchIo {
    std::FILE* in = nullptr;
    Sink* out = nullptr;
    const NumberText* numbers = nullptr;
    // Called now and then with the bytes read so far; may be empty.
    std::function<void(std::uint64_t)> progress;
    bool json = false;        // JSON Lines instead of CSV; the extra cells go under "checks"
    bool keepUnknown = false; // pass every column that is no input through, not only id and label
    char delimiter = 0;       // the input's separator; 0 to detect it from the header
    // Evaluates every row as a daylight case even without daylight columns.
    bool daylight = false;
    ExtraColumnsFactory extras; // may be empty
    // How much of the input each worker takes at a time; tests make it tiny
    // to cut the input everywhere.
    std::size_t segmentBytes = std::size_t{256} << 10;
    bool guardFormulas = true;                 // a ' before text cells a spreadsheet would run (see appendCsvCell)
    std::optional<FailOn> failOn{};            // counts the rows that fail it
    DecimalMark decimal = DecimalMark::Detect; // how the input's number cells mark decimals
};

// Reads cases from CSV and writes one output row for each, in order, with
// every column and the message and margin. Streams: memory stays flat.
// Label columns are written in their place: after the column that came
// before them in the input.
// A usage error when the header is unusable (nothing was written), an input
// error when reading stopped early, the output's failure when a write failed.
Expected<BatchResult> runBatch(const BatchIo& io);

// Always passed through, also without --keep-unknown.
inline constexpr std::array<std::string_view, 2> kLabelColumns{"id", "label"};

// The header line every output starts with: the columns of the groups shown.
std::string outputHeader(ColumnSet shown = {});
// One output row: every column the case shows, then message and margin_log;
// guardFormulas as for appendCsvCell.
void appendRow(std::string& out, const Case& c, const Evaluation& e, bool guardFormulas = true);

} // namespace vistrel::cli
