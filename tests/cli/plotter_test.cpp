// SPDX-License-Identifier: GPL-3.0-or-later
#include "plotter.h"

#include <gtest/gtest.h>

namespace {

using namespace vistrel::cli;

Case caseOf(std::initializer_list<std::pair<std::string_view, std::string_view>> texts) {
    Case c;
    for (const auto& [name, text] : texts) {
        EXPECT_TRUE(c.set(*columnIndex(name), text));
    }
    return c;
}

struct AxisCase {
    std::string_view varied;
    std::string xTitle;
    std::string xUnit;
    std::string title;
};

void PrintTo(const AxisCase& c, std::ostream* os) { *os << c.varied; }

class SweepAxis : public testing::TestWithParam<AxisCase> {};

// The window's captions and unit labels, read as a figure labels them.
TEST_P(SweepAxis, TitledByQuantityAndUnit) {
    const PlotFigure f = sweepFigure(Case(), *columnIndex(GetParam().varied));
    EXPECT_EQ(f.xTitle, GetParam().xTitle);
    EXPECT_EQ(f.xUnit, GetParam().xUnit);
    EXPECT_EQ(f.title, GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(Inputs, SweepAxis,
                         testing::Values(AxisCase{"viewing_distance_mm", "Viewing distance (mm)", "mm",
                                                  "Threshold and actual contrast against viewing distance"},
                                         AxisCase{"illuminance_lux", "Illuminance (lux)", "lux",
                                                  "Threshold and actual contrast against illuminance"},
                                         AxisCase{"background_cdm2", "Background luminance (cd/m\u00B2)", "cd/m\u00B2",
                                                  "Threshold and actual contrast against background luminance"},
                                         AxisCase{"background_fl", "Background luminance (fL)", "fL",
                                                  "Threshold and actual contrast against background luminance"},
                                         AxisCase{"age", "Observer's age", "",
                                                  "Threshold and actual contrast against observer's age"},
                                         AxisCase{"letter_height_mm", "Letter HT (mm)", "mm",
                                                  "Threshold and actual contrast against letter HT"}));

// Every fixed input once, with its unit; not the varied one, nor one left as the window starts it.
TEST(SweepCaption, NamesTheFixedInputs) {
    const Case base = caseOf({{"mode", "illuminance"},
                              {"illuminance_lux", "1076"},
                              {"age", "40"},
                              {"viewing_distance_mm", "750"},
                              {"ratio", "7"},
                              {"ease", "90% confidence"}});
    EXPECT_EQ(sweepFigure(base, *columnIndex("viewing_distance_mm")).caption,
              "Mode: illuminance \u00B7 Illuminance 1076 lux \u00B7 Observer's age 40 \u00B7 "
              "Letter HT to stroke width ratio 7 \u00B7 Ease of reading 90% confidence");
    EXPECT_EQ(sweepFigure(caseOf({{"field_correction", "0.5"}}), *columnIndex("age")).caption,
              "Mode: none \u00B7 Field correction 0.5");
}

TEST(PlotFormat, ByEnding) {
    EXPECT_EQ(plotFormat("a.svg"), PlotFormat::Svg);
    EXPECT_EQ(plotFormat("dir.png/a.pdf"), PlotFormat::Pdf);
    EXPECT_EQ(plotFormat("a.png"), PlotFormat::Png);
    EXPECT_EQ(plotFormat("a.svg.txt"), std::nullopt);
    EXPECT_EQ(plotFormat("pdf"), std::nullopt);
}

} // namespace
