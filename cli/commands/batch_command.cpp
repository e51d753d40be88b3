// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch.h"
#include "command_table.h"
#include "commands.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace vistrel::cli {

namespace {

constexpr std::string_view kBatchFooter =
    "Columns: the names of the eval options, in any order; message and margin_log are added.\n"
    "id and label columns are passed through in their place; --keep-unknown passes any other\n"
    "unknown column too, unless it looks like a misspelt column name.\n"
    "A record may hold at most 4 MiB and 4096 cells; a longer one is reported as unreadable.\n"
    "Example:\n  vistrel-cli batch designs.csv -o results.csv\n"
    "Exit status: 0 when every row was read; 1 when some row could not be read or reading or writing "
    "failed; 2 for a usage error or an input that cannot be opened; 3 when every row was read and some design fails "
    "what --fail-on names.";

// The input, or a usage error naming it.
Expected<std::FILE*> openInput(const Invocation& run, const Console& console) {
    const std::string& path = run.input;
    if (path == "-") {
        if (console.in == nullptr) {
            return usageError("cannot read stdin: it is closed");
        }
        return console.in;
    }
    std::FILE* in = std::fopen(path.c_str(), "rbe");
    if (in == nullptr) {
        return usageError("cannot read " + path + ": " + std::strerror(errno));
    }
    struct stat st {};
    if (::fstat(::fileno(in), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(in);
        return usageError("cannot read " + path + ": " + std::strerror(EISDIR));
    }
    return in;
}

} // namespace

void addBatchOptions(CLI::App& command, CommandOptions& options) {
    Invocation& run = options.run;
    command.add_option("input", run.input, "CSV with a header row of column names; - for stdin")->required();
    command.add_option("-o,--output", run.output, "Where to write the results; - or nothing for stdout");
    command.add_flag("--json", run.json, "Write JSON Lines, one object per row, instead of CSV");
    command.add_flag("--keep-unknown", run.keepUnknown, "Pass columns that are no input through to the output");
    addFormulaGuardFlag(command, run);
    addQuietFlag(command, run);
    command.add_option(
        "--delimiter", options.texts.delimiter,
        "The input's cell separator: , ; or tab (default: ; or tab when the header names columns only when split "
        "there)");
    command.add_option("--profile", run.profiles, "Add a column per criterion of a profile, and failed_checks");
    addSheetOptions(command, options, true);
    addFailOnOption(command, options, "not-legible (or has no verdict), fails a required check, or a recommended one");
    command.footer(easeHelp() + std::string(kBatchFooter));
}

Expected<void> finishBatch(const CLI::App& command, CommandOptions& options, const NumberText& /*numbers*/) {
    const std::string& delimiter = options.texts.delimiter;
    if (delimiter == ";" || delimiter == "," || delimiter == "\t") {
        options.run.delimiter = delimiter[0];
    } else if (delimiter == "tab") {
        options.run.delimiter = '\t';
    } else if (command.count("--delimiter") > 0) {
        return usageError("--delimiter must be , ; or tab, not \"" + escaped(delimiter) + "\"");
    }
    if (auto sheet = finishSheetOptions(command, options, true); !sheet) {
        return sheet;
    }
    return checkFailOn(command, options, true);
}

Expected<int> runBatchCommand(Invocation& run, Console& console, const NumberText& numbers) {
    const bool fromStdin = run.input == "-";
    const auto opened = openInput(run, console);
    if (!opened) {
        return opened.error();
    }
    std::FILE* in = *opened;
    struct Closer {
        std::FILE* file;
        std::FILE* console;
        ~Closer() {
            if (file != console) {
                std::fclose(file);
            }
        }
    } closer{in, console.in};
    auto out = Output::open(console, run.output, run.sheet);
    if (!out) {
        return out.error();
    }
    BatchIo io{in, &out->sink(), &numbers, {}, run.json, run.keepUnknown, run.delimiter, !run.profiles.empty(), {}};
    // CSV rows shown on a terminal show control characters as \xNN; a file or
    // pipe gets the bytes. JSON escapes them itself.
    struct TerminalText final : Sink {
        Sink& to;
        explicit TerminalText(Sink& sink) : to(sink) {}
        bool write(std::string_view text) override { return to.write(escapedLines(text)); }
        void writeBehind() override { to.writeBehind(); }
        [[nodiscard]] Error failure() const override { return to.failure(); }
    } terminal{out->sink()};
    if (!run.json && out->isTerminal()) {
        io.out = &terminal;
    }
    io.guardFormulas = run.guardFormulas;
    io.failOn = run.failOn;
    io.decimal = run.decimal;
    if (!run.profiles.empty()) {
        auto extras = profileColumns(run.profiles, numbers);
        if (!extras) {
            return extras.error();
        }
        io.extras = std::move(*extras);
    }
    // Of a file only: its size is the total; a pipe's is not known. Rows
    // shown on a terminal are progress enough, and a line drawn among them
    // would break them.
    struct stat st {};
    const bool sized = !fromStdin && ::fstat(::fileno(in), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
    const bool shown = sized && console.errIsTerminal && !run.quiet && !out->isTerminal();
    Progress progress(console.err, shown, "bytes", sized ? static_cast<std::uint64_t>(st.st_size) : 0);
    if (shown) {
        io.progress = [&progress](std::uint64_t done) { progress.update(done); };
    }
    const auto ran = runBatch(io);
    progress.finish();
    if (!ran) { // the temporary goes; nothing is written under the final name
        Error error = ran.error();
        if (error.kind == ErrorKind::Input) {
            error.file = fromStdin ? std::string("stdin") : run.input;
        }
        return error;
    }
    const BatchResult& result = *ran;
    if (auto committed = out->commit(); !committed) {
        return committed.error();
    }
    if (result.unreadable > 0) {
        std::string lost; // lines inside an unclosed quote are no rows, and would go unnoticed
        if (result.linesTakenIn > 0) {
            lost = ", and " + std::to_string(result.linesTakenIn) +
                   (result.linesTakenIn == 1 ? " more line was" : " more lines were") +
                   " taken in by an unclosed quote";
        }
        return inputError(std::to_string(result.unreadable) + " of " + std::to_string(result.rows) +
                          " rows could not be read" + lost +
                          "; see their message column. The first: " + result.firstUnreadable);
    }
    if (run.failOn && result.failing > 0) {
        console.err.write("vistrel-cli batch: " + failingText(result.failing, result.rows, *run.failOn) +
                          "; the first on line " + std::to_string(result.firstFailing) + "\n");
        return kFailedOn;
    }
    return 0;
}

} // namespace vistrel::cli
