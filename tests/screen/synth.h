// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Screens drawn with known truth: text of a given cap height, stroke and
// luminances, icons and gradients, on a LuminanceImage whose transfer is
// linear, so that every pixel's luminance follows from its ink coverage.

#include "screen/image.h"
#include "screen/regions.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vistrel::screen::synth {

struct Lettering {
    std::string family = "Liberation Sans";
    bool bold = false;
    std::string text = "HELLO 1234";
    double capPx = 20.0;
    double letterCdm2 = 10.0;
    double backgroundCdm2 = 100.0;
};

struct TextTruth {
    double capPx = 0.0;    // ink height of "H", from its coverage
    double strokePx = 0.0; // the vertical stem of "I", counted at 20 times the size
    double letterCdm2 = 0.0;
    double backgroundCdm2 = 0.0;
    Box box; // the line's ink, where coverage reaches one half
};

// One line of text on a uniform background, with a margin of a cap height.
struct Drawn {
    LuminanceImage image;
    TextTruth truth;
};
[[nodiscard]] Drawn drawLine(const Lettering& lettering);

// A uniform image.
[[nodiscard]] LuminanceImage blank(int width, int height, double cdm2);
// A smooth diagonal ramp from lo to hi cd/m².
[[nodiscard]] LuminanceImage gradient(int width, int height, double lo, double hi);
// Independent pixels (grain = 0) or blobs of about grain px, like a photo's
// texture, spread over a decade of luminance.
[[nodiscard]] LuminanceImage noise(int width, int height, int grain, std::uint32_t seed);

// A dashboard: panels (some dark, some light, some with gradients), lines
// of text in both polarities and several sizes, and icons (discs, rings,
// arrows, bars) kept clear of the text. Returns the lines' true boxes.
struct Dashboard {
    LuminanceImage image;
    std::vector<Box> lines;
};
[[nodiscard]] Dashboard dashboard(int width, int height, std::uint32_t seed);

} // namespace vistrel::screen::synth
