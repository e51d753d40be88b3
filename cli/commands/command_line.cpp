// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_line.h"

#include "analysis/viewpoint.h"
#include "calc/glare.h"
#include "calc/utf8.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <system_error>

namespace vistrel::cli {

namespace {

// What an empty value of a case option means, from the field's place in the table.
std::string emptyMeaning(const FieldInfo& f) {
    if (!f.start.empty()) {
        return "empty: " + std::string(f.start);
    }
    if (f.field == Field::OffAxisFactor) { // the display as bright as head-on
        return "empty: 1; luminance mode only; giving it makes the case a daylight case";
    }
    if (f.field == Field::EyePigment) {
        return "0 (very dark) to 1.2 (very light blue); empty: 0.5 (brown eyes); giving it makes the case a "
               "daylight case";
    }
    if (f.field == Field::GlareLux || f.field == Field::GlareAngleDeg) {
        return "one number per glare source, separated by ';'; empty: no glare; giving it makes the case a "
               "daylight case";
    }
    if (!f.window) {
        return "empty: 0; giving it makes the case a daylight case";
    }
    const auto sameCaption = [&](const FieldInfo& other) { return other.caption == f.caption; };
    const auto units = std::count_if(kFields.begin(), kFields.end(), sameCaption);
    switch (f.group) {
    case ModeGroup::Source:
    case ModeGroup::Illuminance:
    case ModeGroup::Luminance: {
        const std::string mode = f.group == ModeGroup::Source        ? "source"
                                 : f.group == ModeGroup::Illuminance ? "illuminance"
                                                                     : "luminance";
        return "used in mode " + mode +
               (units == 1   ? ""
                : units == 2 ? "; give one unit, the other is filled in"
                             : "; give one unit, the others are filled in");
    }
    case ModeGroup::Reflectance: return "a fraction from 0 to 1; needed unless the mode is luminance";
    case ModeGroup::None: break;
    }
    return "needed";
}

// The line of help of a case option: the quantity, its unit and what empty means.
std::string caseHelp(std::size_t column) {
    if (!kColumns[column].field) {
        return "input mode: " + std::string(kModeChoices);
    }
    const FieldInfo& f = fieldInfo(*kColumns[column].field);
    std::string help(f.caption);
    if (!f.unit.empty()) {
        help += ", " + std::string(f.unit);
    }
    if (f.field == Field::EaseOfRead) {
        return help + ": one of the levels below, or its short name; needed";
    }
    help += "; " + emptyMeaning(f);
    for (const ColumnAlias& a : kColumnAliases) {
        if (a.name == kColumns[column].name) {
            help += " (also --" + std::string(a.alias) + ")";
        }
    }
    return help;
}

// The eye point options, and the columns they set together.
constexpr std::array<const char*, 3> kPointOptions{"--eye", "--display-centre", "--display-normal"};
constexpr std::array<Field, 3> kPlacedFields{Field::ViewDist2, Field::ViewTiltDeg, Field::ViewPanDeg};

bool placedByEye(std::size_t column) {
    return std::any_of(kPlacedFields.begin(), kPlacedFields.end(),
                       [&](Field f) { return kColumns[column].field == f; });
}

} // namespace

std::string easeLevelList() {
    std::string list;
    for (std::size_t k = 0; k < kEaseLevels.size(); ++k) {
        list += "  " + std::string(kEaseAliases[k]) + std::string(12 - kEaseAliases[k].size(), ' ') +
                std::string(kEaseLevels[k].text) + "\n";
    }
    return list;
}

std::string easeHelp() { return "Ease of reading levels (short name, then level):\n" + easeLevelList(); }

void addFormulaGuardFlag(CLI::App& command, Invocation& run) {
    command.add_flag_callback(
        "--no-formula-guard", [&run] { run.guardFormulas = false; },
        "Write text cells that start with = + - @, a tab or a CR as they are, without the ' that keeps a "
        "spreadsheet from running them as formulas");
}

void addQuietFlag(CLI::App& command, Invocation& run) {
    command.add_flag("--quiet", run.quiet, "Show no progress line on stderr (shown only when stderr is a terminal)");
}

// The seed is kept as text: CLI11 would read -1 and 2^64 as 2^64 - 1.
void addDrawOptions(CLI::App& command, CommandOptions& options) {
    command.add_option("--samples", options.run.samples, "Monte Carlo samples (default 100000)")
        ->check(CLI::Range(std::uint64_t{1}, std::uint64_t{100'000'000}));
    command.add_option("--seed", options.texts.seed, "Seed of the draws, 0 to 18446744073709551615 (default 1)");
    command.add_option("--threads", options.run.threads, "Worker threads (default: every core)")
        ->check(CLI::Range(1U, 256U));
}

Expected<void> checkDraws(const CLI::App& command, CommandOptions& options) {
    if (command.count("--seed") > 0) {
        const std::string& seed = options.texts.seed;
        const char* end = seed.data() + seed.size();
        const auto [ptr, ec] = std::from_chars(seed.data(), end, options.run.seed);
        if (seed.empty() || ec != std::errc() || ptr != end) {
            return usageError("--seed \"" + seed + "\" must be a whole number from 0 to 18446744073709551615");
        }
    }
    for (const std::string& text : options.run.tolerances) {
        const auto parsed = parseTolerance(text);
        if (!parsed) {
            return usageError("--tol " + text + ": " + parsed.error().message);
        }
    }
    return {};
}

void addFailOnOption(CLI::App& command, CommandOptions& options, std::string_view choices) {
    command.add_option("--fail-on", options.texts.failOn,
                       "Exit with status 3 when a design is " + std::string(choices) +
                           "; each includes those before it");
}

std::string failingText(std::size_t failing, std::size_t total, FailOn on) {
    std::string_view why = "Not Legible or no verdict";
    if (on == FailOn::Required) {
        why = "Not Legible, no verdict, or a required check failed";
    } else if (on == FailOn::Recommended) {
        why = "Not Legible, no verdict, or a check failed";
    }
    return std::to_string(failing) + " of " + std::to_string(total) + (total == 1 ? " design fails" : " designs fail") +
           " --fail-on " + std::string(failOnText(on)) + " (" + std::string(why) + ")";
}

Expected<void> checkFailOn(const CLI::App& command, CommandOptions& options, bool checksTaken) {
    if (command.count("--fail-on") == 0) {
        return {};
    }
    const std::string& text = options.texts.failOn;
    for (const FailOn on : {FailOn::NotLegible, FailOn::Required, FailOn::Recommended}) {
        if (text == failOnText(on)) {
            options.run.failOn = on;
        }
    }
    if (!options.run.failOn) {
        return usageError("--fail-on \"" + text + "\" must be " +
                          (checksTaken ? "not-legible, required or recommended" : "not-legible"));
    }
    if (*options.run.failOn != FailOn::NotLegible) {
        if (!checksTaken) {
            return usageError("--fail-on " + text + " needs profile checks, which " + std::string(command.get_name()) +
                              " does not make; use not-legible");
        }
        if (options.run.profiles.empty()) {
            return usageError("--fail-on " + text + " needs --profile: name the profile whose " + text +
                              " checks count");
        }
    }
    return {};
}

namespace {

// --glare LUX@DEG, as the ';' lists of glare_lux and glare_angle_deg.
Expected<void> setGlare(const CaseOptions& o, Case& c) {
    const auto& glare = o.glare;
    if (o.glareOption == nullptr || o.glareOption->count() == 0) {
        return {};
    }
    const std::size_t luxColumn = *columnIndex(columnName(Field::GlareLux));
    const std::size_t angleColumn = *columnIndex(columnName(Field::GlareAngleDeg));
    for (const std::size_t k : {luxColumn, angleColumn}) {
        if (o.options[k] != nullptr && o.options[k]->count() > 0) {
            return usageError("--glare and --" + std::string(kColumns[k].name) +
                              " both give glare sources; give them one way");
        }
    }
    if (glare.size() > kMaxGlareSources) {
        return usageError("--glare is given " + std::to_string(glare.size()) + " times; at most " +
                          std::to_string(kMaxGlareSources) + " glare sources are allowed");
    }
    std::string luxes;
    std::string angles;
    for (const std::string& source : glare) {
        const std::size_t at = source.find('@');
        const auto filled = [](std::string_view part) {
            return part.find_first_not_of(" \t") != std::string_view::npos &&
                   part.find('@') == std::string_view::npos && part.find(kGlareSeparator) == std::string_view::npos;
        };
        if (at == std::string::npos || !filled(std::string_view(source).substr(0, at)) ||
            !filled(std::string_view(source).substr(at + 1))) {
            return usageError("--glare \"" + source +
                              "\" is not LUX@DEG: give the illuminance at the eye in lux, then @, then the angle from "
                              "the line of sight in degrees, for example --glare 20@5");
        }
        const char* separator = luxes.empty() ? "" : ";";
        luxes.append(separator).append(source, 0, at);
        angles.append(separator).append(source, at + 1);
    }
    c.set(luxColumn, luxes);
    c.set(angleColumn, angles);
    return {};
}

} // namespace

// The help's heading for each ColumnGroup's options.
constexpr std::array<const char*, 4> kOptionGroups{"Case", "Daylight", "Glare", "Viewing geometry"};

void CaseOptions::addTo(CLI::App& app) {
    for (std::size_t k = 0; k < kColumns.size(); ++k) {
        if (isInputColumn(k)) {
            options[k] = app.add_option("--" + std::string(kColumns[k].name), values[k], caseHelp(k))
                             ->group(kOptionGroups[static_cast<std::size_t>(columnGroup(k))]);
        }
    }
    const std::array<const char*, 3> help{
        "X,Y,Z: the eye point in vehicle coordinates, mm, +Z up; with --display-centre and --display-normal it "
        "gives viewing_distance_mm, view_tilt_deg and view_pan_deg (see docs/viewing-geometry.md)",
        "X,Y,Z: the centre of the display's face, mm; needs --eye",
        "X,Y,Z: the display's normal, pointing toward the viewer (any length); needs --eye"};
    for (std::size_t k = 0; k < kPointOptions.size(); ++k) {
        pointOptions[k] = app.add_option(kPointOptions[k], points[k], help[k])
                              ->group(kOptionGroups[static_cast<std::size_t>(ColumnGroup::Geometry)]);
    }
    addAngularOption(app, angular);
    glareOption = app.add_option("--glare", glare,
                                 "A glare source: LUX@DEG, its illuminance at the eye and its angle from the line "
                                 "of sight; repeatable, up to " +
                                     std::to_string(kMaxGlareSources) + " sources")
                      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
                      ->group(kOptionGroups[static_cast<std::size_t>(ColumnGroup::Glare)]);
}

void addAngularOption(CLI::App& command, std::string& file) {
    command
        .add_option("--angular", file,
                    "CSV of angle_deg,factor: the display's luminance off-axis, relative to head-on; each case's "
                    "off_axis_factor is read from it at its tilt and pan (luminance mode only)")
        ->group(kOptionGroups[static_cast<std::size_t>(ColumnGroup::Geometry)]);
}

Expected<std::shared_ptr<const AngularTable>> readAngularOption(const std::string& file, const NumberText& numbers) {
    if (file.empty()) {
        return std::shared_ptr<const AngularTable>();
    }
    auto table = loadAngularTable(file, numbers);
    if (!table) {
        return usageError("--angular " + table.error().text()); // a bad table is a usage error, as a bad option is
    }
    return std::shared_ptr<const AngularTable>(std::make_shared<const AngularTable>(std::move(*table)));
}

bool CaseOptions::added() const {
    return std::any_of(options.begin(), options.end(), [](const CLI::Option* o) { return o != nullptr; });
}

Expected<void> CaseOptions::checkMode() const {
    for (std::size_t k = 0; k < kColumns.size(); ++k) {
        if (!kColumns[k].field && options[k] != nullptr && options[k]->count() > 0 && !Case().set(k, values[k])) {
            return usageError("--mode: must be " + std::string(kModeChoices));
        }
    }
    return {};
}

Expected<Case> CaseOptions::build(const NumberText& numbers) const {
    Case c;
    if (!file.empty()) { // the file first: every option given goes over it, an empty one too
        auto read = readCaseFile(file);
        if (!read) {
            return read.error();
        }
        for (const CaseFileValue& v : *read) {
            if (options[v.column] != nullptr && options[v.column]->count() > 0) {
                continue;
            }
            const auto bad = [&](const std::string& why) -> Error {
                return {ErrorKind::Usage, why, "--case " + file, v.line};
            };
            if (kColumns[v.column].field == Field::EaseOfRead && !v.text.empty() && !easeLevel(v.text)) {
                return bad("ease \"" + v.text + "\" is not an ease of reading level" + std::string(kLevelsFollow));
            }
            if (!c.set(v.column, v.text)) {
                return bad("mode \"" + v.text + "\" must be " + std::string(kModeChoices));
            }
        }
    }
    for (std::size_t k = 0; k < kColumns.size(); ++k) {
        if (options[k] == nullptr || options[k]->count() == 0) {
            continue;
        }
        if (kColumns[k].field == Field::EaseOfRead && !values[k].empty() && !easeLevel(values[k])) {
            return usageError("--ease \"" + values[k] + "\" is not an ease of reading level" +
                              std::string(kLevelsFollow));
        }
        if (!c.set(k, values[k])) {
            return usageError("--mode: must be " + std::string(kModeChoices));
        }
    }
    if (auto placed = placeByEye(c, numbers); !placed) {
        return placed.error();
    }
    auto table = readAngularOption(angular, numbers);
    if (!table) {
        return table.error();
    }
    if (*table) {
        if (c.mode() == Mode::Source || c.mode() == Mode::Illuminance) {
            return usageError("--angular applies only in luminance mode, where the display emits its own light");
        }
        if (c.given(*columnIndex(fieldInfo(Field::OffAxisFactor).key))) {
            return usageError("give --angular or --off_axis_factor, not both: each sets the off-axis factor");
        }
        c.setAngular(std::move(*table));
    }
    if (auto sources = setGlare(*this, c); !sources) {
        return sources.error();
    }
    return c;
}

bool CaseOptions::eyeGiven() const {
    return std::any_of(pointOptions.begin(), pointOptions.end(),
                       [](const CLI::Option* o) { return o != nullptr && o->count() > 0; });
}

Expected<void> CaseOptions::placeByEye(Case& c, const NumberText& numbers) const {
    if (!eyeGiven()) {
        return {};
    }
    std::string missing;
    for (std::size_t k = 0; k < kPointOptions.size(); ++k) {
        if (pointOptions[k]->count() == 0) {
            missing += (missing.empty() ? "" : " and ") + std::string(kPointOptions[k]);
        }
    }
    if (!missing.empty()) {
        return usageError("--eye, --display-centre and --display-normal go together: " + missing +
                          (missing.find(" and ") == std::string::npos ? " is" : " are") + " missing");
    }
    for (std::size_t k = 0; k < kColumns.size(); ++k) {
        if (placedByEye(k) && options[k] != nullptr && options[k]->count() > 0) {
            return usageError("--" + std::string(kColumns[k].name) +
                              " and --eye both give it: the eye point sets viewing_distance_mm, view_tilt_deg "
                              "and view_pan_deg; give one or the other");
        }
    }
    std::array<Vec3, 3> at{};
    for (std::size_t k = 0; k < kPointOptions.size(); ++k) {
        auto point = parsePoint(points[k], numbers, kPointOptions[k]);
        if (!point) {
            return point.error();
        }
        at[k] = *point;
    }
    return placeEye(c, at[0], {at[1], at[2]}, numbers, "--eye " + points[0]);
}

Expected<void> CaseOptions::refuseFixedByEye(std::size_t column, std::string_view what) const {
    if (eyeGiven() && placedByEye(column)) {
        return usageError(std::string(what) + " " + std::string(kColumns[column].name) +
                          ": --eye fixes it; give --viewing_distance_mm, --view_tilt_deg and --view_pan_deg "
                          "instead of the eye point to change it");
    }
    return {};
}

// Long option names as typed: hyphens for underscores, and the clearer aliases.
std::string canonicalOption(const std::string& arg, const std::vector<std::string>& known) {
    if (arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
        return arg;
    }
    const std::size_t equals = arg.find('=');
    std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    std::replace(name.begin(), name.end(), '-', '_');
    for (const ColumnAlias& a : kColumnAliases) {
        if (name == a.alias) {
            name = a.name;
        }
    }
    if (std::find(known.begin(), known.end(), "--" + name) == known.end()) {
        return arg;
    }
    return "--" + name + (equals == std::string::npos ? "" : arg.substr(equals));
}

// The long names an app takes.
std::vector<std::string> longNames(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::Option* o : app.get_options()) {
        for (const std::string& n : o->get_lnames()) {
            names.push_back("--" + n);
        }
    }
    return names;
}

// The known name nearest to name, when it is near enough to be meant.
std::optional<std::string> nearest(const std::string& name, const std::vector<std::string>& known) {
    if (name.size() > 64) {
        return std::nullopt; // no name is that long, and the distances would be slow to find
    }
    const auto best = std::min_element(known.begin(), known.end(), [&](const auto& a, const auto& b) {
        return editDistance(name, a) < editDistance(name, b);
    });
    if (best == known.end() || editDistance(name, *best) > std::max<std::size_t>(2, name.size() / 4)) {
        return std::nullopt;
    }
    return *best;
}

// "unknown option --x; did you mean --y?" for what the command did not take.
std::string unexpected(const std::string& arg, const std::vector<std::string>& known) {
    if (arg.compare(0, 1, "-") != 0) {
        return "unexpected argument \"" + arg + "\"";
    }
    const std::string name = arg.substr(0, arg.find('='));
    std::string underscored = name;
    std::replace(underscored.begin() + (name.starts_with("--") ? 2 : 0), underscored.end(), '-', '_');
    const auto meant = nearest(underscored, known);
    return "unknown option " + name + (meant ? "; did you mean " + *meant + "?" : "");
}

Expected<double> readNumber(std::string_view option, const std::string& text, const NumberText& numbers) {
    const ParsedNumber parsed = numbers.parse(text);
    if (!parsed.ok()) {
        return usageError(std::string(option) + " \"" + text + "\" is not a number");
    }
    return parsed.value;
}

std::string escaped(std::string_view text) {
    std::string out;
    const auto hex = [&](unsigned char c) {
        std::array<char, 5> code{};
        std::snprintf(code.data(), code.size(), "\\x%02X", c);
        out += code.data();
    };
    while (!text.empty()) {
        const std::size_t length = utf8::sequenceLength(text);
        const auto lead = static_cast<unsigned char>(text[0]);
        if (length == 0 || (length == 1 && (lead < 0x20 || lead == 0x7F))) {
            hex(lead);
            text.remove_prefix(1);
            continue;
        }
        if (length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0) {
            hex(lead); // C1 controls, such as the one-byte CSI
            hex(static_cast<unsigned char>(text[1]));
        } else {
            out += text.substr(0, length);
        }
        text.remove_prefix(length);
    }
    return out;
}

std::string escapedLines(std::string_view text) {
    std::string out;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        out += escaped(text.substr(start, end - start));
        if (end < text.size()) {
            out += '\n';
        }
        start = end + 1;
    }
    return out;
}

std::string usageMessage(std::string_view command, std::string_view message) {
    return "vistrel-cli " + std::string(command) + ": " + escaped(message) + "\nRun 'vistrel-cli " +
           std::string(command) + " --help' for more information.\n";
}

std::string errorMessage(std::string_view command, const Error& error) {
    const std::string who = command.empty() ? std::string("vistrel-cli") : "vistrel-cli " + std::string(command);
    if (error.kind != ErrorKind::Usage) {
        return error.message.empty() ? std::string() : who + ": " + escaped(error.text()) + "\n";
    }
    const std::string levels = error.message.ends_with(kLevelsFollow) ? easeLevelList() : std::string();
    return who + ": " + escaped(error.text()) + "\n" + levels + "Run '" + who + " --help' for more information.\n";
}

int exitStatus(const Error& error) { return error.kind == ErrorKind::Usage ? kUsageError : 1; }

} // namespace vistrel::cli
