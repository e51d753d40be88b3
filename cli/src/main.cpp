// vistrel-cli: the calculation of the window, for many cases at once.
// Commands: eval (one case), batch (a CSV of cases), solve (where the verdict
// changes along one input) and sweep (every step of a range, with a plot).

#include "batch.h"
#include "cases.h"
#include "explore.h"
#include "output.h"
#include "plot.h"
#include "report.h"
#include "rows.h"
#include "vistrel/version.h"

#include <CLI/CLI.hpp>

#include <array>
#include <cstdio>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace vistrel::cli;

constexpr int kUsageError = 2;

// The case options every command but batch takes: --name value, one per column.
struct CaseOptions {
    std::array<std::string, kColumns.size()> values;
    std::array<CLI::Option*, kColumns.size()> options{};

    void addTo(CLI::App& app) {
        for (std::size_t k = 0; k < kColumns.size(); ++k) {
            const std::string name(kColumns[k].name);
            const std::string help = k == 0 ? "input mode: " + std::string(kModeChoices)
                                            : "the text of " + std::string(vistrel::fieldName(*kColumns[k].field));
            options[k] = app.add_option("--" + name, values[k], help)->group("Case");
        }
    }

    // The case as given; throws a usage error for a bad mode.
    [[nodiscard]] Case build() const {
        Case c;
        for (std::size_t k = 0; k < kColumns.size(); ++k) {
            if (options[k]->count() > 0 && !c.set(k, values[k])) {
                throw CLI::ValidationError("--mode", "must be " + std::string(kModeChoices));
            }
        }
        return c;
    }
};

// One clear line, and where to read more.
int usage(std::string_view command, const std::string& message) {
    std::cerr << "vistrel-cli " << command << ": " << message << "\nRun 'vistrel-cli " << command
              << " --help' for more information.\n";
    return kUsageError;
}

void writeAll(std::FILE* out, const std::string& text) { std::fwrite(text.data(), 1, text.size(), out); }

void showProgress(std::uint64_t done, std::uint64_t total) {
    const int width = 40;
    const auto filled = static_cast<int>(static_cast<double>(done) / static_cast<double>(total) * width);
    std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(width - filled), ' ').c_str(), filled * 100 / width);
}

// Opens the output: stdout for "-" or nothing, else a temporary renamed on success.
struct Output {
    std::unique_ptr<AtomicFile> file;
    std::FILE* stream = stdout;

    bool open(const std::string& path, std::string& error) {
        if (path.empty() || path == "-") {
            return true;
        }
        file = AtomicFile::create(path, error);
        if (file) {
            stream = file->file();
        }
        return file != nullptr;
    }
    bool finish(std::string& error) {
        if (file) {
            return file->commit(error);
        }
        return std::fflush(stdout) == 0;
    }
};

int runEval(const CaseOptions& options, bool json) {
    Case c = options.build();
    const vistrel::NumberText numbers(vistrel::NumberFormat::invariant());
    const Evaluation e = evaluate(c, numbers);
    writeAll(stdout, json ? evaluationJson(c, e) : evaluationTable(c, e));
    return e.hasVerdict() ? 0 : 1;
}

int runBatchCommand(const std::string& inPath, const std::string& outPath) {
    const bool fromStdin = inPath == "-";
    if (!fromStdin && !outPath.empty() && outPath != "-" && (outPath == inPath || sameFile(inPath, outPath))) {
        return usage("batch", "the output " + outPath + " would overwrite the input");
    }
    std::FILE* in = fromStdin ? stdin : std::fopen(inPath.c_str(), "rb");
    if (in == nullptr) {
        return usage("batch", "cannot read " + inPath);
    }
    std::string error;
    Output out;
    if (!out.open(outPath, error)) {
        return usage("batch", error);
    }
    BatchIo io{in, out.stream, {}};
    struct stat st {};
    if (!fromStdin && ::isatty(STDERR_FILENO) != 0 && ::fstat(::fileno(in), &st) == 0 && S_ISREG(st.st_mode) &&
        st.st_size > 0) {
        const auto total = static_cast<std::uint64_t>(st.st_size);
        io.progress = [total](std::uint64_t done) { showProgress(done, total); };
    }
    const BatchResult result = runBatch(io);
    if (io.progress) {
        showProgress(1, 1);
        std::fputc('\n', stderr);
    }
    if (!fromStdin) {
        std::fclose(in);
    }
    if (!result.usageError.empty()) {
        return usage("batch", result.usageError); // the temporary goes; nothing is written under the final name
    }
    if (!result.inputError.empty()) {
        std::cerr << "vistrel-cli batch: " << inPath << ": " << result.inputError << '\n';
        return 1; // the output keeps only what was read; its temporary is removed
    }
    if (!out.finish(error)) {
        std::cerr << "vistrel-cli batch: " << error << '\n';
        return 1;
    }
    if (result.unreadable > 0) {
        std::cerr << "vistrel-cli batch: " << result.unreadable << " of " << result.rows
                  << " rows could not be read; see their message column\n";
        return 1;
    }
    return 0;
}

int runSolve(const CaseOptions& options, const std::string& name, std::optional<double> min, std::optional<double> max,
             bool json) {
    const auto column = columnIndex(name);
    const auto range = defaultSolveRange(name);
    if (!column || !range) {
        return usage("solve", "--for must be letter_height_mm, viewing_distance_mm or age");
    }
    const SolveRange r{min.value_or(range->min), max.value_or(range->max)};
    if (!(r.min < r.max)) {
        return usage("solve", "--min must be below --max");
    }
    if (r.max - r.min > 1e9) {
        return usage("solve", "the range from --min to --max is too wide");
    }
    const SolveResult result = solve(options.build(), *column, r);
    writeAll(stdout, json ? solveJson(name, result) : solveText(name, result));
    return 0;
}

int runSweep(const CaseOptions& options, const std::string& vary, const std::string& outPath,
             const std::string& plotPath) {
    SweepSpec spec;
    if (const auto error = parseSweepSpec(vary, spec)) {
        return usage("sweep", *error);
    }
    if (!plotPath.empty() && !plotFormatSupported(plotPath)) {
        return usage("sweep", "--plot must end in .svg or .png");
    }
    const Case base = options.build();
    std::string error;
    Output out;
    if (!out.open(outPath, error)) {
        return usage("sweep", error);
    }
    std::string text = outputHeader();
    std::vector<PlotPoint> points;
    const vistrel::NumberText numbers(vistrel::NumberFormat::invariant());
    sweep(base, spec, [&](const Case& c, const Evaluation& e) {
        appendRow(text, c, e);
        if (!plotPath.empty()) {
            points.push_back(plotPoint(c, e, spec.column, numbers));
        }
        if (text.size() > (1 << 16)) {
            writeAll(out.stream, text);
            text.clear();
        }
    });
    writeAll(out.stream, text);
    if (!out.finish(error)) {
        std::cerr << "vistrel-cli sweep: " << error << '\n';
        return 1;
    }
    if (!plotPath.empty() && !drawPlot(points, kColumns[spec.column].name, plotPath, error)) {
        std::cerr << "vistrel-cli sweep: " << error << '\n';
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"vistrel-cli: judges whether display lettering can be read, for one case or many.\n"
                 "Every value is a field's text as typed in the window, with a point as decimal separator.",
                 "vistrel-cli"};
    app.set_version_flag("--version", "vistrel-cli " VISTREL_VERSION);
    app.require_subcommand(1);

    CaseOptions evalCase;
    bool evalJson = false;
    auto* eval = app.add_subcommand("eval", "Evaluate one case");
    eval->footer("Example:\n  vistrel-cli eval --mode illuminance --illuminance_lux 1076 --letter_factor 0.8 "
                 "--background_factor 0.2 --age 40 --letter_height_mm 6 --viewing_distance_mm 750 --ratio 7 "
                 "--ease \"90% confidence\"\nExit status: 0 with a verdict, 1 when the case ended with a message, "
                 "2 for a usage error.");
    evalCase.addTo(*eval);
    eval->add_flag("--json", evalJson, "Print one JSON object keyed by the column names");

    std::string batchIn;
    std::string batchOut;
    auto* batch = app.add_subcommand("batch", "Evaluate every row of a CSV file of cases");
    batch->add_option("input", batchIn, "CSV with a header row of column names; - for stdin")->required();
    batch->add_option("-o,--output", batchOut, "Where to write the results; - or nothing for stdout");
    batch->footer("Columns: the names of the eval options, in any order; message and margin_log are added.\n"
                  "Example:\n  vistrel-cli batch designs.csv -o results.csv\n"
                  "Exit status: 0 when every row was read, 1 when some row could not be read, 2 for a usage error.");

    CaseOptions solveCase;
    std::string solveFor;
    std::optional<double> solveMin;
    std::optional<double> solveMax;
    bool solveJsonFlag = false;
    auto* solveCmd = app.add_subcommand("solve", "Find where the verdict changes as one input varies");
    solveCmd->add_option("--for", solveFor, "letter_height_mm, viewing_distance_mm or age")->required();
    solveCmd->add_option("--min", solveMin, "Start of the range (defaults: 0.5 mm, 100 mm, 10 years)");
    solveCmd->add_option("--max", solveMax, "End of the range (defaults: 100 mm, 5000 mm, 90 years)");
    solveCmd->add_flag("--json", solveJsonFlag, "Print JSON");
    solveCase.addTo(*solveCmd);
    solveCmd->footer("Example:\n  vistrel-cli solve --for letter_height_mm --mode illuminance --illuminance_lux 1076 "
                     "--letter_factor 0.8 --background_factor 0.2 --age 60 --viewing_distance_mm 750 --ratio 7 "
                     "--ease \"90% confidence\"");

    CaseOptions sweepCase;
    std::string vary;
    std::string sweepOut;
    std::string plotPath;
    auto* sweepCmd = app.add_subcommand("sweep", "Evaluate a case across a range of one input");
    sweepCmd->add_option("--vary", vary, "NAME=FROM:TO:STEP")->required();
    sweepCmd->add_option("-o,--output", sweepOut, "Where to write the CSV; - or nothing for stdout");
    sweepCmd->add_option("--plot", plotPath, "Draw the contrasts against the varied input to an .svg or .png");
    sweepCase.addTo(*sweepCmd);
    sweepCmd->footer("Example:\n  vistrel-cli sweep --vary viewing_distance_mm=300:3000:10 --mode illuminance "
                     "--illuminance_lux 1076 --letter_factor 0.8 --background_factor 0.2 --age 40 "
                     "--letter_height_mm 6 --ratio 7 --ease \"90% confidence\" -o sweep.csv --plot sweep.svg");

    try {
        app.parse(argc, argv);
        if (eval->parsed()) {
            return runEval(evalCase, evalJson);
        }
        if (batch->parsed()) {
            return runBatchCommand(batchIn, batchOut);
        }
        if (solveCmd->parsed()) {
            return runSolve(solveCase, solveFor, solveMin, solveMax, solveJsonFlag);
        }
        return runSweep(sweepCase, vary, sweepOut, plotPath);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::Error& e) {
        std::cerr << "vistrel-cli: " << e.what() << "\nRun 'vistrel-cli --help' for more information.\n";
        return kUsageError;
    }
}
