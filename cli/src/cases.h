#pragma once

// One case of the calculation in the command line's terms: every field of the
// window under a snake_case name, read and written as the user would type it
// (invariant number format: point decimal, no grouping).

#include "calc/calculate.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vistrel::cli {

enum class Mode { None, Source, Illuminance, Luminance };

struct Column {
    std::string_view name;
    std::optional<Field> field; // empty for the input mode
};

// The case's columns, in the order every table and CSV shows them.
inline constexpr std::array<Column, 27> kColumns{{
    {"mode", std::nullopt},
    {"source_cd", Field::SourceID2},
    {"distance_m", Field::DistSinM2},
    {"distance_ft", Field::DistSinFT2},
    {"distance_in", Field::DistSinIn2},
    {"illuminance_lux", Field::ILLLUX2},
    {"illuminance_fc", Field::ILLFC2},
    {"background_cdm2", Field::BackLumCDM},
    {"background_fl", Field::BackLum},
    {"letter_cdm2", Field::LetterLumCDM},
    {"letter_fl", Field::LetterLum},
    {"letter_factor", Field::LetterTrans2},
    {"background_factor", Field::BackTrans2},
    {"age", Field::Age},
    {"viewing_distance_mm", Field::ViewDist2},
    {"letter_height_mm", Field::LetterHT2},
    {"ratio", Field::LHSW},
    {"ease", Field::EaseOfRead},
    {"field_correction", Field::FieldCorr},
    {"letter_size_arcmin", Field::LetterSize},
    {"stroke_size_arcmin", Field::StrokeSize},
    {"threshold_contrast", Field::ThresholdCon},
    {"actual_contrast", Field::ActualCon},
    {"log_threshold_contrast", Field::LogThresholdCon},
    {"log_actual_contrast", Field::LogActualCon},
    {"log_background_fl", Field::LogBack},
    {"result", Field::Result},
}};
// The columns from here on are outputs of the calculation.
inline constexpr std::size_t kFirstOutputColumn = 19;
static_assert(kColumns[kFirstOutputColumn].name == "letter_size_arcmin");
// Written only: what the window would have said, and the log margin.
inline constexpr std::string_view kMessageColumn = "message";
inline constexpr std::string_view kMarginColumn = "margin_log";
inline constexpr std::size_t kOutputColumnCount = kColumns.size() + 2;

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

[[nodiscard]] std::optional<Mode> modeFromText(std::string_view text);
[[nodiscard]] std::string_view modeText(Mode mode);
inline constexpr std::string_view kModeChoices = "source, illuminance, luminance or none";

class Case {
  public:
    // As the window starts: everything empty but field_correction "0.0".
    Case() = default;
    // As a new case, reusing the memory of the texts it held.
    void reset() { store_.reset(); }

    // False for an input mode that is none of the four; the case is unchanged.
    // An ease alias is stored as its level's exact text.
    bool set(std::size_t column, std::string_view text);
    [[nodiscard]] std::string text(std::size_t column) const { return std::string(view(column)); }
    // The text without a copy, valid until the column is next set.
    [[nodiscard]] std::string_view view(std::size_t column) const;
    // Read from the store's selection, the one place the mode is kept.
    [[nodiscard]] Mode mode() const;

    MemoryStore& store() { return store_; }
    [[nodiscard]] const MemoryStore& store() const { return store_; }

  private:
    MemoryStore store_;
};

struct Evaluation {
    Outcome outcome = Outcome::Fault;
    std::string message;
    std::string margin; // log_actual_contrast - log_threshold_contrast; empty without a verdict

    [[nodiscard]] bool hasVerdict() const { return outcome == Outcome::Verdict; }
};

// Runs the calculate operation on the case in place, as a press of the button would.
Evaluation evaluate(Case& c, const NumberText& numbers);

} // namespace vistrel::cli
