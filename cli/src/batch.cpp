#include "batch.h"

#include "cases.h"
#include "csv_reader.h"
#include "rows.h"

#include <array>
#include <future>
#include <optional>
#include <span>
#include <vector>

namespace vistrel::cli {

namespace {

// Maps the header's cells to columns; message and margin_log are accepted and
// ignored, so that an output file can be fed back in.
std::optional<std::string> readHeader(const CsvRecord& header, std::vector<std::optional<std::size_t>>& columns) {
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
        }
        columns.push_back(index);
    }
    if (!anyInput) {
        return std::string("the header names none of the input columns (see --help)");
    }
    return std::nullopt;
}

void writeUnreadable(std::string& out, const std::string& why) {
    for (std::size_t k = 0; k < kColumns.size(); ++k) {
        out += ',';
    }
    appendCsvCell(out, why);
    out += ",\n";
}

} // namespace

std::string outputHeader() {
    std::string line;
    for (const Column& c : kColumns) {
        line += c.name;
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

    std::size_t write(std::span<const CsvRecord> records, std::string& out) const {
        std::size_t unreadable = 0;
        for (const CsvRecord& record : records) {
            const auto where = [&] { return "line " + std::to_string(record.line) + ": "; };
            if (!record.error.empty()) {
                ++unreadable;
                writeUnreadable(out, where() + record.error);
                continue;
            }
            if (record.cells.size() != columns.size()) {
                ++unreadable;
                writeUnreadable(out, where() + std::to_string(record.cells.size()) + " cells where the header has " +
                                         std::to_string(columns.size()));
                continue;
            }
            Case c;
            bool readable = true;
            for (std::size_t k = 0; k < columns.size() && readable; ++k) {
                readable = !columns[k] || c.set(*columns[k], record.cells[k]);
            }
            if (!readable) {
                ++unreadable;
                writeUnreadable(out, where() + "mode must be " + std::string(kModeChoices));
                continue;
            }
            const Evaluation e = evaluate(c, numbers);
            appendRow(out, c, e);
        }
        return unreadable;
    }
};

// Rows are read in chunks; each chunk is evaluated in two halves at once
// while the next is read, and written in order.
constexpr std::size_t kChunkRows = 2048;

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
    if (auto error = readHeader(header, columns)) {
        result.usageError = std::move(*error);
        return result;
    }
    const NumberText numbers(NumberFormat::invariant());
    const RowWriter writer{columns, numbers};
    const std::string headerLine = outputHeader();
    std::fwrite(headerLine.data(), 1, headerLine.size(), io.out);
    const auto readChunk = [&reader](std::vector<CsvRecord>& chunk) {
        std::size_t n = 0;
        while (n < chunk.size() && reader.next(chunk[n])) {
            ++n;
        }
        return n;
    };
    std::vector<CsvRecord> current(kChunkRows);
    std::vector<CsvRecord> next(kChunkRows);
    std::array<std::string, 2> out;
    for (std::size_t n = readChunk(current); n > 0;) {
        // Both halves are evaluated while this thread reads the next chunk.
        const std::span<const CsvRecord> rows(current.data(), n);
        const std::size_t half = n / 2;
        auto first = std::async(std::launch::async, [&] { return writer.write(rows.first(half), out[0]); });
        auto second = std::async(std::launch::async, [&] { return writer.write(rows.subspan(half), out[1]); });
        const std::size_t following = readChunk(next);
        result.unreadable += first.get() + second.get();
        result.rows += n;
        for (std::string& part : out) {
            std::fwrite(part.data(), 1, part.size(), io.out);
            part.clear();
        }
        if (io.progress) {
            io.progress(reader.bytesRead());
        }
        std::swap(current, next);
        n = following;
    }
    if (reader.inputFailed()) {
        result.inputError = "reading the input failed";
    }
    return result;
}

} // namespace vistrel::cli
