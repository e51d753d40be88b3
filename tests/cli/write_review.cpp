// SPDX-License-Identifier: GPL-3.0-or-later
// Writes sample design reviews for the browser and PDF tests.
//   write_review points COLUMN FROM TO STEP   plot lines of the worked case for vistrel-plot
//   write_review html OUT.html [CAPTION=PLOT.svg...]   with texts that hold markup
//   write_review plain OUT.html [CAPTION=PLOT.svg...]  the worked case alone
#include "review_sample.h"

#include "cases.h"
#include "explore.h"
#include "plotter.h"
#include "vistrel/version.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

using namespace vistrel;
using namespace vistrel::cli;

int points(char** argv) {
    const NumberText numbers(NumberFormat::invariant());
    Case base;
    for (const auto& [column, text] : test::workedRow()) {
        base.set(*columnIndex(column), text);
    }
    SweepSpec spec;
    const std::string text = std::string(argv[0]) + "=" + argv[1] + ":" + argv[2] + ":" + argv[3];
    if (const auto error = parseSweepSpec(text, spec, numbers)) {
        std::cerr << *error << "\n";
        return 2;
    }
    sweep(base, spec, numbers, [&](const Case& c, const Evaluation& e) {
        const PlotPoint p = plotPoint(c, e, spec.column, numbers);
        std::cout << numbers.plain(p.x) << "," << (p.threshold ? numbers.plain(*p.threshold) : "") << ","
                  << (p.actual ? numbers.plain(*p.actual) : "") << "," << p.state << "\n";
    });
    return 0;
}

// hostile: a title and a second design whose texts hold markup.
int html(int argc, char** argv, bool hostile) {
    Review review{hostile ? "Design review <script>alert('title')</script>" : "Design review: cluster speedometer",
                  "2026-01-01",
                  VISTREL_VERSION,
                  {}};
    ReviewDesign worked = test::evaluatedDesign("Cluster speedometer, 6 mm", test::workedRow(), VISTREL_PROFILES_DIR,
                                                {"text-legibility", "faa-distance"}, 20000);
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        const std::size_t eq = arg.find('=');
        std::ifstream in(arg.substr(eq + 1));
        std::ostringstream svg;
        svg << in.rdbuf();
        worked.plots.push_back({arg.substr(0, eq), svg.str()});
    }
    // Three ambient levels of a day, each evaluated for real.
    ReviewGrid grid{{"Night, 1.1 lux", "Overcast, 5000 lux", "Sun, 86100 lux"}, {{worked.name, {}}}};
    std::size_t worst = 0;
    for (const std::string lux : {"1.1", "5000", "86100"}) {
        auto row = test::workedRow();
        row[1].second = lux;
        const ReviewDesign d = test::evaluatedDesign("", row, VISTREL_PROFILES_DIR, {}, 0);
        grid.rows[0].cells.push_back({d.verdict, d.margin, false});
        const auto& cells = grid.rows[0].cells;
        worst = std::stod(cells.back().margin) < std::stod(cells[worst].margin) ? cells.size() - 1 : worst;
    }
    grid.rows[0].cells[worst].worst = true;
    worked.conditions = grid;
    review.designs.push_back(std::move(worked));

    if (hostile) {
        auto row = test::workedRow();
        row[5].second = "6<script>document.title='injected'</script>";
        review.designs.push_back(
            test::evaluatedDesign("<script>alert(1)</script> & \"quoted\"", row, VISTREL_PROFILES_DIR, {}, 0));
    }

    std::ofstream out(argv[0]);
    out << reviewHtml(review);
    out.close();
    if (!out) {
        std::cerr << "cannot write " << argv[0] << "\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "points" && argc == 6) {
        return points(argv + 2);
    }
    if ((command == "html" || command == "plain") && argc >= 3) {
        return html(argc - 2, argv + 2, command == "html");
    }
    std::cerr << "usage: write_review points COLUMN FROM TO STEP | html|plain OUT.html [CAPTION=PLOT.svg...]\n";
    return 2;
}
