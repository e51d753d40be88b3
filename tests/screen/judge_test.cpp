// SPDX-License-Identifier: GPL-3.0-or-later
#include "screen/judge.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>

namespace vistrel::screen {
namespace {

const NumberText kNumbers(NumberFormat::invariant());

std::size_t column(Field f) { return *cli::columnIndex(fieldInfo(f).key); }

// White capitals on a dark panel, 0.25 mm per pixel.
LuminanceImage drawnScreen() {
    QImage q(400, 120, QImage::Format_Grayscale8);
    q.fill(20);
    QPainter p(&q);
    p.setPen(QColor(235, 235, 235));
    p.setFont(QFont("Liberation Sans", 40));
    p.drawText(20, 80, "HELLO");
    p.end();
    LuminanceImage image{q.width(), q.height(), {}, {}, 0.25, {}};
    for (int y = 0; y < q.height(); ++y) {
        for (int x = 0; x < q.width(); ++x) {
            const auto v = static_cast<std::uint8_t>(qGray(q.pixel(x, y)));
            image.shade.push_back(v);
            image.cdm2.push_back(0.5F + 300.0F * std::pow(static_cast<float>(v) / 255.0F, 2.2F));
        }
    }
    return image;
}

cli::Case baseCase() {
    cli::Case c;
    c.set(column(Field::Age), "60");
    c.set(column(Field::ViewDist2), "750");
    c.set(column(Field::EaseOfRead), "90");
    return c;
}

TEST(Judge, GivesTheEngineTheMeasuredCaseAndItsVerdict) {
    const LuminanceImage image = drawnScreen();
    const std::vector<Region> regions{{"t1", {10, 10, 380, 100}, "hello"}, {"dot", {0, 0, 2, 2}, ""}};
    const auto results = judge(image, regions, baseCase(), kNumbers);
    ASSERT_EQ(results.size(), 2U);
    const RegionResult& r = results[0];
    ASSERT_TRUE(r.measured.ok()) << r.measured.problem;
    const cli::Case& c = r.evaluated;
    EXPECT_EQ(c.mode(), cli::Mode::Luminance);
    EXPECT_EQ(c.view(column(Field::Age)), "60");
    // Four significant digits, within rounding of what was measured.
    for (const auto& [field, value] : {std::pair{Field::LetterLumCDM, r.measured.letterCdm2},
                                       std::pair{Field::BackLumCDM, r.measured.backgroundCdm2},
                                       std::pair{Field::LetterHT2, r.measured.heightPx * 0.25},
                                       std::pair{Field::LHSW, r.measured.heightPx / r.measured.strokePx}}) {
        const std::string text = c.text(column(field));
        EXPECT_LE(std::count_if(text.begin(), text.end(), ::isdigit), 6) << text; // 4 digits and leading zeros
        EXPECT_NEAR(kNumbers.parse(text).value, value, std::abs(value) * 5e-4) << fieldInfo(field).key;
    }
    cli::Case again = c;
    const cli::Evaluation e = cli::evaluate(again, kNumbers);
    EXPECT_TRUE(r.evaluation.hasVerdict());
    EXPECT_EQ(r.evaluation.margin, e.margin);
    // What cannot be measured is not evaluated, and says why.
    EXPECT_FALSE(results[1].measured.ok());
    EXPECT_FALSE(results[1].evaluation.hasVerdict());
    EXPECT_EQ(results[1].evaluation.message, results[1].measured.problem);
}

RegionResult banded(const std::string& id, Box box, const char* margin, const char* result, bool measured = true) {
    RegionResult r{{id, box, ""}, {}, cli::Case(), {}};
    r.measured.problem = measured ? "" : "too small";
    if (margin != nullptr) {
        r.evaluation.outcome = Outcome::Verdict;
        r.evaluation.margin = margin;
        r.evaluated.set(column(Field::Result), result);
    }
    return r;
}

TEST(Map, OutlinesEachRegionInItsBandsColour) {
    LuminanceImage image{200, 100, std::vector<float>(20000, 1.0F), std::vector<std::uint8_t>(20000, 128), 0.2, {}};
    // One box per band, each 40 px wide, side by side.
    const std::vector<RegionResult> results{
        banded("red", {10, 40, 30, 20}, "-0.2", "Not Legible"), banded("none", {50, 40, 30, 20}, nullptr, ""),
        banded("amber", {90, 40, 30, 20}, "0.29", "Legible"), banded("green", {130, 40, 30, 20}, "0.3", "Legible"),
        banded("grey", {170, 40, 25, 20}, nullptr, "", false)};
    const std::string png = mapPng(image, results, Bands{0.3}, "Case: age 60");
    QImage map;
    ASSERT_TRUE(map.loadFromData(reinterpret_cast<const uchar*>(png.data()), static_cast<int>(png.size()), "PNG"));
    // A small screen is enlarged 4 times; the caption and legend go below it.
    EXPECT_EQ(map.width(), 800);
    EXPECT_GT(map.height(), 400);
    const std::array<QColor, 5> wanted{QColor(215, 40, 40), QColor(215, 40, 40), QColor(255, 175, 0),
                                       QColor(40, 170, 80), QColor(150, 150, 150)};
    for (std::size_t k = 0; k < results.size(); ++k) {
        // The top edge, near the left corner, where the dashes of the grey one start too.
        const QColor got = map.pixelColor(results[k].region.box.x * 4 + 1, 40 * 4 - 2);
        EXPECT_NEAR(got.red(), wanted[k].red(), 30) << results[k].region.id;
        EXPECT_NEAR(got.green(), wanted[k].green(), 30) << results[k].region.id;
        EXPECT_NEAR(got.blue(), wanted[k].blue(), 30) << results[k].region.id;
    }
}

} // namespace
} // namespace vistrel::screen
