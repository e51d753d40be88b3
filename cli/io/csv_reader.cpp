// SPDX-License-Identifier: GPL-3.0-or-later
#include "csv_reader.h"

#include <csv.h>

#include "calc/inline_text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace vistrel::cli {

namespace {

constexpr std::size_t kChunk = 1 << 16;
// A record handed back is reused only up to this much memory: a caller keeps
// thousands of records, and each would otherwise hold on to its largest cells.
constexpr std::size_t kReusedRecordBytes = 1024;

int noSpaces(unsigned char /*c*/) { return 0; }

// What a record holds beyond its own size.
std::size_t heapBytes(const CsvRecord& record) { return record.cells.heapBytes() + record.error.capacity(); }

std::string tooLong() {
    return "the record is longer than " + std::to_string(kMaxRecordBytes >> 20) + " MiB or " +
           std::to_string(kMaxRecordCells) + " cells";
}

} // namespace

CsvReader::CsvReader(std::FILE* in, char delimiter, NameTest known)
    : in_(in), delimiter_(delimiter), known_(known), parser_(std::make_unique<csv_parser>()), buffer_(kChunk),
      data_(buffer_.data()) {
    *parser_ = {};
    restartParser();
}

CsvReader::CsvReader(const CsvSegment& segment, char delimiter)
    : in_(nullptr), delimiter_(delimiter), known_(nullptr), started_(true), parser_(std::make_unique<csv_parser>()),
      line_(segment.firstLine), afterCr_(segment.afterCr) {
    *parser_ = {};
    restartParser();
    continueWith(segment);
}

CsvReader::Rest CsvReader::takeRest() {
    Rest rest;
    rest.bytes.assign(data_ + begin_, end_ - begin_);
    rest.line = line_;
    rest.afterCr = afterCr_;
    rest.atEnd = eof_ || finished_;
    begin_ = 0;
    end_ = 0;
    in_ = nullptr;
    return rest;
}

void CsvReader::continueWith(const CsvSegment& segment) {
    data_ = segment.bytes.data();
    begin_ = 0;
    end_ = segment.bytes.size();
    lastSegment_ = segment.last;
    eof_ = false;
}

bool CsvReader::handsOverTo(const CsvSegment& next) const {
    const bool allRead = begin_ == end_ && ready_.empty() && !eof_ && !finished_;
    const bool sameLine = line_ == next.firstLine && afterCr_ == next.afterCr && !lineOpen_;
    const bool betweenRecords = atRecordStart_ && !skipping_ && recordBytes_ == 0 && pendingCells_ == 0 &&
                                !pendingStarted_ && parser_->pstate == 0 && parser_->quoted == 0 &&
                                parser_->entry_pos == 0 && parser_->spaces == 0;
    return allRead && sameLine && betweenRecords;
}

CsvReader::~CsvReader() { csv_free(parser_.get()); }

void CsvReader::restartParser() {
    if (parser_->entry_buf != nullptr) {
        csv_free(parser_.get());
    }
    *parser_ = {};
    csv_init(parser_.get(), CSV_STRICT | CSV_STRICT_FINI);
    csv_set_space_func(parser_.get(), noSpaces); // blanks are part of what was typed
    csv_set_delim(parser_.get(), static_cast<unsigned char>(delimiter_ == 0 ? ',' : delimiter_));
    pending_ = CsvRecord{}; // after a bad record, whatever it had is let go
    startRecord();
}

void CsvCells::grow(std::size_t more) {
    const std::size_t grown = std::max({used_ + more, 2 * capacity_, std::size_t{256}});
    auto text = std::make_unique<char[]>(grown);
    std::copy_n(text_.get(), used_, text.get());
    text_ = std::move(text);
    capacity_ = grown;
}

void CsvCells::add(std::string_view cell) {
    if (used_ + cell.size() > capacity_) {
        grow(cell.size());
    }
    copyShort(text_.get() + used_, cell.data(), cell.size());
    used_ += cell.size();
    ends_.push_back(used_);
}

void CsvCells::addDoubled(std::string_view cell) {
    if (used_ + cell.size() > capacity_) {
        grow(cell.size());
    }
    for (std::size_t k = 0; k < cell.size(); ++k) {
        text_[used_++] = cell[k];
        k += cell[k] == '"' ? 1U : 0U; // the second of a doubled quote
    }
    ends_.push_back(used_);
}

void CsvReader::startRecord() {
    pending_.cells.clear();
    pending_.error.clear();
    pending_.linesTakenIn = 0;
    pendingCells_ = 0;
    pendingStarted_ = false;
    atRecordStart_ = true;
    recordBytes_ = 0;
}

void CsvReader::onCell(void* data, std::size_t length, void* self) {
    static_cast<CsvReader*>(self)->takeCell({static_cast<const char*>(data), length}, false);
}

void CsvReader::onRecordEnd(int /*terminator*/, void* self) { static_cast<CsvReader*>(self)->endRecord(); }

void CsvReader::takeCell(std::string_view cell, bool doubled) {
    if (!pendingStarted_) {
        pendingStarted_ = true;
        pending_.line = line_;
    }
    if (doubled) {
        pending_.cells.addDoubled(cell);
    } else {
        pending_.cells.add(cell);
    }
    ++pendingCells_;
}

void CsvReader::endRecord() {
    if (!pendingStarted_) {
        pending_.line = line_;
    }
    if (recordBytes_ > kMaxRecordBytes || pending_.cells.size() > kMaxRecordCells) {
        pending_.cells.clear(); // it ended within the piece that took it over a limit
        pending_.error = tooLong();
    }
    ready_.push_back(std::move(pending_));
    std::swap(pending_, spare_);
    startRecord();
}

// libcsv walks every byte through its states, and most lines need none of
// that: a whole line of unquoted cells and cells quoted on this line alone is
// split here, as libcsv would split it. Anything else (a quote inside a cell,
// text after a closing quote, a quote still open at the line end, a blank
// line) goes to libcsv, so what is accepted and refused stays its decision.
bool CsvReader::splitPlainLine(std::string_view piece) {
    const char delimiter = delimiter_ == 0 ? ',' : delimiter_;
    if (parser_->pstate != 0 || parser_->entry_pos != 0 || piece.size() < 2 || delimiter == '"') {
        return false;
    }
    const std::string_view line = piece.substr(0, piece.size() - 1); // without its line end
    const std::size_t size = line.size();
    // Cells go straight into the record; a line left to libcsv takes them back.
    const auto leave = [this] {
        pending_.cells.clear();
        pendingCells_ = 0;
        pendingStarted_ = false;
        return false;
    };
    // Cells are short: a plain loop finds their ends sooner than a search call.
    for (std::size_t at = 0;;) {
        std::size_t end = at;
        if (at < size && line[at] == '"') {
            std::size_t quote = at + 1;
            bool doubled = false;
            for (;;) {
                while (quote < size && line[quote] != '"') {
                    ++quote;
                }
                if (quote == size) {
                    return leave(); // the cell goes on past the line end
                }
                if (quote + 1 == size || line[quote + 1] != '"') {
                    break;
                }
                doubled = true;
                quote += 2; // past a doubled quote
            }
            end = quote + 1;
            if (end < size && line[end] != delimiter) {
                return leave();
            }
            takeCell(line.substr(at + 1, quote - at - 1), doubled);
        } else {
            while (end < size && line[end] != delimiter && line[end] != '"') {
                ++end;
            }
            if (end < size && line[end] == '"') {
                return leave();
            }
            takeCell(line.substr(at, end - at), false);
        }
        if (end == size) {
            break;
        }
        at = end + 1;
    }
    endRecord();
    return true;
}

void CsvReader::reportBad(std::size_t line, std::string why, std::size_t linesTakenIn) {
    CsvRecord bad;
    bad.line = line;
    bad.error = std::move(why);
    bad.linesTakenIn = linesTakenIn;
    ready_.push_back(std::move(bad));
}

void CsvReader::feed(std::string_view piece, bool endsLine) {
    if (atRecordStart_ && piece.find_first_not_of("\r\n") != std::string_view::npos) {
        atRecordStart_ = false;
        recordLine_ = line_;
    }
    if (!atRecordStart_) { // blank lines before a record are not part of it
        recordBytes_ += piece.size();
    }
    // The cell buffer grows by at least its size each time: geometric, and a
    // piece never needs more than one step.
    csv_set_blk_size(parser_.get(), std::max(kChunk, parser_->entry_size));
    const std::size_t used = endsLine && splitPlainLine(piece)
                                 ? piece.size()
                                 : csv_parse(parser_.get(), piece.data(), piece.size(), onCell, onRecordEnd, this);
    if (used != piece.size()) {
        // A malformed record: report it, drop what it had, and start afresh on the next line.
        reportBad(line_, "bad quoting");
        restartParser();
        skipping_ = !endsLine;
        return;
    }
    if (atRecordStart_ || (recordBytes_ <= kMaxRecordBytes && pendingCells_ <= kMaxRecordCells)) {
        return;
    }
    const std::size_t began = recordLine_;
    if (parser_->quoted != 0 && line_ > began) {
        reportBad(began,
                  "a quote opened on this line is still open " + std::to_string(line_ - began) + " lines later, and " +
                      tooLong() + "; reading goes on after line " + std::to_string(line_),
                  line_ - began);
    } else {
        reportBad(began, tooLong());
    }
    restartParser();
    skipping_ = !endsLine;
}

void CsvReader::finish() {
    if (skipping_) {
        return;
    }
    const bool openQuote = !atRecordStart_ && parser_->quoted != 0;
    const std::size_t began = recordLine_;
    const std::size_t lastLine = lineOpen_ ? line_ : line_ - 1;
    if (csv_fini(parser_.get(), onCell, onRecordEnd, this) != 0) {
        if (openQuote && lastLine > began) {
            reportBad(began,
                      "a quote opened on this line is never closed: it takes in the " +
                          std::to_string(lastLine - began) + " lines after it, to the end of the input",
                      lastLine - began);
        } else {
            reportBad(began, "a quoted cell is never closed");
        }
    }
}

bool CsvReader::fill() {
    begin_ = 0;
    end_ = 0;
    if (in_ == nullptr) { // a segment: the next one, if any, comes through continueWith
        eof_ = lastSegment_;
        return false;
    }
    data_ = buffer_.data();
    const std::size_t n = std::fread(buffer_.data(), 1, buffer_.size(), in_);
    bytesRead_ += n;
    end_ = n;
    if (n == 0) {
        eof_ = true;
        if (std::ferror(in_) != 0) {
            inputErrno_ = errno != 0 ? errno : EIO;
        }
    }
    return n > 0;
}

void CsvReader::startInput() {
    started_ = true;
    if (!fill()) {
        return;
    }
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (std::string_view(buffer_.data(), end_).substr(0, kBom.size()) == kBom) {
        begin_ = kBom.size();
    }
    if (delimiter_ == 0) {
        const std::string_view text(buffer_.data() + begin_, end_ - begin_);
        const std::string_view line = text.substr(0, text.find_first_of("\r\n"));
        const auto knownCells = [&](char separator) {
            std::size_t count = 0;
            for (std::size_t from = 0; from <= line.size();) {
                const std::size_t to = std::min(line.find(separator, from), line.size());
                std::string_view cell = line.substr(from, to - from);
                if (cell.size() >= 2 && cell.front() == '"' && cell.back() == '"') {
                    cell = cell.substr(1, cell.size() - 2);
                }
                count += known_ != nullptr && known_(cell) ? 1U : 0U;
                from = to + 1;
            }
            return count;
        };
        // As batch --output-delimiter writes them: a table written can be read back.
        delimiter_ = knownCells(',') > 0 ? ',' : knownCells(';') > 0 ? ';' : knownCells('\t') > 0 ? '\t' : ',';
    }
    csv_set_delim(parser_.get(), static_cast<unsigned char>(delimiter_));
}

bool CsvReader::next(CsvRecord& record) {
    if (!started_) {
        startInput();
    }
    while (ready_.empty() && !finished_) {
        if (begin_ == end_ && (eof_ || !fill())) {
            if (!eof_) {
                break; // the segment is read; more may follow
            }
            finish();
            finished_ = true;
            break;
        }
        const char* data = data_ + begin_;
        const std::size_t available = end_ - begin_;
        if (afterCr_) {
            afterCr_ = false;
            if (data[0] == '\n') { // the second half of a CRLF
                if (!skipping_) {
                    feed({data, 1}, true);
                }
                ++begin_;
                continue;
            }
        }
        // At most one line end per piece, so that every record knows its line.
        const auto* lf = static_cast<const char*>(std::memchr(data, '\n', available));
        const auto* cr = static_cast<const char*>(
            std::memchr(data, '\r', lf != nullptr ? static_cast<std::size_t>(lf - data) : available));
        const char* lineEnd = cr != nullptr ? cr : lf;
        const std::size_t length = lineEnd != nullptr ? static_cast<std::size_t>(lineEnd - data) + 1 : available;
        begin_ += length;
        lineOpen_ = lineEnd == nullptr;
        if (skipping_) {
            if (lineEnd != nullptr) {
                skipping_ = false;
            }
        } else {
            feed({data, length}, lineEnd != nullptr);
        }
        if (lineEnd != nullptr) {
            ++line_;
            afterCr_ = *lineEnd == '\r';
        }
    }
    if (ready_.empty()) {
        return false;
    }
    std::swap(record, ready_.front());
    if (heapBytes(ready_.front()) <= kReusedRecordBytes) {
        spare_ = std::move(ready_.front());
    }
    ready_.pop_front();
    return true;
}

bool csvCellLooksLikeFormula(std::string_view cell) {
    if (cell.empty() || !kFormulaLead[static_cast<unsigned char>(cell.front())]) {
        return false;
    }
    if (cell.front() != '-' && cell.front() != '+') {
        return true;
    }
    // Digits with at most one point, and an exponent: what a spreadsheet reads as a number.
    const auto digits = [&](std::size_t& k) {
        const std::size_t from = k;
        while (k < cell.size() && cell[k] >= '0' && cell[k] <= '9') {
            ++k;
        }
        return k - from;
    };
    std::size_t k = 1;
    std::size_t mantissa = digits(k);
    if (k < cell.size() && cell[k] == '.') {
        ++k;
        mantissa += digits(k);
    }
    if (mantissa > 0 && k < cell.size() && (cell[k] == 'e' || cell[k] == 'E')) {
        ++k;
        k += k < cell.size() && (cell[k] == '-' || cell[k] == '+') ? 1U : 0U;
        if (digits(k) == 0) {
            return true;
        }
    }
    return mantissa == 0 || k != cell.size();
}

bool isPlainNumber(std::string_view cell, char mark) {
    std::size_t k = !cell.empty() && (cell.front() == '-' || cell.front() == '+') ? 1 : 0;
    const auto digits = [&] {
        const std::size_t from = k;
        while (k < cell.size() && cell[k] >= '0' && cell[k] <= '9') {
            ++k;
        }
        return k - from;
    };
    std::size_t mantissa = digits();
    if (k < cell.size() && cell[k] == mark) {
        ++k;
        mantissa += digits();
    }
    if (mantissa == 0) {
        return false;
    }
    if (k < cell.size() && (cell[k] == 'e' || cell[k] == 'E')) {
        ++k;
        k += k < cell.size() && (cell[k] == '-' || cell[k] == '+') ? 1U : 0U;
        if (digits() == 0) {
            return false;
        }
    }
    return k == cell.size();
}

Expected<std::string_view> numberCellText(std::string_view cell, std::string_view column, DecimalMark mark,
                                          char delimiter, std::string& scratch) {
    if (!readsDecimalComma(mark, delimiter)) {
        return cell;
    }
    const std::size_t comma = cell.find(',');
    if (comma == std::string_view::npos) {
        if (mark == DecimalMark::Comma && cell.find('.') != std::string_view::npos && isPlainNumber(cell, '.')) {
            return inputError(std::string(column) + " \"" + std::string(cell) +
                              "\" has a decimal point, and --decimal , takes a comma only (--decimal . reads points)");
        }
        return cell;
    }
    if (!isPlainNumber(cell, ',')) {
        return cell; // the engine names what is wrong with it
    }
    scratch.assign(cell);
    scratch[comma] = '.';
    return std::string_view(scratch);
}

void appendCsvCell(std::string& out, std::string_view cell, bool guardFormulas) {
    if (guardFormulas && csvCellLooksLikeFormula(cell)) {
        appendCsvCell(out, "'" + std::string(cell), false);
        return;
    }
    if (!csvCellNeedsQuotes(cell)) {
        out += cell;
        return;
    }
    out += '"';
    for (const char c : cell) {
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    out += '"';
}

} // namespace vistrel::cli
