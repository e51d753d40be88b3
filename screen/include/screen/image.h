// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A screen as the luminances the driver's eye receives from its pixels.
//
// How data flows through screen/:
//   image file --loadScreen--> LuminanceImage --findText or readRegions--> Regions
//   --measure--> Measurement --judge (the engine, via analysis)--> RegionResult
//   --mapPng--> the map's PNG bytes; the command line writes them and the table.
// OpenCV stays inside screen/src: no public header names it.

#include "analysis/expected.h"
#include "calc/number_text.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vistrel::screen {

using cli::Error;
using cli::Expected;

// The largest image read, in pixels: a 7680 x 4320 screen and some margin.
// A header that claims more is refused before any pixel is decoded.
inline constexpr std::uint64_t kMaxPixels = 40'000'000;

// The panel's own luminance, row by row, and what the map shows of it.
struct LuminanceImage {
    int width = 0;
    int height = 0;
    std::vector<float> cdm2;         // width * height, cd/m², no veil
    std::vector<std::uint8_t> shade; // width * height, 8-bit grey as the screen looks, for the map
    double mmPerPixel = 0.0;
    std::vector<std::string> assumptions; // what was taken rather than given, one sentence each

    [[nodiscard]] float at(int x, int y) const {
        return cdm2[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
};

// How a screenshot's code values become light.
enum class Transfer { Srgb, Gamma, Linear };

// The display a screenshot is shown on; any part may come from a TOML file
// and be overridden by an option.
struct DisplayModel {
    std::optional<double> whiteCdm2;
    std::optional<double> blackCdm2;
    std::optional<Transfer> transfer; // sRGB when not given
    double gamma = 2.2;               // with Transfer::Gamma
    std::optional<double> pixelPitchMm;
    std::optional<double> widthMm; // the image's full width on the panel
};

// What loadScreen is told besides the file.
struct ScreenSource {
    DisplayModel display;             // for a screenshot
    std::optional<double> mmPerPixel; // for a luminance image
};

// A display model from a TOML file of white_cdm2, black_cdm2, transfer
// ("srgb", "linear" or "gamma:G"), pixel_pitch_mm and width_mm; every key is
// optional and an unknown key is refused with its line.
[[nodiscard]] Expected<DisplayModel> readDisplayModel(const std::string& file);
// The file's model with every part the options give put over it; a pitch or
// a width among the options replaces both of the file's.
[[nodiscard]] DisplayModel overlay(DisplayModel file, const DisplayModel& options);
// "srgb", "linear" or "gamma:G" (0.1 <= G <= 10).
[[nodiscard]] Expected<DisplayModel> parseTransfer(const std::string& text, DisplayModel into);

// Reads a screenshot (8- or 16-bit PNG, TIFF or JPEG: grey, RGB, RGBA or a
// palette) through the display model, or a luminance image (single-channel
// 32-bit float TIFF or PFM, in cd/m²) as it is. Refuses, naming the file,
// what cannot be read, a size of zero or above kMaxPixels, negative or NaN
// luminances, and a display model or pitch that is missing or clashes.
// While it decodes, the process's stderr is captured (the decoders' own
// complaints), so loads are serialised.
[[nodiscard]] Expected<LuminanceImage> loadScreen(const std::string& file, const ScreenSource& source);

} // namespace vistrel::screen
