// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calc/units.h"
#include "field_numbers.h"

#include <optional>
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

// The letter and background luminances of the selected input mode, in fL,
// before any veil; nothing when no mode is selected. In the source and
// illuminance modes both are their factor times the footcandles.
struct Luminances {
    double letter;
    double background;
};
// Both are scaled by offAxis, the display's relative luminance where the eye
// sees it; only the luminance mode can have one other than 1.
std::optional<Luminances> modeLuminances(FieldNumbers& fields, double offAxis = 1.0);

// Daylight, for a store that holds every field.

// GlareVeilCdm2 from the glare sources, read back, in cd/m^2; with no
// source it is empty and the glare adds nothing.
double readGlare(FieldNumbers& fields);
// VeilFl from the daylight inputs (empty ones count as zero) and the glare
// veil, which adds as the further veil does, read back.
double readVeil(FieldNumbers& fields);
// LogBack and ActualCon with the luminances scaled by offAxis and the veil
// added to both; replaces the mode's own contrast stage when either changes them.
void veiledContrast(FieldNumbers& fields, double veil, double offAxis = 1.0);

// The display seen off its normal, for a store that holds every field.
struct View {
    double tiltDeg;
    double offAxisFactor; // 1 when not given
};
// Nothing, and ApparentHeightMm and OffAxisDeg empty, unless view_tilt_deg,
// view_pan_deg or off_axis_factor is given; else the angles (empty means 0)
// and the factor (empty means 1), checked, and OffAxisDeg written.
std::optional<View> readView(FieldNumbers& fields);
// ApparentHeightMm: the letter height foreshortened by the tilt, read back.
void apparentHeight(FieldNumbers& fields, const View& view);

struct Factors {
    double age;
    double ease;
};
Factors readFactors(FieldNumbers& fields);

// LetterSize and StrokeSize from the letter height in height; false when the
// ratio rule refuses the calculation.
bool visualSize(FieldNumbers& fields, Field height = Field::LetterHT2);

void thresholdContrast(FieldNumbers& fields, const Factors& factors);

// LogThresholdCon, LogActualCon and Result.
void verdict(FieldNumbers& fields);

// ContrastRatio, Modulation, Polarity, NearPointMm and Notes, after the
// verdict; never fails, so they cannot change how the press ends.
void daylightOutputs(FieldNumbers& fields, double veil, double offAxis = 1.0);

} // namespace vistrel::detail
