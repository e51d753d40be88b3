// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot_protocol.h"
#include "plotter.h"

#include "calc/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

namespace {

using namespace vistrel::cli;
namespace plot = vistrel::plot;
using vistrel::NumberFormat;
using vistrel::NumberText;

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
              "Mode: illuminance \u00B7 Illuminance 1076\u00A0lux \u00B7 Observer's age 40 \u00B7 "
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

// What vistrel-cli writes for vistrel-plot reads back as the same values.
TEST(PlotProtocol, PointLinesReadBack) {
    const NumberText numbers(NumberFormat::invariant());
    struct Row {
        double x;
        std::optional<double> threshold;
        std::optional<double> actual;
        std::string_view state;
        plot::State read;
        std::string_view line;
    };
    const std::optional<double> none;
    for (const Row& r : {
             Row{2, 0.5, 1.25, "Legible", plot::State::Legible, "2,0.5,1.25,Legible\n"},
             Row{-0.25, 3e-7, 1e15, "Not Legible", plot::State::NotLegible,
                 "-0.25,0.0000003,1000000000000000,Not Legible\n"},
             Row{3, none, none, "", plot::State::None, "3,,,\n"},
             Row{1e15, none, none, "Error", plot::State::None, "1000000000000000,,,Error\n"},
             Row{-1e15, 0.1, 0.1, "Legible", plot::State::Legible, {}},
             Row{1.23456789012345e-200, 9.87654321098765e14, 1.5e-100, "Legible", plot::State::Legible, {}},
         }) {
        const std::string line = plot::pointLine(r.x, r.threshold, r.actual, r.state, numbers);
        if (!r.line.empty()) {
            EXPECT_EQ(line, r.line);
        }
        ASSERT_EQ(line.back(), '\n');
        const auto p = plot::parsePointLine(std::string_view(line).substr(0, line.size() - 1), numbers);
        ASSERT_TRUE(p) << line;
        EXPECT_EQ(p->x, r.x) << line;
        EXPECT_EQ(p->state, r.read) << line;
        EXPECT_EQ(p->threshold, r.read == plot::State::None ? none : r.threshold) << line;
        EXPECT_EQ(p->actual, r.read == plot::State::None ? none : r.actual) << line;
    }
}

// Tornado bars carry captions, which may hold the separator; every number reads back.
TEST(PlotProtocol, BarLinesReadBack) {
    const NumberText numbers(NumberFormat::invariant());
    EXPECT_EQ(plot::barLine({5.5, -1.5, 6.5, 0.25, "mm", "Letter HT"}, numbers), "5.5,-1.5,6.5,0.25,mm,Letter HT\n");
    for (const plot::Bar& bar : {plot::Bar{0, -0.0, 1e-15, -700, "", "a, b"},
                                 plot::Bar{123456789012345, 1.23456789012345e-100, -3, 2, "cd/m\u00B2", ""}}) {
        const std::string line = plot::barLine(bar, numbers);
        const auto read = plot::parseBarLine(std::string_view(line).substr(0, line.size() - 1), numbers);
        ASSERT_TRUE(read) << line;
        EXPECT_EQ(std::tie(read->lowValue, read->atLow, read->highValue, read->atHigh, read->unit, read->caption),
                  std::tie(bar.lowValue, bar.atLow, bar.highValue, bar.atHigh, bar.unit, bar.caption));
    }
    for (const std::string_view bad : {"1,2,3,4", "1,2,3,x,mm,age", "1,2,inf,4,,age", "age,1,2"}) {
        EXPECT_FALSE(plot::parseBarLine(bad, numbers)) << bad;
    }
}

// Ticks read as a reader writes them: 0, never -2.8e-17, and no idle decimals.
TEST(TornadoAxis, TicksReadRound) {
    for (const auto& [value, step, text] :
         {std::tuple{-2.775557562e-17, 0.2, "0"}, std::tuple{-0.0, 0.5, "0"},
          std::tuple{0.6000000000000001, 0.2, "0.6"}, std::tuple{-1.0, 0.5, "-1"}, std::tuple{1.5, 0.5, "1.5"},
          std::tuple{0.05, 0.05, "0.05"}, std::tuple{20.0, 10.0, "20"}, std::tuple{3e-4, 1e-4, "0.0003"}}) {
        EXPECT_EQ(plot::tickText(value, step), text) << value << " at step " << step;
    }
}

// The axis is centred on the centre's margin and holds every bar's end and its label.
TEST(TornadoAxis, CoversEveryBarWithRoomForItsLabel) {
    const std::vector<plot::Bar> bars{{9, 1.495, 81, 0.176, "", "age"}, {5.5, 0.917, 6.5, 1.027, "mm", "Letter HT"}};
    for (const double share : {0.0, 0.3, 0.8}) {
        const plot::AxisRange r = plot::tornadoRange(bars, 0.975, share);
        EXPECT_DOUBLE_EQ(r.low, -r.high);
        for (const plot::Bar& b : bars) {
            for (const double margin : {b.atLow, b.atHigh}) {
                EXPECT_LE(std::fabs(margin - 0.975), r.high * (1 - share)) << share;
            }
        }
    }
    EXPECT_GT(plot::tornadoRange({}, 1, 0.3).high, 0); // no bars still make an axis
}

} // namespace
