// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/expected.h"

struct csv_parser;

namespace vistrel::cli {

// A record's cells, side by side in one buffer: once it has grown to fit,
// reading a record into it neither allocates nor copies through the library.
class CsvCells {
  public:
    CsvCells() = default;
    // A moved-from record is lent to later ones: it must be empty, with no
    // room it does not have.
    CsvCells(CsvCells&& other) noexcept
        : text_(std::move(other.text_)), used_(std::exchange(other.used_, 0)),
          capacity_(std::exchange(other.capacity_, 0)), ends_(std::exchange(other.ends_, {})) {}
    CsvCells& operator=(CsvCells&& other) noexcept {
        text_ = std::move(other.text_);
        used_ = std::exchange(other.used_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
        ends_ = std::exchange(other.ends_, {});
        return *this;
    }
    CsvCells(const CsvCells&) = delete;
    CsvCells& operator=(const CsvCells&) = delete;
    ~CsvCells() = default;

    [[nodiscard]] std::size_t size() const { return ends_.size(); }
    [[nodiscard]] bool empty() const { return ends_.empty(); }
    [[nodiscard]] std::string_view operator[](std::size_t k) const {
        const std::size_t begin = k == 0 ? 0 : ends_[k - 1];
        return {text_.get() + begin, ends_[k] - begin};
    }
    void clear() {
        used_ = 0;
        ends_.clear();
    }
    void add(std::string_view cell);
    // A quoted cell's text, each doubled quote read as one.
    void addDoubled(std::string_view cell);
    // The memory it holds beyond its own size.
    [[nodiscard]] std::size_t heapBytes() const { return capacity_ + ends_.capacity() * sizeof(std::size_t); }

  private:
    void grow(std::size_t more);

    std::unique_ptr<char[]> text_;
    std::size_t used_ = 0;
    std::size_t capacity_ = 0;
    std::vector<std::size_t> ends_; // where each cell ends in text_
};

struct CsvRecord {
    CsvCells cells;
    std::size_t line = 0; // where its first cell ends, counted from 1
    std::string error;    // why it could not be read; the cells are then empty
    // The lines after line that a quote never closed took into it: rows of
    // their own that are lost, which a summary has to count.
    std::size_t linesTakenIn = 0;
};

// One record may hold this much; a longer one is reported as unreadable and
// reading goes on at the next line, so memory stays bounded whatever the input.
inline constexpr std::size_t kMaxRecordBytes = std::size_t{4} << 20;
inline constexpr std::size_t kMaxRecordCells = 4096;

// A stretch of a CSV input, to be read apart from the rest: where it starts
// in the input's lines, and whether the input ends with it.
struct CsvSegment {
    std::string bytes;
    std::size_t firstLine = 1;
    bool afterCr = false; // the byte before it is a CR, so a leading LF ends no line
    bool last = false;
};

// Streams RFC 4180 records (quoted cells, doubled quotes; LF, CRLF or CR line
// ends) from a file and keeps going past a malformed one. Cells keep their
// blanks: a cell is a field's text exactly as typed. A leading UTF-8 byte
// order mark, as spreadsheets write, is skipped.
class CsvReader {
  public:
    // With delimiter 0 the first line decides: ';' (or else a tab) when
    // splitting it there gives some cell that known accepts and splitting at
    // ',' gives none, else ','.
    using NameTest = bool (*)(std::string_view);
    explicit CsvReader(std::FILE* in, char delimiter = ',', NameTest known = nullptr);
    CsvReader(const CsvReader&) = delete;
    CsvReader& operator=(const CsvReader&) = delete;
    CsvReader(CsvReader&&) = delete;
    CsvReader& operator=(CsvReader&&) = delete;
    ~CsvReader();
    // Reads one segment of an input whose delimiter is known, as if from the
    // start of a record; continueWith feeds it the following segment.
    CsvReader(const CsvSegment& segment, char delimiter);

    // The bytes taken from the file but not read yet, and where they start;
    // the reader then waits for them through continueWith.
    struct Rest {
        std::string bytes;
        std::size_t line = 1;
        bool afterCr = false;
        bool atEnd = false; // the file has no more
    };
    [[nodiscard]] Rest takeRest();
    // Goes on reading with the segment that follows what it was given.
    void continueWith(const CsvSegment& segment);
    // True when, having read everything given, it stands between records
    // exactly as a reader started at next would: then what that reader reads
    // is what this one would have read.
    [[nodiscard]] bool handsOverTo(const CsvSegment& next) const;
    [[nodiscard]] char delimiter() const { return delimiter_; }

    // False once the input is exhausted. What record held before lends its
    // memory to a later record, so a caller that reuses its records reads
    // without allocating.
    bool next(CsvRecord& record);
    [[nodiscard]] std::uint64_t bytesRead() const { return bytesRead_; }
    // Set when reading the input itself failed; inputErrno() says why.
    [[nodiscard]] bool inputFailed() const { return inputErrno_ != 0; }
    [[nodiscard]] int inputErrno() const { return inputErrno_; }

  private:
    static void onCell(void* data, std::size_t length, void* self);
    static void onRecordEnd(int terminator, void* self);
    void takeCell(std::string_view cell, bool doubled);
    void endRecord();
    bool splitPlainLine(std::string_view piece);
    void restartParser();
    void startRecord();
    void feed(std::string_view piece, bool endsLine);
    void reportBad(std::size_t line, std::string why, std::size_t linesTakenIn = 0);
    void finish();
    bool fill();
    void startInput();

    std::FILE* in_;
    char delimiter_;
    NameTest known_;
    bool started_ = false;
    std::unique_ptr<csv_parser> parser_;
    std::vector<char> buffer_;
    const char* data_ = nullptr; // the file's buffer, or the segment being read
    bool lastSegment_ = false;   // without a file: the segment given is the input's last
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    bool finished_ = false;
    int inputErrno_ = 0;
    std::uint64_t bytesRead_ = 0;
    std::size_t line_ = 1;
    bool afterCr_ = false;       // the last line ended in CR: an LF next belongs to it
    bool lineOpen_ = false;      // the last piece did not end its line
    bool skipping_ = false;      // dropping the rest of a line after a bad record
    bool atRecordStart_ = true;  // nothing of the next record was fed yet
    std::size_t recordLine_ = 0; // where the record being read began
    std::size_t recordBytes_ = 0;
    CsvRecord pending_;
    std::size_t pendingCells_ = 0; // the cells of pending_ read so far
    bool pendingStarted_ = false;
    CsvRecord spare_; // a record handed back by the caller, for its memory
    std::deque<CsvRecord> ready_;
};

// True when a reader could take the cell apart, or lose its blanks, unquoted.
// Inline: it runs on every cell of every row written.
[[nodiscard]] inline bool csvCellNeedsQuotes(std::string_view cell) {
    static constexpr auto kSpecial = [] {
        std::array<bool, 256> special{};
        for (const char c : {',', '"', '\r', '\n'}) {
            special[static_cast<unsigned char>(c)] = true;
        }
        return special;
    }();
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    if (!cell.empty() && (blank(cell.front()) || blank(cell.back()))) {
        return true;
    }
    return std::any_of(cell.begin(), cell.end(), [](char c) { return kSpecial[static_cast<unsigned char>(c)]; });
}
// The first bytes that make a spreadsheet run a cell as a formula (or, TAB
// and CR, hide one): = + - @ TAB CR.
inline constexpr auto kFormulaLead = [] {
    std::array<bool, 256> lead{};
    for (const char c : {'=', '+', '-', '@', '\t', '\r'}) {
        lead[static_cast<unsigned char>(c)] = true;
    }
    return lead;
}();
// True for a cell a spreadsheet would run as a formula: text that starts with
// one of kFormulaLead. A number (-0.301, +5, -1e3) is no formula.
[[nodiscard]] bool csvCellLooksLikeFormula(std::string_view cell);
// Appends one cell, quoted only when it needs to be. With guardFormulas a
// cell that looks like a formula gets a leading ', which spreadsheets show as
// text and do not run.
void appendCsvCell(std::string& out, std::string_view cell, bool guardFormulas = true);

// How the number cells of a table mark their decimals.
enum class DecimalMark : char { Detect = 0, Point = '.', Comma = ',' };

// True for a number as a spreadsheet types it: a sign, digits with at most
// one decimal mark, and an exponent.
[[nodiscard]] bool isPlainNumber(std::string_view cell, char mark = '.');

// True when number cells may hold a decimal comma: with Comma, and with
// Detect in a ';' or tab separated input, where a comma cannot separate cells
// and numbers have no grouping.
[[nodiscard]] constexpr bool readsDecimalComma(DecimalMark mark, char delimiter) {
    return mark == DecimalMark::Comma || (mark == DecimalMark::Detect && (delimiter == ';' || delimiter == '\t'));
}
// A number cell of an input as the engine reads it, with a point. Detect
// takes "0,8" for 0.8 where readsDecimalComma says so; Comma takes the comma
// in any input and refuses a point, naming column; Point changes nothing. A
// changed text is kept in scratch.
[[nodiscard]] Expected<std::string_view> numberCellText(std::string_view cell, std::string_view column,
                                                        DecimalMark mark, char delimiter, std::string& scratch);

} // namespace vistrel::cli
