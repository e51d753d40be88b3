// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One case of the calculation in the command line's terms: every field of the
// window under a snake_case name, read and written as the user would type it
// (invariant number format: point decimal, no grouping).

#include "calc/calculate.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vistrel::cli {

class AngularTable;

enum class Mode { None, Source, Illuminance, Luminance };

struct Column {
    std::string_view name;
    std::optional<Field> field; // empty for the input mode
};

namespace cases_detail {

// The fields behind the columns, in the order tables show them: the window's
// first, as they have always been written, then daylight's inputs and outputs.
inline constexpr std::array<Field, 45> kColumnFields{
    Field::SourceID2,
    Field::DistSinM2,
    Field::DistSinFT2,
    Field::DistSinIn2,
    Field::ILLLUX2,
    Field::ILLFC2,
    Field::BackLumCDM,
    Field::BackLum,
    Field::LetterLumCDM,
    Field::LetterLum,
    Field::LetterTrans2,
    Field::BackTrans2,
    Field::Age,
    Field::ViewDist2,
    Field::LetterHT2,
    Field::LHSW,
    Field::EaseOfRead,
    Field::FieldCorr,
    Field::LetterSize,
    Field::StrokeSize,
    Field::ThresholdCon,
    Field::ActualCon,
    Field::LogThresholdCon,
    Field::LogActualCon,
    Field::LogBack,
    Field::Result,
    Field::AmbientLux,
    Field::DisplayReflectance,
    Field::SpecularCdm2,
    Field::SpecularReflectance,
    Field::VeilCdm2,
    Field::VeilFl,
    Field::ContrastRatio,
    Field::Modulation,
    Field::Polarity,
    Field::NearPointMm,
    Field::GlareLux,
    Field::GlareAngleDeg,
    Field::EyePigment,
    Field::GlareVeilCdm2,
    Field::ViewTiltDeg,
    Field::ViewPanDeg,
    Field::OffAxisFactor,
    Field::ApparentHeightMm,
    Field::OffAxisDeg,
};

// Each column is named by its field's key: one name per fact.
constexpr std::array<Column, kColumnFields.size() + 1> columns() {
    std::array<Column, kColumnFields.size() + 1> out{};
    out[0] = {"mode", std::nullopt};
    for (std::size_t k = 0; k < kColumnFields.size(); ++k) {
        out[k + 1] = {fieldInfo(kColumnFields[k]).key, kColumnFields[k]};
    }
    return out;
}

} // namespace cases_detail

// The case's columns, in the order every table and CSV shows them. The
// daylight columns come last and are written only for a daylight case.
inline constexpr auto kColumns = cases_detail::columns();
// The columns from here on to kWindowColumnCount are outputs of the calculation.
inline constexpr std::size_t kFirstOutputColumn = 19;
static_assert(kColumns[kFirstOutputColumn].field == Field::LetterSize);
inline constexpr std::size_t kWindowColumnCount = 27;
static_assert(kColumns[kWindowColumnCount - 1].field == Field::Result);
static_assert(kColumns[kWindowColumnCount].field == Field::AmbientLux);
namespace cases_detail {
// Not constexpr: a table naming a field that has no column stops the build here.
inline void noColumnHoldsThisField() {}
} // namespace cases_detail

// The column that holds field, by name, for the tables that list columns: a
// renamed column renames their entries with it.
[[nodiscard]] consteval std::string_view columnName(Field field) {
    for (const Column& c : kColumns) {
        if (c.field == field) {
            return c.name;
        }
    }
    cases_detail::noColumnHoldsThisField();
    return {};
}

// Written only: what the window would have said (or the engine's notes), and the log margin.
inline constexpr std::string_view kMessageColumn = "message";
inline constexpr std::string_view kMarginColumn = "margin_log";

// The columns beyond the window's come in groups, each shown only by a case
// (or table) that names one of its columns, so that a case without glare or
// viewing geometry is written exactly as before they existed.
enum class ColumnGroup : std::uint8_t { Window, Daylight, Glare, Geometry };
inline constexpr std::size_t kFirstGlareColumn = kWindowColumnCount + 10;
static_assert(kColumns[kFirstGlareColumn].field == Field::GlareLux);
inline constexpr std::size_t kFirstGeometryColumn = kFirstGlareColumn + 4;
static_assert(kColumns[kFirstGeometryColumn].field == Field::ViewTiltDeg);

[[nodiscard]] constexpr ColumnGroup columnGroup(std::size_t k) {
    return k < kWindowColumnCount     ? ColumnGroup::Window
           : k < kFirstGlareColumn    ? ColumnGroup::Daylight
           : k < kFirstGeometryColumn ? ColumnGroup::Glare
                                      : ColumnGroup::Geometry;
}

// The groups a case or table shows: the window's always, daylight's with any
// other, since every group beyond the window's is computed by a daylight case.
class ColumnSet {
  public:
    constexpr ColumnSet() = default;
    [[nodiscard]] static constexpr ColumnSet all() {
        ColumnSet s;
        s.bits_ = 0xF;
        return s;
    }
    // The set that shows column k, as naming or setting it does.
    [[nodiscard]] static constexpr ColumnSet of(std::size_t k) {
        ColumnSet s;
        s.add(columnGroup(k));
        return s;
    }
    constexpr void add(ColumnGroup g) {
        bits_ |= bit(g);
        if (g != ColumnGroup::Window) {
            bits_ |= bit(ColumnGroup::Daylight);
        }
    }
    constexpr void add(ColumnSet other) { bits_ |= other.bits_; }
    [[nodiscard]] constexpr bool has(ColumnGroup g) const { return (bits_ & bit(g)) != 0; }
    [[nodiscard]] constexpr bool shows(std::size_t k) const { return has(columnGroup(k)); }
    // True when the set shows more than the window's columns.
    [[nodiscard]] constexpr bool daylight() const { return has(ColumnGroup::Daylight); }
    friend constexpr bool operator==(ColumnSet, ColumnSet) = default;

  private:
    static constexpr std::uint8_t bit(ColumnGroup g) {
        return static_cast<std::uint8_t>(1U << static_cast<unsigned>(g));
    }
    std::uint8_t bits_ = bit(ColumnGroup::Window);
};

// The set of the window's columns, or of every group up to daylight's.
[[nodiscard]] constexpr ColumnSet columnSet(bool daylight) {
    ColumnSet s;
    if (daylight) {
        s.add(ColumnGroup::Daylight);
    }
    return s;
}

// True for the mode and every column the user gives rather than the calculation.
[[nodiscard]] constexpr bool isInputColumn(std::size_t k) {
    return !kColumns[k].field || fieldInfo(*kColumns[k].field).role == Role::Input;
}
// True for the inputs and outputs the window lacks.
[[nodiscard]] constexpr bool isDaylightColumn(std::size_t k) { return k >= kWindowColumnCount; }

// Clearer names for two columns; read as the column, never written.
struct ColumnAlias {
    std::string_view alias;
    std::string_view name;
};
inline constexpr std::array<ColumnAlias, 2> kColumnAliases{{
    {"letter_reflectance", "letter_factor"},
    {"background_reflectance", "background_factor"},
}};

// Index into kColumns, or nothing for a name that is no column; aliases count.
[[nodiscard]] std::optional<std::size_t> columnIndex(std::string_view name);

// Short names for the ease levels, in the order of kEaseLevels.
inline constexpr std::array<std::string_view, kEaseLevels.size()> kEaseAliases{
    "50", "90", "95", "99", "effort", "easy", "very-easy", "attention"};
// The exact level for a level's text or alias, or nothing.
[[nodiscard]] std::optional<std::string_view> easeLevel(std::string_view text);
// The number of single-byte insertions, deletions and substitutions from a to b.
[[nodiscard]] std::size_t editDistance(std::string_view a, std::string_view b);
// A name close enough to be a slip of the keyboard, ignoring case: at most two
// edits and fewer than half its length, or its start without the unit.
[[nodiscard]] bool looksLike(std::string_view typed, std::string_view name);
// The column (or alias) that name looks like, or nothing.
[[nodiscard]] std::optional<std::string_view> nearColumn(std::string_view name);
// "; did you mean NAME?" when name looks like a column that taken accepts, else empty.
[[nodiscard]] std::string didYouMean(std::string_view name, bool (*taken)(std::string_view column));

[[nodiscard]] std::optional<Mode> modeFromText(std::string_view text);
[[nodiscard]] std::string_view modeText(Mode mode);
inline constexpr std::string_view kModeChoices = "source, illuminance, luminance or none";

class Case {
  public:
    // As the window starts: everything empty but field_correction "0.0".
    // A daylight case holds every field; any other holds the window's only,
    // and is written exactly as the window's fields have always been.
    Case() = default;
    explicit Case(bool daylight) : Case(columnSet(daylight)) {}
    explicit Case(ColumnSet shown)
        : store_(shown.daylight() ? Holds::EveryField : Holds::WindowFields), shown_(shown) {}
    // As a new case, reusing the memory of the texts it held.
    void reset() {
        store_.reset();
        given_ = 0;
    }
    // As a new case, showing shown from now on.
    void reset(ColumnSet shown) {
        if (shown.daylight() != daylight()) {
            auto angular = std::move(angular_);
            *this = Case(shown);
            angular_ = std::move(angular);
            return;
        }
        reset();
        shown_ = shown;
    }

    // False for an input mode that is none of the four; the case is unchanged.
    // An ease alias is stored as its level's exact text. Setting a daylight
    // column makes the case a daylight case, and shows that column's group.
    bool set(std::size_t column, std::string_view text) {
        // Inline for the usual column, a field of the window's own other than
        // the ease, which a batch sets several times for every case.
        const auto& field = kColumns[column].field;
        if (!text.empty()) {
            given_ |= std::uint64_t{1} << column;
        }
        if (!field || !fieldInfo(*field).window || *field == Field::EaseOfRead) {
            return setOther(column, text);
        }
        if (!text.empty() || !store_.view(*field).empty()) { // an empty column over an empty field changes nothing
            store_.setText(*field, text);
        }
        return true;
    }
    [[nodiscard]] bool daylight() const { return store_.holdsEveryField(); }
    // The groups of columns this case is written with.
    [[nodiscard]] ColumnSet shown() const { return shown_; }
    // Shows the columns of set too; a group beyond the window's makes it a daylight case.
    void show(ColumnSet set);
    // True when the column was set to a text: an empty one still holds its
    // start text ("0.0" for field_correction), which the user never gave.
    [[nodiscard]] bool given(std::size_t column) const { return ((given_ >> column) & 1U) != 0; }
    // Keeps every text and the mode, and from now on holds every field.
    void makeDaylight();
    [[nodiscard]] std::string text(std::size_t column) const { return std::string(view(column)); }
    // The text without a copy, valid until the column is next set.
    [[nodiscard]] std::string_view view(std::size_t column) const {
        const auto& field = kColumns[column].field;
        return field ? store_.view(*field) : modeText(mode());
    }
    // Read from the store's selection, the one place the mode is kept.
    [[nodiscard]] Mode mode() const;

    MemoryStore& store() { return store_; }
    [[nodiscard]] const MemoryStore& store() const { return store_; }

    // The display's luminance off-axis, shared by the case's copies: every
    // evaluation writes the factor at the case's own tilt and pan into
    // off_axis_factor, which it shows from now on.
    void setAngular(std::shared_ptr<const AngularTable> table);
    [[nodiscard]] const std::shared_ptr<const AngularTable>& angular() const { return angular_; }

  private:
    bool setOther(std::size_t column, std::string_view text);

    MemoryStore store_;
    std::shared_ptr<const AngularTable> angular_;
    ColumnSet shown_;
    std::uint64_t given_ = 0; // a bit per column
    static_assert(kColumns.size() <= 64);
};

struct Evaluation {
    Outcome outcome = Outcome::Fault;
    std::string message;
    std::string margin; // log_actual_contrast - log_threshold_contrast; empty without a verdict
    std::string notes;  // a daylight case's notes: never a reason for no verdict

    [[nodiscard]] bool hasVerdict() const { return outcome == Outcome::Verdict; }
    // The message column: why there is no verdict, or else the notes.
    [[nodiscard]] const std::string& messageText() const { return message.empty() ? notes : message; }
};

// Runs the calculate operation on the case in place, as a press of the button
// would; with an angular table, its factor is written into the case first.
Evaluation evaluate(Case& c, const NumberText& numbers);

} // namespace vistrel::cli
