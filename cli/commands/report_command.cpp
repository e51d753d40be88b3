// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_table.h"
#include "commands.h"
#include "output_file.h"
#include "plotter.h"
#include "review.h"
#include "vistrel/version.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

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
          std::pair{"Contrast against age",
                    "age=" + numbers.plain(kAgeRange.min) + ":" + numbers.plain(kAgeRange.max) + ":0.25"}}) {
        if (auto spec = parseSweepSpec(text, numbers)) {
            out.emplace_back(caption, *spec);
        }
    }
    return out;
}

// Draws one sweep of the case: the SVG, or why the plotter failed.
Expected<std::string> drawSweep(const std::string& plotter, const Case& c, const SweepSpec& spec,
                                const NumberText& numbers) {
    std::vector<PlotPoint> points;
    sweep(c, spec, numbers, [&](const Case& at, const Evaluation& e) {
        points.push_back(plotPoint(at, e, spec.column, numbers));
        return true;
    });
    PlotFigure figure = sweepFigure(c, spec.column);
    figure.logX = spec.factor != 0;
    TextSink sink;
    if (auto drawn = drawPlot(plotter, points, figure, "the report", numbers, sink); !drawn) {
        return drawn.error();
    }
    return sink.take();
}

// --case FILE as the one design, named by the file.
Expected<std::vector<NamedRow>> caseDesign(const std::string& file) {
    auto values = readCaseFile(file);
    if (!values) {
        return values.error();
    }
    NamedRow row{std::filesystem::path(file).stem().string(), {}, true};
    for (CaseFileValue& v : *values) {
        row.cells.emplace_back(v.column, std::move(v.text));
    }
    return std::vector<NamedRow>{std::move(row)};
}

// The options that fill in the document's fields, in the order of Invocation::metaOptions.
constexpr std::array<std::pair<std::string_view, std::string_view>, 5> kMetaOptions{{
    {"--doc-id", "The document's id"},
    {"--revision", "The document's revision"},
    {"--date", "The document's date, as it is to be printed (default: blank, to fill in)"},
    {"--prepared-by", "Who prepared the review"},
    {"--approved-by", "Who approved it"},
}};

// The file's fields, then the options given over them.
Expected<ReviewMeta> reviewMeta(const Invocation& run) {
    ReviewMeta meta;
    if (!run.reviewMeta.empty()) {
        auto loaded = loadReviewMeta(run.reviewMeta);
        if (!loaded) {
            return usageError("--review-meta " + loaded.error().text()); // as a bad profile is
        }
        meta = std::move(*loaded);
    }
    const std::array<std::string*, 5> fields{&meta.docId, &meta.revision, &meta.date, &meta.preparedBy,
                                             &meta.approvedBy};
    for (std::size_t k = 0; k < fields.size(); ++k) {
        if (run.metaOptions[k]) {
            *fields[k] = *run.metaOptions[k];
        }
    }
    return meta;
}

} // namespace

Expected<CommandResult> runReview(const Invocation& run, const ReviewSetting& setting, const NumberText& numbers) {
    CommandResult result;
    // No profile unless asked for: the shipped ones come from office and
    // control-room standards, which are no yardstick for every display.
    auto loaded = loadProfiles(run.profiles);
    if (!loaded) {
        return loaded.error();
    }
    std::vector<ProfileChecker> checkers(loaded->begin(), loaded->end());
    // Every design adds its page to what is held until the end, and a PDF its pictures.
    const bool pdf = run.output.ends_with(".pdf");
    const RowLimit designLimit = pdf ? RowLimit{kMaxPdfDesigns, "designs", "one PDF report"}
                                     : RowLimit{kMaxReportDesigns, "designs", "one report"};
    const auto designs = run.caseFile.empty() ? readNamedRows(run.input, {"design", "id", "label"},
                                                              {kMessageColumn, kMarginColumn}, true, designLimit)
                                              : caseDesign(run.caseFile);
    if (!designs) {
        return designs.error();
    }
    if (designs->empty()) {
        return usageError(run.input + ": no rows");
    }
    const auto conditionsDirs = conditionsSearchDirs(programDir());
    const std::string conditionsPath = conditionsFile(run.conditions, conditionsDirs);
    std::vector<NamedRow> conditions;
    if (!conditionsPath.empty()) {
        auto read = readNamedRows(conditionsPath, {"condition"}, {"comment"}, false,
                                  {kMaxConditions, "conditions", "one report"});
        if (!read) {
            return read.error();
        }
        conditions = std::move(*read);
        if (conditions.empty()) {
            return usageError(conditionsPath + ": no rows");
        }
    }
    auto seen = gridConditions(run, std::move(conditions), numbers);
    if (!seen) {
        return seen.error();
    }
    conditions = std::move(*seen);
    std::vector<ReviewEyePoint> eyePoints;
    for (const NamedRow& view : eyeViews(run, numbers)) {
        ReviewEyePoint& eye = eyePoints.emplace_back(ReviewEyePoint{view.name, {}});
        for (const auto& [column, text] : view.cells) {
            eye.view.push_back({*kColumns[column].field, text});
        }
    }
    const Case blank = designStart(run, columnSet(true));

    auto meta = reviewMeta(run);
    if (!meta) {
        return meta.error();
    }
    Review review{run.title.empty() ? "Design review" : run.title, setting.date, VISTREL_VERSION, {}, std::move(*meta)};
    std::vector<ReviewArt> art;
    std::optional<Case> firstGiven; // the case a screen is judged under
    for (const NamedRow& row : *designs) {
        Case given; // as the row gives it: what is solved, swept and spread
        designCase(row, nullptr, given, blank);
        if (!firstGiven) {
            firstGiven = given;
        }
        Case c;
        const Evaluation e = evaluateDesign(row, nullptr, c, numbers, blank);
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
                auto svg = drawSweep(setting.plotter, given, spec, numbers);
                if (!svg) {
                    return svg.error();
                }
                drawn.plots.push_back({caption, std::move(*svg)});
            }
        }
        if (!conditions.empty()) {
            d.conditions = reviewGrid(row, conditions, numbers, blank);
            d.conditions->eyePoints = eyePoints;
        }
        if (!run.tolerances.empty()) {
            const auto analysis = analyseTolerance(given, run, numbers);
            if (!analysis) {
                return usageError("design " + row.name + ": " + analysis.error().message);
            }
            d.tolerance = ReviewTolerance{analysis->columns, analysis->mc, analysis->worst};
            const std::string bars = tornadoBars(*analysis, given, numbers);
            if (!setting.plotter.empty() && !bars.empty()) {
                TextSink sink;
                // As tall as its bars need: a page is no place for one bar 600 pixels high.
                const auto count = static_cast<int>(std::count(bars.begin(), bars.end(), '\n'));
                const plot::Size size{1000, std::clamp(220 + 70 * count, plot::kSmallestSide, 620)};
                if (auto tornado = drawTornado(setting.plotter, bars, "the report.svg", sink, size); !tornado) {
                    return tornado.error();
                }
                drawn.tornadoSvg = sink.take();
            }
        }
        review.designs.push_back(std::move(d));
        art.push_back(std::move(drawn));
        if (run.progress) {
            run.progress(review.designs.size(), designs->size());
        }
    }
    if (conditionsPath.empty() && run.eyes.empty()) {
        result.notice = "the default conditions file is not installed (no " + std::string(kDefaultConditions) + " in " +
                        placesText(conditionsDirs) + "): the report has no conditions grid\n";
    }
    if (setting.plotter.empty()) {
        result.notice += "vistrel-plot is not installed: the report has no plots (install the 'vistrel' package)\n";
    }
    if (run.failOn) {
        const auto failing = static_cast<std::size_t>(
            std::count_if(review.designs.begin(), review.designs.end(),
                          [&run](const ReviewDesign& d) { return fails(overall(d).standing, *run.failOn); }));
        if (failing > 0) {
            result.status = kFailedOn;
            result.notice += failingText(failing, review.designs.size(), *run.failOn) + "\n";
        }
    }
    std::optional<ReviewScreen> screen;
    if (!run.screen.image.empty()) {
        auto judged = run.judgeScreen(run, *firstGiven, numbers);
        if (!judged) {
            return judged.error();
        }
        const std::string name = std::filesystem::path(run.screen.image).filename().string();
        screen = ReviewScreen{name, "Judged under the case of " + review.designs.front().name + ". " + judged->caption,
                              std::move(judged->mapPng), screenTableHeader(), screenTableRows(*judged)};
    }
    result.out = reviewHtml(review, numbers, art, screen ? &*screen : nullptr);
    return result;
}

namespace {

constexpr std::string_view kReportFooter =
    "Each row of the designs file is one design, named by its design, id or label column. Per design the\n"
    "page holds the verdict and failed checks, inputs, results, the standards tables (none unless\n"
    "--profile is given), what it would take, plots against viewing distance, ambient illuminance\n"
    "and age, the conditions grid (--conditions, or the shipped conditions), the tolerance analysis (with\n"
    "--tol) and a note on the method. The document's id, revision, date, authors and revisions are those\n"
    "given, else blank to fill in; the page also says when it was generated: today in UTC, or the day of\n"
    "SOURCE_DATE_EPOCH when set.\n"
    "Example:\n  vistrel-cli report worked.csv -o review.html --tol age=normal:45:12 --samples 2000\n"
    "At most 100 designs (10 for a PDF) and 1000 conditions, each row at most 512 bytes of name and cells.\n"
    "Exit status: 0 when the report was written, whatever its verdicts; 1 when the output or a plot could "
    "not be written; 2 for a usage error, or for a PDF without vistrel-plot and vistrel-pdf; 3 when the report "
    "was written and some design fails what --fail-on names.";

} // namespace

void addReportOptions(CLI::App& command, CommandOptions& options) {
    Invocation& run = options.run;
    command.add_option("designs", run.input,
                       "CSV of designs, as for batch; a design, id or label column names them (or --case)");
    command.add_option("--case", run.caseFile,
                       "One design kept in a file, instead of the designs CSV: a one-row CSV or a .toml table, as "
                       "for eval --case");
    command.add_option("-o,--output", run.output, "The page to write: .html (or .htm) or .pdf")->required();
    command.add_option("--profile", run.profiles,
                       "A built-in profile's name or a .toml file; repeatable (default: none)");
    command.add_option("--conditions", run.conditions, "CSV of named conditions (default: the shipped one)");
    command.add_option("--tol", run.tolerances, "NAME=SPREAD, as for tolerance; repeatable");
    addDrawOptions(command, options);
    addQuietFlag(command, options.run);
    command.add_option("--title", run.title, "The page's title (default: Design review)");
    command.add_option("--review-meta", run.reviewMeta,
                       "A TOML file of doc_id, revision, date, prepared_by, approved_by and [[revisions]]");
    for (std::size_t k = 0; k < kMetaOptions.size(); ++k) {
        command.add_option(std::string(kMetaOptions[k].first), options.texts.meta[k],
                           std::string(kMetaOptions[k].second) + "; overrides --review-meta");
    }
    addFailOnOption(command, options, "not-legible (or has no verdict), fails a required check, or a recommended one");
    addViewOptions(command, options);
    command
        .add_option("--screen", run.screen.image,
                    "A screen image whose legibility map and regions the review adds, judged under the first "
                    "design's case (see screen --help)")
        ->group("Screen");
    addScreenImageOptions(command, options);
    command.footer(std::string(kReportFooter));
}

Expected<void> finishReport(const CLI::App& command, CommandOptions& options, const NumberText& numbers) {
    if (options.run.input.empty() == options.run.caseFile.empty()) {
        return usageError(options.run.input.empty() ? "designs is required, or --case FILE"
                                                    : "give the designs CSV or --case FILE, not both");
    }
    const std::string_view out = options.run.output;
    if (!out.ends_with(".html") && !out.ends_with(".htm") && !out.ends_with(".pdf")) {
        return usageError("-o must end in .html, .htm or .pdf");
    }
    for (std::size_t k = 0; k < kMetaOptions.size(); ++k) {
        if (command.count(std::string(kMetaOptions[k].first)) > 0) {
            options.run.metaOptions[k] = options.texts.meta[k];
        }
    }
    if (auto failOn = checkFailOn(command, options, true); !failOn) {
        return failOn;
    }
    if (auto view = finishViewOptions(command, options, numbers); !view) {
        return view;
    }
    if (options.run.screen.image.empty()) {
        for (const CLI::Option* o : command.get_options()) {
            if (o->get_group() == "Screen" && o->count() > 0) {
                return usageError(o->get_name() + " needs --screen IMAGE");
            }
        }
    } else if (auto screen = finishScreenImageOptions(command, options, numbers); !screen) {
        return screen;
    }
    return checkDraws(command, options);
}

// The page, or the PDF that vistrel-pdf lays out from it.
Expected<int> runReportCommand(Invocation& run, Console& console, const NumberText& numbers) {
    const bool pdf = run.output.ends_with(".pdf");
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); // reproducible pages, as other tools make them
    const ReviewSetting setting{findPlotter(), utcDate(epoch != nullptr ? epoch : "").value_or(todayUtc())};
    const std::string pdfHelper = pdf ? findHelper("vistrel-pdf") : std::string();
    if (pdf && (setting.plotter.empty() || pdfHelper.empty())) {
        return usageError("a PDF report needs vistrel-plot and vistrel-pdf, which are not installed: install the "
                          "'vistrel' package");
    }
    auto out = Output::open(console, run.output); // a bad path fails before the work
    if (!out) {
        return out.error();
    }
    Progress progress(console.err, console.errIsTerminal && !run.quiet, "designs", 0);
    run.progress = progress.hook();
    const auto result = runReview(run, setting, numbers);
    progress.finish();
    if (!result) {
        return result.error();
    }
    if (pdf) {
        if (auto made = runHelper(pdfHelper, {}, result->out, "writing the PDF " + run.output,
                                  mostPdf(result->out.size()), out->sink());
            !made) {
            return made.error();
        }
    } else if (auto written = out->write(result->out); !written) {
        return written.error();
    }
    if (auto committed = out->commit(); !committed) {
        return committed.error();
    }
    for (std::size_t start = 0; start < result->notice.size();) {
        const std::size_t end = result->notice.find('\n', start);
        console.err.write("vistrel-cli report: " + escaped(result->notice.substr(start, end - start)) + "\n");
        start = end == std::string::npos ? end : end + 1;
    }
    return result->status;
}

} // namespace vistrel::cli
