// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a case leaves to the tool, what in it looks like a slip, and what it
// lacks, in numbers: the command line words them and the review lists them.
// A note never refuses a case nor changes its verdict.

#include "analysis/cases.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace vistrel::cli {

// An input the case left empty, and the value the calculation took for it.
struct Assumption {
    std::size_t column;
    std::string_view value; // as the calculation reads it, and for eye_pigment what it means
};
// field_correction when it was not given, and, for a daylight case, every
// daylight input left empty and eye_pigment when a glare source lacks it.
// numbers: the format the case's start texts were written in.
[[nodiscard]] std::vector<Assumption> assumptions(const Case& c, const NumberText& numbers);

// True when no ambient light can change the case's contrast: the display
// reflectance is empty or 0, so ambient light adds no veil.
[[nodiscard]] bool ambientHasNoEffect(const Case& c, const NumberText& numbers);

enum class NoteKind {
    PercentFraction,      // a reflectance or transmittance above 1: a percentage typed for a fraction
    AgeOutsideRange,      // outside kAgeRange
    RoundedLuminance,     // its three-decimal fL form is more than kRoundingTolerance off
    AmbientWithoutEffect, // ambient light given, and no display reflectance to reflect it
};
inline constexpr double kRoundingTolerance = 0.01;

struct PlausibilityNote {
    NoteKind kind = NoteKind::PercentFraction;
    std::size_t column = 0; // the input it is about (veil_fl for the veil)
    double value = 0;       // as given, in the column's unit; the veil in fL
    double suggested = 0;   // PercentFraction: value / 100
    double exactFl = 0;     // RoundedLuminance: the luminance, and the fL the calculation held
    double heldFl = 0;
    std::optional<double> exactContrast; // RoundedLuminance: from the exact luminances
    std::optional<double> shownContrast; // and actual_contrast as calculated
};
// Of a case evaluated to a verdict, in the order of its columns.
[[nodiscard]] std::vector<PlausibilityNote> plausibilityNotes(const Case& c, const NumberText& numbers);

// A required input the case lacks: any one of its columns would do
// (illuminance_lux or illuminance_fc).
struct MissingInput {
    std::vector<std::size_t> columns;
};
// Everything a verdict needs that the case lacks, in column order: the
// mode, its own inputs, and the inputs every mode needs. A column of
// supplied (solve's swept input, say) counts as given.
[[nodiscard]] std::vector<MissingInput> missingInputs(const Case& c, std::span<const std::size_t> supplied = {});

} // namespace vistrel::cli
