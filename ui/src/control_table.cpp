// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/control_table.h"

#include "calc/fields.h"

#include <algorithm>
#include <array>

namespace vistrel::ui {

namespace {

using enum Kind;
using enum Container;
using enum FontStyle;
using enum Align;

// Every control of the window, in the window's own order. Geometry is in
// twips; a line gives its end points. The last column names what a screen
// reader should say where the caption doesn't (or there is none).
// clang-format off
constexpr std::array<ControlSpec, kControlCount> kControls{{
    {"Frame2", Frame, Form1, "", 0, 0, 12015, 10935, None, Left, {}, {}, 0, 0, true, "Calculation screen"},
    {"LHSW", TextBox, Frame2, "", 10080, 5280, 1095, 375, S12, Centre, {}, {}, 0, 83, false, "Letter HT to Stroke Width Ratio"},
    {"Result", TextBox, Frame2, "", 7680, 10080, 2775, 615, S12, Centre, {}, {}, 0, 82, false, "Result"},
    {"ThresholdCon", TextBox, Frame2, "", 1680, 9120, 2535, 615, S12, Centre, {}, {}, 0, 81, false, "Threshold Contrast"},
    {"LogActualCon", TextBox, Frame2, "", 7680, 8520, 2655, 495, S12, Centre, {}, {}, 2, 28, false, "Log Actual Contrast"},
    {"LogBack", TextBox, Frame2, "", 7680, 9360, 2655, 420, S12, Centre, {}, {}, 2, 27, false, "Log Background Luminance in footlamberts"},
    {"ActualCon", TextBox, Frame2, "", 1680, 9960, 2535, 495, S12, Centre, {}, {}, 0, 26, false, "Actual Contrast"},
    {"EaseOfRead", ComboBox, Frame2, "", 1920, 6240, 5775, 420, S12B, Left, {}, {}, 0, 25, false, "Ease of reading"},
    {"Age", TextBox, Frame2, "", 2040, 4800, 2055, 425, S12, Centre, {}, {}, 0, 24, false, "Observer's Age in years"},
    {"BackLum", TextBox, Frame2, "", 2400, 3720, 2895, 420, S12, Centre, {}, {}, 3, 23, false, "Background Luminance in footlamberts"},
    {"BackTrans2", TextBox, Frame2, "", 6120, 5520, 1095, 420, S12, Centre, {}, {}, 0, 22, false, "Background Reflectance or Transmittance"},
    {"LetterTrans2", TextBox, Frame2, "", 6120, 4800, 1095, 420, S12, Centre, {}, {}, 0, 21, false, "Letter Reflectance or Transmittance"},
    {"LetterHT2", TextBox, Frame2, "", 10080, 4680, 1095, 420, S12, Centre, {}, {}, 0, 20, false, "Letter HT in millimetres"},
    {"ViewDist2", TextBox, Frame2, "", 2040, 5520, 1095, 420, S12, Centre, {}, {}, 0, 19, false, "Viewing Distance in millimetres"},
    {"ILLFC2", TextBox, Frame2, "", 6120, 1920, 1455, 420, S12, Centre, {}, {}, 0, 18, false, "Illuminance in footcandles"},
    {"ILLLUX2", TextBox, Frame2, "", 2880, 1920, 1095, 420, S12, Centre, {}, {}, 0, 17, false, "Illuminance in lux"},
    {"SourceID2", TextBox, Frame2, "", 3840, 720, 1455, 375, S12, Centre, {}, {}, 0, 16, false, "Source Intensity Directed in candela"},
    {"DistSinM2", TextBox, Frame2, "", 3120, 1200, 1455, 375, S12, Centre, {}, {}, 0, 15, false, "Distance of Source in metres"},
    {"DistSinFT2", TextBox, Frame2, "", 5520, 1200, 1455, 375, S12, Centre, {}, {}, 0, 14, false, "Distance of Source in feet"},
    {"DistSinIn2", TextBox, Frame2, "", 7920, 1200, 1455, 375, S12, Centre, {}, {}, 0, 13, false, "Distance of Source in inches"},
    {"FrametwoClick", CommandButton, Frame2, "Click After Filling some of the above fields", 8400, 5880, 2895, 975, S12B, Left, {}, {}, 0, 12, false, ""},
    {"StrokeSize", TextBox, Frame2, "", 1680, 8280, 2535, 540, S12, Centre, {}, {}, 2, 11, false, "Stroke Size in minutes of arc"},
    {"LetterSize", TextBox, Frame2, "", 1680, 7560, 2535, 540, S12, Centre, {}, 0x00FFFFFF, 2, 10, false, "Letter Size in minutes of arc"},
    {"LogThresholdCon", TextBox, Frame2, "", 7680, 7680, 2655, 495, S12, Centre, {}, {}, 0, 9, false, "Log Threshold Contrast"},
    {"Clear", CommandButton, Frame2, "Clear", 10560, 10080, 1335, 615, S12B, Left, {}, {}, 0, 8, false, ""},
    {"Back", CommandButton, Frame2, "Back to Main Menu", 9000, 240, 2775, 855, S12B, Left, {}, {}, 0, 7, false, ""},
    {"LetterLum", TextBox, Frame2, "", 8760, 3645, 2055, 450, S12, Centre, {}, {}, 0, 6, false, "Letter Luminance in footlamberts"},
    {"BackLumCDM", TextBox, Frame2, "", 2400, 2880, 2895, 495, S12, Centre, {}, {}, 0, 5, false, "Background Luminance in candela per square metre"},
    {"LetterLumCDM", TextBox, Frame2, "", 8760, 2880, 2055, 495, S12, Centre, {}, {}, 0, 4, false, "Letter Luminance in candela per square metre"},
    {"BackLum2Op", OptionButton, Frame2, "Option1", 240, 3240, 255, 375, None, Left, {}, {}, 0, 3, false, "Luminance mode: background and letter luminance entered"},
    {"ILL2Op", OptionButton, Frame2, "Option2", 240, 2040, 255, 255, None, Left, {}, {}, 0, 2, false, "Illuminance mode"},
    {"SourceID2Op", OptionButton, Frame2, "Option5", 240, 960, 255, 375, None, Left, {}, {}, 0, 1, false, "Source intensity mode"},
    {"Label3", Label, Frame2, "Letter HT to Stroke Width Ratio", 7680, 5160, 2295, 615, S12B, Centre, {}, {}, 0, 84, false, ""},
    {"Label42", Label, Frame2, "Backlit Display", 1560, 120, 7455, 615, S24B, Centre, {}, {}, 0, 71, false, ""},
    {"Line1", Line, Frame2, "", 120, 6960, 11880, 6960, None, Left, {}, {}, 2, -1, false, ""},
    {"Label9", Label, Frame2, "Outputs", 120, 7080, 1695, 495, S18B, Centre, 0x000000C0, {}, 2, 70, false, ""},
    {"Label13", Label, Frame2, "Threshold Contrast", 0, 9120, 1575, 615, S12B, Centre, 0x000000C0, {}, 2, 69, false, ""},
    {"Label14", Label, Frame2, "Log Actual Contrast", 5760, 8400, 1695, 615, S12B, Centre, 0x000000C0, {}, 2, 68, false, ""},
    {"Label15", Label, Frame2, "Log Background Luminance (FL)", 5640, 9240, 2055, 735, S12B, Centre, 0x000000C0, {}, 2, 67, false, ""},
    {"Line2", Line, Frame2, "", 5520, 6960, 5520, 10800, None, Left, {}, {}, 2, -1, false, ""},
    {"Label25", Label, Frame2, "Result", 6000, 10200, 1455, 375, S18B, Centre, 0x000000C0, {}, 2, 66, false, ""},
    {"Label68", Label, Frame2, "Actual Contrast", 120, 9960, 1335, 615, S12B, Centre, 0x000000C0, {}, 0, 65, false, ""},
    {"Label67", Label, Frame2, "Ease of reading", 120, 6240, 1455, 615, S12B, Centre, {}, {}, 0, 64, false, ""},
    {"Label66", Label, Frame2, "Observer's Age", 360, 4680, 1455, 615, S12B, Centre, {}, {}, 0, 63, false, ""},
    {"Label10", Label, Frame2, "Background Luminance", 720, 3120, 1575, 615, S12B, Centre, {}, {}, 3, 62, false, ""},
    {"Label11", Label, Frame2, "fL", 5400, 3840, 375, 255, S12, Left, {}, {}, 3, 61, false, ""},
    {"Label65", Label, Frame2, "Or", 720, 2400, 735, 495, S18B, Centre, {}, {}, 0, 60, false, ""},
    {"Label64", Label, Frame2, "Background Transmittance", 4200, 5400, 1695, 615, S12B, Centre, {}, {}, 0, 59, false, ""},
    {"Label63", Label, Frame2, "Letter Transmittance", 4200, 4560, 1695, 735, S12B, Centre, 0x00000000, {}, 0, 58, false, ""},
    {"Label62", Label, Frame2, "mm", 11040, 4800, 855, 375, S12, Centre, {}, {}, 0, 57, false, ""},
    {"Label61", Label, Frame2, "Letter HT", 8640, 4800, 1455, 375, S12B, Centre, {}, {}, 0, 56, false, ""},
    {"Label60", Label, Frame2, "mm", 3000, 5640, 855, 375, S12, Centre, {}, {}, 0, 55, false, ""},
    {"Label59", Label, Frame2, "Viewing Distance ", 240, 5400, 1575, 615, S12B, Centre, {}, {}, 0, 54, false, ""},
    {"Label58", Label, Frame2, "FC", 7560, 2040, 735, 375, S12, Centre, {}, {}, 0, 53, false, ""},
    {"Label57", Label, Frame2, "LUX", 3960, 2040, 735, 375, S12, Centre, {}, {}, 0, 52, false, ""},
    {"Label56", Label, Frame2, "ILLUMINANCE", 720, 2040, 1935, 375, S12B, Centre, {}, {}, 0, 51, false, ""},
    {"Label55", Label, Frame2, "Or", 5160, 2040, 375, 375, S12B, Left, {}, {}, 0, 50, false, ""},
    {"Line3", Line, Frame2, "", 120, 4320, 11880, 4320, None, Left, 0x00808080, {}, 0, -1, false, ""},
    {"Label54", Label, Frame2, "Source Intensity Directed", 600, 720, 3255, 495, S12B, Left, {}, {}, 0, 49, false, ""},
    {"Label53", Label, Frame2, "Cd", 5400, 840, 495, 375, S12, Left, {}, {}, 0, 48, false, ""},
    {"Label52", Label, Frame2, "Distance of Source", 600, 1200, 2415, 375, S12B, Left, {}, {}, 0, 47, false, ""},
    {"Label51", Label, Frame2, "m", 4680, 1320, 375, 375, S12, Left, {}, {}, 0, 46, false, ""},
    {"Label50", Label, Frame2, "Or", 5040, 1320, 375, 375, S12B, Left, {}, {}, 0, 45, false, ""},
    {"Label49", Label, Frame2, "ft", 7080, 1320, 255, 375, S12, Left, {}, {}, 0, 44, false, ""},
    {"Label48", Label, Frame2, "Or", 7440, 1320, 375, 375, S12B, Left, {}, {}, 0, 43, false, ""},
    {"Label47", Label, Frame2, "in", 9480, 1320, 375, 375, S12, Left, 0x00000000, {}, 0, 42, false, ""},
    {"Label46", Label, Frame2, "Or", 720, 1560, 735, 495, S18B, Centre, {}, {}, 0, 41, false, ""},
    {"Label19", Label, Frame2, "Minutes", 4440, 8400, 975, 345, S12, Left, {}, {}, 2, 40, false, ""},
    {"Label18", Label, Frame2, "Stroke Size", 120, 8400, 1455, 375, S12B, Centre, 0x000000C0, {}, 2, 39, false, ""},
    {"Label17", Label, Frame2, "Minutes", 4440, 7800, 975, 345, S12, Left, {}, {}, 2, 38, false, ""},
    {"Label16", Label, Frame2, "Letter Size", 120, 7680, 1455, 375, S12B, Centre, 0x000000C0, {}, 2, 37, false, ""},
    {"Label8", Label, Frame2, "Log Threshold Contrast", 5640, 7560, 1935, 615, S12B, Centre, 0x000000C0, {}, 0, 36, false, ""},
    {"Label26", Label, Frame2, "Letter Luminance", 7200, 3120, 1575, 735, S12B, Centre, {}, {}, 0, 35, false, ""},
    {"Label38", Label, Frame2, "and", 6120, 3360, 735, 375, S12B, Centre, {}, {}, 0, 34, false, ""},
    {"Label39", Label, Frame2, "fL", 10800, 3720, 495, 375, S12, Centre, {}, {}, 0, 33, false, ""},
    {"Label40", Label, Frame2, "cd/m^2", 5400, 3000, 975, 375, S12, Left, {}, {}, 0, 32, false, ""},
    {"Label41", Label, Frame2, "Or", 2520, 3360, 375, 255, S12B, Centre, {}, {}, 0, 31, false, ""},
    {"Label45", Label, Frame2, "cd/m^2", 10920, 3000, 735, 375, S12, Left, {}, {}, 0, 30, false, ""},
    {"Label69", Label, Frame2, "Or", 8880, 3360, 495, 255, S12B, Centre, {}, {}, 0, 29, false, ""},
    {"FieldCorr", TextBox, Form1, fieldInfo(Field::FieldCorr).start, 6960, 6720, 1215, 420, S12, Centre, {}, {}, 0, 80, false, "Field Correction in log units"},
    {"Exit", CommandButton, Form1, "Exit", 7560, 4080, 1335, 615, S12B, Left, {}, {}, 0, 75, false, ""},
    {"Option1", OptionButton, Form1, "Externally Illuminated Display", 3360, 3360, 4095, 495, S12B, Left, {}, {}, 0, 74, false, ""},
    {"Option2", OptionButton, Form1, "Backlit Display", 3360, 3840, 4215, 735, S12B, Left, {}, {}, 0, 73, false, ""},
    {"Command1", CommandButton, Form1, "OK", 7560, 3240, 1335, 615, S12B, Left, {}, {}, 0, 72, false, ""},
    {"Label2", Label, Form1, "Adjustment (in log units) to raise (+) or lower (-)", 3480, 6360, 3255, 735, S12B, Left, {}, {}, 0, 79, false, ""},
    {"Label1", Label, Form1, "Field Correction", 3120, 5400, 2055, 375, S12B, Left, {}, {}, 0, 78, false, ""},
    {"Line7", Line, Form1, "", 3000, 5280, 3000, 7920, None, Left, {}, {}, 0, -1, false, ""},
    {"Line6", Line, Form1, "", 9000, 7920, 3000, 7920, None, Left, {}, {}, 0, -1, false, ""},
    {"Line5", Line, Form1, "", 9000, 7920, 9000, 5280, None, Left, {}, {}, 0, -1, false, ""},
    {"Line4", Line, Form1, "", 3000, 5280, 9000, 5280, None, Left, {}, {}, 0, -1, false, ""},
    {"Label44", Label, Form1, "Please choose one of the following options and click ok", 3120, 2280, 5775, 735, S12B, Left, {}, {}, 0, 77, false, ""},
    {"Label43", Label, Form1, "Vistrel of Automotive Displays ", 2520, 480, 7575, 855, S24B, Centre, {}, {}, 0, 76, false, ""},
    {"Line11", Line, Form1, "", 3000, 2160, 9000, 2160, None, Left, {}, {}, 0, -1, false, ""},
    {"Line10", Line, Form1, "", 9000, 4800, 9000, 2160, None, Left, {}, {}, 0, -1, false, ""},
    {"Line9", Line, Form1, "", 9000, 4800, 3000, 4800, None, Left, {}, {}, 0, -1, false, ""},
    {"Line8", Line, Form1, "", 3000, 2160, 3000, 4800, None, Left, {}, {}, 0, -1, false, ""},
}};
// clang-format on

} // namespace

std::span<const ControlSpec, kControlCount> controlTable() { return kControls; }

const ControlSpec* findControl(std::string_view name) {
    const auto* it =
        std::find_if(kControls.begin(), kControls.end(), [&](const ControlSpec& c) { return c.name == name; });
    return it == kControls.end() ? nullptr : &*it;
}

} // namespace vistrel::ui
