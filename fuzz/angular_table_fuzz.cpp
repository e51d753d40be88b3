// SPDX-License-Identifier: GPL-3.0-or-later
// An angular table on arbitrary bytes: it must never crash, and a table it
// takes must hold what the parser promises and answer every angle in its
// range with a factor from 0 to 1.

#include "analysis/angular_table.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const vistrel::NumberText numbers(vistrel::NumberFormat::invariant());
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto table = vistrel::cli::AngularTable::parse(text, "fuzz.csv", numbers);
    if (!table) {
        check(table.error().file == "fuzz.csv" && !table.error().message.empty());
        return 0;
    }
    const auto rows = table->rows();
    check(rows.size() >= 2 && rows.front().angleDeg >= 0);
    for (std::size_t k = 0; k < rows.size(); ++k) {
        check(rows[k].factor >= 0 && rows[k].factor <= 1);
        check(k == 0 || rows[k].angleDeg > rows[k - 1].angleDeg);
        const auto at = table->factorAt(rows[k].angleDeg, numbers);
        check(at.ok() && *at == rows[k].factor);
        if (k > 0) {
            const auto between =
                table->factorAt(rows[k - 1].angleDeg + (rows[k].angleDeg - rows[k - 1].angleDeg) / 2, numbers);
            check(between.ok() && std::isfinite(*between) && *between >= 0 && *between <= 1);
        }
    }
    check(!table->factorAt(std::nextafter(rows.back().angleDeg, INFINITY), numbers).ok());
    return 0;
}
