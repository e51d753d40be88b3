// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vistrel {

namespace {

constexpr double kDegPerRad = 180.0 / std::numbers::pi;

double dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec3 minus(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec3 scaled(const Vec3& a, double k) { return {a[0] * k, a[1] * k, a[2] * k}; }
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double length(const Vec3& a) { return std::hypot(a[0], a[1], a[2]); }

// Lengths this small carry no direction a reviewer could trust.
constexpr double kTiny = 1e-9;

} // namespace

std::variant<ViewGeometry, std::string> viewFromPoints(const Vec3& eye, const Vec3& centre, const Vec3& normal) {
    for (const Vec3* v : {&eye, &centre, &normal}) {
        for (const double x : *v) {
            if (!std::isfinite(x)) {
                return std::string("every coordinate must be a finite number");
            }
        }
    }
    const double normalLength = length(normal);
    if (!(normalLength > kTiny)) {
        return std::string("the display normal must not be zero");
    }
    const Vec3 n = scaled(normal, 1.0 / normalLength);
    const Vec3 toEye = minus(eye, centre);
    const double distance = length(toEye);
    if (!(distance > kTiny) || !std::isfinite(distance)) {
        return std::string("the eye must not be at the display centre");
    }
    const Vec3 s = scaled(toEye, 1.0 / distance);
    if (!(dot(s, n) > 0.0)) {
        return std::string("the eye must be in front of the display: the normal points toward the viewer");
    }
    const Vec3 up{0.0, 0.0, 1.0};
    const Vec3 upInPlane = minus(up, scaled(n, dot(up, n)));
    const double upLength = length(upInPlane);
    if (!(upLength > kTiny)) {
        return std::string("the display faces straight up or down, so it has no up direction");
    }
    const Vec3 u = scaled(upInPlane, 1.0 / upLength);
    const Vec3 r = cross(u, n);
    const double tilt = std::asin(std::clamp(dot(s, u), -1.0, 1.0));
    const double pan = std::atan2(dot(s, r), dot(s, n));
    return ViewGeometry{distance, tilt * kDegPerRad, pan * kDegPerRad};
}

double offAxisDeg(double tiltDeg, double panDeg) {
    const double c = std::cos(tiltDeg / kDegPerRad) * std::cos(panDeg / kDegPerRad);
    return std::acos(std::clamp(c, -1.0, 1.0)) * kDegPerRad;
}

} // namespace vistrel
