// SPDX-License-Identifier: GPL-3.0-or-later
// The option handling of one vistrel-cli command on arbitrary arguments (the
// input split at NUL bytes): no crash, no undefined behaviour, a usage error
// or a run, and for eval, solve and sweep the run itself on small ranges.
// Built once per command, named by VISTREL_FUZZ_COMMAND. Nothing touches files.

#include "batch.h"
#include "command_table.h"
#include "plotter.h"
#include "report.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace vistrel::cli;

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

void run(Invocation& r, const vistrel::NumberText& numbers) {
    switch (r.command) {
    case Command::Eval: {
        const Evaluation e = evaluate(r.base, numbers);
        check(!evaluationTable(r.base, e).empty() && !evaluationJson(r.base, e, numbers).empty());
        break;
    }
    case Command::Solve: {
        const auto solvable = solveGrid(r.range, logarithmicColumn(r.solveColumn));
        check(solvable.ok() && solvable->lo < solvable->hi);
        const SolveGrid grid = solvable ? *solvable : SolveGrid{};
        if (grid.hi - grid.lo <= 200) {
            const SolveResult s = solve(r.base, r.solveColumn, r.range, numbers);
            check(!solveText(r.solveFor, s, numbers).empty() &&
                  !solveJson(r.solveFor, s, r.base, evaluate(r.base, numbers), numbers).empty());
        }
        break;
    }
    case Command::Sweep: {
        check(r.sweep.count >= 1 && r.sweep.count <= kMaxSweepSteps + 1 && isInputColumn(r.sweep.column));
        if (r.sweep.count <= 50) {
            std::string text;
            sweep(r.base, r.sweep, numbers, [&](const Case& c, const Evaluation& e) {
                appendRow(text, c, e);
                (void)plotPoint(c, e, r.sweep.column, numbers);
                return true;
            });
        }
        break;
    }
    case Command::Batch:      // its paths are checked when it runs
    case Command::Check:      // reads profiles
    case Command::Conditions: // reads files
    case Command::Tolerance:  // runs long; its spreads are checked when it runs
    case Command::Report:     // reads files and runs the plotter
    case Command::Screen:     // reads an image, in vistrel-screen
    case Command::Count: break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args{"vistrel-cli", VISTREL_FUZZ_COMMAND};
    std::string arg;
    for (std::size_t k = 0; k < size && args.size() < 64; ++k) {
        if (data[k] == 0) {
            args.push_back(std::move(arg));
            arg.clear();
        } else {
            arg += static_cast<char>(data[k]);
        }
    }
    args.push_back(arg);
    const vistrel::NumberText numbers(vistrel::NumberFormat::invariant());
    ParsedCommandLine parsed = parseCommandLine(args, numbers);
    if (!parsed.request) {
        const std::string err = errorMessage(parsed.command, parsed.request.error());
        check(exitStatus(parsed.request.error()) == kUsageError && !err.empty());
        check(escaped(err).size() >= err.size());
    } else if (parsed.request->invocation) {
        // No table is written with a comma both between cells and in numbers, nor a workbook as JSON.
        const SheetStyle& sheet = parsed.request->invocation->sheet;
        check(!(sheet.decimalComma && sheet.delimiter == ','));
        check(!(sheet.xlsx && parsed.request->invocation->json) &&
              (sheet.plain() || !parsed.request->invocation->json));
        run(*parsed.request->invocation, numbers);
    } else {
        check(!parsed.request->help.empty());
    }
    return 0;
}
