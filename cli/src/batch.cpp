// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch.h"

#include "cases.h"
#include "csv_reader.h"
#include "worker_pool.h"

#include "json_shape.h"
#include "report.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

namespace vistrel::cli {

namespace {

// The output's columns: kColumns, then message and margin_log.
constexpr std::size_t kMessageSlot = kColumns.size();
constexpr std::size_t kMarginSlot = kColumns.size() + 1;
constexpr std::size_t kNoSlot = static_cast<std::size_t>(-1);

// How the header's cells map to the case and where label cells go.
struct Layout {
    std::vector<std::optional<std::size_t>> columns; // per input cell: its column, if an input
    struct LabelCell {
        std::size_t cell;  // index in the input record
        std::size_t after; // the output slot it follows; kNoSlot for the start
        std::string name;
    };
    std::vector<LabelCell> labels;
};

bool isLabel(std::string_view name) {
    return std::find(kLabelColumns.begin(), kLabelColumns.end(), name) != kLabelColumns.end();
}

bool isHeaderName(std::string_view name) {
    return columnIndex(name) || isLabel(name) || name == kMessageColumn || name == kMarginColumn;
}

// Maps the header's cells to columns; message and margin_log are accepted and
// ignored, so that an output file can be fed back in.
std::optional<std::string> readHeader(const CsvRecord& header, bool keepUnknown, Layout& layout, bool& daylight) {
    if (!header.error.empty()) {
        return "line " + std::to_string(header.line) + " (header): " + header.error;
    }
    bool anyInput = false;
    std::vector<bool> seen(kColumns.size(), false);
    std::size_t slot = kNoSlot;
    for (std::size_t k = 0; k < header.cells.size(); ++k) {
        const std::string& name = header.cells[k];
        const auto index = columnIndex(name);
        if (!index && (name == kMessageColumn || name == kMarginColumn)) {
            slot = name == kMessageColumn ? kMessageSlot : kMarginSlot;
        } else if (!index) {
            // A label that looks like a column's name is far more likely a misspelling.
            const auto near = isLabel(name) ? std::nullopt : nearColumn(name);
            if (!isLabel(name) && (!keepUnknown || near)) {
                const std::string why = "unknown column \"" + name + "\" in the header";
                if (near) {
                    return why + "; did you mean \"" + std::string(*near) + "\"?" +
                           (keepUnknown ? " It is too close to that name to pass through." : "");
                }
                return why + " (--keep-unknown passes such columns through)";
            }
            layout.labels.push_back({k, slot, name});
        } else {
            if (seen[*index]) {
                return "column \"" + name + "\" appears twice in the header";
            }
            seen[*index] = true;
            anyInput = true;
            daylight = daylight || isDaylightColumn(*index);
            slot = *index;
        }
        layout.columns.push_back(index);
    }
    if (!anyInput) {
        return std::string("the header names none of the input columns (see --help)");
    }
    return std::nullopt;
}

// One output line in CSV with the label cells in their place; slot gives the
// other cells, label the label cells by their index in layout.labels, extra
// the cells a command adds at the end.
template <class Slot, class Label>
void appendLaidOut(std::string& out, const Layout& layout, bool daylight, const Slot& slot, const Label& label,
                   std::span<const std::string> extra) {
    bool first = true;
    const auto cell = [&](std::string_view text) {
        if (!first) {
            out += ',';
        }
        first = false;
        appendCsvCell(out, text);
    };
    const auto labelsAfter = [&](std::size_t s) {
        for (std::size_t k = 0; k < layout.labels.size(); ++k) {
            if (layout.labels[k].after == s) {
                cell(label(k));
            }
        }
    };
    labelsAfter(kNoSlot);
    for (std::size_t s = 0; s < shownColumns(daylight); ++s) {
        cell(slot(s));
        labelsAfter(s);
    }
    for (const std::size_t s : {kMessageSlot, kMarginSlot}) {
        cell(slot(s));
        labelsAfter(s);
    }
    for (const std::string& e : extra) {
        cell(e);
    }
    out += '\n';
}

std::string slotName(std::size_t s) {
    return std::string(s == kMessageSlot ? kMessageColumn : s == kMarginSlot ? kMarginColumn : kColumns[s].name);
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
    const Layout& layout;
    const NumberText& numbers;
    bool json;
    bool daylight;
    std::vector<std::string> extraNames;

    struct Counts {
        std::size_t unreadable = 0;
        std::string first;
    };

    [[nodiscard]] std::vector<Label> labels(const CsvRecord& record) const {
        std::vector<Label> out;
        for (const Layout::LabelCell& l : layout.labels) {
            out.emplace_back(l.name, l.cell < record.cells.size() ? std::string_view(record.cells[l.cell]) : "");
        }
        return out;
    }

    void writeRow(std::string& out, const CsvRecord& record, const Case& c, const Evaluation& e,
                  ExtraColumns* extras) const {
        const std::vector<std::string> extra = extras != nullptr ? extras->cells(c, e) : std::vector<std::string>{};
        if (json) {
            nlohmann::ordered_json j = caseJson(c, e, numbers, labels(record));
            if (extras != nullptr) {
                nlohmann::ordered_json checks = nlohmann::ordered_json::object();
                for (std::size_t k = 0; k < extraNames.size() && k < extra.size(); ++k) {
                    checks[extraNames[k]] = jsonText(extra[k]);
                }
                j["checks"] = std::move(checks);
            }
            out += dumped(j, -1);
        } else if (layout.labels.empty() && extra.empty()) {
            appendRow(out, c, e);
        } else {
            appendLaidOut(
                out, layout, daylight,
                [&](std::size_t s) -> std::string_view {
                    return s == kMessageSlot  ? std::string_view(e.messageText())
                           : s == kMarginSlot ? std::string_view(e.margin)
                                              : c.view(s);
                },
                [&](std::size_t k) -> std::string_view { return record.cells[layout.labels[k].cell]; }, extra);
        }
    }

    // The labels of a row too short or long to read are still shown where
    // there are cells for them: they help to find the row.
    void writeUnreadable(std::string& out, const CsvRecord& record, const std::string& why) const {
        if (json) {
            out += unreadableJsonLine(why, daylight, labels(record));
            return;
        }
        const std::vector<Label> cells = labels(record);
        const std::vector<std::string> extra(extraNames.size());
        appendLaidOut(
            out, layout, daylight,
            [&](std::size_t s) -> std::string_view {
                return s == kMessageSlot ? std::string_view(why) : std::string_view();
            },
            [&](std::size_t k) { return cells[k].second; }, extra);
    }

    Counts write(std::span<const CsvRecord> records, std::string& out, ExtraColumns* extras) const {
        Counts counts;
        const auto unreadable = [&](const CsvRecord& record, const std::string& why) {
            const std::string message = "line " + std::to_string(record.line) + ": " + why;
            if (counts.unreadable++ == 0) {
                counts.first = message;
            }
            writeUnreadable(out, record, message);
        };
        Case c(daylight);
        for (const CsvRecord& record : records) {
            if (!record.error.empty()) {
                unreadable(record, record.error);
                continue;
            }
            if (record.cells.size() != layout.columns.size()) {
                unreadable(record, std::to_string(record.cells.size()) + " cells where the header has " +
                                       std::to_string(layout.columns.size()));
                continue;
            }
            c.reset();
            bool readable = true;
            for (std::size_t k = 0; k < layout.columns.size() && readable; ++k) {
                readable = !layout.columns[k] || c.set(*layout.columns[k], record.cells[k]);
            }
            if (!readable) {
                unreadable(record, "mode must be " + std::string(kModeChoices));
                continue;
            }
            const Evaluation e = evaluate(c, numbers);
            writeRow(out, record, c, e, extras);
        }
        return counts;
    }
};

// Rows are read in chunks; each chunk is evaluated in parts by the workers
// while the next is read, and written in order. A chunk also ends at a size
// in bytes, so that long records cannot make it large.
constexpr std::size_t kChunkRows = 2048;
constexpr std::size_t kChunkBytes = std::size_t{4} << 20;
constexpr std::size_t kPartsPerWorker = 4;

} // namespace

BatchResult runBatch(const BatchIo& io) {
    BatchResult result;
    CsvReader reader(io.in, io.delimiter, isHeaderName);
    CsvRecord header;
    if (!reader.next(header)) {
        result.usageError = "the input is empty: it needs a header row";
        return result;
    }
    Layout layout;
    bool daylight = io.daylight;
    if (auto error = readHeader(header, io.keepUnknown, layout, daylight)) {
        result.usageError = std::move(*error);
        return result;
    }
    const RowWriter writer{layout, *io.numbers, io.json, daylight,
                           io.extras ? io.extras()->names() : std::vector<std::string>{}};
    std::string headerLine;
    appendLaidOut(
        headerLine, layout, daylight, slotName, [&](std::size_t k) { return layout.labels[k].name; },
        writer.extraNames);
    if (!io.json && !io.out->write(headerLine)) {
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
    // Each part's rows and counts on cache lines of their own: workers append
    // to neighbouring parts all the time, and a shared line would pass between
    // their cores on every append. Each part has its own extra columns, since
    // a part is worked by one worker at a time and they keep state.
    struct alignas(64) Part {
        std::string out;
        RowWriter::Counts counts;
        std::unique_ptr<ExtraColumns> extras;
    };
    std::vector<Part> done;
    // Declared last, so that it finishes a round before what the round uses goes.
    WorkerPool pool;
    // More parts than workers, taken as each is free: the worker that shares
    // its core with the reader takes fewer, and no core idles at a round's end.
    const std::size_t parts = pool.size() * kPartsPerWorker;
    done.resize(parts);
    for (Part& part : done) {
        part.extras = io.extras ? io.extras() : nullptr;
    }
    for (std::size_t n = readChunk(current); n > 0;) {
        // The parts are evaluated while this thread reads the next chunk.
        const std::span<const CsvRecord> rows(current.data(), n);
        // By value: if reading throws, the pool finishes this round after the loop body is gone.
        pool.start(parts, [&writer, &done, rows, n, parts](std::size_t k) {
            const std::size_t from = n * k / parts;
            done[k].counts =
                writer.write(rows.subspan(from, n * (k + 1) / parts - from), done[k].out, done[k].extras.get());
        });
        const std::size_t following = readChunk(next);
        pool.wait();
        for (Part& part : done) {
            if (result.unreadable == 0) {
                result.firstUnreadable = std::move(part.counts.first);
            }
            result.unreadable += part.counts.unreadable;
            if (!io.out->write(part.out)) {
                result.outputFailed = true;
                return result;
            }
            part.out.clear();
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
