// SPDX-License-Identifier: GPL-3.0-or-later
#include "xlsx.h"

#include "analysis/cases.h"
#include "calc/calculate.h"
#include "calc/utf8.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <optional>
#include <sys/mman.h>
#include <unistd.h>

namespace vistrel::cli {

namespace {

constexpr double kMinWidth = 6;
constexpr double kMaxWidth = 60;
constexpr std::size_t kHeaderRows = 2; // names, then units

// Text a workbook can hold: a malformed byte, or a control character that
// XML cannot carry, becomes U+FFFD. Counts the characters.
std::size_t sheetText(std::string_view cell, std::string& out) {
    out.clear();
    std::size_t chars = 0;
    for (std::size_t k = 0; k < cell.size(); ++chars) {
        const std::size_t length = utf8::sequenceLength(cell.substr(k));
        const auto c = static_cast<unsigned char>(cell[k]);
        if (length == 0 || (c < 0x20 && c != '\t' && c != '\n' && c != '\r')) {
            utf8::append(out, 0xFFFD);
            ++k;
            continue;
        }
        out.append(cell.substr(k, length));
        k += length;
    }
    return chars;
}

class Workbook final : public TableSink {
  public:
    Workbook(std::string path, Sink& to) : TableSink(to), path_(std::move(path)) {
        // In memory, so that only the output's own safe path ever reaches the disk.
        fd_ = ::memfd_create("vistrel-xlsx", MFD_CLOEXEC);
        if (fd_ < 0) {
            error_ = std::string("cannot make the workbook: ") + std::strerror(errno);
            return;
        }
        const std::string name = "/proc/self/fd/" + std::to_string(fd_);
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE; // rows go to the library's temporary files as they come
        options.use_zip64 = LXW_TRUE;
        book_ = workbook_new_opt(name.c_str(), &options);
        sheet_ = book_ != nullptr ? workbook_add_worksheet(book_, nullptr) : nullptr;
        if (sheet_ == nullptr) {
            error_ = "cannot make the workbook";
            return;
        }
        bold_ = workbook_add_format(book_);
        format_set_bold(bold_);
        italic_ = workbook_add_format(book_);
        format_set_italic(italic_);
        // Light fills with dark text of their own hue: legible whatever the theme.
        const auto fill = [this](lxw_color_t background, std::optional<lxw_color_t> text) {
            lxw_format* f = workbook_add_format(book_);
            format_set_pattern(f, LXW_PATTERN_SOLID);
            format_set_bg_color(f, background);
            if (text) {
                format_set_font_color(f, *text);
            }
            return f;
        };
        good_ = fill(0xC6EFCE, 0x006100);
        bad_ = fill(0xFFC7CE, 0x9C0006);
        neither_ = fill(0xD9D9D9, std::nullopt); // the default black text
    }
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;
    Workbook(Workbook&&) = delete;
    Workbook& operator=(Workbook&&) = delete;
    ~Workbook() override {
        if (book_ != nullptr) {
            lxw_workbook_free(book_); // never closed: nothing of it is written
        }
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }

    [[nodiscard]] Error failure() const override {
        return error_.empty() ? target().failure() : outputError(path_ + ": " + error_);
    }

  private:
    bool row(const std::vector<std::string>& cells) override {
        if (!error_.empty()) {
            return false;
        }
        if (isHeader()) {
            return header(cells);
        }
        if (next_ == kMaxXlsxRows) {
            error_ = "the table has more than " + std::to_string(kMaxXlsxRows - kHeaderRows) +
                     " rows, the most a sheet holds under its header and units; write CSV instead";
            return false;
        }
        const auto at = static_cast<lxw_row_t>(next_);
        for (std::size_t k = 0; k < cells.size(); ++k) {
            const std::string& cell = cells[k];
            const auto column = static_cast<lxw_col_t>(k);
            lxw_format* format = nullptr;
            if (shape(k).verdict) {
                const CellVerdict verdict = cellVerdict(cell);
                format = verdict == CellVerdict::Good ? good_ : verdict == CellVerdict::Bad ? bad_ : neither_;
            }
            double value = 0;
            std::string_view digits = cell;
            if (digits.starts_with('+')) {
                digits.remove_prefix(1); // from_chars takes no plus sign
            }
            const auto read = std::from_chars(digits.data(), digits.data() + digits.size(), value);
            lxw_error written = LXW_NO_ERROR;
            if (isNumberCell(k, cell) && read.ec == std::errc() && read.ptr == digits.data() + digits.size()) {
                written = worksheet_write_number(sheet_, at, column, value, format);
                widen(k, cell.size());
            } else if (!cell.empty()) {
                if (!text(cell, k)) {
                    return false;
                }
                written = worksheet_write_string(sheet_, at, column, text_.c_str(), format);
            } else if (format != nullptr) {
                written = worksheet_write_blank(sheet_, at, column, format);
            }
            if (written != LXW_NO_ERROR) {
                error_ = std::string("cannot write a cell: ") + lxw_strerror(written);
                return false;
            }
        }
        ++next_;
        return true;
    }

    bool header(const std::vector<std::string>& cells) {
        if (cells.size() > LXW_COL_MAX) {
            error_ = "the table has more than " + std::to_string(LXW_COL_MAX) + " columns, the most a sheet holds";
            return false;
        }
        // Rows are written in order: the library lets a row go once the next one starts.
        for (std::size_t k = 0; k < cells.size(); ++k) {
            if (!text(cells[k], k)) {
                return false;
            }
            worksheet_write_string(sheet_, 0, static_cast<lxw_col_t>(k), text_.c_str(), bold_);
        }
        for (std::size_t k = 0; k < cells.size(); ++k) {
            const std::string unit(shape(k).unit);
            if (!unit.empty()) {
                worksheet_write_string(sheet_, 1, static_cast<lxw_col_t>(k), unit.c_str(), italic_);
                widen(k, unit.size());
            }
        }
        worksheet_freeze_panes(sheet_, kHeaderRows, 0);
        next_ = kHeaderRows;
        return true;
    }

    // The cell's text in text_, within what a cell holds.
    bool text(std::string_view cell, std::size_t column) {
        const std::size_t chars = sheetText(cell, text_);
        if (chars > kMaxXlsxCellChars) {
            error_ = "row " + std::to_string(next_ + 1) + " of the sheet has a cell of " + std::to_string(chars) +
                     " characters, more than the " + std::to_string(kMaxXlsxCellChars) + " a workbook cell takes";
            return false;
        }
        widen(column, chars);
        return true;
    }

    void widen(std::size_t column, std::size_t chars) {
        if (widths_.size() <= column) {
            widths_.resize(column + 1, 0);
        }
        widths_[column] = std::max(widths_[column], chars);
    }

    Expected<void> close() override {
        if (!error_.empty()) {
            return failure();
        }
        for (std::size_t k = 0; k < widths_.size(); ++k) {
            const double width = std::clamp(static_cast<double>(widths_[k]) + 2, kMinWidth, kMaxWidth);
            worksheet_set_column(sheet_, static_cast<lxw_col_t>(k), static_cast<lxw_col_t>(k), width, nullptr);
        }
        const lxw_error closed = workbook_close(book_);
        book_ = nullptr;
        if (closed != LXW_NO_ERROR) {
            error_ = std::string("cannot write the workbook: ") + lxw_strerror(closed);
            return failure();
        }
        std::string chunk(std::size_t{1} << 16, '\0');
        for (off_t at = 0;;) {
            const ssize_t got = ::pread(fd_, chunk.data(), chunk.size(), at);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                error_ = std::string("cannot read the workbook back: ") + std::strerror(errno);
                return failure();
            }
            if (got == 0) {
                return {};
            }
            if (!target().write(std::string_view(chunk.data(), static_cast<std::size_t>(got)))) {
                return target().failure();
            }
            at += got;
        }
    }

    std::string path_;
    int fd_ = -1;
    lxw_workbook* book_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* bold_ = nullptr;
    lxw_format* italic_ = nullptr;
    lxw_format* good_ = nullptr;
    lxw_format* bad_ = nullptr;
    lxw_format* neither_ = nullptr;
    std::size_t next_ = 0; // the sheet's row for the next record
    std::vector<std::size_t> widths_;
    std::string text_;
    std::string error_;
};

} // namespace

std::unique_ptr<TableSink> xlsxSink(const std::string& path, Sink& to) { return std::make_unique<Workbook>(path, to); }

} // namespace vistrel::cli
