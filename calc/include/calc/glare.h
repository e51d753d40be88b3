// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Glare inside the eye: the CIE General Disability Glare Equation (CIE
// 146:2002, after CIE 135/1). Each source at illuminance E (lux, at the eye,
// on a plane facing it) and angle θ (degrees from the line of sight) lays an
// equivalent veiling luminance, in cd/m², on everything the eye sees:
//
//   L = E · [10/θ³ + (5/θ² + 0.1·p/θ)·(1 + (A/62.5)⁴) + 0.0025·p]
//
// with A the observer's age in years and p the eye's pigmentation.

#include <cstddef>
#include <string_view>

namespace vistrel {

// The angles the equation holds for; outside them it is refused, never extrapolated.
inline constexpr double kGlareMinAngleDeg = 0.1;
inline constexpr double kGlareMaxAngleDeg = 100.0;
// 0 for very dark eyes, 0.5 for brown, 1.0 for light blue or green, 1.2 for very light blue.
inline constexpr double kMinEyePigment = 0.0;
inline constexpr double kMaxEyePigment = 1.2;
// Brown eyes, when the case does not say.
inline constexpr double kDefaultEyePigment = 0.5;

// glare_lux and glare_angle_deg hold one number, or one per source separated
// by this, which no number format uses.
inline constexpr char kGlareSeparator = ';';
inline constexpr std::size_t kMaxGlareSources = 16;

// The equation itself, at full precision; the caller keeps to its domain.
[[nodiscard]] double glareVeilCdm2(double lux, double angleDeg, double age, double pigment);

} // namespace vistrel
