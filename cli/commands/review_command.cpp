// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands.h"
#include "plotter.h"
#include "review.h"
#include "vistrel/version.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace vistrel::cli {

namespace {

class TextSink final : public Sink {
  public:
    bool write(std::string_view text) override {
        text_ += text;
        return true;
    }
    std::string take() { return std::move(text_); }

  private:
    std::string text_;
};

// The three sweeps of a design: distance out to twice its own, the day's
// ambient light on log steps, and the ages the model covers.
std::vector<std::pair<std::string, SweepSpec>> plotSweeps(const Case& c, const NumberText& numbers) {
    const ParsedNumber distance = numbers.parse(c.view(*columnIndex("viewing_distance_mm")));
    const double farthest =
        std::max(5000.0, distance.ok() && std::isfinite(distance.value) ? std::ceil(distance.value / 500) * 1000 : 0);
    const double farthestShown = std::min(farthest, 1e6);
    std::vector<std::pair<std::string, SweepSpec>> out;
    for (const auto& [caption, text] :
         {std::pair{"Contrast against viewing distance", "viewing_distance_mm=100:" + numbers.plain(farthestShown) +
                                                             ":" + numbers.plain((farthestShown - 100) / 490)},
          std::pair{"Contrast against ambient illuminance", std::string("ambient_lux=1:100000:x1.05")},
          std::pair{"Contrast against age", std::string("age=10:90:0.25")}}) {
        if (auto spec = parseSweepSpec(text, numbers)) {
            out.emplace_back(caption, *spec);
        }
    }
    return out;
}

// Draws one sweep of the case; false with error set when the plotter failed.
bool drawSweep(const std::string& plotter, const Case& c, const SweepSpec& spec, const NumberText& numbers,
               std::string& svg, std::string& error) {
    std::vector<PlotPoint> points;
    sweep(c, spec, numbers,
          [&](const Case& at, const Evaluation& e) { points.push_back(plotPoint(at, e, spec.column, numbers)); });
    PlotFigure figure = sweepFigure(c, spec.column);
    figure.logX = spec.factor != 0;
    TextSink sink;
    if (!drawPlot(plotter, points, figure, "the report", numbers, sink, error)) {
        return false;
    }
    svg = sink.take();
    return true;
}

} // namespace

CommandResult runReview(const Invocation& run, const ReviewSetting& setting, const NumberText& numbers) {
    CommandResult result;
    result.usageError = true; // until every input is read
    const std::vector<std::string> profileNames =
        run.profiles.empty() ? std::vector<std::string>{std::string(kReportProfile)} : run.profiles;
    auto loaded = loadProfiles(profileNames);
    if (!loaded) {
        result.error = loaded.error().text();
        return result;
    }
    std::vector<ProfileChecker> checkers(loaded->begin(), loaded->end());
    // Every design adds its page to what is held until the end, and a PDF its pictures.
    const bool pdf = run.output.ends_with(".pdf");
    const RowLimit designLimit = pdf ? RowLimit{kMaxPdfDesigns, "designs", "one PDF report"}
                                     : RowLimit{kMaxReportDesigns, "designs", "one report"};
    const auto designs = readNamedRows(run.input, {"design", "id", "label"}, {kMessageColumn, kMarginColumn}, true,
                                       designLimit, result.error);
    if (!result.error.empty()) {
        return result;
    }
    if (designs.empty()) {
        result.error = run.input + ": no rows";
        return result;
    }
    const auto conditionsDirs = conditionsSearchDirs(programDir());
    const std::string conditionsPath = conditionsFile(run.conditions, conditionsDirs);
    std::vector<NamedRow> conditions;
    if (!conditionsPath.empty()) {
        conditions = readNamedRows(conditionsPath, {"condition"}, {"comment"}, false,
                                   {kMaxConditions, "conditions", "one report"}, result.error);
        if (!result.error.empty()) {
            return result;
        }
        if (conditions.empty()) {
            result.error = conditionsPath + ": no rows";
            return result;
        }
    }

    Review review{run.title.empty() ? "Design review" : run.title, setting.date, VISTREL_VERSION, {}};
    std::vector<ReviewArt> art;
    for (const NamedRow& row : designs) {
        Case given; // as the row gives it: what is solved, swept and spread
        designCase(row, nullptr, given);
        Case c;
        const Evaluation e = evaluateDesign(row, nullptr, c, numbers);
        ReviewDesign d = reviewDesign(row.named ? row.name : "Design " + row.name, c, e, numbers);
        ReviewArt drawn;
        const QuantityValues values = reviewQuantities(c, e, numbers);
        for (ProfileChecker& checker : checkers) {
            d.profiles.push_back(reviewProfile(checker.profile(), checker.check(values)));
        }
        if (e.hasVerdict()) {
            d.answers = inverseAnswers(given, numbers);
        }
        if (setting.plotter.empty()) {
            drawn.plotsNote = "No plots: vistrel-plot is not installed (install the 'vistrel' package).";
        } else if (!e.hasVerdict()) {
            drawn.plotsNote = "No plots: the design has no verdict.";
        } else {
            for (const auto& [caption, spec] : plotSweeps(given, numbers)) {
                std::string svg;
                if (!drawSweep(setting.plotter, given, spec, numbers, svg, result.error)) {
                    result.usageError = false;
                    result.status = 1;
                    return result;
                }
                drawn.plots.push_back({caption, std::move(svg)});
            }
        }
        if (!conditions.empty()) {
            d.conditions = reviewGrid(row, conditions, numbers);
        }
        if (!run.tolerances.empty()) {
            const auto analysis = analyseTolerance(given, run, numbers);
            if (!analysis) {
                result.error = "design " + row.name + ": " + analysis.error().text();
                return result;
            }
            d.tolerance = ReviewTolerance{analysis->columns, analysis->mc, analysis->worst};
            const std::string bars = tornadoBars(*analysis, numbers);
            if (!setting.plotter.empty() && !bars.empty()) {
                TextSink sink;
                // As tall as its bars need: a page is no place for one bar 600 pixels high.
                const auto count = static_cast<int>(std::count(bars.begin(), bars.end(), '\n'));
                const plot::Size size{1000, std::clamp(220 + 70 * count, plot::kSmallestSide, 620)};
                if (!drawTornado(setting.plotter, bars, "the report.svg", sink, result.error, size)) {
                    result.usageError = false;
                    result.status = 1;
                    return result;
                }
                drawn.tornadoSvg = sink.take();
            }
        }
        review.designs.push_back(std::move(d));
        art.push_back(std::move(drawn));
    }
    if (conditionsPath.empty()) {
        result.notice = "the default conditions file is not installed (no " + std::string(kDefaultConditions) + " in " +
                        placesText(conditionsDirs) + "): the report has no conditions grid\n";
    }
    if (setting.plotter.empty()) {
        result.notice += "vistrel-plot is not installed: the report has no plots (install the 'vistrel' package)\n";
    }
    result.usageError = false;
    result.out = reviewHtml(review, numbers, art);
    return result;
}

} // namespace vistrel::cli
