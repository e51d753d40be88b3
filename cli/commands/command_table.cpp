// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_table.h"

#include "commands.h"
#include "data_dirs.h"
#include "output_file.h"
#include "plotter.h"
#include "vistrel/version.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>
#include <sstream>
#include <unistd.h>

namespace vistrel::cli {

namespace {

constexpr std::string_view kAppFooter =
    "An option given twice takes its last value; --letter-height-mm is --letter_height_mm.\n"
    "Exit status: 0 on success, 1 when the command found no verdict or answer or could not write, "
    "2 for a usage error; see each command's --help, or vistrel-cli help COMMAND.";

// "eval, batch, ... and report", from the table.
std::string commandList() {
    std::string list;
    for (std::size_t k = 0; k < kCommands.size(); ++k) {
        list += (k == 0 ? "" : k + 1 == kCommands.size() ? " and " : ", ") + std::string(kCommands[k].name);
    }
    return list;
}

// What an option's value is, as its help shows it, in place of CLI11's TEXT or UINT and its range.
constexpr std::array<std::pair<std::string_view, std::string_view>, 45> kPlaceholders{{
    {"output", "FILE"},
    {"input", "FILE"},
    {"designs", "FILE"},
    {"image", "FILE"},
    {"case", "FILE"},
    {"angular", "FILE"},
    {"conditions", "FILE"},
    {"display", "FILE"},
    {"eye-points", "FILE"},
    {"regions", "FILE"},
    {"review-meta", "FILE"},
    {"plot", "FILE"},
    {"table", "FILE"},
    {"screen", "IMAGE"},
    {"profile", "PROFILE"},
    {"approved-by", "NAME"},
    {"prepared-by", "NAME"},
    {"doc-id", "ID"},
    {"revision", "REVISION"},
    {"date", "DATE"},
    {"title", "TITLE"},
    {"comfortable-margin", "NUMBER"},
    {"mm-per-pixel", "NUMBER"},
    {"pixel-pitch-mm", "NUMBER"},
    {"width-mm", "NUMBER"},
    {"white-cdm2", "NUMBER"},
    {"black-cdm2", "NUMBER"},
    {"min", "NUMBER"},
    {"max", "NUMBER"},
    {"transfer", "CURVE"},
    {"delimiter", "CHAR"},
    {"output-delimiter", "CHAR"},
    {"decimal", "MARK"},
    {"display-centre", "X,Y,Z"},
    {"display-normal", "X,Y,Z"},
    {"eye", "X,Y,Z"},
    {"fail-on", "LEVEL"},
    {"for", "NAME"},
    {"glare", "LUX@DEG"},
    {"plot-size", "WxH"},
    {"samples", "N"},
    {"seed", "N"},
    {"threads", "N"},
    {"tol", "NAME=SPREAD"},
    {"vary", "NAME=FROM:TO:STEP"},
}};

std::string_view placeholder(const std::string& name) {
    for (const auto& [option, text] : kPlaceholders) {
        if (option == name) {
            return text;
        }
    }
    if (const auto column = columnIndex(name)) {
        const auto field = kColumns[*column].field;
        if (!field) {
            return "MODE";
        }
        if (*field == Field::EaseOfRead) {
            return "LEVEL";
        }
        return *field == Field::GlareLux || *field == Field::GlareAngleDeg ? "LIST" : "NUMBER";
    }
    return "VALUE";
}

void namePlaceholders(CLI::App& command) {
    for (CLI::Option* o : command.get_options()) {
        if (o->get_expected_max() == 0) {
            continue; // a flag
        }
        std::string text(placeholder(o->get_single_name()));
        if (o->get_expected_max() == CLI::detail::expected_max_vector_size) {
            text += " ...";
        }
        if (o->get_required()) {
            text += " REQUIRED";
        }
        o->option_text(text);
    }
}

ParsedCommandLine usageOf(std::string_view command, const std::string& message) {
    return {usageError(message), command};
}

// No output may replace what the command reads, whatever name leads to it.
Expected<void> refuseOverwrite(const Invocation& run) {
    const std::vector<std::string> inputs = inputFiles(run, programDir());
    for (const auto& [output, what] : {std::pair{&run.output, "the output "}, std::pair{&run.plot, "the plot "},
                                       std::pair{&run.screen.table, "the table "}}) {
        for (const std::string& input : inputs) {
            if (!output->empty() && *output != "-" && !input.empty() && wouldOverwrite(*output, input)) {
                return usageError(what + *output + " would overwrite the input " + (input == "-" ? "on stdin" : input));
            }
        }
    }
    return {};
}

int failWith(Console& console, std::string_view command, const Error& error) {
    console.err.write(errorMessage(command, error));
    return exitStatus(error);
}

// The arguments as CLI11 takes them, last first, with long names spelt as the
// command named knows them; named is that command, or null.
std::vector<std::string> reversedArguments(std::span<const std::string> args, std::span<CLI::App* const> commands,
                                           const CLI::App*& named) {
    std::vector<std::string> reversed;
    std::vector<std::string> known;
    for (std::size_t k = 1; k < args.size(); ++k) {
        for (CLI::App* command : commands) {
            if (named == nullptr && args[k] == command->get_name()) {
                named = command;
                known = longNames(*command);
            }
        }
        reversed.push_back(args[k] == "--" ? args[k] : canonicalOption(args[k], known));
    }
    std::reverse(reversed.begin(), reversed.end());
    return reversed;
}

ParsedCommandLine unknownCommand(const std::string& name) {
    std::vector<std::string> names;
    names.reserve(kCommands.size());
    for (const CommandRow& row : kCommands) {
        names.emplace_back(row.name);
    }
    const auto meant = nearest(name, names);
    return usageOf({}, "unknown command \"" + name + "\"; " +
                           (meant ? "did you mean " + *meant + "?" : "the commands are " + commandList()));
}

// The case options as given, then the command's own checks.
ParsedCommandLine finishCommand(const CommandRow& row, const CLI::App& command, CommandOptions& o,
                                const NumberText& numbers) {
    o.run.command = row.id;
    if (o.caseOptions.added()) {
        if (auto mode = o.caseOptions.checkMode(); !mode) {
            return {mode.error(), row.name}; // worded as CLI11 words a bad value
        }
        auto base = o.caseOptions.build(numbers);
        if (!base) {
            return {base.error(), row.name};
        }
        o.run.base = std::move(*base);
        o.run.angular = o.caseOptions.angular; // inputs, for -o not to overwrite
        o.run.caseFile = o.caseOptions.file;
    }
    if (auto finished = row.finish(command, o, numbers); !finished) {
        return {finished.error(), row.name};
    }
    return {Request{std::move(o.run), {}}, row.name};
}

} // namespace

std::string_view Invocation::name() const { return commandRow(command).name; }

ParsedCommandLine parseCommandLine(std::span<const std::string> args, const NumberText& numbers) {
    CLI::App app{"vistrel-cli: judges whether display lettering can be read, for one case or many.\n"
                 "Every value is a field's text as typed in the window, with a point as decimal separator.",
                 "vistrel-cli"};
    app.set_version_flag("--version", "vistrel-cli " VISTREL_VERSION "\n"
                                      "Copyright (C) 2026 Vistrel developers\n"
                                      "License GPL-3.0-or-later <https://gnu.org/licenses/gpl.html>.\n"
                                      "This is free software: you are free to change and redistribute it.\n"
                                      "There is NO WARRANTY, to the extent permitted by law.");
    app.require_subcommand(1);
    app.footer(std::string(kAppFooter));
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    // Each command reads into its own options; only the one given is used.
    auto options = std::make_unique<std::array<CommandOptions, kCommandCount>>();
    std::array<CLI::App*, kCommandCount> commands{};
    for (const CommandRow& row : kCommands) {
        const auto k = static_cast<std::size_t>(row.id);
        commands[k] = app.add_subcommand(std::string(row.name), std::string(row.summary));
        row.addOptions(*commands[k], (*options)[k]);
        namePlaceholders(*commands[k]);
        commands[k]->allow_extras(); // reported below, with the nearest name
    }

    // help [COMMAND]: the same text as --help, or COMMAND --help.
    if (args.size() > 1 && args[1] == "help") {
        if (args.size() > 3) {
            return usageOf({}, "help takes at most one command name, not \"" + args[3] + "\"");
        }
        std::vector<std::string> asked{args[0]};
        if (args.size() == 3) {
            if (std::none_of(kCommands.begin(), kCommands.end(),
                             [&](const CommandRow& row) { return row.name == args[2]; })) {
                return unknownCommand(args[2]);
            }
            asked.push_back(args[2]);
        }
        asked.emplace_back("--help");
        return parseCommandLine(asked, numbers);
    }
    const CLI::App* named = nullptr;
    std::vector<std::string> reversed = reversedArguments(args, commands, named);
    if (args.size() > 1 && !args[1].empty() && args[1][0] != '-' && named == nullptr) {
        return unknownCommand(args[1]);
    }
    const auto helpOrVersion = [&app](const CLI::Error& e) -> ParsedCommandLine {
        std::ostringstream out;
        std::ostringstream err;
        app.exit(e, out, err);
        return {Request{std::nullopt, out.str()}, {}};
    };
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp& e) {
        return helpOrVersion(e);
    } catch (const CLI::CallForAllHelp& e) {
        return helpOrVersion(e);
    } catch (const CLI::CallForVersion& e) {
        return helpOrVersion(e);
    } catch (const CLI::Error& e) {
        if (std::none_of(commands.begin(), commands.end(),
                         [](const CLI::App* c) { return c->parsed() && !c->remaining().empty(); })) {
            // else a misspelt option reads better than what it left missing
            const auto* row = std::find_if(kCommands.begin(), kCommands.end(), [&](const CommandRow& r) {
                return named != nullptr && r.name == named->get_name();
            });
            return usageOf(row == kCommands.end() ? std::string_view() : row->name, e.what());
        }
    }
    // The command given, and what it did not take, if anything.
    const auto k = static_cast<std::size_t>(
        std::find_if(commands.begin(), commands.end(), [](const CLI::App* c) { return c->parsed(); }) -
        commands.begin());
    if (k == kCommandCount) {
        return usageOf({}, "A subcommand is required");
    }
    if (!commands[k]->remaining().empty()) {
        return usageOf(kCommands[k].name, unexpected(commands[k]->remaining().front(), longNames(*commands[k])));
    }
    return finishCommand(kCommands[k], *commands[k], (*options)[k], numbers);
}

std::vector<std::string> inputFiles(const Invocation& run, const std::filesystem::path& programDir) {
    const Command c = run.command;
    std::vector<std::string> files;
    if (c == Command::Batch || c == Command::Conditions || c == Command::Report) {
        files.push_back(run.input);
    }
    if (c == Command::Conditions || c == Command::Report) {
        files.push_back(conditionsFile(run.conditions, conditionsSearchDirs(programDir)));
    }
    if (c == Command::Report && !run.reviewMeta.empty()) {
        files.push_back(run.reviewMeta);
    }
    for (const std::string* file :
         {&run.angular, &run.caseFile, &run.eyePoints, &run.screen.image, &run.screen.display, &run.screen.regions}) {
        if (!file->empty()) {
            files.push_back(*file);
        }
    }
    const auto dirs = profileSearchDirs(programDir);
    for (const std::string& name : run.profiles) {
        if (const auto file = findProfile(name, dirs)) {
            files.push_back(file->string());
        }
    }
    return files;
}

bool needsScreenJudge(const Invocation& run) { return run.command == Command::Screen || !run.screen.image.empty(); }

namespace {

// Becomes vistrel-screen, which parses the same args again; nothing has been
// written yet. Returns only when that cannot be done.
Error handOffToScreen(std::span<const std::string> args) {
    const std::string program = findHelper("vistrel-screen");
    if (program.empty()) {
        return outputError("cannot judge a screen: vistrel-screen, which does, is neither beside vistrel-cli nor in "
                           "../libexec/vistrel; reinstall the vistrel-cli package");
    }
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str())); // NOLINT(cppcoreguidelines-pro-type-const-cast): execv's type
    }
    argv.push_back(nullptr);
    std::cout.flush();
    std::cerr.flush();
    ::execv(program.c_str(), argv.data());
    return outputError("cannot run " + program + ": " + std::strerror(errno));
}

} // namespace

int runCommandLine(std::span<const std::string> args, Console& console, const NumberText& numbers, ScreenJudge judge) {
    ParsedCommandLine parsed = parseCommandLine(args, numbers);
    if (!parsed.request) {
        return failWith(console, parsed.command, parsed.request.error());
    }
    if (!parsed.request->invocation) {
        if (!console.out.write(parsed.request->help)) {
            return failWith(console, {}, console.out.failure());
        }
        return 0;
    }
    Invocation& run = *parsed.request->invocation;
    const CommandRow& row = commandRow(run.command);
    if (needsScreenJudge(run) && judge == nullptr) {
        return failWith(console, row.name, handOffToScreen(args));
    }
    run.judgeScreen = judge;
    if (auto refused = refuseOverwrite(run); !refused) {
        return failWith(console, row.name, refused.error());
    }
    const Expected<int> status = row.run(run, console, numbers);
    if (!status) {
        return failWith(console, row.name, status.error());
    }
    return *status;
}

} // namespace vistrel::cli
