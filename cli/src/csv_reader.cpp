#include "csv_reader.h"

#include <algorithm>
#include <cstring>

namespace vistrel::cli {

namespace {

constexpr std::size_t kChunk = 1 << 16;

int noSpaces(unsigned char /*c*/) { return 0; }

} // namespace

CsvReader::CsvReader(std::FILE* in) : in_(in), buffer_(kChunk) { restartParser(); }

CsvReader::~CsvReader() { csv_free(&parser_); }

void CsvReader::restartParser() {
    if (parser_.entry_buf != nullptr) {
        csv_free(&parser_);
    }
    parser_ = {};
    csv_init(&parser_, CSV_STRICT | CSV_STRICT_FINI);
    csv_set_space_func(&parser_, noSpaces); // blanks are part of what was typed
}

void CsvReader::onCell(void* data, std::size_t length, void* self) {
    auto& r = *static_cast<CsvReader*>(self);
    if (!r.pendingStarted_) {
        r.pendingStarted_ = true;
        r.pending_.line = r.line_;
    }
    r.pending_.cells.emplace_back(static_cast<const char*>(data), length);
}

void CsvReader::onRecordEnd(int /*terminator*/, void* self) {
    auto& r = *static_cast<CsvReader*>(self);
    if (!r.pendingStarted_) {
        r.pending_.line = r.line_;
    }
    r.ready_.push_back(std::move(r.pending_));
    r.pending_ = CsvRecord{};
    r.pendingStarted_ = false;
}

void CsvReader::feed(std::string_view text) {
    const std::size_t used = csv_parse(&parser_, text.data(), text.size(), onCell, onRecordEnd, this);
    if (used == text.size()) {
        return;
    }
    // A malformed record: report it, drop what it had, and start afresh on the next line.
    CsvRecord bad;
    bad.line = line_;
    bad.error = "bad quoting";
    ready_.push_back(std::move(bad));
    pending_ = CsvRecord{};
    pendingStarted_ = false;
    restartParser();
}

bool CsvReader::fill() {
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == buffer_.size()) {
        buffer_.resize(buffer_.size() * 2); // a line longer than the buffer
    }
    const std::size_t n = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, in_);
    bytesRead_ += n;
    end_ += n;
    if (n == 0) {
        eof_ = true;
        inputFailed_ = std::ferror(in_) != 0;
    }
    return n > 0;
}

bool CsvReader::next(CsvRecord& record) {
    while (ready_.empty() && !finished_) {
        // Feed whole lines, so that every record knows its line number.
        const auto* first = buffer_.data() + begin_;
        const auto* newline = static_cast<const char*>(std::memchr(first, '\n', end_ - begin_));
        if (newline != nullptr) {
            const auto length = static_cast<std::size_t>(newline - first) + 1;
            feed({first, length});
            begin_ += length;
            ++line_;
            continue;
        }
        if (!eof_ && fill()) {
            continue;
        }
        if (end_ > begin_) { // a last line without a line end
            feed({buffer_.data() + begin_, end_ - begin_});
            begin_ = end_;
        }
        if (csv_fini(&parser_, onCell, onRecordEnd, this) != 0) {
            CsvRecord bad;
            bad.line = pendingStarted_ ? pending_.line : line_;
            bad.error = "a quoted cell is never closed";
            ready_.push_back(std::move(bad));
        }
        finished_ = true;
    }
    if (ready_.empty()) {
        return false;
    }
    record = std::move(ready_.front());
    ready_.pop_front();
    return true;
}

void appendCsvCell(std::string& out, std::string_view cell) {
    const auto special = [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; };
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    const bool quote = std::any_of(cell.begin(), cell.end(), special) ||
                       (!cell.empty() && (blank(cell.front()) || blank(cell.back())));
    if (!quote) {
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
