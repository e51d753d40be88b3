// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch.h"

#include "analysis/cases.h"
#include "analysis/worker_pool.h"
#include "calc/inline_text.h"
#include "csv_reader.h"
#include "csv_segments.h"

#include "json_shape.h"
#include "notes_text.h"
#include "report.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
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
Expected<void> readHeader(const CsvRecord& header, bool keepUnknown, Layout& layout, ColumnSet& shown) {
    if (!header.error.empty()) {
        return usageError("line " + std::to_string(header.line) + " (header): " + header.error);
    }
    bool anyInput = false;
    std::vector<bool> seen(kColumns.size(), false);
    std::size_t slot = kNoSlot;
    for (std::size_t k = 0; k < header.cells.size(); ++k) {
        const std::string name(header.cells[k]);
        const auto index = columnIndex(name);
        if (!index && (name == kMessageColumn || name == kMarginColumn)) {
            slot = name == kMessageColumn ? kMessageSlot : kMarginSlot;
        } else if (!index) {
            // A label that looks like a column's name is far more likely a misspelling.
            const auto near = isLabel(name) ? std::nullopt : nearColumn(name);
            if (!isLabel(name) && (!keepUnknown || near)) {
                const std::string why = "unknown column \"" + name + "\" in the header";
                if (near) {
                    return usageError(why + "; did you mean \"" + std::string(*near) + "\"?" +
                                      (keepUnknown ? " It is too close to that name to pass through." : ""));
                }
                return usageError(why + " (--keep-unknown passes such columns through)");
            }
            layout.labels.push_back({k, slot, name});
        } else {
            if (seen[*index]) {
                return usageError("column \"" + name + "\" appears twice in the header");
            }
            seen[*index] = true;
            anyInput = true;
            shown.add(ColumnSet::of(*index));
            slot = *index;
        }
        layout.columns.push_back(index);
    }
    if (!anyInput) {
        return usageError("the header names none of the input columns (see --help)");
    }
    return {};
}

// One output line in CSV with the label cells in their place; slot gives the
// other cells, label the label cells by their index in layout.labels, extra
// the cells a command adds at the end.
template <class Slot, class Label>
void appendLaidOut(std::string& out, const Layout& layout, ColumnSet shown, bool guardFormulas, const Slot& slot,
                   const Label& label, std::span<const std::string> extra) {
    bool first = true;
    const auto cell = [&](std::string_view text) {
        if (!first) {
            out += ',';
        }
        first = false;
        appendCsvCell(out, text, guardFormulas);
    };
    const auto labelsAfter = [&](std::size_t s) {
        for (std::size_t k = 0; k < layout.labels.size(); ++k) {
            if (layout.labels[k].after == s) {
                cell(label(k));
            }
        }
    };
    labelsAfter(kNoSlot);
    for (std::size_t s = 0; s < kColumns.size(); ++s) {
        if (shown.shows(s)) {
            cell(slot(s));
        }
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

// Copies a cell and tells whether it holds a byte below '-' or starts as a
// formula may: every byte that can make a cell need quotes (comma, quote, CR,
// LF, blank, tab) is below '-', and most cells hold none and start with a
// digit or letter, so the exact checks run on few. Words are tested as they
// pass through registers: "some byte below b" is exact bit arithmetic.
bool copyCell(char* to, std::string_view cell) {
    const char* from = cell.data();
    const std::size_t n = cell.size();
    if (n > 0 && kFormulaLead[static_cast<unsigned char>(from[0])]) {
        copyShort(to, from, n);
        return true;
    }
    if (n >= 4 && n <= 64) {
        // Words from the front, and one ending at the last byte, overlapping.
        const auto words = [&]<class Word>(Word) {
            constexpr auto kOnes = static_cast<Word>(~Word{0} / 255);
            Word low = 0;
            Word w = 0;
            for (std::size_t k = 0; k + sizeof w < n; k += sizeof w) {
                std::memcpy(&w, from + k, sizeof w);
                std::memcpy(to + k, &w, sizeof w);
                low |= static_cast<Word>(w - kOnes * '-') & static_cast<Word>(~w) & static_cast<Word>(kOnes * 0x80);
            }
            std::memcpy(&w, from + n - sizeof w, sizeof w);
            std::memcpy(to + n - sizeof w, &w, sizeof w);
            low |= static_cast<Word>(w - kOnes * '-') & static_cast<Word>(~w) & static_cast<Word>(kOnes * 0x80);
            return low != 0;
        };
        return n >= 8 ? words(std::uint64_t{}) : words(std::uint32_t{});
    }
    copyShort(to, from, n);
    bool low = false;
    for (const char ch : cell) {
        low |= static_cast<unsigned char>(ch) < '-';
    }
    return low;
}

} // namespace

void appendRow(std::string& out, const Case& c, const Evaluation& e, bool guardFormulas) {
    // Nearly every row needs no quotes: it is sized once and copied in, and
    // only a cell that may need them is checked exactly.
    std::array<std::string_view, kColumns.size() + 2> cells;
    std::size_t shown = 0;
    for (std::size_t k = 0; k < kColumns.size(); ++k) {
        if (c.shown().shows(k)) {
            cells[shown++] = c.view(k);
        }
    }
    cells[shown] = e.messageText();
    cells[shown + 1] = e.margin;
    std::size_t bytes = 0;
    for (std::size_t k = 0; k < shown + 2; ++k) {
        bytes += cells[k].size() + 1;
    }
    const std::size_t at = out.size();
    out.resize(at + bytes);
    char* p = out.data() + at;
    bool plain = true;
    for (std::size_t k = 0; k < shown + 2; ++k) {
        if (copyCell(p, cells[k])) {
            plain = plain && !csvCellNeedsQuotes(cells[k]) && !(guardFormulas && csvCellLooksLikeFormula(cells[k]));
        }
        p += cells[k].size();
        *p++ = ',';
    }
    out.back() = '\n';
    if (plain) {
        return;
    }
    out.resize(at);
    for (std::size_t k = 0; k < shown; ++k) {
        appendCsvCell(out, cells[k], guardFormulas);
        out += ',';
    }
    appendCsvCell(out, e.messageText(), guardFormulas);
    out += ',';
    out += e.margin;
    out += '\n';
}

std::string outputHeader(ColumnSet shown) {
    std::string line;
    for (std::size_t k = 0; k < kColumns.size(); ++k) {
        if (!shown.shows(k)) {
            continue;
        }
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
    ColumnSet shown;
    bool guardFormulas;
    std::vector<std::string> extraNames;
    std::optional<FailOn> failOn;
    DecimalMark decimal;
    char delimiter;
    // Whether number cells may need their decimal comma read as a point.
    [[nodiscard]] bool readsCommas() const { return readsDecimalComma(decimal, delimiter); }

    struct Counts {
        std::size_t unreadable = 0;
        std::size_t linesTakenIn = 0;
        std::string first;
        std::size_t failing = 0;
        std::size_t firstFailing = 0; // its line
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
            appendRow(out, c, e, guardFormulas);
        } else {
            appendLaidOut(
                out, layout, shown, guardFormulas,
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
            out += unreadableJsonLine(why, shown, labels(record));
            return;
        }
        const std::vector<Label> cells = labels(record);
        const std::vector<std::string> extra(extraNames.size());
        appendLaidOut(
            out, layout, shown, guardFormulas,
            [&](std::size_t s) -> std::string_view {
                return s == kMessageSlot ? std::string_view(why) : std::string_view();
            },
            [&](std::size_t k) { return cells[k].second; }, extra);
    }

    // One record: its output row, or the reason it could not be read.
    void writeRecord(std::string& out, const CsvRecord& record, Case& c, ExtraColumns* extras, Counts& counts) const {
        const auto unreadable = [&](const std::string& why) {
            const std::string message = "line " + std::to_string(record.line) + ": " + why;
            if (counts.unreadable++ == 0) {
                counts.first = message;
            }
            writeUnreadable(out, record, message);
        };
        if (!record.error.empty()) {
            counts.linesTakenIn += record.linesTakenIn;
            unreadable(record.error);
            return;
        }
        if (record.cells.size() != layout.columns.size()) {
            unreadable(std::to_string(record.cells.size()) + " cells where the header has " +
                       std::to_string(layout.columns.size()));
            return;
        }
        c.reset();
        const bool commas = readsCommas();
        std::string scratch;
        for (std::size_t k = 0; k < layout.columns.size(); ++k) {
            if (!layout.columns[k]) {
                continue;
            }
            const Column& column = kColumns[*layout.columns[k]];
            std::string_view text = record.cells[k];
            if (commas && column.field) {
                const auto read = numberCellText(text, column.name, decimal, delimiter, scratch);
                if (!read) {
                    unreadable(read.error().message);
                    return;
                }
                text = *read;
            }
            if (!c.set(*layout.columns[k], text)) {
                unreadable("mode must be " + std::string(kModeChoices));
                return;
            }
        }
        Evaluation e = evaluate(c, numbers);
        addNotes(c, e, numbers);
        writeRow(out, record, c, e, extras);
        if (failOn) {
            const FailedCount f = extras != nullptr ? extras->failed() : FailedCount{};
            if (fails(standingOf(caseVerdict(c), f.required, f.recommended), *failOn) && counts.failing++ == 0) {
                counts.firstFailing = record.line;
            }
        }
    }
};

// The input is cut into segments, each read, evaluated and written by one
// worker while this thread reads ahead and writes the finished ones in order.
// Enough segments under way that no worker waits for the next.
constexpr std::size_t kSegmentsPerWorker = 3;

// One segment's work; its memory is reused for a later segment.
struct Job {
    CsvSegment segment;
    std::unique_ptr<CsvReader> reader;
    CsvRecord record;
    std::string out;
    RowWriter::Counts counts;
    std::size_t rows = 0;
    // Its own extra columns, since they keep state and jobs run side by side.
    std::unique_ptr<ExtraColumns> extras;

    void readAll(CsvReader& from, const RowWriter& writer) {
        out.clear();
        counts = {};
        rows = 0;
        Case c(writer.shown);
        while (from.next(record)) {
            ++rows;
            writer.writeRecord(out, record, c, extras.get(), counts);
        }
    }
};

} // namespace

Expected<BatchResult> runBatch(const BatchIo& io) {
    BatchResult result;
    auto reader = std::make_unique<CsvReader>(io.in, io.delimiter, isHeaderName);
    CsvRecord header;
    if (!reader->next(header)) {
        return usageError("the input is empty: it needs a header row");
    }
    Layout layout;
    ColumnSet shown = columnSet(io.daylight);
    if (auto read = readHeader(header, io.keepUnknown, layout, shown); !read) {
        return read.error();
    }
    const RowWriter writer{layout,    *io.numbers,      io.json,
                           shown,     io.guardFormulas, io.extras ? io.extras()->names() : std::vector<std::string>{},
                           io.failOn, io.decimal,       reader->delimiter()};
    std::string headerLine;
    appendLaidOut(
        headerLine, layout, shown, io.guardFormulas, slotName, [&](std::size_t k) { return layout.labels[k].name; },
        writer.extraNames);
    if (!io.json && !io.out->write(headerLine)) {
        return io.out->failure();
    }
    const std::uint64_t headerBytes = reader->bytesRead();
    const int headerErrno = reader->inputErrno();
    const char delimiter = reader->delimiter();
    CsvSegmenter segments(io.in, reader->takeRest(), io.segmentBytes);
    // The reader of the segment collected last, which may have to go on into the next.
    std::unique_ptr<CsvReader> previous = std::move(reader);
    std::vector<Job> jobs;
    // Writes the finished segments in order, so that neither the workers nor
    // this thread wait for the disk.
    WorkerPool diskWriter(1);
    std::atomic<bool> writeFailed = false;
    std::size_t writesDone = 0;
    // Declared last, so that its running jobs end before what they use goes.
    WorkerPool pool;
    jobs.resize(pool.size() * kSegmentsPerWorker);
    for (Job& job : jobs) {
        job.extras = io.extras ? io.extras() : nullptr;
    }
    std::size_t submitted = 0;
    bool more = true;
    for (std::size_t collected = 0;; ++collected) {
        for (; more && submitted - collected < jobs.size(); ++submitted) {
            // A job's memory is reused once its output is on its way.
            for (; writesDone + jobs.size() <= submitted; ++writesDone) {
                diskWriter.waitNext();
            }
            if (writeFailed) {
                return io.out->failure();
            }
            Job& job = jobs[submitted % jobs.size()];
            more = segments.next(job.segment);
            if (!more) {
                break;
            }
            pool.submit([&job, &writer, delimiter] {
                job.reader = std::make_unique<CsvReader>(job.segment, delimiter);
                job.readAll(*job.reader, writer);
            });
        }
        if (collected == submitted) {
            break;
        }
        Job& job = jobs[collected % jobs.size()];
        pool.waitNext();
        if (!previous->handsOverTo(job.segment)) {
            // The cut fell inside a record: what the job read from there is
            // not what the input says, so the reader before goes on instead.
            previous->continueWith(job.segment);
            job.readAll(*previous, writer);
            job.reader = std::move(previous);
        }
        previous = std::move(job.reader);
        if (result.unreadable == 0) {
            result.firstUnreadable = std::move(job.counts.first);
        }
        result.unreadable += job.counts.unreadable;
        if (result.failing == 0) {
            result.firstFailing = job.counts.firstFailing;
        }
        result.failing += job.counts.failing;
        result.linesTakenIn += job.counts.linesTakenIn;
        diskWriter.submit([&job, &io, &writeFailed] {
            if (!io.out->write(job.out)) {
                writeFailed = true;
            }
            io.out->writeBehind();
        });
        result.rows += job.rows;
        if (io.progress) {
            io.progress(headerBytes + segments.bytesRead());
        }
    }
    for (; writesDone < submitted; ++writesDone) {
        diskWriter.waitNext();
    }
    if (writeFailed) {
        return io.out->failure();
    }
    if (const int error = headerErrno != 0 ? headerErrno : segments.inputErrno(); error != 0) {
        return inputError(std::string("reading failed: ") + std::strerror(error));
    }
    return result;
}

} // namespace vistrel::cli
