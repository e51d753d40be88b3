// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/angular_table.h"
#include "analysis/explore.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace vistrel;
using namespace vistrel::cli;

const NumberText kNumbers(NumberFormat::invariant());

TEST(AngularTable, RefusesEachFaultNamingFileAndLine) {
    struct Row {
        const char* text;
        int line;
        const char* says;
    };
    for (const Row& r : {
             Row{"angle_deg,factor\n0,1\n30,1.2\n", 3, "factor 1.2 is outside 0 to 1"},
             Row{"angle_deg,factor\n0,1\n30,-0.1\n", 3, "factor -0.1 is outside 0 to 1"},
             Row{"angle_deg,factor\n0,1\n30,0.8\n30,0.7\n", 4, "angle_deg 30 does not follow 30"},
             Row{"angle_deg,factor\n0,1\n40,0.8\n\n30,0.7\n", 5, "angle_deg 30 does not follow 40"},
             Row{"angle_deg,factor\n0,1\n3O,0.8\n", 3, "angle_deg \"3O\" is not a number"},
             Row{"angle_deg,factor\r\n0,1\r\n30,\r\n", 3, "factor \"\" is not a number"},
             Row{"angle_deg,factor\n-5,1\n30,0.8\n", 2, "angle_deg -5 is negative"},
             Row{"angle_deg,factor\n0,1,2\n", 2, "two cells"},
             Row{"angle,factor\n0,1\n30,0.8\n", 1, "the header must be angle_deg,factor"},
             Row{"angle_deg,factor\n0,1\n", 0, "it needs at least two"},
             Row{"", 0, "the table is empty"},
         }) {
        const auto t = AngularTable::parse(r.text, "lcd.csv", kNumbers);
        ASSERT_FALSE(t) << r.text;
        EXPECT_EQ(t.error().file, "lcd.csv");
        EXPECT_EQ(t.error().line, r.line) << r.text;
        EXPECT_NE(t.error().message.find(r.says), std::string::npos) << t.error().message;
    }
}

TEST(AngularTable, ReadsBetweenRowsOnStraightLines) {
    const auto t = AngularTable::parse("\xEF\xBB\xBF"
                                       "angle_deg;factor\n10;0.9\n30;0.8\n60;0.2\n",
                                       "lcd.csv", kNumbers);
    ASSERT_TRUE(t) << t.error().text();
    for (const auto& [angle, factor] : {std::pair{10.0, 0.9}, {30.0, 0.8}, {60.0, 0.2}, {20.0, 0.85}, {40.0, 0.6}}) {
        const auto got = t->factorAt(angle, kNumbers);
        ASSERT_TRUE(got) << angle;
        EXPECT_NEAR(*got, factor, 1e-12) << angle;
    }
    for (const double beyond : {9.999, 60.001}) {
        const auto got = t->factorAt(beyond, kNumbers);
        ASSERT_FALSE(got) << beyond;
        EXPECT_NE(got.error().text().find("lcd.csv: the off-axis angle"), std::string::npos) << got.error().text();
        EXPECT_NE(got.error().message.find("range, 10° to 60°"), std::string::npos) << got.error().message;
    }
}

Case luminanceCase() {
    Case c;
    for (const auto& [name, text] : {std::pair{"mode", "luminance"},
                                     {"letter_cdm2", "500"},
                                     {"background_cdm2", "10"},
                                     {"age", "40"},
                                     {"letter_height_mm", "6"},
                                     {"viewing_distance_mm", "750"},
                                     {"ratio", "7"},
                                     {"ease", "90"}}) {
        c.set(*columnIndex(name), text);
    }
    return c;
}

std::string factorOf(const Case& c) { return c.text(*columnIndex("off_axis_factor")); }

TEST(AngularTable, EveryCaseOfASweepGetsTheFactorAtItsOwnAngle) {
    Case base = luminanceCase();
    base.setAngular(std::make_shared<const AngularTable>(
        *AngularTable::parse("angle_deg,factor\n0,1\n30,0.8\n60,0.4\n", "lcd.csv", kNumbers)));
    const auto spec = parseSweepSpec("view_pan_deg=0:75:15", kNumbers);
    ASSERT_TRUE(spec);
    std::vector<std::string> factors;
    std::vector<std::string> messages;
    std::vector<double> margins;
    sweep(base, *spec, kNumbers, [&](const Case& c, const Evaluation& e) {
        factors.push_back(factorOf(c));
        messages.push_back(e.message);
        if (e.hasVerdict()) {
            margins.push_back(kNumbers.parse(e.margin).value);
        }
        return true;
    });
    EXPECT_EQ(factors, (std::vector<std::string>{"1", "0.9", "0.8", "0.6", "0.4", ""}));
    // Pan leaves the letter height alone, so only the dimmer display lowers the margin.
    ASSERT_EQ(margins.size(), 5U);
    for (std::size_t k = 1; k < margins.size(); ++k) {
        EXPECT_LT(margins[k], margins[k - 1]) << "step " << k;
    }
    EXPECT_NE(messages.back().find("lcd.csv: the off-axis angle 75°"), std::string::npos) << messages.back();

    // Tilt and pan together: cos 60 = cos 45 cos 45.
    Case both = base;
    both.set(*columnIndex("view_tilt_deg"), "45");
    both.set(*columnIndex("view_pan_deg"), "-45");
    EXPECT_TRUE(evaluate(both, kNumbers).hasVerdict());
    EXPECT_EQ(factorOf(both), "0.4");
}

TEST(AngularTable, IsRefusedWhereItCannotApply) {
    const auto table = std::make_shared<const AngularTable>(
        *AngularTable::parse("angle_deg,factor\n0,1\n60,0.4\n", "lcd.csv", kNumbers));
    Case lit = luminanceCase();
    lit.set(*columnIndex("mode"), "illuminance");
    Case given = luminanceCase();
    given.set(*columnIndex("off_axis_factor"), "0.5");
    for (Case* c : {&lit, &given}) {
        c->setAngular(table);
        const Evaluation e = evaluate(*c, kNumbers);
        EXPECT_FALSE(e.hasVerdict()) << e.message;
        EXPECT_NE(e.message.find("lcd.csv"), std::string::npos) << e.message;
    }
}

} // namespace
