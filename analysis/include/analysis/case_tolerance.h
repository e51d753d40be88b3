// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A tolerance analysis of one case: its spreads (NAME=SPREAD texts) made
// distributions of its inputs, then the Monte Carlo run, the worst case and
// the tornado bars, each sample pressed through the whole calculation.

#include "analysis/cases.h"
#include "analysis/expected.h"
#include "analysis/tolerance.h"

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace vistrel::cli {

// The case with the spread inputs set, evaluated; one per thread.
class CaseEvaluator final : public SampleEvaluator {
  public:
    CaseEvaluator(const Case& base, const std::vector<std::size_t>& columns, const NumberText& numbers)
        : base_(base), work_(base), columns_(columns), numbers_(numbers) {}

    SampleOutcome evaluate(std::span<const double> values) override;

  private:
    const Case& base_;
    Case work_;
    const std::vector<std::size_t>& columns_;
    const NumberText& numbers_;
};

struct ToleranceAnalysis {
    std::vector<std::string> texts;   // the spreads as given
    std::vector<std::size_t> columns; // the column each spreads
    std::vector<Distribution> inputs;
    MonteCarloResult mc;
    WorstCase worst;
    std::vector<TornadoBar> bars;
};

// A usage error names the spread it refuses ("TEXT: why", "NAME is given
// twice") for the caller to say where it came from. With margins, every
// sample's margin_log is kept there too, in order, NaN (last) for a sample
// that ended in a message: memory then grows with the samples.
[[nodiscard]] Expected<ToleranceAnalysis> analyseTolerance(const Case& base, std::span<const std::string> spreads,
                                                           const MonteCarloOptions& draws, const NumberText& numbers,
                                                           const SampleProgress& progress = {},
                                                           std::vector<double>* margins = nullptr);

} // namespace vistrel::cli
