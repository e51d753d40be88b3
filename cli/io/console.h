// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Where a command reads and writes: the process's standard streams, or a
// test's strings; an output named with -o goes to its file.

#include "analysis/expected.h"
#include "output_file.h"
#include "sheet.h"

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace vistrel::cli {

struct Console {
    Sink& out;
    Sink& err;
    std::FILE* in = nullptr;    // stdin; null when it was closed
    bool outIsTerminal = false; // control characters would act there instead of show
    bool errIsTerminal = false; // where batch shows its progress
};

// An output of a command: the console's stdout for "-" or no path, else a
// file opened as OutputFile opens it. A table written in a style other than
// the plain CSV goes through the style's TableSink.
class Output {
  public:
    static Expected<Output> open(Console& console, const std::string& path, const SheetStyle& style = {});

    Expected<void> write(std::string_view text);
    // Puts a file in place; stdout is closed at exit.
    Expected<void> commit();
    Sink& sink() { return table_ ? *table_ : file_ ? *file_ : *console_; }
    [[nodiscard]] bool isTerminal() const { return terminal_; }

  private:
    Output(Sink* console, std::unique_ptr<OutputFile> file, bool terminal)
        : console_(console), file_(std::move(file)), terminal_(terminal) {}

    Sink* console_;
    std::unique_ptr<OutputFile> file_;
    bool terminal_;
    std::unique_ptr<TableSink> table_; // writes to the file or the console
};

} // namespace vistrel::cli
