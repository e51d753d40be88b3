// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/calculate.h"

#include "checked_arithmetic.h"
#include "stages.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vistrel::detail {

namespace {

constexpr std::string_view kUnknownEase = "Ease of reading must be one of the levels in its list.";
constexpr std::string_view kStrokeNotPositive =
    "The Stroke Size must be greater than zero: check the Letter HT and the Viewing Distance.";
constexpr std::string_view kStrokeRatio =
    "The Stroke Size must be greater than zero: check the Letter HT to Stroke Width Ratio.";

double round3(double value) { return NumberText::roundThreeDecimals(value); }

// The terms that add up to the threshold contrast's logarithm, in log units,
// each with the field it comes from. The ease of reading adds at most 2.
struct LogTerm {
    double size;
    Field from;
};

// Names the field whose term pushes the threshold contrast out of range: the largest.
std::string thresholdTooLarge(const std::array<LogTerm, 4>& terms) {
    const auto size = [](const LogTerm& t) {
        return std::isnan(t.size) ? std::numeric_limits<double>::infinity() : t.size;
    };
    const LogTerm& largest = *std::max_element(terms.begin(), terms.end(),
                                               [&](const LogTerm& x, const LogTerm& y) { return size(x) < size(y); });
    return "The threshold contrast is too large: the " + std::string(fieldInfo(largest.from).caption) +
           " is out of range.";
}

} // namespace

Factors readFactors(FieldNumbers& fields) {
    const double age = checkOverflow(ageFactor(fields.read(Field::Age)), Field::Age);
    std::string buffer; // the longest level's text is too long to fit in a string without the heap
    const std::string_view ease = fields.textIn(Field::EaseOfRead, buffer);
    for (const EaseLevel& level : kEaseLevels) {
        if (level.text == ease) {
            return {age, level.factor};
        }
    }
    fail(std::string(kUnknownEase));
}

void thresholdContrast(FieldNumbers& fields, const Factors& factors) {
    const double s = fields.read(Field::StrokeSize);
    if (!(s > 0.0)) {
        // No ratio gives a wider stroke than 5 does, a fifth of the letter:
        // when even that shows as more than zero, the ratio made it vanish.
        const bool ratioToBlame = round3(fields.read(Field::LetterSize) / 5) > 0.0;
        fail(std::string(ratioToBlame ? kStrokeRatio : kStrokeNotPositive));
    }
    const double x = round3(std::log(s) / std::log(2.0));
    const double a = round3(7.4935 - 6.97678 * x + 0.544938 * std::pow(x, 2));
    const double b = round3(-0.55315 + 0.021675 * x + 0.0003125 * std::pow(x, 2));
    const double c = round3(0.007721 + 0.000558 * x + 0.0000175 * std::pow(x, 2));

    const double l = fields.read(Field::LogBack, kChooseMode);
    const double f = fields.read(Field::FieldCorr);
    const auto outOfRange = [&] {
        fail(thresholdTooLarge({{{a / 10, Field::StrokeSize},
                                 {(b * l * 10 + c * std::pow(10 * l, 2)) / 10, Field::LogBack},
                                 {f, Field::FieldCorr},
                                 {std::log10(std::fabs(factors.age)), Field::Age}}}));
    };
    const double logThreshold = (a + b * l * 10 + c * std::pow(10 * l, 2)) / 10 + f;
    if (!std::isfinite(logThreshold)) {
        outOfRange();
    }
    const double g = round3(logThreshold);
    const double t = std::pow(10.0, g) * factors.ease * factors.age;
    if (!std::isfinite(t)) {
        outOfRange();
    }
    fields.writeComputed(Field::ThresholdCon, t);
}

} // namespace vistrel::detail

namespace vistrel {

double ageFactor(double age) {
    return age * 0.1343982 - 0.3796391 - 0.0044422 * std::pow(age, 2) + 0.0000550484 * std::pow(age, 3);
}

} // namespace vistrel
