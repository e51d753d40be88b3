// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calc/inline_text.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vistrel {

// The named fields through which every value of the calculation passes.
enum class Field : std::size_t {
    SourceID2,
    DistSinM2,
    DistSinFT2,
    DistSinIn2,
    ILLLUX2,
    ILLFC2,
    BackLumCDM,
    BackLum,
    LetterLumCDM,
    LetterLum,
    LetterTrans2,
    BackTrans2,
    Age,
    ViewDist2,
    LetterHT2,
    LHSW,
    EaseOfRead,
    FieldCorr,
    LetterSize,
    StrokeSize,
    ActualCon,
    LogBack,
    ThresholdCon,
    LogThresholdCon,
    LogActualCon,
    Result,
    // The window has no boxes for these: daylight on the display and what it
    // does to the contrast, and the observer's focus.
    AmbientLux,
    DisplayReflectance,
    SpecularCdm2,
    SpecularReflectance,
    VeilCdm2,
    VeilFl,
    ContrastRatio,
    Modulation,
    Polarity,
    NearPointMm,
    // Glare inside the eye from sources near the line of sight.
    GlareLux,
    GlareAngleDeg,
    EyePigment,
    GlareVeilCdm2,
    // The display seen from the driver's seat: off its normal, and dimmer there.
    ViewTiltDeg,
    ViewPanDeg,
    OffAxisFactor,
    ApparentHeightMm,
    OffAxisDeg,
    Notes,
};
inline constexpr std::size_t kFieldCount = static_cast<std::size_t>(Field::Notes) + 1;

// The three input-mode option buttons; at most one is selected.
enum class ModeOption : std::size_t { SourceID2Op, ILL2Op, BackLum2Op };
inline constexpr std::size_t kModeOptionCount = 3;

enum class Role { Input, Output };

// The sections of the calculation screen that an input mode shows as in use
// or greys as a whole.
enum class ModeGroup { None, Source, Illuminance, Reflectance, Luminance };

struct FieldInfo {
    Field field;
    std::string_view name;    // the window's control, or the engine's own name for a field it lacks
    std::string_view key;     // the column of tables and the option of the command line
    std::string_view caption; // what the user reads beside the field
    std::string_view unit;    // as the window labels it; empty where it shows none
    Role role;
    bool window;           // the window has a box for it
    bool cleared;          // in the window's cleared set, emptied when a calculation is refused
    std::size_t clearStep; // 1-based place in Clear's order; 0 when Clear keeps the field
    ModeGroup group;
    std::string_view start; // the text the field starts with
};

// One row per field, in the order of Field.
// clang-format off
inline constexpr std::array<FieldInfo, kFieldCount> kFields{{
    {Field::SourceID2, "SourceID2", "source_cd", "Source Intensity Directed", "Cd", Role::Input, true, false, 1, ModeGroup::Source, ""},
    {Field::DistSinM2, "DistSinM2", "distance_m", "Distance of Source", "m", Role::Input, true, false, 2, ModeGroup::Source, ""},
    {Field::DistSinFT2, "DistSinFT2", "distance_ft", "Distance of Source", "ft", Role::Input, true, false, 3, ModeGroup::Source, ""},
    {Field::DistSinIn2, "DistSinIn2", "distance_in", "Distance of Source", "in", Role::Input, true, false, 4, ModeGroup::Source, ""},
    {Field::ILLLUX2, "ILLLUX2", "illuminance_lux", "Illuminance", "LUX", Role::Input, true, false, 5, ModeGroup::Illuminance, ""},
    {Field::ILLFC2, "ILLFC2", "illuminance_fc", "Illuminance", "FC", Role::Input, true, false, 6, ModeGroup::Illuminance, ""},
    {Field::BackLumCDM, "BackLumCDM", "background_cdm2", "Background Luminance", "cd/m^2", Role::Input, true, false, 7, ModeGroup::Luminance, ""},
    {Field::BackLum, "BackLum", "background_fl", "Background Luminance", "fL", Role::Input, true, false, 8, ModeGroup::Luminance, ""},
    {Field::LetterLumCDM, "LetterLumCDM", "letter_cdm2", "Letter Luminance", "cd/m^2", Role::Input, true, false, 9, ModeGroup::Luminance, ""},
    {Field::LetterLum, "LetterLum", "letter_fl", "Letter Luminance", "fL", Role::Input, true, false, 10, ModeGroup::Luminance, ""},
    {Field::LetterTrans2, "LetterTrans2", "letter_factor", "Letter Reflectance or Transmittance", "", Role::Input, true, false, 15, ModeGroup::Reflectance, ""},
    {Field::BackTrans2, "BackTrans2", "background_factor", "Background Reflectance or Transmittance", "", Role::Input, true, false, 16, ModeGroup::Reflectance, ""},
    {Field::Age, "Age", "age", "Observer's Age", "", Role::Input, true, false, 11, ModeGroup::None, ""},
    {Field::ViewDist2, "ViewDist2", "viewing_distance_mm", "Viewing Distance", "mm", Role::Input, true, false, 12, ModeGroup::None, ""},
    {Field::LetterHT2, "LetterHT2", "letter_height_mm", "Letter HT", "mm", Role::Input, true, false, 13, ModeGroup::None, ""},
    {Field::LHSW, "LHSW", "ratio", "Letter HT to Stroke Width Ratio", "", Role::Input, true, true, 14, ModeGroup::None, ""},
    {Field::EaseOfRead, "EaseOfRead", "ease", "Ease of reading", "", Role::Input, true, false, 17, ModeGroup::None, ""},
    {Field::FieldCorr, "FieldCorr", "field_correction", "Field Correction", "", Role::Input, true, false, 0, ModeGroup::None, "0.0"},
    {Field::LetterSize, "LetterSize", "letter_size_arcmin", "Letter Size", "Minutes", Role::Output, true, true, 18, ModeGroup::None, ""},
    {Field::StrokeSize, "StrokeSize", "stroke_size_arcmin", "Stroke Size", "Minutes", Role::Output, true, true, 19, ModeGroup::None, ""},
    {Field::ActualCon, "ActualCon", "actual_contrast", "Actual Contrast", "", Role::Output, true, true, 21, ModeGroup::None, ""},
    {Field::LogBack, "LogBack", "log_background_fl", "Log Background Luminance (FL)", "", Role::Output, true, true, 24, ModeGroup::None, ""},
    {Field::ThresholdCon, "ThresholdCon", "threshold_contrast", "Threshold Contrast", "", Role::Output, true, true, 20, ModeGroup::None, ""},
    {Field::LogThresholdCon, "LogThresholdCon", "log_threshold_contrast", "Log Threshold Contrast", "", Role::Output, true, true, 22, ModeGroup::None, ""},
    {Field::LogActualCon, "LogActualCon", "log_actual_contrast", "Log Actual Contrast", "", Role::Output, true, true, 23, ModeGroup::None, ""},
    {Field::Result, "Result", "result", "Result", "", Role::Output, true, true, 25, ModeGroup::None, ""},
    {Field::AmbientLux, "AmbientLux", "ambient_lux", "Ambient Illuminance", "lux", Role::Input, false, false, 0, ModeGroup::None, ""},
    {Field::DisplayReflectance, "DisplayReflectance", "display_reflectance", "Display Reflectance", "", Role::Input, false, false, 0, ModeGroup::None, ""},
    {Field::SpecularCdm2, "SpecularCdm2", "specular_cdm2", "Mirrored Source Luminance", "cd/m^2", Role::Input, false, false, 0, ModeGroup::None, ""},
    {Field::SpecularReflectance, "SpecularReflectance", "specular_reflectance", "Specular Reflectance", "", Role::Input, false, false, 0, ModeGroup::None, ""},
    {Field::VeilCdm2, "VeilCdm2", "veil_cdm2", "Further Veiling Luminance", "cd/m^2", Role::Input, false, false, 0, ModeGroup::None, ""},
    {Field::VeilFl, "VeilFl", "veil_fl", "Veiling Luminance", "fL", Role::Output, false, false, 0, ModeGroup::None, ""},
    {Field::ContrastRatio, "ContrastRatio", "contrast_ratio", "Contrast Ratio", "", Role::Output, false, false, 0, ModeGroup::None, ""},
    {Field::Modulation, "Modulation", "modulation", "Modulation", "", Role::Output, false, false, 0, ModeGroup::None, ""},
    {Field::Polarity, "Polarity", "polarity", "Polarity", "", Role::Output, false, false, 0, ModeGroup::None, ""},
    {Field::NearPointMm, "NearPointMm", "near_point_mm", "Near Point", "mm", Role::Output, false, false, 0, ModeGroup::None, ""},
    {Field::GlareLux, "GlareLux", "glare_lux", "Glare Illuminance at the Eye", "lux", Role::Input, false, false, 0, ModeGroup::None, ""},
    {Field::GlareAngleDeg, "GlareAngleDeg", "glare_angle_deg", "Glare Angle", "deg", Role::Input, false, false, 0, ModeGroup::None, ""},
    {Field::EyePigment, "EyePigment", "eye_pigment", "Eye Pigmentation", "", Role::Input, false, false, 0, ModeGroup::None, ""},
    {Field::GlareVeilCdm2, "GlareVeilCdm2", "glare_veil_cdm2", "Glare Veiling Luminance", "cd/m^2", Role::Output, false, false, 0, ModeGroup::None, ""},
    {Field::ViewTiltDeg, "ViewTiltDeg", "view_tilt_deg", "Viewing Tilt", "deg", Role::Input, false, false, 0, ModeGroup::None, ""},
    {Field::ViewPanDeg, "ViewPanDeg", "view_pan_deg", "Viewing Pan", "deg", Role::Input, false, false, 0, ModeGroup::None, ""},
    {Field::OffAxisFactor, "OffAxisFactor", "off_axis_factor", "Off-axis Luminance Factor", "", Role::Input, false, false, 0, ModeGroup::None, ""},
    {Field::ApparentHeightMm, "ApparentHeightMm", "apparent_height_mm", "Apparent Letter Height", "mm", Role::Output, false, false, 0, ModeGroup::None, ""},
    {Field::OffAxisDeg, "OffAxisDeg", "off_axis_deg", "Off-axis Angle", "deg", Role::Output, false, false, 0, ModeGroup::None, ""},
    {Field::Notes, "Notes", "notes", "Notes", "", Role::Output, false, false, 0, ModeGroup::None, ""},
}};
// clang-format on

[[nodiscard]] constexpr const FieldInfo& fieldInfo(Field field) { return kFields[static_cast<std::size_t>(field)]; }
[[nodiscard]] constexpr std::string_view fieldName(Field field) { return fieldInfo(field).name; }
[[nodiscard]] std::optional<Field> fieldFromName(std::string_view name);
[[nodiscard]] std::string_view modeOptionName(ModeOption option);
// The field as messages name it: caption, and unit where the window shows one.
[[nodiscard]] std::string fieldSubject(Field field);

// Which groups each input mode greys: the ones it does not use.
[[nodiscard]] constexpr bool greys(ModeOption mode, ModeGroup group) {
    switch (mode) {
    case ModeOption::SourceID2Op: return group == ModeGroup::Illuminance || group == ModeGroup::Luminance;
    case ModeOption::ILL2Op: return group == ModeGroup::Source || group == ModeGroup::Luminance;
    case ModeOption::BackLum2Op:
        return group == ModeGroup::Source || group == ModeGroup::Illuminance || group == ModeGroup::Reflectance;
    }
    return false;
}

namespace fields_detail {

template <class Keep> constexpr std::size_t count(Keep keep) {
    return static_cast<std::size_t>(std::count_if(kFields.begin(), kFields.end(), keep));
}

constexpr bool inClear(const FieldInfo& f) { return f.clearStep > 0; }
constexpr bool inClearedSet(const FieldInfo& f) { return f.cleared; }
constexpr bool isClearedOutput(const FieldInfo& f) { return f.cleared && f.role == Role::Output; }
constexpr bool isOffWindowOutput(const FieldInfo& f) { return !f.window && f.role == Role::Output; }
constexpr bool onWindow(const FieldInfo& f) { return f.window; }

// The fields that pass keep, in Clear's order.
template <std::size_t N, class Keep> constexpr std::array<Field, N> inClearOrder(Keep keep) {
    std::array<Field, N> out{};
    std::size_t n = 0;
    for (std::size_t step = 1; step <= kFieldCount; ++step) {
        for (const FieldInfo& f : kFields) {
            if (f.clearStep == step && keep(f)) {
                out[n++] = f.field;
            }
        }
    }
    return out;
}

// The fields that pass keep, in the table's order.
template <std::size_t N, class Keep> constexpr std::array<Field, N> inTableOrder(Keep keep) {
    std::array<Field, N> out{};
    std::size_t n = 0;
    for (const FieldInfo& f : kFields) {
        if (keep(f)) {
            out[n++] = f.field;
        }
    }
    return out;
}

constexpr bool rowsInFieldOrder() {
    for (std::size_t k = 0; k < kFieldCount; ++k) {
        if (static_cast<std::size_t>(kFields[k].field) != k) {
            return false;
        }
    }
    return true;
}

// Every step from 1 to the number of cleared fields is taken exactly once.
constexpr bool clearStepsUnique() {
    for (std::size_t step = 1; step <= count(inClear); ++step) {
        if (count([step](const FieldInfo& f) { return f.clearStep == step; }) != 1) {
            return false;
        }
    }
    return true;
}

} // namespace fields_detail

static_assert(fields_detail::rowsInFieldOrder(), "kFields is indexed by Field");
static_assert(fields_detail::clearStepsUnique(), "Clear empties its fields one at a time, each once");

// Emptied by Clear, in this order: every field of the calculation screen.
inline constexpr auto kClearOrder =
    fields_detail::inClearOrder<fields_detail::count(fields_detail::inClear)>(fields_detail::inClear);

// Emptied, in this order, after a refused calculation.
inline constexpr auto kClearedSet =
    fields_detail::inClearOrder<fields_detail::count(fields_detail::inClearedSet)>(fields_detail::inClearedSet);

// A fault keeps what the user typed and empties only the outputs.
inline constexpr auto kClearedOutputs =
    fields_detail::inClearOrder<fields_detail::count(fields_detail::isClearedOutput)>(fields_detail::isClearedOutput);

// Outputs the window lacks; emptied with the window's outputs after a refusal or a fault.
inline constexpr auto kOffWindowOutputs =
    fields_detail::inTableOrder<fields_detail::count(fields_detail::isOffWindowOutput)>(
        fields_detail::isOffWindowOutput);

inline constexpr std::size_t kWindowFieldCount = fields_detail::count(fields_detail::onWindow);

namespace fields_detail {

constexpr bool clearedButNotByClear(const FieldInfo& f) { return f.cleared && f.clearStep == 0; }
constexpr bool windowOutputKeptByRefusal(const FieldInfo& f) {
    return f.window && f.role == Role::Output && !f.cleared;
}
constexpr bool offWindowButClearedOrGreyed(const FieldInfo& f) {
    return !f.window && (f.cleared || f.clearStep > 0 || f.group != ModeGroup::None);
}
constexpr bool outOfWindowOrder(const FieldInfo& f) {
    return f.window != (static_cast<std::size_t>(f.field) < kWindowFieldCount);
}

} // namespace fields_detail

static_assert(fields_detail::count(fields_detail::clearedButNotByClear) == 0,
              "Clear empties every field of the cleared set");
static_assert(fields_detail::count(fields_detail::windowOutputKeptByRefusal) == 0,
              "a refused calculation leaves no output of the window behind");
static_assert(fields_detail::count(fields_detail::offWindowButClearedOrGreyed) == 0,
              "Clear, the cleared set and the greying of a mode touch only the window's own boxes");
static_assert(fields_detail::count(fields_detail::outOfWindowOrder) == 0,
              "the window's fields come first, so tables of them can be indexed by Field");

// The engine's only view of the window: texts by name, and the mode options.
class FieldStore {
  public:
    FieldStore() = default;
    FieldStore(const FieldStore&) = default;
    FieldStore& operator=(const FieldStore&) = default;
    FieldStore(FieldStore&&) = default;
    FieldStore& operator=(FieldStore&&) = default;
    virtual ~FieldStore() = default;

    [[nodiscard]] virtual std::string text(Field field) const = 0;
    virtual void setText(Field field, std::string_view text) = 0;
    [[nodiscard]] virtual bool isSelected(ModeOption option) const = 0;

    // Stores that hold their texts override these to skip a copy.
    [[nodiscard]] virtual bool isEmpty(Field field) const { return text(field).empty(); }
    // The field's text, in buffer unless the store can lend its own.
    [[nodiscard]] virtual std::string_view textIn(Field field, std::string& buffer) const {
        buffer = text(field);
        return buffer;
    }
    // True when a text set is exactly the text read back and nobody sees a
    // text before it is replaced; a text set only to be overwritten can then
    // be skipped.
    [[nodiscard]] virtual bool keepsTextsUnseen() const { return false; }
    // False for a store that, like the window, holds only the window's own
    // fields: it reads the others as empty and drops writes to them, and the
    // engine then neither reads nor writes them.
    [[nodiscard]] virtual bool holdsEveryField() const { return false; }
};

// What a MemoryStore holds: the window's own fields, or every field.
enum class Holds { WindowFields, EveryField };

// Fields held in memory, starting as the window starts: every field with its
// start text, and no mode selected. Holding only the window's fields, it reads
// the others as empty and refuses to set them (std::logic_error), so an input
// the caller sets is never silently dropped.
class MemoryStore final : public FieldStore {
  public:
    explicit MemoryStore(Holds holds = Holds::WindowFields);

    [[nodiscard]] std::string text(Field field) const override;
    // Inline: a batch sets dozens of fields for every case.
    void setText(Field field, std::string_view text) override {
        if (!fieldInfo(field).window && holds_ != Holds::EveryField) {
            refuseOffWindow(field);
        }
        texts_[static_cast<std::size_t>(field)].assign(text);
    }
    [[nodiscard]] bool isSelected(ModeOption option) const override;
    [[nodiscard]] bool isEmpty(Field field) const override { return view(field).empty(); }
    [[nodiscard]] std::string_view textIn(Field field, std::string& /*buffer*/) const override { return view(field); }
    [[nodiscard]] bool keepsTextsUnseen() const override { return true; }
    [[nodiscard]] bool holdsEveryField() const override { return holds_ == Holds::EveryField; }
    // The text without a copy, valid until the field is next written.
    [[nodiscard]] std::string_view view(Field field) const { return texts_[static_cast<std::size_t>(field)].view(); }

    // Selects one option and deselects the others, as the option group does.
    void select(ModeOption option);
    void selectNone();
    // Back to how the store starts; the texts keep their memory, so a store
    // used for case after case stops allocating.
    void reset();

  private:
    [[noreturn]] static void refuseOffWindow(Field field);

    std::array<InlineText, kFieldCount> texts_;
    std::array<bool, kModeOptionCount> selected_{};
    Holds holds_;
};

// Empties the inputs and outputs of the calculation screen in Clear's order;
// FieldCorr and the selected mode stay.
void clearFields(FieldStore& store);

} // namespace vistrel
