// SPDX-License-Identifier: GPL-3.0-or-later
#include "labels.h"
#include "ui/closing_animation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// A window whose platform may refuse heights below a minimum.
struct FakeWindow final : vistrel::ui::WindowGeometry {
    int h, w, minH, yields = 0;
    std::vector<int> heights, tops, lefts;

    FakeWindow(int height, int width, int minHeight) : h(height), w(width), minH(minHeight) {}

    [[nodiscard]] int height() const override { return h; }
    [[nodiscard]] int width() const override { return w; }
    void setHeight(int t) override { heights.push_back(h = std::max(t, minH)); }
    void setWidth(int t) override { w = t; }
    void setTop(int t) override { tops.push_back(t); }
    void setLeft(int t) override { lefts.push_back(t); }
    [[nodiscard]] int screenHeight() const override { return 11520; }
    [[nodiscard]] int screenWidth() const override { return 15360; }
    // Each step must let the window repaint before it resizes.
    void processEvents() override { EXPECT_EQ(++yields, static_cast<int>(tops.size() + lefts.size()) + 1); }
};

struct Case {
    const char* label;
    int height, width, minHeight;
    std::size_t verticalSteps;
    int firstTop, lastTop;
    std::size_t horizontalSteps;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.label; }
class ClosingAnimation : public testing::TestWithParam<Case> {};

TEST_P(ClosingAnimation, FoldsUpCentredOnTheScreen) {
    const Case& c = GetParam();
    FakeWindow window(c.height, c.width, c.minHeight);
    vistrel::ui::foldUp(window);
    ASSERT_EQ(window.tops.size(), c.verticalSteps);
    if (c.verticalSteps > 0) {
        EXPECT_EQ(window.tops.front(), c.firstTop);
        EXPECT_EQ(window.tops.back(), c.lastTop);
    }
    EXPECT_EQ(window.heights.back(), std::max(30, c.minHeight)); // set between the phases
    EXPECT_EQ(window.lefts.size(), c.horizontalSteps);
    EXPECT_EQ(window.lefts.back(), (15360 - window.w) / 2);
}

INSTANTIATE_TEST_SUITE_P(Windows, ClosingAnimation,
                         testing::Values(Case{"WorkedStep", 9000, 12000, 0, 85, 1310, 5510, 100},
                                         Case{"SmallWindowStillStepsOnce", 500, 2000, 0, 1, 5560, 5560, 1},
                                         Case{"PlatformRefusesToShrink", 3001, 2500, 1000, 1500, 4309, 5260, 5},
                                         Case{"TallerThanTheScreen", 11721, 2000, 0, 113, -50, 5549, 1},
                                         Case{"BoundBelowOne", 1, 2000, 0, 0, 0, 0, 1}),
                         ByLabel());

} // namespace
