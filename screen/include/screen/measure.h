// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a box of text measures: the glyphs' and background's luminances, the
// letter height and the stroke width, or why they cannot be measured.

#include "screen/image.h"
#include "screen/regions.h"

#include <string>

namespace vistrel::screen {

struct Measurement {
    bool lightOnDark = false; // the glyphs are the brighter class
    double letterCdm2 = 0.0;  // robust median of the glyphs' cores
    double backgroundCdm2 = 0.0;
    double heightPx = 0.0; // capitals and ascenders
    double strokePx = 0.0;
    // Why there is no measurement: too small, no contrast, a single-pixel
    // stroke. Empty when the numbers above hold.
    std::string problem;

    [[nodiscard]] bool ok() const { return problem.empty(); }
};

[[nodiscard]] Measurement measure(const LuminanceImage& image, const Box& box);

} // namespace vistrel::screen
