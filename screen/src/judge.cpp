// SPDX-License-Identifier: GPL-3.0-or-later
#include "screen/judge.h"

#include "analysis/worker_pool.h"

#include <charconv>
#include <cstddef>
#include <system_error>

namespace vistrel::screen {

namespace {

// Four significant digits: the table shows the very texts the engine read,
// and more digits than the image can measure would only be noise.
std::string shortText(double value, const NumberText& numbers) {
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 4);
    double rounded = value;
    std::from_chars(text, written.ptr, rounded);
    return numbers.plain(rounded);
}

RegionResult judgeOne(const LuminanceImage& image, const Region& region, const cli::Case& base,
                      const NumberText& numbers) {
    RegionResult r{region, measure(image, region.box), base, {}};
    r.evaluated.set(0, cli::modeText(cli::Mode::Luminance));
    if (r.measured.ok() && !(image.mmPerPixel > 0)) {
        r.measured.problem = "the image has no pixel size";
    }
    if (!r.measured.ok()) {
        r.evaluation.message = r.measured.problem;
        return r;
    }
    const Measurement& m = r.measured;
    const auto set = [&](Field field, double value) {
        r.evaluated.set(*cli::columnIndex(fieldInfo(field).key), shortText(value, numbers));
    };
    set(Field::LetterLumCDM, m.letterCdm2);
    set(Field::BackLumCDM, m.backgroundCdm2);
    set(Field::LetterHT2, m.heightPx * image.mmPerPixel);
    set(Field::LHSW, m.heightPx / m.strokePx);
    r.evaluation = cli::evaluate(r.evaluated, numbers);
    return r;
}

} // namespace

std::vector<RegionResult> judge(const LuminanceImage& image, const std::vector<Region>& regions, const cli::Case& base,
                                const NumberText& numbers) {
    std::vector<RegionResult> results(regions.size());
    if (regions.size() < 2) {
        for (std::size_t k = 0; k < regions.size(); ++k) {
            results[k] = judgeOne(image, regions[k], base, numbers);
        }
        return results;
    }
    // Each region reads the image and writes only its own result.
    cli::WorkerPool pool;
    for (std::size_t k = 0; k < regions.size(); ++k) {
        pool.submit([&, k] { results[k] = judgeOne(image, regions[k], base, numbers); });
    }
    for (std::size_t k = 0; k < regions.size(); ++k) {
        pool.waitNext();
    }
    return results;
}

} // namespace vistrel::screen
