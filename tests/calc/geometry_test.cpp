// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using namespace vistrel;

constexpr double kRad = std::numbers::pi / 180.0;

struct Worked {
    const char* name;
    Vec3 eye, centre, normal;
    double distance, tilt, pan;
};

// Worked by hand from the definitions, with the display centre anywhere.
class ViewFromPoints : public testing::TestWithParam<Worked> {};

TEST_P(ViewFromPoints, MatchesTheHandWorkedView) {
    const Worked& w = GetParam();
    const auto v = viewFromPoints(w.eye, w.centre, w.normal);
    ASSERT_TRUE(std::holds_alternative<ViewGeometry>(v)) << std::get<std::string>(v);
    const ViewGeometry g = std::get<ViewGeometry>(v);
    EXPECT_NEAR(g.distanceMm, w.distance, 1e-9);
    EXPECT_NEAR(g.tiltDeg, w.tilt, 1e-9);
    EXPECT_NEAR(g.panDeg, w.pan, 1e-9);
    // The height the eye sees is h cos(tilt), and the off-axis angle agrees with s.n.
    EXPECT_NEAR(std::cos(offAxisDeg(g.tiltDeg, g.panDeg) * kRad),
                std::cos(g.tiltDeg * kRad) * std::cos(g.panDeg * kRad), 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Hand, ViewFromPoints,
    testing::Values(
        // Straight in front, 750 mm, display leaning back 30 degrees: the eye is 30 degrees below its normal.
        Worked{"tilted30", {750, 0, 0}, {0, 0, 0}, {std::cos(30 * kRad), 0, std::sin(30 * kRad)}, 750, -30, 0},
        Worked{"headOn", {1600, -370, 1100}, {900, -370, 1100}, {2, 0, 0}, 700, 0, 0},
        // The eye 20 degrees to the side of an upright display; +Y is to the display's right.
        Worked{"pan20", {750 * std::cos(20 * kRad), 750 * std::sin(20 * kRad), 0}, {0, 0, 0}, {1, 0, 0}, 750, 0, 20},
        // 3-4-5 above: tilt = asin(3/5), pan 0.
        Worked{"above", {400, 0, 300}, {0, 0, 0}, {1, 0, 0}, 500, std::asin(0.6) / kRad, 0}),
    [](const testing::TestParamInfo<Worked>& i) { return std::string(i.param.name); });

TEST(ViewFromPoints, RefusesWhatHasNoView) {
    struct Bad {
        Vec3 eye, centre, normal;
        const char* says;
    };
    for (const Bad& b : {Bad{{750, 0, 0}, {0, 0, 0}, {0, 0, 0}, "normal must not be zero"},
                         Bad{{5, 5, 5}, {5, 5, 5}, {1, 0, 0}, "eye must not be at the display centre"},
                         Bad{{-750, 0, 0}, {0, 0, 0}, {1, 0, 0}, "in front of the display"},
                         Bad{{0, 750, 0}, {0, 0, 0}, {1, 0, 0}, "in front of the display"},
                         Bad{{0, 0, 750}, {0, 0, 0}, {0, 0, 1}, "no up direction"},
                         Bad{{NAN, 0, 0}, {0, 0, 0}, {1, 0, 0}, "finite"}}) {
        const auto v = viewFromPoints(b.eye, b.centre, b.normal);
        ASSERT_TRUE(std::holds_alternative<std::string>(v)) << b.says;
        EXPECT_NE(std::get<std::string>(v).find(b.says), std::string::npos) << std::get<std::string>(v);
    }
}

TEST(OffAxis, CombinesTiltAndPan) {
    EXPECT_DOUBLE_EQ(offAxisDeg(0, 0), 0);
    EXPECT_NEAR(offAxisDeg(30, 0), 30, 1e-12);
    EXPECT_NEAR(offAxisDeg(0, -45), 45, 1e-12);
    EXPECT_NEAR(offAxisDeg(60, 60), std::acos(0.25) / kRad, 1e-12);
}

} // namespace
