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

} // namespace
