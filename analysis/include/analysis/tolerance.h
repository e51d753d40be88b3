// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Tolerance analysis: how sure a verdict is when inputs spread.
//
// Distributions, as written after NAME= on the command line:
//   ±X  or +-X         uniform on nominal - X .. nominal + X
//   ±X% or +-X%        the same with X percent of |nominal|
//   normal:SD          normal around the nominal
//   normal:MEAN:SD     normal around MEAN (age=normal:45:12)
//   uniform:LO:HI
//   triangular:LO:MODE:HI
// Numbers are read in the invariant format, as every number on the command
// line is: plain decimals, an exponent allowed; no hex, no inf or nan,
// nothing after the number.
//
// Every value a spread reaches must lie within ±kLargestSpreadValue (for a
// normal, its mean ± 10 SD, beyond its farthest draw), so that every draw,
// its text and the distributions' arithmetic stay finite.
//
// Every distribution is truncated to its input's valid range: values are
// drawn from the distribution conditioned on that range, never clamped onto
// its edge. The fraction cut away is reported.
//
// Monte Carlo draws every sample's values from its seed and sample index
// alone, so the outcome for a given seed does not depend on the number of
// threads. Worst case and sensitivity use each input's low and high value:
// the ends of a uniform or triangular range, and mean ± 3 SD of a normal, all
// within the valid range; the worst case searches the whole box they span.

#include "analysis/expected.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel::cli {

enum class SpreadForm { PlusMinus, PlusMinusPercent, NormalSd, NormalMeanSd, Uniform, Triangular };

// A distribution as written, before the nominal value is known.
struct ToleranceSpec {
    std::string name;
    SpreadForm form = SpreadForm::PlusMinus;
    std::vector<double> numbers; // in the order written
};

inline constexpr double kLargestSpreadValue = 1e15;

// Parses "NAME=SPREAD"; the error says what is wrong. A spread that
// passes the limit whatever the nominal value is refused here already.
[[nodiscard]] Expected<ToleranceSpec> parseTolerance(std::string_view text);

// Where an input stops being valid, e.g. age [0, inf), distances (0, inf),
// factors [0, 1].
struct ValidRange {
    double low = -std::numeric_limits<double>::infinity();
    double high = std::numeric_limits<double>::infinity();
    bool lowIncluded = true;
    bool highIncluded = true;
};

class Distribution {
  public:
    // The value at cumulative probability u in [0, 1], within the valid range.
    [[nodiscard]] double quantile(double u) const;
    [[nodiscard]] double low() const { return low_; }
    [[nodiscard]] double high() const { return high_; }
    [[nodiscard]] double median() const { return quantile(0.5); }
    // Probability the valid range cut away; 0 when nothing was truncated.
    [[nodiscard]] double excludedFraction() const { return excluded_; }
    [[nodiscard]] bool truncated() const { return excluded_ > 0.0; }

  private:
    friend Expected<Distribution> makeDistribution(const ToleranceSpec&, std::optional<double>, const ValidRange&);
    enum class Shape { Uniform, Normal, Triangular };
    [[nodiscard]] double inverse(double p) const; // untruncated inverse CDF
    [[nodiscard]] double cdf(double x) const;
    [[nodiscard]] double inside(double x) const; // x moved into the valid range

    Shape shape_ = Shape::Uniform;
    double a_ = 0.0, b_ = 0.0, c_ = 0.0; // uniform lo, hi; normal mean, sd; triangular lo, hi, mode
    ValidRange valid_;
    double pLow_ = 0.0, pHigh_ = 1.0; // the valid range's cumulative probabilities
    double excluded_ = 0.0;
    double low_ = 0.0, high_ = 0.0;
};

// Resolves a spec against the case's nominal value (needed by ±, ±% and
// normal:SD) and truncates it to the valid range. Refuses a negative spread,
// LO > HI, a mode outside LO..HI, a distribution wholly outside the range,
// and one that passes kLargestSpreadValue.
[[nodiscard]] Expected<Distribution> makeDistribution(const ToleranceSpec& spec, std::optional<double> nominal,
                                                      const ValidRange& valid);

// What one evaluation of the case gave: a verdict with its margin_log, or the
// message the calculation stopped with.
struct SampleOutcome {
    bool legible = false;
    std::optional<double> margin; // margin_log; empty when the case ended in a message
    std::string message;          // empty when there is a verdict
};

// Evaluates the case with its varied inputs set to values (in the order of
// the distributions given). May keep mutable state: one instance per thread.
class SampleEvaluator {
  public:
    SampleEvaluator() = default;
    SampleEvaluator(const SampleEvaluator&) = delete;
    SampleEvaluator& operator=(const SampleEvaluator&) = delete;
    SampleEvaluator(SampleEvaluator&&) = delete;
    SampleEvaluator& operator=(SampleEvaluator&&) = delete;
    virtual ~SampleEvaluator() = default;

    virtual SampleOutcome evaluate(std::span<const double> values) = 0;
};

// Called once per worker thread, from that thread.
using EvaluatorFactory = std::function<std::unique_ptr<SampleEvaluator>()>;

struct MonteCarloOptions {
    std::uint64_t samples = 100'000;
    std::uint64_t seed = 1;
    unsigned threads = 0; // 0: every core
};
// Called now and then with the samples drawn so far, from the worker threads.
using SampleProgress = std::function<void(std::uint64_t)>;

struct Interval {
    double low = 0.0;
    double high = 0.0;
};

// The 95% Wilson score interval of successes out of trials.
[[nodiscard]] Interval wilsonInterval(std::uint64_t successes, std::uint64_t trials);

struct MonteCarloResult {
    std::uint64_t samples = 0;
    std::uint64_t legible = 0;
    double probability = 0.0; // legible / samples: a sample ending in a message is not legible
    Interval interval;        // 95% Wilson
    // Percentiles of margin_log over the samples with a verdict (linear
    // between order statistics); empty without any.
    std::optional<double> p5, p50, p95;
    std::uint64_t messageSamples = 0;
    std::map<std::string, std::uint64_t> messages; // message text -> samples ending in it
    // The sample with the smallest margin (the first drawn among equals), a
    // start for the worst-case search; empty without any verdict.
    std::optional<double> minMargin;
    std::vector<double> minValues;
    bool minLegible = false;
};

// Counts the samples of each distinct margin for the percentiles, so memory
// follows how many margins differ, not the number of samples. Refuses no
// samples and a factory that gives no evaluator; rethrows what an evaluator
// throws (out of memory), after every worker has stopped.
[[nodiscard]] Expected<MonteCarloResult> runMonteCarlo(std::span<const Distribution> inputs,
                                                       const EvaluatorFactory& factory,
                                                       const MonteCarloOptions& options,
                                                       const SampleProgress& progress = {});

inline constexpr std::size_t kMaxCornerInputs = 12;
// Evaluations the local search may spend from each start.
inline constexpr std::uint64_t kMaxSearchEvaluations = 2000;

struct WorstCase {
    bool skipped = false;       // corners not tried: more than kMaxCornerInputs inputs
    std::uint64_t corners = 0;  // evaluated
    std::uint64_t searched = 0; // evaluations of the local search
    std::vector<double> values; // the worst point's inputs; empty when nothing gave a verdict
    std::optional<double> margin;
    bool legible = false;
    std::string foundBy;               // "corner", "sample", either + " + local search"; empty without values
    std::uint64_t messageCorners = 0;  // corners that ended in a message
    std::vector<double> messageValues; // the first of them
    std::string message;
};

// The smallest margin over the box of low and high values: every corner, and
// the worst Monte Carlo sample, each refined by a deterministic pattern search
// (coordinate steps halving from a quarter of each range). The worst of the
// samples is a candidate itself, so the margin is never above mc.minMargin,
// even where a normal's sample lies beyond its mean ± 3 SD.
[[nodiscard]] WorstCase findWorstCase(std::span<const Distribution> inputs, SampleEvaluator& evaluator,
                                      const MonteCarloResult& mc);

struct TornadoBar {
    std::size_t input = 0; // index into the distributions
    double lowValue = 0.0;
    double highValue = 0.0;
    SampleOutcome atLow;
    SampleOutcome atHigh;
    std::optional<double> swing; // margin at high - margin at low
};

// Each input alone from its low to its high value, the others at their
// medians; sorted by the size of the swing, inputs without one (a message at
// either end) last in input order.
[[nodiscard]] std::vector<TornadoBar> tornado(std::span<const Distribution> inputs, SampleEvaluator& evaluator);

} // namespace vistrel::cli
