// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/cases.h"
#include "screen/measure.h"
#include "screen/regions.h"
#include "synth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vistrel::screen {
namespace {

Box padded(const Box& b, int pad) { return {b.x - pad, b.y - pad, b.w + 2 * pad, b.h + 2 * pad}; }

TEST(Measure, MatchesTheDrawnTruthAcrossFontsSizesAndPolarities) {
    struct Grey {
        double letter;
        double back;
    };
    const Grey greys[] = {{10.0, 150.0}, {120.0, 4.0}, {40.0, 60.0}, {80.0, 50.0}};
    for (const char* family : {"Liberation Sans", "Liberation Serif", "Liberation Mono"}) {
        for (const double cap : {14.0, 20.0, 32.0, 50.0, 80.0}) {
            for (const Grey g : greys) {
                synth::Lettering lettering{family, false, "HELD 1234", cap, g.letter, g.back};
                const synth::Drawn d = synth::drawLine(lettering);
                const Measurement m = measure(d.image, padded(d.truth.box, static_cast<int>(cap / 3) + 2));
                SCOPED_TRACE(std::string(family) + " cap " + std::to_string(cap) + " letter " +
                             std::to_string(g.letter) + " stroke " + std::to_string(d.truth.strokePx));
                ASSERT_TRUE(m.ok()) << m.problem;
                EXPECT_EQ(m.lightOnDark, g.letter > g.back);
                EXPECT_NEAR(m.heightPx, d.truth.capPx, std::max(1.0, 0.05 * d.truth.capPx));
                const double ratio = d.truth.capPx / d.truth.strokePx;
                EXPECT_NEAR(m.heightPx / m.strokePx, ratio, 0.15 * ratio) << m.strokePx;
                if (d.truth.strokePx >= 3.0) {
                    EXPECT_NEAR(m.letterCdm2, g.letter, 0.02 * g.letter);
                    EXPECT_NEAR(m.backgroundCdm2, g.back, 0.02 * g.back);
                }
            }
        }
    }
}

double iou(const Box& a, const Box& b) {
    const int w = std::min(a.x + a.w, b.x + b.w) - std::max(a.x, b.x);
    const int h = std::min(a.y + a.h, b.y + b.h) - std::max(a.y, b.y);
    if (w <= 0 || h <= 0) {
        return 0.0;
    }
    const double both = static_cast<double>(w) * h;
    return both / (static_cast<double>(a.w) * a.h + static_cast<double>(b.w) * b.h - both);
}

// The margin_log of a luminance-mode case, as eval would compute it.
double margin(double letter, double back, double heightMm, double ratio, double distanceMm) {
    static const NumberText numbers(NumberFormat::invariant());
    cli::Case c;
    const auto put = [&](std::string_view column, const std::string& text) {
        EXPECT_TRUE(c.set(*cli::columnIndex(column), text)) << column;
    };
    put("mode", "luminance");
    put("letter_cdm2", numbers.plain(letter));
    put("background_cdm2", numbers.plain(back));
    put("letter_height_mm", numbers.plain(heightMm));
    put("ratio", numbers.plain(ratio));
    put("viewing_distance_mm", numbers.plain(distanceMm));
    put("age", "50");
    put("ease", "90");
    const cli::Evaluation e = cli::evaluate(c, numbers);
    EXPECT_TRUE(e.hasVerdict()) << e.message;
    return e.hasVerdict() ? std::stod(e.margin) : 0.0;
}

TEST(Measure, GivesTheVerdictOfTheTrueValues) {
    std::mt19937 rng(23);
    const auto uniform = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
    const auto logUniform = [&](double a, double b) { return std::exp(uniform(std::log(a), std::log(b))); };
    const char* families[] = {"Liberation Sans", "Liberation Serif", "Liberation Mono"};
    int counted = 0;
    int agree = 0;
    int legible = 0;
    for (int i = 0; i < 200; ++i) {
        synth::Lettering lettering;
        lettering.family = families[i % 3];
        lettering.capPx = uniform(14.0, 60.0);
        lettering.backgroundCdm2 = logUniform(1.0, 300.0);
        const double contrast = logUniform(1.15, 10.0);
        lettering.letterCdm2 = i % 2 == 0 ? lettering.backgroundCdm2 * contrast : lettering.backgroundCdm2 / contrast;
        const double mmPerPx = uniform(0.1, 0.3);
        const double distance = logUniform(600.0, 4000.0);
        const synth::Drawn d = synth::drawLine(lettering);
        const double truth = margin(lettering.letterCdm2, lettering.backgroundCdm2, d.truth.capPx * mmPerPx,
                                    d.truth.capPx / d.truth.strokePx, distance);
        if (std::abs(truth) < 0.05) {
            continue;
        }
        ++counted;
        legible += truth >= 0.0 ? 1 : 0;
        const Measurement m = measure(d.image, padded(d.truth.box, static_cast<int>(lettering.capPx / 3) + 2));
        if (m.ok()) {
            const double seen =
                margin(m.letterCdm2, m.backgroundCdm2, m.heightPx * mmPerPx, m.heightPx / m.strokePx, distance);
            agree += (seen >= 0.0) == (truth >= 0.0) ? 1 : 0;
        }
    }
    // Both verdicts are well represented, or agreeing would prove little.
    EXPECT_GT(legible, counted / 5);
    EXPECT_LT(legible, counted * 4 / 5);
    EXPECT_GE(agree, counted * 95 / 100) << agree << " of " << counted;
}

TEST(FindText, FindsTheLinesOfDashboardsAndLittleElse) {
    int lines = 0;
    int found = 0;
    int regions = 0;
    int text = 0;
    for (const std::uint32_t seed : {1U, 2U, 3U, 4U, 5U}) {
        const synth::Dashboard d = synth::dashboard(seed % 2 == 0 ? 1920 : 1280, seed % 2 == 0 ? 720 : 480, seed);
        const std::vector<Region> r = findText(d.image);
        const auto matches = [](const Box& a) { return [&a](const auto& b) { return iou(a, b) >= 0.5; }; };
        for (const Box& line : d.lines) {
            found += std::any_of(r.begin(), r.end(), [&](const Region& g) { return matches(line)(g.box); }) ? 1 : 0;
        }
        for (const Region& g : r) {
            text += std::any_of(d.lines.begin(), d.lines.end(), matches(g.box)) ? 1 : 0;
        }
        lines += static_cast<int>(d.lines.size());
        regions += static_cast<int>(r.size());
    }
    EXPECT_GE(lines, 40);
    EXPECT_GE(found, lines * 95 / 100) << found << " of " << lines;
    EXPECT_GE(text, regions * 95 / 100) << text << " of " << regions;
}

TEST(FindText, FindsNothingWithoutText) {
    const std::pair<const char*, LuminanceImage> images[] = {
        {"blank", synth::blank(640, 480, 80.0)},
        {"gradient", synth::gradient(640, 480, 2.0, 300.0)},
        {"pixel noise", synth::noise(640, 480, 0, 7)},
        {"fine photo-like noise", synth::noise(640, 480, 6, 8)},
        {"coarse photo-like noise", synth::noise(640, 480, 24, 9)},
    };
    for (const auto& [name, image] : images) {
        EXPECT_TRUE(findText(image).empty()) << name;
    }
}

TEST(Measure, NamesWhatCannotBeMeasured) {
    const synth::Drawn big = synth::drawLine({"Liberation Sans", false, "HELD 1234", 30.0, 10.0, 150.0});
    const synth::Drawn tiny = synth::drawLine({"Liberation Sans", false, "HELD 1234", 8.0, 10.0, 150.0});
    const LuminanceImage flat = synth::blank(200, 60, 50.0);
    const LuminanceImage ramp = synth::gradient(200, 60, 10.0, 200.0);
    const struct {
        const LuminanceImage& image;
        Box box;
        std::string problem;
    } rows[] = {
        {big.image, {big.truth.box.x, big.truth.box.y, big.truth.box.w, 4}, "too small to measure: 4 px tall"},
        {flat, {10, 10, 100, 30}, "no contrast: glyphs and background differ by less than 5%"},
        {ramp, {0, 0, 200, 60}, "no contrast: no distinct glyph and background levels"},
        {tiny.image, padded(tiny.truth.box, 3), "a single-pixel stroke: "},
    };
    for (const auto& row : rows) {
        const Measurement m = measure(row.image, row.box);
        EXPECT_EQ(m.problem.substr(0, row.problem.size()), row.problem);
    }
}

} // namespace
} // namespace vistrel::screen
