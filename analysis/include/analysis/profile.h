// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Standards profiles: display-ergonomics limits kept as data (TOML) and
// checked against the quantities of one case.
//
// A profile file holds an optional `title` and one [[criterion]] table per
// limit:
//
//   [[criterion]]
//   id = "char-height-min"            # unique within the file
//   quantity = "letter_size_arcmin"   # a name from kQuantities
//   kind = "minimum"                  # minimum | maximum | range
//   limit = 16                        # minimum and maximum: a number or an expression
//   # low = 20, high = 22             # range: both, each a number or an expression
//   level = "required"                # required | recommended
//   source = "ISO 9241-303"           # where the number comes from, in words
//   when = "letter_size_arcmin >= 10 && letter_size_arcmin <= 17"   # optional
//   # target = 6                      # range, optional: the value the source names
//   # withdrawn = "2008"              # optional: when the cited document was withdrawn
//   # superseded_by = "ISO 9241-303"  # optional: what replaced it
//
// A range with a target says that its source gives one value "approximately":
// the range is the band accepted around it.
//
// Expressions (muparser syntax) may name any quantity of kQuantities. `when`
// is an expression too: the criterion applies where it is non-zero.
// Loading is all or nothing: the first fault refuses the whole file with its
// line and reason.
//
// A profile holds at most kMaxCriteria criteria in at most kMaxProfileBytes:
// every criterion compiles its expressions (about 17 kB), and every batch
// worker compiles its own copy.

#include "analysis/cases.h"
#include "analysis/expected.h"
#include "calc/number_text.h"

#include <array>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel::cli {

// Where a quantity comes from in a case's row.
enum class QuantityOrigin {
    Column,         // the row's column of the same name
    HeightFraction, // letter_height_mm / viewing_distance_mm
    Polarity,       // the polarity column: positive 1, negative -1, none 0
};

struct QuantityInfo {
    std::string_view name;
    QuantityOrigin origin;
};

// The quantities a criterion can check or an expression can name.
inline constexpr std::array<QuantityInfo, 15> kQuantities{{
    {columnName(Field::LetterSize), QuantityOrigin::Column},
    {columnName(Field::StrokeSize), QuantityOrigin::Column},
    {columnName(Field::LHSW), QuantityOrigin::Column},
    {columnName(Field::ContrastRatio), QuantityOrigin::Column},
    {columnName(Field::Modulation), QuantityOrigin::Column},
    {columnName(Field::ActualCon), QuantityOrigin::Column},
    {kMarginColumn, QuantityOrigin::Column},
    {columnName(Field::LetterLumCDM), QuantityOrigin::Column},
    {columnName(Field::BackLumCDM), QuantityOrigin::Column},
    {columnName(Field::LetterLum), QuantityOrigin::Column},
    {columnName(Field::BackLum), QuantityOrigin::Column},
    {columnName(Field::ViewDist2), QuantityOrigin::Column},
    {columnName(Field::LetterHT2), QuantityOrigin::Column},
    {"height_fraction", QuantityOrigin::HeightFraction},
    {columnName(Field::Polarity), QuantityOrigin::Polarity},
}};

// profile.cpp reads these columns by name to make height_fraction and polarity.
static_assert(columnName(Field::LetterHT2) == "letter_height_mm" &&
              columnName(Field::ViewDist2) == "viewing_distance_mm" && columnName(Field::Polarity) == "polarity");

[[nodiscard]] std::optional<std::size_t> quantityIndex(std::string_view name);

// One case's values by kQuantities index; empty where the case has none
// (an infinite contrast ratio, a refused case's outputs).
using QuantityValues = std::array<std::optional<double>, kQuantities.size()>;

// Gives a row's text for a column name, or nothing when the row lacks it.
using ColumnLookup = std::function<std::optional<std::string_view>(std::string_view column)>;

// Reads a case's quantities from its row. Texts that are empty or no number
// leave the quantity empty, so a check reports "no value" instead of guessing.
[[nodiscard]] QuantityValues quantitiesFromRow(const ColumnLookup& lookup, const NumberText& numbers);

enum class CriterionKind { Minimum, Maximum, Range };
enum class Level { Required, Recommended };

[[nodiscard]] std::string_view kindText(CriterionKind kind);
[[nodiscard]] std::string_view levelText(Level level);

struct Criterion {
    std::string id;
    std::size_t quantity = 0; // index into kQuantities
    CriterionKind kind = CriterionKind::Minimum;
    Level level = Level::Required;
    std::string source;
    std::string low;              // the lower limit as written; empty for a maximum
    std::string high;             // the upper limit as written; empty for a minimum
    std::string when;             // empty: always applies
    int line = 0;                 // of its [[criterion]] header
    std::optional<double> target; // a range's named value, inside it
    std::string withdrawn;        // when the cited document was withdrawn; empty while it stands
    std::string supersededBy;     // the document that replaced it
};

enum class CheckStatus {
    Pass,
    Fail,
    NoValue,       // the quantity, a limit or the condition could not be evaluated
    NotApplicable, // the condition is false for this case
};

[[nodiscard]] std::string_view statusText(CheckStatus status);

struct CheckResult {
    const Criterion* criterion = nullptr; // owned by the profile checked
    CheckStatus status = CheckStatus::NoValue;
    std::optional<double> value;
    std::optional<double> low;  // evaluated lower limit (minimum, range)
    std::optional<double> high; // evaluated upper limit (maximum, range)
    // The limit the margin is measured against: the only one, or for a range
    // the one nearer the value.
    std::optional<double> limit;
    std::optional<double> margin;      // value - limit
    std::optional<double> marginRatio; // value / limit; empty for a zero limit
    std::string note;                  // why there is no value
};

// A loaded profile is immutable: one may be shared by every thread, each
// checking through its own ProfileChecker.
class Profile {
  public:
    [[nodiscard]] const std::string& name() const { return name_; } // the file's stem
    [[nodiscard]] const std::string& title() const { return title_; }
    [[nodiscard]] const std::string& file() const { return file_; }
    [[nodiscard]] const std::vector<Criterion>& criteria() const { return criteria_; }

    // A limit or condition as loaded: a number, or an expression that compiled.
    struct Term {
        std::optional<double> number;
        std::string expression; // empty when a number, or when absent

        [[nodiscard]] bool present() const { return number || !expression.empty(); }
    };
    struct Terms {
        Term low;
        Term high;
        Term when;
    };
    // By criterion, in the file's order.
    [[nodiscard]] const std::vector<Terms>& terms() const { return terms_; }

  private:
    friend Expected<Profile> parseProfile(std::string_view, const std::string&);
    Profile() = default;

    std::string name_;
    std::string title_;
    std::string file_;
    std::vector<Criterion> criteria_;
    std::vector<Terms> terms_;
};

// Checks cases against one profile with expressions compiled for it alone:
// muparser keeps state while it evaluates, so every thread makes its own.
// The profile must outlive the checker and the results it gives.
class ProfileChecker {
  public:
    explicit ProfileChecker(const Profile& profile);
    ProfileChecker(ProfileChecker&&) noexcept;
    ProfileChecker& operator=(ProfileChecker&&) noexcept;
    ProfileChecker(const ProfileChecker&) = delete;
    ProfileChecker& operator=(const ProfileChecker&) = delete;
    ~ProfileChecker();

    [[nodiscard]] const Profile& profile() const { return *profile_; }

    // One result per criterion, in the file's order. Equal within rounding
    // (relative 1e-9) counts as at the limit, and at the limit passes.
    [[nodiscard]] std::vector<CheckResult> check(const QuantityValues& values);

    struct Compiled; // one criterion's limits and condition, ready to evaluate

  private:
    const Profile* profile_;
    std::vector<std::unique_ptr<Compiled>> compiled_;
};

inline constexpr std::size_t kMaxCriteria = 200;
inline constexpr std::size_t kMaxProfileBytes = std::size_t{1} << 20U;

// Parses a profile's text; file names it in errors and gives the profile's
// name. Errors are "FILE:LINE: REASON", or "FILE: REASON" for the whole file.
[[nodiscard]] Expected<Profile> parseProfile(std::string_view text, const std::string& file);
[[nodiscard]] Expected<Profile> loadProfile(const std::filesystem::path& file);

// True when every required criterion that applies passes; a required
// criterion without a value does not pass.
[[nodiscard]] bool allRequiredPass(std::span<const CheckResult> results);

// A built-in profile by name ("text-legibility"), or a file when the argument
// holds a '/' or ends in ".toml". Nothing when no such profile exists.
[[nodiscard]] std::optional<std::filesystem::path> findProfile(std::string_view nameOrFile,
                                                               std::span<const std::filesystem::path> dirs);

} // namespace vistrel::cli
