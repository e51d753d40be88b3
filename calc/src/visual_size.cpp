// SPDX-License-Identifier: GPL-3.0-or-later
#include "checked_arithmetic.h"
#include "stages.h"

#include <cmath>

namespace vistrel::detail {

namespace {

constexpr double kPi = 3.14159265358979; // the model's own value of pi
constexpr std::string_view kViewingZero = "Viewing Distance must not be zero.";
constexpr std::string_view kLetterTooLarge = "The Letter HT is too large for the Viewing Distance.";

} // namespace

bool visualSize(FieldNumbers& fields, Field height) {
    const double h = fields.read(height);
    const double d = fields.read(Field::ViewDist2);
    const double angle = std::atan(quotient(h, d, kViewingZero, kLetterTooLarge));
    fields.writeComputed(Field::LetterSize, angle * 180 / kPi * 60);
    const double ls = fields.read(Field::LetterSize);

    // Three tests, each reading the ratio afresh.
    if (const double r = fields.read(Field::LHSW); r > 3.0 && r < 5.0) {
        fields.writeComputed(Field::StrokeSize, ls * 0.5 * (1 - 3 / r));
        return true;
    }
    if (const double r = fields.read(Field::LHSW); r >= 5.0) {
        fields.writeComputed(Field::StrokeSize, ls / r);
        return true;
    }
    return false; // r <= 3: the ratio rule refuses
}

} // namespace vistrel::detail
