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
                synth::TextSpec spec{family, false, "HELD 1234", cap, g.letter, g.back};
                const synth::Drawn d = synth::drawLine(spec);
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

} // namespace
} // namespace vistrel::screen
