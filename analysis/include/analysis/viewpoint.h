// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A case seen from an eye point: the viewing distance, tilt and pan that the
// eye, the display centre and the display normal (vehicle coordinates, mm)
// give, written into the case's columns.

#include "analysis/cases.h"
#include "analysis/expected.h"
#include "calc/geometry.h"

#include <string>
#include <string_view>

namespace vistrel::cli {

struct DisplayPlacement {
    Vec3 centre;
    Vec3 normal; // toward the viewer
};

// The texts are rounded to kViewDecimals places: a millionth of a millimetre
// or a degree changes no result, and float noise such as 749.9999999999999
// would only hide the number the user can check by hand.
inline constexpr int kViewDecimals = 6;

// "X,Y,Z" in the format's numbers (each number as a case input is read);
// what names the point in messages, such as "--eye".
[[nodiscard]] Expected<Vec3> parsePoint(std::string_view text, const NumberText& numbers, std::string_view what);

// Sets viewing_distance_mm, view_tilt_deg and view_pan_deg; a usage error
// naming what when the points give no view.
[[nodiscard]] Expected<void> placeEye(Case& c, const Vec3& eye, const DisplayPlacement& display,
                                      const NumberText& numbers, std::string_view what);

} // namespace vistrel::cli
