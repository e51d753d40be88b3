// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The design-review model: everything known about one or more designs, in
// numbers, the case's own texts and names from the input. Front ends write
// it out (vistrel-cli as an HTML page) and draw its plots.

#include "analysis/case_notes.h"
#include "analysis/cases.h"
#include "analysis/conditions.h"
#include "analysis/explore.h"
#include "analysis/profile.h"
#include "analysis/review_meta.h"
#include "analysis/tolerance.h"

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vistrel::cli {

enum class Verdict { None, Legible, NotLegible };

// An input or output with the text the case holds for it.
struct ReviewField {
    Field field;
    std::string text;
};

// One criterion's result.
struct ReviewCheck {
    std::string id;
    std::size_t quantity = 0; // into kQuantities
    CriterionKind kind = CriterionKind::Minimum;
    Level level = Level::Required;
    CheckStatus status = CheckStatus::NoValue;
    std::optional<double> value;
    std::optional<double> low;  // minimum, range
    std::optional<double> high; // maximum, range
    std::optional<double> margin;
    std::string source;
    std::string note;             // why there is no value
    std::optional<double> target; // a range's named value
    std::string withdrawn;        // when the cited document was withdrawn
    std::string supersededBy;
};

struct ReviewProfile {
    std::string name;
    std::string title;
    std::vector<ReviewCheck> checks;
};

// A solve over one input, asked as "how far can it go and stay legible".
struct InverseAnswer {
    std::size_t column = 0;
    SolveResult solved;
};

struct ReviewGridCell {
    Verdict verdict = Verdict::None;
    std::optional<double> margin;
    bool worst = false;
};

// An eye point of the grid, and the viewing distance, tilt and pan from it.
struct ReviewEyePoint {
    std::string name;
    std::vector<ReviewField> view;
};

// The conditions grid: designs (or one design) against conditions.
struct ReviewGrid {
    std::vector<std::string> columns; // the conditions' names
    struct Row {
        std::string label;
        std::vector<ReviewGridCell> cells; // one per column
    };
    std::vector<Row> rows;
    std::vector<ReviewEyePoint> eyePoints; // those the conditions are seen from, if any
    // The glare columns' texts under each condition (glare_lux,
    // glare_angle_deg, eye_pigment, glare_veil_cdm2), when the design or a
    // condition names one; empty otherwise.
    std::vector<std::array<std::string, 4>> glare;
};

struct ReviewTolerance {
    std::vector<std::size_t> columns; // the varied inputs, in the order of the distributions
    MonteCarloResult mc;
    WorstCase worst;
};

struct ReviewDesign {
    std::string name;
    Verdict verdict = Verdict::None;
    std::optional<double> margin;      // margin_log
    std::vector<std::string> messages; // from the engine
    Mode mode = Mode::None;
    std::vector<ReviewField> inputs;  // those that hold a text
    std::vector<ReviewField> results; // every output but the verdict and the notes
    std::vector<ReviewProfile> profiles;
    std::vector<InverseAnswer> answers;
    std::optional<ReviewGrid> conditions;
    std::optional<ReviewTolerance> tolerance; // only when spreads were given
    std::vector<Assumption> assumptions;      // inputs left empty, and what was taken for them
    std::vector<PlausibilityNote> notes;      // only with a verdict
    bool ambientWithoutEffect = false;        // no display reflectance: no ambient light changes the contrast
};

struct Review {
    std::string title;
    std::string date; // when it was generated, the caller's: fixed in tests
    std::string version;
    std::vector<ReviewDesign> designs;
    ReviewMeta meta{}; // the document's own date is here, when given
};

// The verdict an evaluated case holds.
[[nodiscard]] Verdict caseVerdict(const Case& c);

// The summary, inputs and results of an evaluated case.
[[nodiscard]] ReviewDesign reviewDesign(std::string name, const Case& c, const Evaluation& e,
                                        const NumberText& numbers);

// The case's quantities for a standards check, margin_log included.
[[nodiscard]] QuantityValues reviewQuantities(const Case& c, const Evaluation& e, const NumberText& numbers);

[[nodiscard]] ReviewProfile reviewProfile(const Profile& profile, std::span<const CheckResult> results);

// The ids that failed, in the order of the profiles; a required criterion
// without a value counts as failed.
struct FailedChecks {
    std::vector<std::string> required;
    std::vector<std::string> recommended;
};
[[nodiscard]] FailedChecks failedChecks(const ReviewDesign& design);
// The rule failedChecks follows for one check.
[[nodiscard]] bool countsAsFailed(CheckStatus status, Level level);

// Where a design stands with the model's verdict and the profiles' checks
// taken together, worst first: a headline built from it is never better
// than the worst of the two.
enum class Standing {
    NoVerdict,        // the model gave no verdict
    NotLegible,       // whatever the checks say
    FailsRequired,    // Legible, but a required check failed
    FailsRecommended, // Legible, every required check passed, a recommended one failed
    Passes,           // Legible, and no checked criterion failed
};
struct Overall {
    Standing standing = Standing::NoVerdict;
    std::size_t failedRequired = 0;
    std::size_t failedRecommended = 0;
    bool checked = false; // some profile was checked
};
[[nodiscard]] Standing standingOf(Verdict verdict, std::size_t failedRequired, std::size_t failedRecommended);
[[nodiscard]] Overall overall(const ReviewDesign& design);

// What a pipeline stops on (--fail-on). Each includes the ones before it: a
// design that fails a required check fails "recommended" too, and one that
// is not legible fails all three.
enum class FailOn { NotLegible, Required, Recommended };
[[nodiscard]] bool fails(Standing standing, FailOn on);
// "not-legible", "required" or "recommended".
[[nodiscard]] std::string_view failOnText(FailOn on);

// The columns a review asks about: letter height, viewing distance, age,
// ambient light, and for a luminance design the letter luminance.
[[nodiscard]] std::vector<std::size_t> inverseQuestions(const Case& c);
// Solves the case over each of them.
[[nodiscard]] std::vector<InverseAnswer> inverseAnswers(const Case& c, const NumberText& numbers);

// One design under every condition.
[[nodiscard]] ReviewGrid reviewGrid(const NamedRow& design, std::span<const NamedRow> conditions,
                                    const NumberText& numbers, const Case& blank = daylightCase());

} // namespace vistrel::cli
