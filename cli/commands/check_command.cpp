// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/profile.h"
#include "analysis/review.h"
#include "check_table.h"
#include "command_table.h"
#include "commands.h"
#include "csv_reader.h"
#include "json_shape.h"
#include "notes_text.h"
#include "review.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <sstream>

namespace vistrel::cli {

namespace {

QuantityValues quantities(const Case& c, const Evaluation& e, const NumberText& numbers) {
    return quantitiesFromRow(
        [&](std::string_view column) -> std::optional<std::string_view> {
            if (column == kMarginColumn) {
                return std::string_view(e.margin);
            }
            const auto k = columnIndex(column);
            if (!k || !c.shown().shows(*k)) {
                return std::nullopt;
            }
            return c.view(*k);
        },
        numbers);
}

std::string number(std::optional<double> v, const NumberText& numbers) {
    return v ? numbers.plain(NumberText::roundThreeDecimals(*v)) : std::string("-");
}

std::string limitText(const CheckResult& r, const NumberText& numbers) {
    if (r.criterion->kind == CriterionKind::Range) {
        const std::string band = number(r.low, numbers) + ".." + number(r.high, numbers);
        const bool target = r.criterion->target && r.low && r.high;
        return target ? band + " (target " + number(r.criterion->target, numbers) + ")" : band;
    }
    return number(r.limit, numbers);
}

// "id (recommended)" for the failed_checks list.
std::string failedList(std::span<const CheckResult> results, std::string_view prefix) {
    std::string out;
    for (const CheckResult& r : results) {
        if (countsAsFailed(r.status, r.criterion->level)) {
            out += (out.empty() ? "" : "; ") + std::string(prefix) + r.criterion->id;
            if (r.criterion->level == Level::Recommended) {
                out += " (recommended)";
            }
        }
    }
    return out;
}

// One worker's columns: the profiles are shared, the compiled expressions its own.
class ProfileColumns final : public ExtraColumns {
  public:
    ProfileColumns(std::shared_ptr<const std::vector<Profile>> profiles, const NumberText& numbers)
        : profiles_(std::move(profiles)), numbers_(numbers) {
        checkers_.reserve(profiles_->size());
        for (const Profile& p : *profiles_) {
            checkers_.emplace_back(p);
        }
    }

    [[nodiscard]] std::vector<std::string> names() const override {
        std::vector<std::string> out;
        for (const Profile& p : *profiles_) {
            for (const Criterion& c : p.criteria()) {
                out.push_back(prefix(p) + c.id);
            }
        }
        out.emplace_back("failed_checks");
        return out;
    }

    [[nodiscard]] std::vector<std::string> cells(const Case& c, const Evaluation& e) override {
        const QuantityValues values = quantities(c, e, numbers_);
        std::vector<std::string> out;
        std::string failed;
        failed_ = {};
        for (ProfileChecker& checker : checkers_) {
            const Profile& p = checker.profile();
            const auto results = checker.check(values);
            for (const CheckResult& r : results) {
                out.emplace_back(statusText(r.status));
                if (countsAsFailed(r.status, r.criterion->level)) {
                    ++(r.criterion->level == Level::Required ? failed_.required : failed_.recommended);
                }
            }
            const std::string list = failedList(results, prefix(p));
            failed += (failed.empty() || list.empty() ? "" : "; ") + list;
        }
        out.push_back(std::move(failed));
        return out;
    }

    [[nodiscard]] FailedCount failed() const override { return failed_; }

  private:
    [[nodiscard]] std::string prefix(const Profile& p) const {
        return profiles_->size() > 1 ? p.name() + "." : std::string();
    }

    std::shared_ptr<const std::vector<Profile>> profiles_;
    std::vector<ProfileChecker> checkers_;
    const NumberText& numbers_;
    FailedCount failed_;
};

} // namespace

Expected<std::vector<Profile>> loadProfiles(const std::vector<std::string>& names) {
    std::vector<Profile> profiles;
    const auto dirs = profileSearchDirs(programDir());
    for (const std::string& name : names) {
        const auto file = findProfile(name, dirs);
        if (!file) {
            return usageError("--profile " + name +
                              ": no such profile (a built-in name, or a .toml file); the built-in ones " +
                              "are looked up in " + placesText(dirs));
        }
        auto loaded = loadProfile(*file);
        if (!loaded) {
            return usageError(loaded.error().text()); // a bad profile is a usage error, as a bad option is
        }
        profiles.push_back(std::move(*loaded));
    }
    return profiles;
}

Expected<ExtraColumnsFactory> profileColumns(const std::vector<std::string>& names, const NumberText& numbers) {
    auto loaded = loadProfiles(names);
    if (!loaded) {
        return loaded.error();
    }
    // Read once: a profile changed or removed during the run changes nothing.
    auto profiles = std::make_shared<const std::vector<Profile>>(std::move(*loaded));
    return ExtraColumnsFactory([profiles, &numbers]() -> std::unique_ptr<ExtraColumns> {
        return std::make_unique<ProfileColumns>(profiles, numbers);
    });
}

Expected<CommandResult> runCheck(Invocation& run, const NumberText& numbers) {
    CommandResult result;
    auto loaded = loadProfiles(run.profiles);
    if (!loaded) {
        return loaded.error();
    }
    const std::vector<Profile> profiles = std::move(*loaded);
    if (auto missing = refuseMissing(run.base); !missing) {
        return missing.error();
    }
    run.base.makeDaylight(); // contrast ratio, modulation and polarity are daylight outputs
    Evaluation e = evaluate(run.base, numbers);
    addNotes(run.base, e, numbers);
    const QuantityValues values = quantities(run.base, e, numbers);
    bool pass = true;
    std::ostringstream text;
    nlohmann::ordered_json json = caseJson(run.base, e, numbers);
    json["profiles"] = nlohmann::ordered_json::array();
    std::string table = run.output.empty() ? std::string() : checkTableHeader() + '\n';
    text << (e.hasVerdict() ? "Verdict: " + run.base.store().text(Field::Result) + ", margin_log " + e.margin
                            : "No verdict: " + e.message)
         << '\n';
    if (e.hasVerdict() && !e.notes.empty()) {
        text << "Notes: " << e.notes << '\n';
    }
    for (const Profile& p : profiles) {
        const auto results = ProfileChecker(p).check(values);
        const bool profilePass = allRequiredPass(results);
        if (!table.empty()) {
            appendCheckRows(table, p, results, run.guardFormulas);
        }
        pass = pass && profilePass;
        // Names, titles and sources come from profile files: shown as \xNN, they cannot drive a terminal.
        text << "\nProfile " << escaped(p.name()) << (p.title().empty() ? "" : " (" + escaped(p.title()) + ")") << ": "
             << (profilePass ? "every required criterion passes" : "a required criterion fails") << '\n';
        nlohmann::ordered_json criteria = nlohmann::ordered_json::array();
        for (const CheckResult& r : results) {
            const Criterion& c = *r.criterion;
            text << "  " << statusText(r.status) << "  " << escaped(c.id) << " (" << levelText(c.level)
                 << "): " << kQuantities[c.quantity].name << " " << number(r.value, numbers) << ", " << kindText(c.kind)
                 << " " << limitText(r, numbers) << ", margin " << number(r.margin, numbers) << " (ratio "
                 << number(r.marginRatio, numbers) << ")" << (r.note.empty() ? "" : "; " + escaped(r.note))
                 << "\n      source: " << escaped(citationText(c.source, c.withdrawn, c.supersededBy)) << '\n';
            criteria.push_back({{"id", c.id},
                                {"quantity", kQuantities[c.quantity].name},
                                {"kind", kindText(c.kind)},
                                {"level", levelText(c.level)},
                                {"value", jsonNumber(r.value)},
                                {"limit", jsonNumber(r.limit)},
                                {"low", jsonNumber(r.low)},
                                {"high", jsonNumber(r.high)},
                                {"target", jsonNumber(c.target)},
                                {"margin", jsonNumber(r.margin)},
                                {"margin_ratio", jsonNumber(r.marginRatio)},
                                {"status", statusText(r.status)},
                                {"source", c.source},
                                {"withdrawn", jsonText(c.withdrawn)},
                                {"superseded_by", jsonText(c.supersededBy)},
                                {"note", jsonText(r.note)}});
        }
        json["profiles"].push_back({{"name", p.name()},
                                    {"title", jsonText(p.title())},
                                    {"passed", profilePass},
                                    {"criteria", std::move(criteria)}});
    }
    json["passed"] = pass;
    // On stdout the table takes the report's place.
    result.out = run.output == "-" ? std::string() : run.json ? dumped(json) : text.str();
    result.table = std::move(table);
    result.status = pass ? 0 : 1;
    return result;
}

namespace {

constexpr std::string_view kCheckFooter =
    "Example:\n  vistrel-cli check --profile text-legibility --profile faa-distance --mode luminance "
    "--letter_cdm2 500 --background_cdm2 10 --age 40 --letter_height_mm 6 --viewing_distance_mm 750 --ratio 7 "
    "--ease 90 --ambient_lux 5000 --display_reflectance 0.02\n"
    "With -o, a table of every criterion's numbers in full, one row each; -o - writes it to stdout in place of "
    "the report.\n"
    "A profile holds at most 200 criteria in 1 MiB.\n"
    "Exit status: 0 when every required criterion passes; 1 when one fails or the output could not be "
    "written; 2 for a usage error or a bad profile.";

} // namespace

void addCheckOptions(CLI::App& command, CommandOptions& options) {
    command.add_option("--profile", options.run.profiles, "A built-in profile's name or a .toml file; repeatable")
        ->required();
    command.add_flag("--json", options.run.json, "Print JSON");
    command.add_option("-o,--output", options.run.output,
                       "Also write a table of the criteria: CSV, or a workbook for a name ending in .xlsx");
    addFormulaGuardFlag(command, options.run);
    addSheetOptions(command, options, false);
    options.caseOptions.addTo(command);
    addCaseFileOption(command, options.caseOptions);
    command.footer(easeHelp() + std::string(kCheckFooter));
}

Expected<void> finishCheck(const CLI::App& command, CommandOptions& options, const NumberText& /*numbers*/) {
    if (options.run.json && options.run.output == "-") {
        return usageError("-o - writes the table to stdout and --json writes the report there: give one");
    }
    return finishSheetOptions(command, options, false, false);
}

Expected<int> runCheckCommand(Invocation& run, Console& console, const NumberText& numbers) {
    const auto result = runCheck(run, numbers);
    if (!result) {
        return result.error();
    }
    return writeReport(run, console, *result);
}

} // namespace vistrel::cli
