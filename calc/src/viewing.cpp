// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/geometry.h"
#include "checked_arithmetic.h"
#include "stages.h"

#include <cmath>
#include <numbers>

namespace vistrel::detail {

namespace {

constexpr std::string_view kFactorNeedsLuminance =
    "The Off-axis Luminance Factor applies only in luminance mode, where the display emits its own light.";

// An empty angle is straight on; a filled one must leave the display's face in view.
double readAngle(FieldNumbers& fields, Field field) {
    if (fields.isEmpty(field)) {
        return 0.0;
    }
    const double deg = fields.read(field);
    if (!(deg > -90.0 && deg < 90.0)) {
        fail(fieldSubject(field) + " must lie strictly between -90 and 90.");
    }
    return deg;
}

} // namespace

std::optional<View> readView(FieldNumbers& fields) {
    if (fields.isEmpty(Field::ViewTiltDeg) && fields.isEmpty(Field::ViewPanDeg) &&
        fields.isEmpty(Field::OffAxisFactor)) {
        // An earlier press seen off the normal leaves nothing behind.
        for (const Field f : {Field::ApparentHeightMm, Field::OffAxisDeg}) {
            if (!fields.isEmpty(f)) {
                fields.setText(f, "");
            }
        }
        return std::nullopt;
    }
    const double tilt = readAngle(fields, Field::ViewTiltDeg);
    const double pan = readAngle(fields, Field::ViewPanDeg);
    double factor = 1.0;
    if (!fields.isEmpty(Field::OffAxisFactor)) {
        factor = fields.read(Field::OffAxisFactor);
        if (!(factor >= 0.0 && factor <= 1.0)) {
            fail(fieldSubject(Field::OffAxisFactor) + " must be between 0 and 1.");
        }
        // Reflected or transmitted light does not fade with the display's own emission.
        if (!fields.isSelected(ModeOption::BackLum2Op)) {
            fail(std::string(kFactorNeedsLuminance));
        }
    }
    fields.writeComputed(Field::OffAxisDeg, offAxisDeg(tilt, pan));
    return View{tilt, factor};
}

void apparentHeight(FieldNumbers& fields, const View& view) {
    const double h = fields.read(Field::LetterHT2);
    const double seen = h * std::cos(view.tiltDeg * std::numbers::pi / 180.0);
    fields.writeComputed(Field::ApparentHeightMm, checkOverflow(seen, Field::LetterHT2));
}

} // namespace vistrel::detail
