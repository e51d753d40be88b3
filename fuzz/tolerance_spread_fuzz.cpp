// SPDX-License-Identifier: GPL-3.0-or-later
// The tolerance spreads, NAME=SPREAD as typed after --tol, on arbitrary
// text, around an arbitrary nominal value and cut to each kind of valid
// range: no crash, and every spread accepted yields only finite values
// within the valid range and the limit, at every probability a draw can
// take, at its ends and at its median.

#include "analysis/explore.h"
#include "analysis/tolerance.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>
#include <variant>

namespace {

using namespace vistrel::cli;

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

constexpr std::array<ValidRange, 4> kRanges{ValidRange{}, kPositive, kNonNegative, kFraction};

bool inside(double x, const ValidRange& valid) {
    return (x > valid.low || (x == valid.low && valid.lowIncluded)) &&
           (x < valid.high || (x == valid.high && valid.highIncluded));
}

} // namespace

// Input: a byte choosing the valid range, eight bytes of the nominal value's
// bits (not finite: no nominal value), a byte of probability, then the text.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 10) {
        return 0;
    }
    const ValidRange& valid = kRanges[data[0] % kRanges.size()];
    std::uint64_t bits = 0;
    std::memcpy(&bits, data + 1, sizeof bits);
    const double nominalBits = std::bit_cast<double>(bits);
    const std::optional<double> nominal = std::isfinite(nominalBits) ? std::optional(nominalBits) : std::nullopt;
    const double u = data[9] / 255.0;
    const std::string_view text(reinterpret_cast<const char*>(data + 10), size - 10);

    const auto parsed = parseTolerance(text);
    if (!parsed) {
        check(!parsed.error().message.empty());
        return 0;
    }
    const ToleranceSpec* spec = &*parsed;
    constexpr std::array<std::size_t, 6> kCounts{1, 1, 1, 2, 2, 3}; // numbers of each SpreadForm
    check(spec->numbers.size() == kCounts.at(static_cast<std::size_t>(spec->form)));
    for (const double n : spec->numbers) { // a percentage may be any size: its nominal value decides
        check(std::isfinite(n) && (spec->form == SpreadForm::PlusMinusPercent || std::fabs(n) <= kLargestSpreadValue));
    }
    const auto made = makeDistribution(*spec, nominal, valid);
    if (!made) {
        check(!made.error().message.empty());
        return 0;
    }
    const Distribution* d = &*made;
    const bool normal = spec->form == SpreadForm::NormalSd || spec->form == SpreadForm::NormalMeanSd;
    check(d->excludedFraction() >= 0 && d->excludedFraction() <= 1); // 1 once what is kept rounds away
    check(d->low() <= d->high());
    for (const double x : {d->low(), d->high(), d->median()}) {
        check(std::isfinite(x) && inside(x, valid) && std::fabs(x) <= kLargestSpreadValue);
    }
    // A draw's unit lies within [2^-54, 1] (it can round up to 1); 0 and 1
    // also give a range's low and high values, where a normal reaches past
    // the limit but stays finite and valid.
    for (const double p : {0.0, 0x1.0p-54, u, 0.5, 1.0 - 0x1.0p-53, 1.0}) {
        const double x = d->quantile(p);
        check(std::isfinite(x) && inside(x, valid));
        if (normal) {
            check(p == 0.0 || p == 1.0 || std::fabs(x) <= kLargestSpreadValue);
        } else {
            check(x >= d->low() && x <= d->high());
        }
    }
    return 0;
}
