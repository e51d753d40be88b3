#pragma once

#include <csv.h>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel::cli {

struct CsvRecord {
    std::vector<std::string> cells;
    std::size_t line = 0; // where its first cell ends, counted from 1
    std::string error;    // why it could not be read; the cells are then empty
};

// Streams RFC 4180 records (quoted cells, doubled quotes, CRLF or LF) from a
// file and keeps going past a malformed one. Cells keep their blanks: a cell
// is a field's text exactly as typed.
class CsvReader {
  public:
    explicit CsvReader(std::FILE* in);
    CsvReader(const CsvReader&) = delete;
    CsvReader& operator=(const CsvReader&) = delete;
    CsvReader(CsvReader&&) = delete;
    CsvReader& operator=(CsvReader&&) = delete;
    ~CsvReader();

    // False once the input is exhausted.
    bool next(CsvRecord& record);
    [[nodiscard]] std::uint64_t bytesRead() const { return bytesRead_; }
    // Set when reading the input itself failed.
    [[nodiscard]] bool inputFailed() const { return inputFailed_; }

  private:
    static void onCell(void* data, std::size_t length, void* self);
    static void onRecordEnd(int terminator, void* self);
    void restartParser();
    void feed(std::string_view text);
    bool fill();

    std::FILE* in_;
    csv_parser parser_{};
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    bool finished_ = false;
    bool inputFailed_ = false;
    std::uint64_t bytesRead_ = 0;
    std::size_t line_ = 1;
    CsvRecord pending_;
    bool pendingStarted_ = false;
    std::deque<CsvRecord> ready_;
};

// Appends one cell, quoted only when a reader could take it apart otherwise.
void appendCsvCell(std::string& out, std::string_view cell);

} // namespace vistrel::cli
