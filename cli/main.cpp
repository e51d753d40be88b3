// SPDX-License-Identifier: GPL-3.0-or-later
// vistrel-cli: the calculation of the window, for many cases at once.
// Commands: eval (one case), batch (a CSV of cases), solve (where the verdict
// changes along one input), sweep (every step of a range, with a plot), the
// judging commands (check, conditions, tolerance) and report (a review page).

#include "analysis/cases.h"
#include "analysis/explore.h"
#include "batch.h"
#include "command_line.h"
#include "commands.h"
#include "output_file.h"
#include "plotter.h"
#include "report.h"
#include "review.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace vistrel::cli;
using vistrel::NumberFormat;
using vistrel::NumberText;

// Thrown to end a command with a message and a status; temporaries are removed on the way out.
struct Failure {
    int status;
    std::string message; // nothing after a closed pipe, which ends quietly
};

void say(std::string_view text) { std::cerr << text << std::flush; }

[[noreturn]] void usage(const Invocation& run, const std::string& message) {
    throw Failure{kUsageError, usageMessage(run.name(), message)};
}

[[noreturn]] void failed(const Invocation& run, const std::string& message) {
    throw Failure{1, "vistrel-cli " + std::string(run.name()) + ": " + escaped(message) + "\n"};
}

[[noreturn]] void outputFailed(const Invocation& run, const OutputFile& out) {
    if (out.brokenPipe()) {
        throw Failure{1, {}}; // the reader has all it wanted, as after `| head`
    }
    failed(run, out.error());
}

std::unique_ptr<OutputFile> openOutput(const Invocation& run, const std::string& path) {
    std::string error;
    auto out = OutputFile::open(path, error);
    if (!out) {
        failed(run, error);
    }
    return out;
}

void write(const Invocation& run, OutputFile& out, std::string_view text) {
    if (!out.write(text)) {
        outputFailed(run, out);
    }
}

void commit(const Invocation& run, OutputFile& out) {
    if (!out.commit()) {
        outputFailed(run, out);
    }
}

void showProgress(std::uint64_t done, std::uint64_t total) {
    const int width = 40;
    const double share = total == 0 ? 1.0 : std::min(1.0, static_cast<double>(done) / static_cast<double>(total));
    const auto filled = static_cast<int>(share * width); // the input may have grown since it was measured
    std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(width - filled), ' ').c_str(), filled * 100 / width);
}

int runEval(Invocation& run, const NumberText& numbers) {
    const Evaluation e = evaluate(run.base, numbers);
    auto out = openOutput(run, "-");
    write(run, *out, run.json ? evaluationJson(run.base, e, numbers) : evaluationTable(run.base, e));
    return e.hasVerdict() ? 0 : 1;
}

std::FILE* openInput(const Invocation& run, bool stdinClosed) {
    const std::string& path = run.input;
    if (path == "-") {
        if (stdinClosed) {
            usage(run, "cannot read stdin: it is closed");
        }
        return stdin;
    }
    std::FILE* in = std::fopen(path.c_str(), "rbe");
    if (in == nullptr) {
        usage(run, "cannot read " + path + ": " + std::strerror(errno));
    }
    struct stat st {};
    if (::fstat(::fileno(in), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(in);
        usage(run, "cannot read " + path + ": " + std::strerror(EISDIR));
    }
    return in;
}

int runBatchCommand(const Invocation& run, bool stdinClosed, const NumberText& numbers) {
    const bool fromStdin = run.input == "-";
    std::FILE* in = openInput(run, stdinClosed);
    struct Closer {
        std::FILE* file;
        ~Closer() {
            if (file != stdin) {
                std::fclose(file);
            }
        }
    } closer{in};
    auto out = openOutput(run, run.output);
    BatchIo io{in, out.get(), &numbers, {}, run.json, run.keepUnknown, run.delimiter, !run.profiles.empty(), {}};
    // CSV rows shown on a terminal show control characters as \xNN; a file or
    // pipe gets the bytes. JSON escapes them itself.
    struct TerminalText final : Sink {
        Sink& to;
        explicit TerminalText(Sink& sink) : to(sink) {}
        bool write(std::string_view text) override { return to.write(escapedLines(text)); }
        void writeBehind() override { to.writeBehind(); }
    } terminal{*out};
    if (!run.json && out->isTerminal()) {
        io.out = &terminal;
    }
    io.guardFormulas = run.guardFormulas;
    if (!run.profiles.empty()) {
        std::string error;
        io.extras = profileColumns(run.profiles, numbers, error);
        if (!io.extras) {
            usage(run, error);
        }
    }
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
    if (!result.usageError.empty()) {
        usage(run, result.usageError); // the temporary goes; nothing is written under the final name
    }
    if (result.outputFailed) {
        outputFailed(run, *out);
    }
    if (!result.inputError.empty()) {
        failed(run, (fromStdin ? std::string("stdin") : run.input) + ": " + result.inputError);
    }
    commit(run, *out);
    if (result.unreadable > 0) {
        std::string lost; // lines inside an unclosed quote are no rows, and would go unnoticed
        if (result.linesTakenIn > 0) {
            lost = ", and " + std::to_string(result.linesTakenIn) +
                   (result.linesTakenIn == 1 ? " more line was" : " more lines were") +
                   " taken in by an unclosed quote";
        }
        failed(run, std::to_string(result.unreadable) + " of " + std::to_string(result.rows) +
                        " rows could not be read" + lost +
                        "; see their message column. The first: " + result.firstUnreadable);
    }
    return 0;
}

int runSolve(const Invocation& run, const NumberText& numbers) {
    const SolveResult result = solve(run.base, run.solveColumn, run.range, numbers);
    const SolveAnswer answer = solveAnswer(run.solveFor, result, numbers);
    auto out = openOutput(run, "-");
    if (run.json) {
        Case at = run.base;
        at.set(run.solveColumn, numbers.plain(answer.value.value_or(result.min)));
        const Evaluation e = evaluate(at, numbers);
        write(run, *out, solveJson(run.solveFor, result, at, e, numbers));
    } else {
        write(run, *out, solveText(run.solveFor, result, numbers));
    }
    return answer.value ? 0 : 1;
}

int runSweep(const Invocation& run, const NumberText& numbers) {
    std::string plotter;
    if (!run.plot.empty()) {
        if (!run.output.empty() && run.output != "-" && sameTarget(run.output, run.plot)) {
            usage(run, "-o and --plot name the same file " + run.output);
        }
        plotter = findPlotter();
        if (plotter.empty()) {
            usage(run, "--plot needs vistrel-plot, which is not installed: install the 'vistrel' package");
        }
    }
    auto out = openOutput(run, run.output);
    auto plotOut = run.plot.empty() ? nullptr : openOutput(run, run.plot);
    std::string text =
        run.json ? std::string() : outputHeader(run.base.daylight() || isDaylightColumn(run.sweep.column));
    std::vector<PlotPoint> points;
    bool anyVerdict = false;
    sweep(run.base, run.sweep, numbers, [&](const Case& c, const Evaluation& e) {
        anyVerdict = anyVerdict || e.hasVerdict();
        if (run.json) {
            text += evaluationJsonLine(c, e, numbers);
        } else {
            appendRow(text, c, e, run.guardFormulas);
        }
        if (plotOut) {
            points.push_back(plotPoint(c, e, run.sweep.column, numbers));
        }
        if (text.size() > (1 << 16)) {
            write(run, *out, text);
            text.clear();
        }
    });
    write(run, *out, text);
    if (plotOut) {
        std::string error;
        PlotFigure figure = sweepFigure(run.base, run.sweep.column);
        figure.format = *plotFormat(run.plot);
        figure.logX = run.logX;
        figure.size = run.plotSize;
        if (!drawPlot(plotter, points, figure, run.plot, numbers, *plotOut, error)) {
            if (error.empty()) {
                outputFailed(run, *plotOut);
            }
            failed(run, error);
        }
        commit(run, *plotOut);
    }
    commit(run, *out);
    return anyVerdict ? 0 : 1;
}

// check, conditions and tolerance: the report to stdout, a table to -o.
int runReport(const Invocation& run, const CommandResult& result) {
    if (result.usageError) {
        usage(run, result.error);
    }
    if (!result.table.empty()) {
        auto table = openOutput(run, run.output);
        write(run, *table, table->isTerminal() ? escapedLines(result.table) : result.table); // a file keeps the bytes
        if (run.output.empty() || run.output == "-") {
            write(run, *table, "\n");
        }
        commit(run, *table);
    }
    if (!run.plot.empty()) {
        const std::string plotter = findPlotter();
        if (plotter.empty()) {
            usage(run, "--plot needs vistrel-plot, which is not installed: install the 'vistrel' package");
        }
        auto plotOut = openOutput(run, run.plot);
        std::string error;
        if (!drawTornado(plotter, result.tornado, run.plot, *plotOut, error)) {
            if (error.empty()) {
                outputFailed(run, *plotOut);
            }
            failed(run, error);
        }
        commit(run, *plotOut);
    }
    auto out = openOutput(run, "-");
    write(run, *out, result.out);
    commit(run, *out);
    return result.status;
}

// Every file the command reads, "-" for stdin: designs or cases, conditions
// (the shipped ones unless given) and profiles (a built-in name is its file).
std::vector<std::string> inputFiles(const Invocation& run, const std::filesystem::path& programDir) {
    const Command c = run.command;
    std::vector<std::string> files;
    if (c == Command::Batch || c == Command::Conditions || c == Command::Report) {
        files.push_back(run.input);
    }
    if (c == Command::Conditions || c == Command::Report) {
        files.push_back(conditionsFile(run.conditions, conditionsSearchDirs(programDir)));
    }
    std::vector<std::string> profiles = run.profiles;
    if (c == Command::Report && profiles.empty()) {
        profiles.emplace_back(kReportProfile);
    }
    const auto dirs = profileSearchDirs(programDir);
    for (const std::string& name : profiles) {
        if (const auto file = findProfile(name, dirs)) {
            files.push_back(file->string());
        }
    }
    return files;
}

// No output may replace what the command reads, whatever name leads to it.
void refuseOverwrite(const Invocation& run) {
    const std::vector<std::string> inputs = inputFiles(run, programDir());
    for (const auto& [output, what] : {std::pair{&run.output, "the output "}, std::pair{&run.plot, "the plot "}}) {
        for (const std::string& input : inputs) {
            if (!output->empty() && *output != "-" && !input.empty() && wouldOverwrite(*output, input)) {
                usage(run, what + *output + " would overwrite the input " + (input == "-" ? "on stdin" : input));
            }
        }
    }
}

// report: the page, or the PDF that vistrel-pdf lays out from it.
int runReviewCommand(const Invocation& run, const NumberText& numbers) {
    const bool pdf = run.output.ends_with(".pdf");
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); // reproducible pages, as other tools make them
    const ReviewSetting setting{findPlotter(), utcDate(epoch != nullptr ? epoch : "").value_or(todayUtc())};
    const std::string pdfHelper = pdf ? findHelper("vistrel-pdf") : std::string();
    if (pdf && (setting.plotter.empty() || pdfHelper.empty())) {
        usage(run, "a PDF report needs vistrel-plot and vistrel-pdf, which are not installed: install the "
                   "'vistrel' package");
    }
    auto out = openOutput(run, run.output); // a bad path fails before the work
    const CommandResult result = runReview(run, setting, numbers);
    if (result.usageError) {
        usage(run, result.error);
    }
    if (result.status != 0) {
        failed(run, result.error);
    }
    if (pdf) {
        std::string error;
        if (!runHelper(pdfHelper, {}, result.out, "writing the PDF " + run.output, mostPdf(result.out.size()), *out,
                       error)) {
            if (error.empty()) {
                outputFailed(run, *out);
            }
            failed(run, error);
        }
    } else {
        write(run, *out, result.out);
    }
    commit(run, *out);
    for (std::size_t start = 0; start < result.notice.size();) {
        const std::size_t end = result.notice.find('\n', start);
        say("vistrel-cli report: " + escaped(result.notice.substr(start, end - start)) + "\n");
        start = end == std::string::npos ? end : end + 1;
    }
    return 0;
}

int execute(Invocation& run, bool stdinClosed, const NumberText& numbers) {
    refuseOverwrite(run);
    switch (run.command) {
    case Command::Eval: return runEval(run, numbers);
    case Command::Batch: return runBatchCommand(run, stdinClosed, numbers);
    case Command::Solve: return runSolve(run, numbers);
    case Command::Sweep: return runSweep(run, numbers);
    case Command::Check: return runReport(run, runCheck(run, numbers));
    case Command::Conditions: return runReport(run, runConditions(run, numbers));
    case Command::Tolerance: return runReport(run, runTolerance(run, numbers));
    case Command::Report: return runReviewCommand(run, numbers);
    }
    return kUsageError;
}

// A closed standard descriptor would be taken by the next file opened, and
// output meant for it would land there: hold it with /dev/null, opened for
// reading only, so that writes to it fail as they would have.
bool holdClosedDescriptor(int fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
        return false;
    }
    const int held = ::open("/dev/null", O_RDONLY);
    if (held >= 0 && held != fd) {
        ::close(held);
    }
    return true;
}

// stdout is written straight, so a failed write is seen; its close is checked here.
int closeStdout(int status) {
    std::cout.flush();
    if (!std::cout || ::close(STDOUT_FILENO) != 0) {
        if (errno != EPIPE) {
            say(std::string("vistrel-cli: cannot write stdout: ") + std::strerror(errno) + "\n");
        }
        return status == 0 ? 1 : status;
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    const bool stdinClosed = holdClosedDescriptor(STDIN_FILENO);
    holdClosedDescriptor(STDOUT_FILENO);
    holdClosedDescriptor(STDERR_FILENO);
    removeTemporariesOnSignals();
    int status = 1;
    try {
        // Every number the command line reads or writes goes through this one.
        const NumberText numbers(NumberFormat::invariant());
        const std::vector<std::string> args(argv, argv + argc);
        ParsedCommandLine parsed = parseCommandLine(args, numbers);
        if (!parsed.invocation) {
            std::cout << parsed.out;
            say(parsed.err);
            return closeStdout(parsed.status);
        }
        status = execute(*parsed.invocation, stdinClosed, numbers);
    } catch (const Failure& f) {
        say(f.message);
        status = f.status;
    } catch (const std::bad_alloc&) {
        say("vistrel-cli: out of memory\n");
        status = 1;
    } catch (const std::exception& e) {
        say(std::string("vistrel-cli: ") + escaped(e.what()) + "\n");
        status = 1;
    }
    return closeStdout(status);
}
