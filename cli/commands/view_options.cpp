// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands.h"

#include <CLI/CLI.hpp>

#include <algorithm>

namespace vistrel::cli {

void addViewOptions(CLI::App& command, CommandOptions& options) {
    Invocation& run = options.run;
    addAngularOption(command, run.angular);
    const std::string group = "Viewing geometry";
    command
        .add_option("--eye-points", run.eyePoints,
                    "CSV of name,x,y,z in mm, vehicle coordinates: every design is judged from every eye point "
                    "(needs --display-centre and --display-normal)")
        ->group(group);
    command.add_option("--display-centre", options.texts.displayCentre, "X,Y,Z in mm: the display's centre")
        ->group(group);
    command
        .add_option("--display-normal", options.texts.displayNormal, "X,Y,Z: the display's normal, toward the viewer")
        ->group(group);
}

Expected<void> finishViewOptions(const CLI::App& command, CommandOptions& options, const NumberText& numbers) {
    Invocation& run = options.run;
    auto table = readAngularOption(run.angular, numbers);
    if (!table) {
        return table.error();
    }
    run.angularTable = std::move(*table);
    const bool placed = command.count("--display-centre") > 0 && command.count("--display-normal") > 0;
    if (command.count("--eye-points") == 0) {
        if (command.count("--display-centre") > 0 || command.count("--display-normal") > 0) {
            return usageError("--display-centre and --display-normal place the display for --eye-points, which is "
                              "not given");
        }
        return {};
    }
    if (!placed) {
        return usageError("--eye-points needs --display-centre and --display-normal: each eye point is seen against "
                          "the display's place");
    }
    const auto centre = parsePoint(options.texts.displayCentre, numbers, "--display-centre");
    if (!centre) {
        return centre.error();
    }
    const auto normal = parsePoint(options.texts.displayNormal, numbers, "--display-normal");
    if (!normal) {
        return normal.error();
    }
    run.display = {*centre, *normal};
    auto eyes = loadEyePoints(run.eyePoints, numbers);
    if (!eyes) {
        return usageError("--eye-points " + eyes.error().text()); // a bad file is a usage error, as a bad option is
    }
    run.eyes = std::move(*eyes);
    // Every eye is placed now, so that one the display cannot be seen from stops the run before any output.
    if (auto views = conditionsFromEyePoints({}, run.eyes, run.display, numbers, run.eyePoints); !views) {
        return usageError("--eye-points " + views.error().text());
    }
    return {};
}

Expected<std::vector<NamedRow>> gridConditions(const Invocation& run, std::vector<NamedRow> conditions,
                                               const NumberText& numbers) {
    if (run.eyes.empty()) {
        return conditions;
    }
    return conditionsFromEyePoints(conditions, run.eyes, run.display, numbers, run.eyePoints);
}

Case designStart(const Invocation& run, ColumnSet shown) {
    Case blank(shown);
    blank.setAngular(run.angularTable);
    return blank;
}

std::vector<NamedRow> eyeViews(const Invocation& run, const NumberText& numbers) {
    auto views = conditionsFromEyePoints({}, run.eyes, run.display, numbers, run.eyePoints);
    if (run.eyes.empty() || !views) {
        return {};
    }
    if (run.angularTable) {
        const std::size_t factor = *columnIndex(fieldInfo(Field::OffAxisFactor).key);
        for (NamedRow& view : *views) {
            const auto at = [&view](Field f) {
                const std::size_t column = *columnIndex(fieldInfo(f).key);
                return std::find_if(view.cells.begin(), view.cells.end(),
                                    [column](const auto& cell) { return cell.first == column; })
                    ->second;
            };
            const auto text = run.angularTable->factorText(at(Field::ViewTiltDeg), at(Field::ViewPanDeg), numbers);
            view.cells.emplace_back(factor, text ? *text : "outside the table");
        }
    }
    return std::move(*views);
}

std::string eyePointLines(const Invocation& run, const NumberText& numbers) {
    const auto views = eyeViews(run, numbers);
    if (views.empty()) {
        return {};
    }
    std::string out = "Eye points (" + escaped(run.eyePoints) + "):\n";
    for (const NamedRow& view : views) {
        out += "  " + escaped(view.name);
        for (const auto& [column, text] : view.cells) {
            out += (column == view.cells.front().first ? ": " : ", ") + std::string(kColumns[column].name) + " " + text;
        }
        out += '\n';
    }
    return out;
}

} // namespace vistrel::cli
