// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_table.h"
#include "commands.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

using namespace vistrel;
using namespace vistrel::cli;

const NumberText kNumbers(NumberFormat::invariant());

Invocation parsed(std::vector<std::string> args) {
    args.insert(args.begin(), "vistrel-cli");
    for (const char* option : {"--mode", "illuminance", "--illuminance_lux", "1076", "--letter_factor", "0.8",
                               "--background_factor", "0.2", "--age", "45", "--letter_height_mm", "6",
                               "--viewing_distance_mm", "750", "--ratio", "7", "--ease", "90% confidence"}) {
        args.emplace_back(option);
    }
    ParsedCommandLine p = parseCommandLine(args, kNumbers);
    EXPECT_TRUE(p.request && p.request->invocation) << (p.request ? "" : p.request.error().message);
    return p.request && p.request->invocation ? std::move(*p.request->invocation) : Invocation{};
}

struct Analytic {
    const char* spread;
    double probability; // of Legible: margin_log is 0.975 - field_correction in this case
    double low;         // the spread's ends
    double high;
};

void PrintTo(const Analytic& a, std::ostream* os) { *os << a.spread; }

class ToleranceCommand : public testing::TestWithParam<Analytic> {};

// The margin falls one for one with the field correction, so the probability,
// the worst corner and the swing are known without simulation.
TEST_P(ToleranceCommand, MatchesWhatIsKnownWithoutSimulation) {
    const Invocation run = parsed({"tolerance", "--json", "--samples", "20000", "--seed", "5", "--tol",
                                   std::string("field_correction=") + GetParam().spread});
    const auto result = runTolerance(run, kNumbers);
    ASSERT_TRUE(result) << result.error().message;
    const auto j = nlohmann::json::parse(result->out);
    const auto& mc = j["monte_carlo"];
    EXPECT_LE(mc["interval_95"]["low"].get<double>(), GetParam().probability);
    EXPECT_GE(mc["interval_95"]["high"].get<double>(), GetParam().probability);
    EXPECT_NEAR(j["worst_case"]["margin_log"].get<double>(), 0.975 - GetParam().high,
                0.005); // three-decimal texts bend the line a little
    EXPECT_NEAR(j["tornado"][0]["swing"].get<double>(), GetParam().low - GetParam().high,
                0.005); // three-decimal texts bend the line a little
    EXPECT_EQ(j["nominal"]["margin_log"].get<double>(), 0.975);
}

INSTANTIATE_TEST_SUITE_P(Spreads, ToleranceCommand,
                         testing::Values(Analytic{"uniform:-1:2", 1.975 / 3, -1, 2},
                                         Analytic{"uniform:0:1", 0.975, 0, 1}, Analytic{"+-0.5", 1.0, -0.5, 0.5},
                                         Analytic{"uniform:1:2", 0.0, 1, 2},
                                         Analytic{"triangular:0:1:2", 0.975 * 0.975 / 2, 0, 2}));

TEST(ToleranceCommand, RefusesWhatItCannotSpread) {
    for (const auto& [tol, why] :
         std::vector<std::pair<std::string, std::string>>{{"ease=+-1", "not a numeric input"},
                                                          {"letter_factor=uniform:2:3", "letter_factor=uniform:2:3"},
                                                          {"age=normal:-1", "age=normal:-1"}}) {
        Invocation run = parsed({"tolerance", "--tol", "age=+-1"});
        run.tolerances = {tol}; // the command line refuses some of these already
        const auto r = runTolerance(run, kNumbers);
        ASSERT_FALSE(r) << tol;
        EXPECT_EQ(r.error().kind, ErrorKind::Usage) << tol;
        EXPECT_NE(r.error().message.find(why), std::string::npos) << r.error().message;
    }
}

// batch reads its profiles once: a file removed during the run must not
// leave the workers without checks, which would read as a pass.
TEST(ProfileColumns, WorkersShareTheProfilesReadBeforeTheRun) {
    const auto path = std::filesystem::temp_directory_path() / ("columns-" + std::to_string(::getpid()) + ".toml");
    std::ofstream(path) << "[[criterion]]\nid = \"tall\"\nquantity = \"letter_height_mm\"\nkind = \"minimum\"\n"
                           "limit = 5\nlevel = \"required\"\nsource = \"s\"\n"
                           "[[criterion]]\nid = \"near\"\nquantity = \"viewing_distance_mm\"\nkind = \"maximum\"\n"
                           "limit = \"letter_height_mm * 100\"\nlevel = \"required\"\nsource = \"s\"\n";
    const auto factory = profileColumns({path.string()}, kNumbers);
    ASSERT_TRUE(factory) << factory.error().text();
    std::filesystem::remove(path);
    Invocation run = parsed({"check", "--profile", "text-legibility"});
    const Evaluation e = evaluate(run.base, kNumbers);
    std::vector<std::vector<std::string>> seen(2);
    std::vector<std::thread> workers;
    for (auto& out : seen) {
        workers.emplace_back([&] {
            auto columns = (*factory)();
            out = columns->names();
            const auto cells = columns->cells(run.base, e);
            out.insert(out.end(), cells.begin(), cells.end());
        });
    }
    for (auto& w : workers) {
        w.join();
    }
    for (const auto& out : seen) { // 750 mm is beyond 6 mm * 100
        EXPECT_EQ(out, (std::vector<std::string>{"tall", "near", "failed_checks", "pass", "fail", "near"}));
    }
}

// Every row of the table has the header's columns, whichever groups its
// design, condition or eye point shows.
TEST(ConditionsCommand, EveryRowHasTheHeadersColumns) {
    const auto dir = std::filesystem::temp_directory_path() / ("grid-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "d.csv") << "design,mode,letter_cdm2,background_cdm2,age,letter_height_mm,"
                                    "viewing_distance_mm,ratio,ease,view_tilt_deg\n"
                                    "tilted,luminance,500,10,40,6,750,7,90,20\nplain,luminance,500,10,40,6,750,7,90,\n";
    std::ofstream(dir / "c.csv") << "condition,ambient_lux\nnight,1\n";
    std::ofstream(dir / "e.csv") << "name,x,y,z\nnear,-500,0,0\nfar,-900,-900,0\n";
    std::ofstream(dir / "a.csv") << "angle_deg,factor\n0,1\n90,0.1\n";
    for (const bool eyes : {false, true}) {
        std::vector<std::string> args{"vistrel-cli", "conditions", (dir / "d.csv").string(), "--conditions",
                                      (dir / "c.csv").string()};
        if (eyes) {
            args.insert(args.end(), {"--eye-points", (dir / "e.csv").string(), "--display-centre", "0,0,0",
                                     "--display-normal", "-1,0,0", "--angular", (dir / "a.csv").string()});
        }
        ParsedCommandLine p = parseCommandLine(args, kNumbers);
        ASSERT_TRUE(p.request && p.request->invocation);
        const auto result = runConditions(*p.request->invocation, kNumbers);
        ASSERT_TRUE(result) << result.error().text();
        std::istringstream table(result->table);
        std::string header;
        std::getline(table, header);
        const std::size_t named = header.find(",view_tilt_deg,");
        ASSERT_NE(named, std::string::npos) << header;
        const auto tilt = std::count(header.begin(), header.begin() + static_cast<std::ptrdiff_t>(named), ',') + 1;
        std::vector<std::string> tilts;
        for (std::string row; std::getline(table, row);) {
            EXPECT_EQ(std::count(header.begin(), header.end(), ','), std::count(row.begin(), row.end(), ',')) << row;
            std::istringstream cells(row);
            std::string cell;
            for (long k = 0; k <= tilt; ++k) {
                std::getline(cells, cell, ',');
            }
            tilts.push_back(cell);
        }
        const std::vector<std::string> expected =
            eyes ? std::vector<std::string>{"0", "0", "0", "0"} : std::vector<std::string>{"20", ""};
        EXPECT_EQ(tilts, expected);
        EXPECT_EQ(result->out.find("view_pan_deg 45, off_axis_factor 0.55\n") != std::string::npos, eyes)
            << result->out;
    }
    std::filesystem::remove_all(dir);
}

} // namespace
