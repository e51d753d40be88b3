// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace vistrel;
using namespace vistrel::cli;

const NumberText kNumbers(NumberFormat::invariant());

// A backlit display leaning back 30 degrees, the eye 750 mm straight in front of its centre.
const std::vector<std::string> kSeat{"--mode",
                                     "luminance",
                                     "--letter_cdm2",
                                     "50",
                                     "--background_cdm2",
                                     "10",
                                     "--age",
                                     "40",
                                     "--letter_height_mm",
                                     "6",
                                     "--ratio",
                                     "7",
                                     "--ease",
                                     "90",
                                     "--eye",
                                     "1750,0,1000",
                                     "--display-centre",
                                     "1000,0,1000",
                                     "--display-normal",
                                     "0.8660254037844387,0,0.5"};

// The seat's options, less those dropped and those args give.
ParsedCommandLine parsedWith(std::vector<std::string> args, const std::vector<std::string>& dropped = {}) {
    args.insert(args.begin(), "vistrel-cli");
    const std::size_t given = args.size();
    for (std::size_t k = 0; k < kSeat.size(); k += 2) {
        const auto end = args.begin() + static_cast<std::ptrdiff_t>(given);
        if (std::find(dropped.begin(), dropped.end(), kSeat[k]) == dropped.end() &&
            std::find(args.begin(), end, kSeat[k]) == end) {
            args.push_back(kSeat[k]);
            args.push_back(kSeat[k + 1]);
        }
    }
    return parseCommandLine(args, kNumbers);
}

std::string column(const Case& c, Field f) { return c.text(*columnIndex(fieldInfo(f).key)); }

// Every command that takes a case places it by the eye point, and the case
// then sees the letters foreshortened: 6 cos(30) = 5.196 mm at 750 mm.
TEST(EyeOptions, PlaceTheCaseOfEveryCommand) {
    for (const std::vector<std::string>& command : {std::vector<std::string>{"eval"},
                                                    {"solve", "--for", "letter_height_mm"},
                                                    {"sweep", "--vary", "age=20:60:10"},
                                                    {"check", "--profile", "text-legibility"},
                                                    {"tolerance", "--tol", "age=±5"}}) {
        const ParsedCommandLine p = parsedWith(command);
        ASSERT_TRUE(p.request && p.request->invocation) << command[0] << ": " << p.request.error().message;
        Case c = p.request->invocation->base;
        EXPECT_EQ(column(c, Field::ViewDist2), "750") << command[0];
        EXPECT_EQ(column(c, Field::ViewTiltDeg), "-30") << command[0];
        EXPECT_EQ(column(c, Field::ViewPanDeg), "0") << command[0];
        const Evaluation e = evaluate(c, kNumbers);
        ASSERT_TRUE(e.hasVerdict()) << command[0] << ": " << e.message;
        EXPECT_EQ(column(c, Field::ApparentHeightMm), "5.196") << command[0];
        EXPECT_EQ(column(c, Field::OffAxisDeg), "30.000") << command[0];
    }
}

// The help says what an empty option means to the engine.
TEST(ViewOptions, HelpGivesWhatEmptyMeans) {
    const std::vector<std::string> args{"vistrel-cli", "eval", "--help"};
    const ParsedCommandLine p = parseCommandLine(args, kNumbers);
    ASSERT_TRUE(p.request);
    for (const char* line : {"Viewing Tilt, deg; empty: 0;", "Off-axis Luminance Factor; empty: 1;"}) {
        EXPECT_NE(p.request->help.find(line), std::string::npos) << line;
    }
}

TEST(EyeOptions, RefuseWhatGivesNoViewOrClashes) {
    struct Row {
        std::vector<std::string> args;
        std::vector<std::string> dropped;
        const char* message;
    };
    for (const Row& r : {
             Row{{"eval"}, {"--display-normal"}, "--display-normal is missing"},
             Row{{"solve", "--for", "age"}, {"--eye", "--display-normal"}, "--eye and --display-normal are missing"},
             Row{{"eval", "--eye", "250,0,1000"}, {}, "--eye 250,0,1000: the eye must be in front of the display"},
             Row{{"eval", "--eye", "1000,0,1750", "--display-normal", "0,0,1"}, {}, "faces straight up or down"},
             Row{{"eval", "--display-centre", "1000,0"}, {}, "--display-centre \"1000,0\" must be three numbers"},
             Row{{"eval", "--viewing_distance_mm", "700"}, {}, "--viewing_distance_mm and --eye both give it"},
             Row{{"tolerance", "--tol", "age=±5", "--view_pan_deg", "10"}, {}, "--view_pan_deg and --eye both give it"},
             Row{{"solve", "--for", "viewing_distance_mm"}, {}, "--for viewing_distance_mm: --eye fixes it"},
             Row{{"sweep", "--vary", "view_tilt_deg=0:60:10"}, {}, "--vary view_tilt_deg: --eye fixes it"},
         }) {
        const ParsedCommandLine p = parsedWith(r.args, r.dropped);
        ASSERT_FALSE(p.request) << r.message;
        EXPECT_EQ(p.request.error().kind, ErrorKind::Usage) << r.message;
        EXPECT_NE(p.request.error().message.find(r.message), std::string::npos) << p.request.error().message;
    }
}

} // namespace
