// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/conditions.h"
#include "analysis/review.h"

#include <gtest/gtest.h>

namespace {

using namespace vistrel;
using namespace vistrel::cli;

const NumberText kNumbers(NumberFormat::invariant());

NamedRow row(std::string name, std::initializer_list<std::pair<std::string_view, std::string>> cells) {
    NamedRow r{std::move(name), {}, true};
    for (const auto& [column, text] : cells) {
        r.cells.emplace_back(*columnIndex(column), text);
    }
    return r;
}

// The "dim" design of the golden tables: legible at night, not in glare.
const NamedRow kDim = row("dim", {{"mode", "luminance"},
                                  {"letter_cdm2", "50"},
                                  {"background_cdm2", "1"},
                                  {"age", "60"},
                                  {"letter_height_mm", "3"},
                                  {"viewing_distance_mm", "750"},
                                  {"ratio", "7"},
                                  {"ease", "90% confidence"},
                                  {"display_reflectance", "0.04"}});

// A condition with glare shows the glare columns in every case of the run,
// and lays its veil; without one, the table is the daylight one it always was.
TEST(ConditionsGrid, GlareInAConditionShowsInEveryRow) {
    const std::vector<NamedRow> plain{row("night", {{"ambient_lux", "1.1"}})};
    std::vector<NamedRow> both = plain;
    both.push_back(row("oncoming", {{"ambient_lux", "1.1"}, {"glare_lux", "1;0.2"}, {"glare_angle_deg", "5;10"}}));
    EXPECT_EQ(rowColumns(plain), columnSet(true));
    EXPECT_TRUE(rowColumns(both).has(ColumnGroup::Glare));
    const ConditionsGrid grid = evaluateConditions({&kDim, 1}, both, kNumbers);
    EXPECT_LT(*grid.cells[0][1].margin, *grid.cells[0][0].margin);
    const ReviewGrid review = reviewGrid(kDim, both, kNumbers);
    using T = std::array<std::string, 4>;
    EXPECT_EQ(review.glare, (std::vector<T>{T{"", "", "", ""}, T{"1;0.2", "5;10", "", "0.492"}}));
    EXPECT_TRUE(reviewGrid(kDim, plain, kNumbers).glare.empty());
}

struct Cell {
    const char* name;
    NamedRow condition;
    bool hasVerdict;
    bool legible;
    std::optional<double> margin;
};

TEST(ConditionsGrid, EachCellAnswersInNumbersAndTheWorstIsMarked) {
    const std::vector<Cell> cells{
        {"night", row("night", {{"ambient_lux", "1.1"}, {"letter_cdm2", "20"}}), true, true, 0.094},
        {"glare",
         row("glare", {{"ambient_lux", "20000"}, {"specular_cdm2", "20000"}, {"specular_reflectance", "0.01"}}), true,
         false, -1.073},
        // An empty cell leaves the design's 50 cd/m².
        {"empty cell", row("empty", {{"ambient_lux", "1.1"}, {"letter_cdm2", ""}}), true, true, 0.505},
        // A condition's mode overrides the design's: no light is given for illuminance.
        {"mode", row("mode", {{"mode", "illuminance"}}), false, false, std::nullopt},
        {"bad mode", row("bad", {{"mode", "sideways"}}), false, false, std::nullopt},
    };
    std::vector<NamedRow> conditions;
    for (const Cell& c : cells) {
        conditions.push_back(c.condition);
    }
    const ConditionsGrid grid = evaluateConditions({&kDim, 1}, conditions, kNumbers);
    ASSERT_EQ(grid.cells.size(), 1U);
    for (std::size_t k = 0; k < cells.size(); ++k) {
        const ConditionOutcome& o = grid.cells[0][k];
        EXPECT_EQ(o.hasVerdict, cells[k].hasVerdict) << cells[k].name;
        EXPECT_EQ(o.legible, cells[k].legible) << cells[k].name;
        EXPECT_EQ(o.margin.has_value(), cells[k].margin.has_value()) << cells[k].name;
        if (o.margin && cells[k].margin) {
            EXPECT_DOUBLE_EQ(*o.margin, *cells[k].margin) << cells[k].name;
        }
    }
    EXPECT_FALSE(grid.allLegible);
    EXPECT_EQ(grid.worst[0], 3U); // no verdict is worse than any margin; the first such

    Case c;
    EXPECT_FALSE(designCase(kDim, &conditions[4], c));
    EXPECT_EQ(evaluateDesign(kDim, &conditions[4], c, kNumbers).message, "mode must be " + std::string(kModeChoices));
    const ConditionsGrid legible = evaluateConditions({&kDim, 1}, {conditions.data(), 1}, kNumbers);
    EXPECT_TRUE(legible.allLegible);
}

} // namespace
