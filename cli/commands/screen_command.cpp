// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_table.h"
#include "commands.h"
#include "csv_reader.h"
#include "json_shape.h"
#include "notes_text.h"
#include "output_file.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <optional>

namespace vistrel::cli {

namespace {

// In the order of CommandOptions::Texts::screen.
constexpr std::array<std::string_view, 7> kScreenNumberOptions{"--white-cdm2",        "--black-cdm2", "--transfer",
                                                               "--pixel-pitch-mm",    "--width-mm",   "--mm-per-pixel",
                                                               "--comfortable-margin"};
enum ScreenText : std::size_t { White, Black, TransferText, Pitch, Width, MmPerPixel, Comfortable };

std::string_view polarityText(const screen::RegionResult& r) {
    if (!r.measured.ok()) {
        return {};
    }
    return r.measured.lightOnDark ? "light-on-dark" : "dark-on-light";
}

// The case's columns the table shows after the region's own.
constexpr std::array<std::string_view, 10> kCaseColumns{
    columnName(Field::LetterLumCDM), columnName(Field::BackLumCDM),
    columnName(Field::LetterHT2),    columnName(Field::LHSW),
    columnName(Field::LetterSize),   columnName(Field::ThresholdCon),
    columnName(Field::ActualCon),    kMarginColumn,
    columnName(Field::Result),       kMessageColumn};

} // namespace

void addScreenImageOptions(CLI::App& command, CommandOptions& options) {
    ScreenRequest& s = options.run.screen;
    auto& texts = options.texts.screen;
    const std::array<std::string, 7> help{
        "The display's white, cd/m²: the luminance of a full-white pixel (overrides --display)",
        "The display's black, cd/m²: the luminance of a full-black pixel (overrides --display)",
        "How code values become light: srgb (default), gamma:G or linear (overrides --display)",
        "The panel's pixel pitch, mm (overrides --display)",
        "The image's full width on the panel, mm; instead of --pixel-pitch-mm",
        "mm per pixel of a luminance image (32-bit float TIFF or PFM in cd/m²)",
        "The margin_log from which a region's margin is comfortable (default 0.3)"};
    command
        .add_option("--display", s.display,
                    "A TOML display model: white_cdm2, black_cdm2, transfer, "
                    "pixel_pitch_mm, width_mm")
        ->group("Screen");
    for (std::size_t k = 0; k < kScreenNumberOptions.size(); ++k) {
        command.add_option(std::string(kScreenNumberOptions[k]), texts[k], help[k])->group("Screen");
    }
    command
        .add_option("--regions", s.regions,
                    "CSV of id,x,y,w,h[,label]: the text boxes to judge instead of "
                    "those found")
        ->group("Screen");
}

Expected<void> finishScreenImageOptions(const CLI::App& command, CommandOptions& options, const NumberText& numbers) {
    ScreenRequest& s = options.run.screen;
    const auto& texts = options.texts.screen;
    const auto given = [&](std::size_t k) { return command.count(std::string(kScreenNumberOptions[k])) > 0; };
    std::array<std::optional<double>, 7> values{};
    for (const std::size_t k : {White, Black, Pitch, Width, MmPerPixel, Comfortable}) {
        if (!given(k)) {
            continue;
        }
        auto value = readNumber(kScreenNumberOptions[k], texts[k], numbers);
        if (!value) {
            return value.error();
        }
        const bool zeroTaken = k == Black || k == Comfortable;
        if (!std::isfinite(*value) || *value < 0 || (*value == 0 && !zeroTaken)) {
            return usageError(std::string(kScreenNumberOptions[k]) + " \"" + texts[k] + "\" must be " +
                              (zeroTaken ? "0 or more" : "more than 0"));
        }
        values[k] = *value;
    }
    s.model.whiteCdm2 = values[White];
    s.model.blackCdm2 = values[Black];
    s.model.pixelPitchMm = values[Pitch];
    s.model.widthMm = values[Width];
    s.mmPerPixel = values[MmPerPixel];
    s.comfortable = values[Comfortable].value_or(s.comfortable);
    if (given(TransferText)) {
        auto model = screen::parseTransfer(texts[TransferText], s.model);
        if (!model) {
            return screenFileError(model.error(), {});
        }
        s.model = *model;
    }
    return {};
}

namespace {

constexpr std::string_view kScreenFooter =
    "Judges every line of text in a screenshot (PNG, TIFF or JPEG, through the display model) or a luminance image\n"
    "(32-bit float TIFF or PFM in cd/m²) as eval would in luminance mode: each region's luminances, letter height\n"
    "and stroke ratio come from its pixels, the rest of the case from the options. The map outlines each region in\n"
    "its band's colour: red Not Legible or no verdict, amber a margin below --comfortable-margin, green above, grey\n"
    "not measured. See docs/screen.md.\n"
    "Example:\n  vistrel-cli screen dashboard.png -o map.png --table dashboard.csv --white-cdm2 600 --black-cdm2 0.3 "
    "--pixel-pitch-mm 0.152 --age 60 --viewing_distance_mm 750 --ease 90 --ambient_lux 10000 "
    "--display_reflectance 0.02\n"
    "At most 40000000 pixels in the image.\n"
    "Exit status: 0 when the map (and table) were written, whatever the verdicts; 1 when an output could not be "
    "written; 2 for a usage error or an image, display model or regions file that cannot be used; 3 with "
    "--fail-on not-legible when a region is Not Legible or has no verdict.";

} // namespace

void addScreenOptions(CLI::App& command, CommandOptions& options) {
    Invocation& run = options.run;
    command.add_option("image", run.screen.image, "The screen: a screenshot or a luminance image")->required();
    command.add_option("-o,--output", run.output, "The map to write, a .png")->required();
    command.add_option("--table", run.screen.table,
                       "Where to write one row per region: .json for JSON, else CSV; - for stdout");
    addScreenImageOptions(command, options);
    addFormulaGuardFlag(command, run);
    addQuietFlag(command, run);
    addFailOnOption(command, options, "not-legible (or has no verdict) in some region");
    options.caseOptions.addTo(command);
    // Every region is a luminance case whose luminances, height and ratio the
    // screen measures: those options still parse, to be refused by name, but
    // the help shows only the window's inputs the screen leaves to the user.
    for (std::size_t k = 0; k < kFirstOutputColumn; ++k) {
        const auto& field = kColumns[k].field;
        const bool kept = field && (*field == Field::Age || *field == Field::ViewDist2 || *field == Field::EaseOfRead ||
                                    *field == Field::FieldCorr);
        if (CLI::Option* o = options.caseOptions.options[k]; o != nullptr && !kept) {
            o->group("");
        }
    }
    command.footer(easeHelp() + std::string(kScreenFooter));
}

Expected<void> finishScreen(const CLI::App& command, CommandOptions& options, const NumberText& numbers) {
    Invocation& run = options.run;
    if (!run.output.ends_with(".png")) {
        return usageError("-o \"" + run.output + "\" must end in .png: the map is a PNG image");
    }
    if (!run.screen.table.empty() && run.screen.table != "-" && sameTarget(run.output, run.screen.table)) {
        return usageError("--table " + run.screen.table + " and -o " + run.output + " name the same file");
    }
    if (run.base.mode() != Mode::None && run.base.mode() != Mode::Luminance) {
        return usageError("--mode " + std::string(modeText(run.base.mode())) +
                          ": the screen is judged in luminance mode, its pixels giving the luminances");
    }
    std::vector<std::size_t> measured;
    for (const Field field : kMeasuredFields) {
        const std::size_t k = *columnIndex(fieldInfo(field).key);
        if (run.base.given(k)) {
            return usageError("--" + std::string(kColumns[k].name) +
                              ": the screen measures each region's luminances, letter height and ratio; leave it out");
        }
        measured.push_back(k);
    }
    run.base.set(0, modeText(Mode::Luminance));
    if (auto missing = refuseMissing(run.base, measured); !missing) {
        return missing;
    }
    if (auto failOn = checkFailOn(command, options, false); !failOn) {
        return failOn;
    }
    return finishScreenImageOptions(command, options, numbers);
}

Error screenFileError(Error e, const std::string& file) {
    e.kind = ErrorKind::Usage;
    if (e.file.empty()) {
        e.file = file;
    }
    return e;
}

std::vector<std::string_view> screenTableHeader() {
    std::vector<std::string_view> header{"id", "label", "x", "y", "w", "h", "polarity"};
    header.insert(header.end(), kCaseColumns.begin(), kCaseColumns.end());
    return header;
}

std::vector<std::vector<std::string>> screenTableRows(const JudgedScreen& judged) {
    std::vector<std::vector<std::string>> rows;
    for (const screen::RegionResult& r : judged.results) {
        const screen::Box& b = r.region.box;
        std::vector<std::string> row{
            r.region.id,         r.region.label,      std::to_string(b.x),         std::to_string(b.y),
            std::to_string(b.w), std::to_string(b.h), std::string(polarityText(r))};
        for (const std::string_view name : kCaseColumns) {
            if (name == kMarginColumn) {
                row.push_back(r.evaluation.margin);
            } else if (name == kMessageColumn) {
                row.push_back(r.evaluation.messageText());
            } else {
                row.push_back(r.measured.ok() ? r.evaluated.text(*columnIndex(name)) : std::string());
            }
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string screenTableCsv(const JudgedScreen& judged, bool guardFormulas) {
    std::string out;
    for (const std::string_view name : screenTableHeader()) {
        out += (out.empty() ? "" : ",") + std::string(name);
    }
    out += '\n';
    for (const auto& row : screenTableRows(judged)) {
        for (std::size_t k = 0; k < row.size(); ++k) {
            if (k > 0) {
                out += ',';
            }
            appendCsvCell(out, row[k], guardFormulas);
        }
        out += '\n';
    }
    return out;
}

std::string screenTableJson(const JudgedScreen& judged, const std::string& image, const NumberText& numbers) {
    nlohmann::ordered_json regions = nlohmann::ordered_json::array();
    for (const screen::RegionResult& r : judged.results) {
        const screen::Box& b = r.region.box;
        regions.push_back({{"id", r.region.id},
                           {"label", jsonText(r.region.label)},
                           {"x", b.x},
                           {"y", b.y},
                           {"w", b.w},
                           {"h", b.h},
                           {"polarity", jsonText(polarityText(r))},
                           {"case", caseJson(r.evaluated, r.evaluation, numbers)}});
    }
    const nlohmann::ordered_json out{{"image", image},
                                     {"width", judged.image.width},
                                     {"height", judged.image.height},
                                     {"mm_per_pixel", jsonNumber(judged.image.mmPerPixel)},
                                     {"regions", std::move(regions)}};
    return dumped(out) + "\n";
}

std::size_t notLegibleRegions(const JudgedScreen& judged) {
    return static_cast<std::size_t>(
        std::count_if(judged.results.begin(), judged.results.end(), [](const screen::RegionResult& r) {
            return !r.evaluation.hasVerdict() || r.evaluated.view(*columnIndex(columnName(Field::Result))) != kLegible;
        }));
}

Expected<int> runScreenCommand(Invocation& run, Console& console, const NumberText& numbers) {
    // Everything is computed before any output is opened: a bad image leaves no file behind.
    Progress progress(console.err, console.errIsTerminal && !run.quiet, "stages", 4);
    run.progress = progress.hook();
    auto judged = run.judgeScreen(run, run.base, numbers);
    progress.finish();
    if (!judged) {
        return judged.error();
    }
    const std::string& tablePath = run.screen.table;
    const std::string table = tablePath.empty()              ? std::string()
                              : tablePath.ends_with(".json") ? screenTableJson(*judged, run.screen.image, numbers)
                                                             : screenTableCsv(*judged, run.guardFormulas);
    auto map = Output::open(console, run.output);
    if (!map) {
        return map.error();
    }
    std::optional<Output> tableOut;
    if (!tablePath.empty()) {
        auto opened = Output::open(console, tablePath);
        if (!opened) {
            return opened.error();
        }
        tableOut.emplace(std::move(*opened));
    }
    if (auto written = map->write(judged->mapPng); !written) {
        return written.error();
    }
    if (tableOut) {
        if (auto written = tableOut->write(tableOut->isTerminal() ? escapedLines(table) : table); !written) {
            return written.error();
        }
    }
    if (auto committed = map->commit(); !committed) {
        return committed.error();
    }
    if (tableOut) {
        if (auto committed = tableOut->commit(); !committed) {
            return committed.error();
        }
    }
    for (const std::string& assumed : judged->image.assumptions) {
        console.err.write("vistrel-cli screen: " + escaped(assumed) + "\n");
    }
    if (judged->results.empty()) {
        console.err.write("vistrel-cli screen: no text found in " + escaped(run.screen.image) +
                          "; name the text boxes with --regions FILE.csv\n");
    }
    const std::size_t failing = notLegibleRegions(*judged);
    if (run.failOn && failing > 0) {
        console.err.write("vistrel-cli screen: " + std::to_string(failing) + " of " +
                          std::to_string(judged->results.size()) +
                          (judged->results.size() == 1 ? " region fails" : " regions fail") +
                          " --fail-on not-legible (Not Legible or no verdict)\n");
        return kFailedOn;
    }
    return 0;
}

} // namespace vistrel::cli
