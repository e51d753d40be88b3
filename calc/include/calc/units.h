// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The unit factors the calculation converts with. Exactly these decimal
// constants; the distance factors disagree with each other (39.37 / 3.28 is
// not 12), so a derived distance depends on the box typed.

namespace vistrel {

inline constexpr double kFeetPerMetre = 3.28;
inline constexpr double kInchesPerMetre = 39.37;
inline constexpr double kInchesPerFoot = 12.0;
inline constexpr double kLuxPerFootcandle = 10.76;
inline constexpr double kCandelaPerFootlambert = 3.426;

} // namespace vistrel
