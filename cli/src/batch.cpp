#include "batch.h"

#include "cases.h"
#include "csv_reader.h"
#include "rows.h"

#include <optional>
#include <vector>

namespace vistrel::cli {

namespace {

constexpr std::size_t kFlushAt = 1 << 16;

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

BatchResult runBatch(const BatchIo& io) {
    BatchResult result;
    CsvReader reader(io.in);
    CsvRecord record;
    if (!reader.next(record)) {
        result.usageError = "the input is empty: it needs a header row";
        return result;
    }
    std::vector<std::optional<std::size_t>> columns;
    if (auto error = readHeader(record, columns)) {
        result.usageError = std::move(*error);
        return result;
    }
    const NumberText numbers(NumberFormat::invariant());
    std::string out = outputHeader();
    std::uint64_t reported = 0;
    while (reader.next(record)) {
        ++result.rows;
        const std::string where = "line " + std::to_string(record.line) + ": ";
        if (!record.error.empty()) {
            ++result.unreadable;
            writeUnreadable(out, where + record.error);
        } else if (record.cells.size() != columns.size()) {
            ++result.unreadable;
            writeUnreadable(out, where + std::to_string(record.cells.size()) + " cells where the header has " +
                                     std::to_string(columns.size()));
        } else {
            Case c;
            bool readable = true;
            for (std::size_t k = 0; k < columns.size() && readable; ++k) {
                readable = !columns[k] || c.set(*columns[k], record.cells[k]);
            }
            if (readable) {
                const Evaluation e = evaluate(c, numbers);
                appendRow(out, c, e);
            } else {
                ++result.unreadable;
                writeUnreadable(out, where + "mode must be " + std::string(kModeChoices));
            }
        }
        if (out.size() >= kFlushAt) {
            std::fwrite(out.data(), 1, out.size(), io.out);
            out.clear();
            if (io.progress && reader.bytesRead() != reported) {
                reported = reader.bytesRead();
                io.progress(reported);
            }
        }
    }
    std::fwrite(out.data(), 1, out.size(), io.out);
    if (reader.inputFailed()) {
        result.usageError = "reading the input failed";
    }
    return result;
}

} // namespace vistrel::cli
