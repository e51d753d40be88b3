// SPDX-License-Identifier: GPL-3.0-or-later
// vistrel-screen: vistrel-cli with the image library linked, for the runs that
// read a screen image (screen, report --screen). vistrel-cli becomes this
// program for them, so that every other command starts without loading it.
#include "command_table.h"
#include "commands.h"
#include "notes_text.h"
#include "screen/judge.h"
#include "screen/regions.h"

#include <cmath>

namespace vistrel::cli {

namespace {

// The map's caption: what the verdicts assume, in ASCII for the map's font.
std::string captionOf(const Invocation& run, const Case& c, const screen::LuminanceImage& image,
                      const NumberText& numbers) {
    std::string text = "Case: age " + c.text(*columnIndex(columnName(Field::Age))) + ", viewing distance " +
                       c.text(*columnIndex(columnName(Field::ViewDist2))) + " mm, ease " +
                       c.text(*columnIndex(columnName(Field::EaseOfRead)));
    for (const auto& [field, unit] : {std::pair{Field::AmbientLux, " lux"}, std::pair{Field::DisplayReflectance, ""},
                                      std::pair{Field::GlareLux, " lux"}}) {
        const std::size_t k = *columnIndex(fieldInfo(field).key);
        if (c.given(k)) {
            text += ", " + std::string(kColumns[k].name) + " " + c.text(k) + unit;
        }
    }
    std::string name = std::filesystem::path(run.screen.image).filename().string();
    text += ". Screen " + name + ", " + std::to_string(image.width) + "x" + std::to_string(image.height) + " px, " +
            numbers.plain(std::round(image.mmPerPixel * 1e4) / 1e4) + " mm per pixel.";
    for (const std::string& assumed : image.assumptions) {
        text += " " + assumed;
    }
    return text;
}

} // namespace

Expected<JudgedScreen> judgeScreen(const Invocation& run, const Case& base, const NumberText& numbers) {
    const ScreenRequest& s = run.screen;
    // screen's own progress, by stage; report counts its designs instead
    const auto stage = [&run](std::uint64_t done) {
        if (run.progress && run.command == Command::Screen) {
            run.progress(done, 4);
        }
    };
    Case start = base;
    for (const Field field : kMeasuredFields) {
        start.set(*columnIndex(fieldInfo(field).key), "");
    }
    screen::ScreenSource source{s.model, s.mmPerPixel};
    if (!s.display.empty()) {
        auto file = screen::readDisplayModel(s.display);
        if (!file) {
            return screenFileError(file.error(), s.display);
        }
        source.display = screen::overlay(*file, s.model);
    }
    auto image = screen::loadScreen(s.image, source);
    if (!image) {
        return screenFileError(image.error(), s.image);
    }
    stage(1);
    std::vector<screen::Region> regions;
    if (!s.regions.empty()) {
        auto read = screen::readRegions(s.regions, image->width, image->height);
        if (!read) {
            return screenFileError(read.error(), s.regions);
        }
        regions = std::move(*read);
    } else {
        regions = screen::findText(*image);
    }
    stage(2);
    JudgedScreen judged{std::move(*image), {}, {}, {}};
    judged.results = screen::judge(judged.image, regions, start, numbers);
    stage(3);
    for (screen::RegionResult& r : judged.results) {
        if (r.measured.ok()) {
            addNotes(r.evaluated, r.evaluation, numbers);
        }
    }
    judged.caption = captionOf(run, start, judged.image, numbers);
    judged.mapPng = screen::mapPng(judged.image, judged.results, {s.comfortable}, judged.caption);
    if (judged.mapPng.empty()) {
        return outputError("the map of " + s.image + " could not be encoded as PNG");
    }
    return judged;
}

} // namespace vistrel::cli

int main(int argc, char** argv) { return vistrel::cli::runProgram(argc, argv, &vistrel::cli::judgeScreen); }
