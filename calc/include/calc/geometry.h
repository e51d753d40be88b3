// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The display seen from the driver's seat. Points are in vehicle coordinates
// (mm) with +Z up. n is the display's unit normal toward the viewer and s the
// unit vector from the display centre to the eye; the display's up axis is
// u = normalise(Z - (Z.n) n) and its horizontal axis r = u x n. Then
// tilt = asin(s.u), pan = atan2(s.r, s.n), and cos(off-axis) = s.n =
// cos(tilt) cos(pan), so the height the eye sees is h cos(tilt).

#include <array>
#include <string>
#include <variant>

namespace vistrel {

using Vec3 = std::array<double, 3>;

struct ViewGeometry {
    double distanceMm;
    double tiltDeg;
    double panDeg;
};

// The viewing distance, tilt and pan of an eye point, or why there are none:
// a zero normal, an eye on the display centre, an eye behind or in the plane
// of the display, or a display facing straight up or down (no up axis).
[[nodiscard]] std::variant<ViewGeometry, std::string> viewFromPoints(const Vec3& eye, const Vec3& centre,
                                                                     const Vec3& normal);

// The angle between the line of sight and the display's normal, in degrees,
// from the tilt and pan in degrees: cos(off-axis) = cos(tilt) cos(pan).
[[nodiscard]] double offAxisDeg(double tiltDeg, double panDeg);

} // namespace vistrel
