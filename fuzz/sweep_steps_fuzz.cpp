// SPDX-License-Identifier: GPL-3.0-or-later
// The sweep ranges, NAME=FROM:TO:STEP or NAME=FROM:TO:xFACTOR as typed after
// --vary, on arbitrary text: no crash, and every range accepted has as many
// values as it promises, each finite, within FROM..TO and in order, the last
// within a step of TO, and each one written as a number.

#include "analysis/explore.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace {

using namespace vistrel::cli;

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

} // namespace

// Input: a byte choosing the number format, two bytes choosing the k-th
// value to look at besides the ends, then the text.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    static const vistrel::NumberText invariant(vistrel::NumberFormat::invariant());
    static const vistrel::NumberText german([] {
        vistrel::NumberFormat f;
        f.decimal = ",";
        f.group = ".";
        return f;
    }());
    const vistrel::NumberText& numbers = data[0] % 2 == 0 ? invariant : german;
    const std::size_t pick = data[1] * 256U + data[2];
    const std::string_view text(reinterpret_cast<const char*>(data + 3), size - 3);

    const auto parsed = parseSweepSpec(text, numbers);
    if (!parsed) {
        check(!parsed.error().message.empty());
        return 0;
    }
    const SweepSpec& spec = *parsed;
    check(spec.count >= 1 && spec.count <= kMaxSweepSteps + 1);
    check(std::isfinite(spec.from) && std::isfinite(spec.to));
    const bool up = spec.to >= spec.from;
    const double lo = std::min(spec.from, spec.to);
    const double hi = std::max(spec.from, spec.to);
    const bool logSteps = spec.factor != 0;
    check(logSteps ? std::isfinite(spec.factor) && spec.factor > 0 && spec.from > 0 && spec.to > 0
                   : std::isfinite(spec.step) && spec.step != 0);

    // The first and last values, a stretch in the middle and the picked one:
    // every value finite, in range and no further from TO than the one before.
    const auto value = [&](std::size_t k) {
        const double v = spec.at(k);
        check(std::isfinite(v) && v >= lo && v <= hi);
        return v;
    };
    check(value(0) == spec.from);
    const std::size_t last = spec.count - 1;
    for (const std::size_t start : {std::size_t{0}, last / 2, last - std::min<std::size_t>(last, 64)}) {
        double previous = value(start);
        for (std::size_t k = start + 1; k <= std::min(last, start + 64); ++k) {
            const double v = value(k);
            check(up ? v >= previous : v <= previous);
            previous = v;
        }
    }
    (void)value(pick % spec.count);

    // No step is missing at the end: one more step would pass TO (the
    // count's rounding slack aside).
    const double end = value(last);
    if (logSteps) {
        const double stepLog = std::fabs(std::log(spec.factor));
        check(std::fabs(std::log(spec.to) - std::log(end)) <= stepLog * (1 + 1e-6) + 1e-12);
    } else {
        check(std::fabs(spec.to - end) <= std::fabs(spec.step) * (1 + 1e-6) + 1e-12 * std::fabs(end));
    }
    // Every value is written as a number that reads back.
    for (const std::size_t k : {std::size_t{0}, pick % spec.count, last}) {
        check(numbers.parse(numbers.plain(spec.at(k))).ok() || std::fabs(spec.at(k)) > 1.797e308);
    }
    return 0;
}
