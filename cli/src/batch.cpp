#include "batch.h"

#include "cases.h"
#include "csv_reader.h"
#include "worker_pool.h"

#include <array>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

namespace vistrel::cli {

namespace {

// Maps the header's cells to columns; message and margin_log are accepted and
// ignored, so that an output file can be fed back in.
std::optional<std::string> readHeader(const CsvRecord& header, std::vector<std::optional<std::size_t>>& columns,
                                      bool& daylight) {
    if (!header.error.empty()) {
        return "line " + std::to_string(header.line) + " (header): " + header.error;
    }
    bool anyInput = false;
    std::vector<bool> seen(kColumns.size(), false);
    for (const std::string& name : header.cells) {
        const auto index = columnIndex(name);
        if (!index && name != kMessageColumn && name != kMarginColumn) {
            return "unknown column \"" + name + "\" in the header";
        }
        if (index) {
            if (seen[*index]) {
                return "column \"" + name + "\" appears twice in the header";
            }
            seen[*index] = true;
            anyInput = true;
            daylight = daylight || isDaylightColumn(*index);
        }
        columns.push_back(index);
    }
    if (!anyInput) {
        return std::string("the header names none of the input columns (see --help)");
    }
    return std::nullopt;
}

void writeUnreadable(std::string& out, const std::string& why, std::size_t columns, std::size_t extras) {
    out.append(columns, ',');
    appendCsvCell(out, why);
    out += ',';
    out.append(extras, ',');
    out += '\n';
}

} // namespace

void appendRow(std::string& out, const Case& c, const Evaluation& e) {
    for (std::size_t k = 0; k < shownColumns(c.daylight()); ++k) {
        appendCsvCell(out, c.view(k));
        out += ',';
    }
    appendCsvCell(out, e.messageText());
    out += ',';
    out += e.margin;
    out += '\n';
}

std::string outputHeader(bool daylight) {
    std::string line;
    for (std::size_t k = 0; k < shownColumns(daylight); ++k) {
        line += kColumns[k].name;
        line += ',';
    }
    line += kMessageColumn;
    line += ',';
    line += kMarginColumn;
    line += '\n';
    return line;
}

namespace {

// Turns records into output rows; counts the rows that could not be read.
struct RowWriter {
    const std::vector<std::optional<std::size_t>>& columns;
    const NumberText& numbers;
    bool daylight;
    std::size_t extraCount;

    struct Counts {
        std::size_t unreadable = 0;
        std::string first;
    };

    Counts write(std::span<const CsvRecord> records, std::string& out, ExtraColumns* extras) const {
        Counts counts;
        const auto unreadable = [&](const CsvRecord& record, const std::string& why) {
            const std::string message = "line " + std::to_string(record.line) + ": " + why;
            if (counts.unreadable++ == 0) {
                counts.first = message;
            }
            writeUnreadable(out, message, shownColumns(daylight), extraCount);
        };
        for (const CsvRecord& record : records) {
            if (!record.error.empty()) {
                unreadable(record, record.error);
                continue;
            }
            if (record.cells.size() != columns.size()) {
                unreadable(record, std::to_string(record.cells.size()) + " cells where the header has " +
                                       std::to_string(columns.size()));
                continue;
            }
            Case c(daylight);
            bool readable = true;
            for (std::size_t k = 0; k < columns.size() && readable; ++k) {
                readable = !columns[k] || c.set(*columns[k], record.cells[k]);
            }
            if (!readable) {
                unreadable(record, "mode must be " + std::string(kModeChoices));
                continue;
            }
            const Evaluation e = evaluate(c, numbers);
            appendRow(out, c, e);
            if (extras != nullptr) {
                out.pop_back(); // the line's end comes after the extra cells
                extras->appendCells(out, c, e);
                out += '\n';
            }
        }
        return counts;
    }
};

// Rows are read in chunks; each chunk is evaluated in as many parts as there
// are workers while the next is read, and written in order. A chunk also ends at a size
// in bytes, so that long records cannot make it large.
constexpr std::size_t kChunkRows = 2048;
constexpr std::size_t kChunkBytes = std::size_t{4} << 20;

} // namespace

BatchResult runBatch(const BatchIo& io) {
    BatchResult result;
    CsvReader reader(io.in);
    CsvRecord header;
    if (!reader.next(header)) {
        result.usageError = "the input is empty: it needs a header row";
        return result;
    }
    std::vector<std::optional<std::size_t>> columns;
    bool daylight = io.daylight;
    if (auto error = readHeader(header, columns, daylight)) {
        result.usageError = std::move(*error);
        return result;
    }
    std::string headerLine = outputHeader(daylight);
    std::size_t extraCount = 0;
    if (io.extras) {
        headerLine.pop_back();
        for (const std::string& name : io.extras()->names()) {
            headerLine += ',' + name;
            ++extraCount;
        }
        headerLine += '\n';
    }
    const RowWriter writer{columns, *io.numbers, daylight, extraCount};
    if (!io.out->write(headerLine)) {
        result.outputFailed = true;
        return result;
    }
    const auto readChunk = [&reader](std::vector<CsvRecord>& chunk) {
        std::size_t n = 0;
        std::size_t bytes = 0;
        while (n < chunk.size() && bytes < kChunkBytes && reader.next(chunk[n])) {
            for (const std::string& cell : chunk[n].cells) {
                bytes += cell.size() + 1;
            }
            ++n;
        }
        return n;
    };
    std::vector<CsvRecord> current(kChunkRows);
    std::vector<CsvRecord> next(kChunkRows);
    std::vector<std::string> out;
    std::vector<RowWriter::Counts> counts;
    std::vector<std::unique_ptr<ExtraColumns>> extras;
    // Declared last, so that it finishes a round before what the round uses goes.
    WorkerPool pool;
    out.resize(pool.size());
    counts.resize(pool.size());
    for (std::size_t k = 0; k < pool.size(); ++k) {
        extras.push_back(io.extras ? io.extras() : nullptr);
    }

    for (std::size_t n = readChunk(current); n > 0;) {
        // The parts are evaluated while this thread reads the next chunk.
        const std::span<const CsvRecord> rows(current.data(), n);
        const std::size_t parts = pool.size();
        // By value: if reading throws, the pool finishes this round after the loop body is gone.
        pool.start(parts, [&writer, &counts, &out, &extras, rows, n, parts](std::size_t k) {
            const std::size_t from = n * k / parts;
            counts[k] = writer.write(rows.subspan(from, n * (k + 1) / parts - from), out[k], extras[k].get());
        });
        const std::size_t following = readChunk(next);
        pool.wait();
        for (std::size_t k = 0; k < parts; ++k) {
            if (result.unreadable == 0) {
                result.firstUnreadable = std::move(counts[k].first);
            }
            result.unreadable += counts[k].unreadable;
            if (!io.out->write(out[k])) {
                result.outputFailed = true;
                return result;
            }
            out[k].clear();
        }
        result.rows += n;
        if (io.progress) {
            io.progress(reader.bytesRead());
        }
        std::swap(current, next);
        n = following;
    }
    if (reader.inputFailed()) {
        result.inputError = std::string("reading failed: ") + std::strerror(reader.inputErrno());
    }
    return result;
}

} // namespace vistrel::cli
