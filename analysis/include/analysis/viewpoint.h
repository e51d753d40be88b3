// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A case seen from an eye point: the viewing distance, tilt and pan that the
// eye, the display centre and the display normal (vehicle coordinates, mm)
// give, written into the case's columns.

#include "analysis/cases.h"
#include "analysis/conditions.h"
#include "analysis/expected.h"
#include "calc/geometry.h"

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

// An eye-point file is a few named points, the corners of an eye range:
// this bounds what is read.
inline constexpr std::size_t kMaxEyePointBytes = std::size_t{64} << 10U;

struct EyePoint {
    std::string name;
    Vec3 position; // vehicle coordinates, mm
    int line;      // in its file, for messages
};

// A CSV of name,x,y,z (in any order) read from file, which names it in every
// message: names unique and not empty, coordinates numbers in mm.
[[nodiscard]] Expected<std::vector<EyePoint>> parseEyePoints(std::string_view text, const std::string& file,
                                                             const NumberText& numbers);
// The points in file, read up to kMaxEyePointBytes.
[[nodiscard]] Expected<std::vector<EyePoint>> loadEyePoints(const std::filesystem::path& file,
                                                            const NumberText& numbers);

// Each condition seen from each eye point, as one condition of the grid named
// "CONDITION @ EYE" (the eye point's name alone without conditions) that sets
// the viewing distance, tilt and pan. An eye the display cannot be seen from
// is refused naming file and line, and so is a condition that sets what the
// eye points give.
[[nodiscard]] Expected<std::vector<NamedRow>>
conditionsFromEyePoints(std::span<const NamedRow> conditions, std::span<const EyePoint> eyes,
                        const DisplayPlacement& display, const NumberText& numbers, const std::string& file);

} // namespace vistrel::cli
