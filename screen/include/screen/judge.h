// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Each region measured and evaluated by the engine as eval would in
// luminance mode, and the map that shows the verdicts on the screen.

#include "analysis/cases.h"
#include "screen/measure.h"

#include <string>
#include <string_view>
#include <vector>

namespace vistrel::screen {

struct RegionResult {
    Region region;
    Measurement measured;
    cli::Case evaluated; // the base case with the measured luminances, height and ratio
    cli::Evaluation evaluation;
};

// The base case's options (observer, distance or eye points, ambient light,
// reflections, glare) with each region's measurement, in luminance mode.
[[nodiscard]] std::vector<RegionResult> judge(const LuminanceImage& image, const std::vector<Region>& regions,
                                              const cli::Case& base, const NumberText& numbers);

// The margin bands of the map, in log units: below 0 Not Legible, then a small
// margin up to comfortable, then a comfortable one.
struct Bands {
    double comfortable = 0.3;
};

// The map: the screen dimmed, each region outlined in its band's colour with
// its id and margin, a legend and the caption. PNG bytes.
[[nodiscard]] std::string mapPng(const LuminanceImage& image, const std::vector<RegionResult>& results,
                                 const Bands& bands, const std::string& caption);

} // namespace vistrel::screen
