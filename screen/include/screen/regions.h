// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The text elements of a screen, as boxes: found in the image, or named by
// the designer in a CSV file.

#include "screen/image.h"

#include <string>
#include <vector>

namespace vistrel::screen {

struct Box {
    int x = 0; // left column
    int y = 0; // top row
    int w = 0;
    int h = 0;
    friend bool operator==(const Box&, const Box&) = default;
};

struct Region {
    std::string id;
    Box box;
    std::string label; // the designer's, may be empty
};

// Lines of text in either polarity, each one region, ids "t1", "t2", ... in
// reading order (top to bottom, then left to right). None on a blank,
// a gradient or noise.
[[nodiscard]] std::vector<Region> findText(const LuminanceImage& image);

// A CSV of id,x,y,w,h[,label] with a header line. Refuses, naming the file
// and line, a missing or repeated id, a number that is not a whole number,
// an empty box, and a box that leaves the image (width x height).
[[nodiscard]] Expected<std::vector<Region>> readRegions(const std::string& file, int width, int height);

} // namespace vistrel::screen
