// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/viewpoint.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using namespace vistrel;
using namespace vistrel::cli;

const NumberText kNumbers(NumberFormat::invariant());

std::string column(const Case& c, Field f) { return c.text(*columnIndex(fieldInfo(f).key)); }

TEST(PlaceEye, WritesTheViewAsTextsTheUserCanCheck) {
    const double r = std::numbers::pi / 6;
    Case c;
    ASSERT_TRUE(placeEye(c, {750, 0, 0}, {{0, 0, 0}, {std::cos(r), 0, std::sin(r)}}, kNumbers, "--eye"));
    EXPECT_EQ(column(c, Field::ViewDist2), "750");
    EXPECT_EQ(column(c, Field::ViewTiltDeg), "-30");
    EXPECT_EQ(column(c, Field::ViewPanDeg), "0");
    EXPECT_TRUE(c.shown().has(ColumnGroup::Geometry));

    const auto behind = placeEye(c, {-750, 0, 0}, {{0, 0, 0}, {1, 0, 0}}, kNumbers, "eye point \"rear\"");
    ASSERT_FALSE(behind);
    EXPECT_EQ(behind.error().message.rfind("eye point \"rear\": the eye must be in front", 0), 0U)
        << behind.error().message;
}

TEST(ParsePoint, ReadsThreeNumbersAndNamesWhatIsWrong) {
    const auto p = parsePoint("1600,-370.5,1.1e3", kNumbers, "--eye");
    ASSERT_TRUE(p);
    EXPECT_EQ(*p, (Vec3{1600, -370.5, 1100}));
    for (const char* bad : {"1,2", "1,2,3,4", "1,,3", "1,x,3", "", "1,2,inf"}) {
        const auto e = parsePoint(bad, kNumbers, "--eye");
        ASSERT_FALSE(e) << bad;
        EXPECT_EQ(e.error().kind, ErrorKind::Usage);
        EXPECT_EQ(e.error().message.rfind("--eye \"", 0), 0U) << e.error().message;
    }
}

TEST(EyePoints, RefusesEachFaultNamingFileAndLine) {
    struct Row {
        const char* text;
        int line;
        const char* says;
    };
    for (const Row& r : {
             Row{"name,x,y,z\na,0,0,0\nb,0,x,0\n", 3, "eye point \"b\": y \"x\" is not a number"},
             Row{"name,x,y\na,0,0\n", 1, "no column z"},
             Row{"name,x,y,z,w\na,0,0,0,0\n", 1, "only name, x, y and z"},
             Row{"name,x,y,z\na,0,0,0\na,1,0,0\n", 3, "is named on line 2 too"},
             Row{"name,x,y,z\n,0,0,0\n", 2, "has no name"},
             Row{"name,x,y,z\na,0,0\n", 2, "do not match the header"},
             Row{"name,x,y,z\n", 0, "no eye points"},
         }) {
        const auto eyes = parseEyePoints(r.text, "eyes.csv", kNumbers);
        ASSERT_FALSE(eyes) << r.text;
        EXPECT_EQ(eyes.error().file, "eyes.csv");
        EXPECT_EQ(eyes.error().line, r.line) << r.text;
        EXPECT_NE(eyes.error().message.find(r.says), std::string::npos) << eyes.error().message;
    }
    // An eye behind the display, by its line; a condition that sets the distance.
    const auto eyes = parseEyePoints("z,y,x,name\n0,0,-500,front\n0,0,500,rear\n", "eyes.csv", kNumbers);
    ASSERT_TRUE(eyes);
    const DisplayPlacement display{{0, 0, 0}, {-1, 0, 0}};
    const auto behind = conditionsFromEyePoints({}, *eyes, display, kNumbers, "eyes.csv");
    ASSERT_FALSE(behind);
    EXPECT_EQ(behind.error().text().rfind("eyes.csv:3: eye point \"rear\": the eye must be in front", 0), 0U)
        << behind.error().text();
    const NamedRow near{"near", {{*columnIndex("viewing_distance_mm"), "500"}}, true};
    const auto conflict = conditionsFromEyePoints({&near, 1}, {eyes->data(), 1}, display, kNumbers, "eyes.csv");
    ASSERT_FALSE(conflict);
    EXPECT_NE(conflict.error().message.find("\"near\" sets viewing_distance_mm"), std::string::npos);
}

TEST(EyePoints, TheFarthestEyeIsTheWorstColumnOfTheGrid) {
    const auto eyes = parseEyePoints("name,x,y,z\nnear,-500,0,0\nfar,-1200,0,0\nmid,-800,0,0\n", "eyes.csv", kNumbers);
    ASSERT_TRUE(eyes);
    const std::vector<NamedRow> conditions{{"night", {{*columnIndex("ambient_lux"), "1"}}, true},
                                           {"day", {{*columnIndex("ambient_lux"), "5000"}}, true}};
    const auto columns = conditionsFromEyePoints(conditions, *eyes, {{0, 0, 0}, {-1, 0, 0}}, kNumbers, "eyes.csv");
    ASSERT_TRUE(columns) << columns.error().text();
    ASSERT_EQ(columns->size(), 6U);
    EXPECT_EQ((*columns)[4].name, "day @ far");
    NamedRow design{"dim", {}, true};
    for (const auto& [name, text] : {std::pair{"mode", "luminance"},
                                     {"letter_cdm2", "50"},
                                     {"background_cdm2", "1"},
                                     {"age", "60"},
                                     {"letter_height_mm", "3"},
                                     {"viewing_distance_mm", "300"},
                                     {"ratio", "7"},
                                     {"ease", "90"},
                                     {"display_reflectance", "0.04"}}) {
        design.cells.emplace_back(*columnIndex(name), text);
    }
    std::vector<std::string> distances;
    const ConditionsGrid grid = evaluateConditions({&design, 1}, *columns, kNumbers,
                                                   [&](std::size_t, std::size_t, const Case& c, const Evaluation&) {
                                                       distances.push_back(c.text(*columnIndex("viewing_distance_mm")));
                                                   });
    EXPECT_EQ(grid.worst[0], 4U); // the day, from the far eye
    EXPECT_EQ(distances, (std::vector<std::string>{"500", "1200", "800", "500", "1200", "800"}));
}

} // namespace
