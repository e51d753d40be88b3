// SPDX-License-Identifier: GPL-3.0-or-later
#include "console.h"

namespace vistrel::cli {

Expected<Output> Output::open(Console& console, const std::string& path, const SheetStyle& style) {
    if (path.empty() || path == "-") {
        Output out(&console.out, nullptr, console.outIsTerminal);
        out.table_ = tableSink(style, "stdout", console.out);
        return out;
    }
    auto file = OutputFile::open(path);
    if (!file) {
        return file.error();
    }
    const bool terminal = (*file)->isTerminal();
    Output out(nullptr, std::move(*file), terminal);
    out.table_ = tableSink(style, path, *out.file_);
    return out;
}

Expected<void> Output::write(std::string_view text) {
    if (!sink().write(text)) {
        return sink().failure();
    }
    return {};
}

Expected<void> Output::commit() {
    if (table_) {
        if (auto finished = table_->finish(); !finished) {
            return finished;
        }
    }
    if (file_) {
        return file_->commit();
    }
    return {};
}

} // namespace vistrel::cli
