// SPDX-License-Identifier: GPL-3.0-or-later
// The design review of the worked case: filling the model from the engine
// (checks and inverse answers, optionally a tolerance run), and writing the
// page with three plots the size vistrel-plot draws.
#include "review_sample.h"

#include <benchmark/benchmark.h>

namespace {

using namespace vistrel::cli;

// About the size of one sweep plot: a few thousand drawing elements.
std::string plotLikeSvg() {
    std::string svg = "<?xml version=\"1.0\"?><svg width=\"352mm\" height=\"218mm\" viewBox=\"0 0 1000 620\" "
                      "xmlns=\"http://www.w3.org/2000/svg\"><title>plot</title>";
    for (int k = 0; k < 2500; ++k) {
        svg += "<g fill=\"none\" stroke=\"#c82828\" transform=\"matrix(1,0,0,1,0,0)\"><path d=\"M" +
               std::to_string(k % 1000) + ",100 L" + std::to_string(k % 997) + ",300\"/></g>\n";
    }
    return svg + "</svg>";
}

void BM_WorkedModel(benchmark::State& state) {
    const auto samples = static_cast<std::uint64_t>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(test::evaluatedDesign("", test::workedRow(), VISTREL_PROFILES_DIR,
                                                       {"text-legibility", "faa-distance"}, samples));
    }
}
BENCHMARK(BM_WorkedModel)->Arg(0)->Arg(100'000)->Unit(benchmark::kMillisecond);

void BM_WorkedPage(benchmark::State& state) {
    Review review{"Worked case", "2026-01-01", "1.00", {}};
    review.designs.push_back(
        test::evaluatedDesign("", test::workedRow(), VISTREL_PROFILES_DIR, {"text-legibility", "faa-distance"}, 0));
    const std::string svg = plotLikeSvg();
    const std::vector<ReviewArt> art{{{{"distance", svg}, {"illuminance", svg}, {"age", svg}}, {}, {}}};
    const vistrel::NumberText numbers(vistrel::NumberFormat::invariant());
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string html = reviewHtml(review, numbers, art);
        bytes = html.size();
        benchmark::DoNotOptimize(html.data());
    }
    state.counters["page_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_WorkedPage)->Unit(benchmark::kMillisecond);

} // namespace
