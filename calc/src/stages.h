// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "field_numbers.h"

#include <string_view>

namespace vistrel::detail {

// LogBack and ActualCon are only empty here when no input mode was chosen.
inline constexpr std::string_view kChooseMode =
    "Choose how the background luminance is given: source intensity, illuminance or luminance.";

// Stages, in the order a press runs them.

// Unit reconciliation: the derived units of the mode's distance, illuminance
// or luminance fields.
void reconcileDistance(FieldNumbers& fields);
void reconcileIlluminance(FieldNumbers& fields);
void reconcileLuminance(FieldNumbers& fields);

// LogBack and ActualCon for each input mode.
void sourceIntensityContrast(FieldNumbers& fields);
void illuminanceContrast(FieldNumbers& fields);
void directLuminanceContrast(FieldNumbers& fields);

struct Factors {
    double age;
    double ease;
};
Factors readFactors(FieldNumbers& fields);

// LetterSize and StrokeSize; false when the ratio rule refuses the calculation.
bool visualSize(FieldNumbers& fields);

void thresholdContrast(FieldNumbers& fields, const Factors& factors);

// LogThresholdCon, LogActualCon and Result.
void verdict(FieldNumbers& fields);

} // namespace vistrel::detail
