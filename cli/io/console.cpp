// SPDX-License-Identifier: GPL-3.0-or-later
#include "console.h"

namespace vistrel::cli {

Expected<Output> Output::open(Console& console, const std::string& path) {
    if (path.empty() || path == "-") {
        return Output(&console.out, nullptr, console.outIsTerminal);
    }
    auto file = OutputFile::open(path);
    if (!file) {
        return file.error();
    }
    const bool terminal = (*file)->isTerminal();
    return Output(nullptr, std::move(*file), terminal);
}

Expected<void> Output::write(std::string_view text) {
    if (!sink().write(text)) {
        return sink().failure();
    }
    return {};
}

Expected<void> Output::commit() {
    if (file_) {
        return file_->commit();
    }
    return {};
}

} // namespace vistrel::cli
