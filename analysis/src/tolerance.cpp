// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/tolerance.h"
#include "analysis/worker_pool.h"

#include "calc/number_text.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <stdexcept>
#include <thread>
#include <unordered_map>
#include <utility>

namespace vistrel::cli {

namespace {

// A spread's numbers read as every other number on the command line does.
std::optional<double> strictNumber(std::string_view text) {
    static const NumberText invariant(NumberFormat::invariant());
    const ParsedNumber parsed = invariant.parse(text);
    if (!parsed.ok() || !std::isfinite(parsed.value)) {
        return std::nullopt;
    }
    return parsed.value;
}

std::vector<std::string_view> splitColons(std::string_view text) {
    std::vector<std::string_view> parts;
    for (std::size_t at = 0;;) {
        const auto colon = text.find(':', at);
        parts.push_back(text.substr(at, colon == std::string_view::npos ? std::string_view::npos : colon - at));
        if (colon == std::string_view::npos) {
            return parts;
        }
        at = colon + 1;
    }
}

constexpr std::string_view kForms = "±X, ±X%, normal:SD, normal:MEAN:SD, uniform:LO:HI or triangular:LO:MODE:HI";

// splitmix64's finaliser: a bijection that scrambles every bit.
std::uint64_t mix(std::uint64_t z) {
    z += 0x9e3779b97f4a7c15ULL;
    z = (z ^ (z >> 30U)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27U)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31U);
}

// A uniform number in (0, 1) that depends only on its key.
double unitFromKey(std::uint64_t key) { return (static_cast<double>(mix(key) >> 11U) + 0.5) * 0x1.0p-53; }

// Acklam's rational approximation, polished by one Halley step to full precision.
double inverseStandardNormal(double p) {
    if (p <= 0.0) {
        return -std::numeric_limits<double>::infinity();
    }
    if (p >= 1.0) {
        return std::numeric_limits<double>::infinity();
    }
    static constexpr double a[] = {-3.969683028665376e+01, 2.209460984245205e+02,  -2.759285104469687e+02,
                                   1.383577518672690e+02,  -3.066479806614716e+01, 2.506628277459239e+00};
    static constexpr double b[] = {-5.447609879822406e+01, 1.615858368580409e+02, -1.556989798598866e+02,
                                   6.680131188771972e+01, -1.328068155288572e+01};
    static constexpr double c[] = {-7.784894002430293e-03, -3.223964580411365e-01, -2.400758277161838e+00,
                                   -2.549732539343734e+00, 4.374664141464968e+00,  2.938163982698783e+00};
    static constexpr double d[] = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
                                   3.754408661907416e+00};
    constexpr double tail = 0.02425;
    double x = 0.0;
    if (p < tail || p > 1.0 - tail) {
        const double q = std::sqrt(-2.0 * std::log(p < tail ? p : 1.0 - p));
        x = (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
            ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1.0);
        if (p > tail) {
            x = -x;
        }
    } else {
        const double q = p - 0.5;
        const double r = q * q;
        x = (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q /
            (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1.0);
    }
    const double e = 0.5 * std::erfc(-x / std::sqrt(2.0)) - p;
    const double u = e * std::sqrt(2.0 * M_PI) * std::exp(x * x / 2.0);
    const double polished = x - u / (1.0 + x * u / 2.0);
    // Beyond about 37.6 SD the exponential overflows (a normal cut far out in
    // its tail draws there); the approximation alone is good to 1e-9 there.
    return std::isfinite(polished) ? polished : x;
}

bool isPoint(double a, double b) { return a == b; }

// Whether a spread from low to high, or a normal with this mean and SD, stays
// within the limit; false for anything not finite.
bool withinLimit(bool normal, double a, double b) {
    if (normal) {
        return std::fabs(a) + 10.0 * b <= kLargestSpreadValue;
    }
    return std::fabs(a) <= kLargestSpreadValue && std::fabs(b) <= kLargestSpreadValue;
}

constexpr std::string_view kBeyondLimit = "its values must lie within -1e15 and 1e15 (a normal's mean ± 10 SD)";

} // namespace

Expected<ToleranceSpec> parseTolerance(std::string_view text) {
    const auto equals = text.find('=');
    if (equals == std::string_view::npos || equals == 0) {
        return usageError("expected NAME=SPREAD, got '" + std::string(text) + "'");
    }
    ToleranceSpec spec;
    spec.name = std::string(text.substr(0, equals));
    std::string_view spread = text.substr(equals + 1);
    auto bad = [&](std::string_view why) {
        std::string message = "bad tolerance '";
        message.append(text).append("': ").append(why);
        return usageError(std::move(message));
    };
    auto numbers = [&](std::span<const std::string_view> parts) -> std::optional<Error> {
        for (auto part : parts) {
            const auto value = strictNumber(part);
            if (!value) {
                std::string why = "'";
                why.append(part).append("' is not a number");
                return bad(why);
            }
            spec.numbers.push_back(*value);
        }
        return std::nullopt;
    };
    for (std::string_view sign : {"±", "+-"}) {
        if (spread.starts_with(sign)) {
            spread.remove_prefix(sign.size());
            spec.form = SpreadForm::PlusMinus;
            if (spread.ends_with('%')) {
                spread.remove_suffix(1);
                spec.form = SpreadForm::PlusMinusPercent;
            }
            if (spread.starts_with('+')) { // "±+5": a second sign is a slip, not a spread
                return bad("'" + std::string(spread) + "' is not a number");
            }
            const std::array parts{spread};
            if (auto error = numbers(parts)) {
                return *error;
            }
            if (spec.numbers[0] < 0) {
                return bad("the spread must not be negative");
            }
            // Whatever the nominal value, ±X reaches at least X from zero.
            if (spec.form == SpreadForm::PlusMinus && !withinLimit(false, 0.0, spec.numbers[0])) {
                return bad(kBeyondLimit);
            }
            return spec;
        }
    }
    const auto parts = splitColons(spread);
    const std::span rest(parts.begin() + 1, parts.end());
    if (parts[0] == "normal" && (rest.size() == 1 || rest.size() == 2)) {
        spec.form = rest.size() == 1 ? SpreadForm::NormalSd : SpreadForm::NormalMeanSd;
    } else if (parts[0] == "uniform" && rest.size() == 2) {
        spec.form = SpreadForm::Uniform;
    } else if (parts[0] == "triangular" && rest.size() == 3) {
        spec.form = SpreadForm::Triangular;
    } else {
        return bad(std::string("expected ") + std::string(kForms));
    }
    if (auto error = numbers(rest)) {
        return *error;
    }
    const auto& n = spec.numbers;
    if ((spec.form == SpreadForm::NormalSd || spec.form == SpreadForm::NormalMeanSd) && n.back() < 0) {
        return bad("the standard deviation must not be negative");
    }
    if (spec.form == SpreadForm::Uniform && n[0] > n[1]) {
        return bad("LO must not exceed HI");
    }
    if (spec.form == SpreadForm::Triangular && !(n[0] <= n[1] && n[1] <= n[2])) {
        return bad("expected LO <= MODE <= HI");
    }
    // A normal:SD is centred on the nominal value, which makeDistribution checks.
    const bool normal = spec.form == SpreadForm::NormalSd || spec.form == SpreadForm::NormalMeanSd;
    if (!withinLimit(normal, spec.form == SpreadForm::NormalSd ? 0.0 : n[0], n.back())) {
        return bad(kBeyondLimit);
    }
    return spec;
}

double Distribution::cdf(double x) const {
    switch (shape_) {
    case Shape::Uniform: return x <= a_ ? 0.0 : x >= b_ ? 1.0 : (x - a_) / (b_ - a_);
    case Shape::Normal: return 0.5 * std::erfc(-(x - a_) / (b_ * std::sqrt(2.0)));
    case Shape::Triangular:
        if (x <= a_) {
            return 0.0;
        }
        if (x >= b_) {
            return 1.0;
        }
        return x < c_ ? (x - a_) * (x - a_) / ((b_ - a_) * (c_ - a_))
                      : 1.0 - (b_ - x) * (b_ - x) / ((b_ - a_) * (b_ - c_));
    }
    return 0.0;
}

double Distribution::inverse(double p) const {
    switch (shape_) {
    case Shape::Uniform: return a_ + p * (b_ - a_);
    case Shape::Normal: return a_ + b_ * inverseStandardNormal(p);
    case Shape::Triangular: {
        const double split = (c_ - a_) / (b_ - a_);
        return p < split ? a_ + std::sqrt(p * (b_ - a_) * (c_ - a_))
                         : b_ - std::sqrt((1.0 - p) * (b_ - a_) * (b_ - c_));
    }
    }
    return a_;
}

double Distribution::inside(double x) const {
    x = std::clamp(x, valid_.low, valid_.high);
    if (x == valid_.low && !valid_.lowIncluded) {
        x = std::nextafter(x, valid_.high);
    }
    if (x == valid_.high && !valid_.highIncluded) {
        x = std::nextafter(x, valid_.low);
    }
    return x;
}

double Distribution::quantile(double u) const {
    const bool point = shape_ == Shape::Normal ? b_ == 0.0 : isPoint(a_, b_);
    if (point) {
        return a_;
    }
    double p = pLow_ + std::clamp(u, 0.0, 1.0) * (pHigh_ - pLow_);
    if (shape_ == Shape::Normal) {
        // A normal's ends are infinite, and a draw's u can round to 1: keep to
        // the probabilities of finite values.
        p = std::clamp(p, std::numeric_limits<double>::denorm_min(), std::nextafter(1.0, 0.0));
    }
    return inside(inverse(p));
}

Expected<Distribution> makeDistribution(const ToleranceSpec& spec, std::optional<double> nominal,
                                        const ValidRange& valid) {
    const auto& n = spec.numbers;
    const bool relative = spec.form == SpreadForm::PlusMinus || spec.form == SpreadForm::PlusMinusPercent ||
                          spec.form == SpreadForm::NormalSd;
    if (relative && !nominal) {
        return usageError(spec.name + " has no nominal value to spread around: give its value, or uniform:LO:HI");
    }
    Distribution d;
    d.valid_ = valid;
    switch (spec.form) {
    case SpreadForm::PlusMinus:
    case SpreadForm::PlusMinusPercent: {
        const double half = spec.form == SpreadForm::PlusMinus ? n[0] : std::abs(*nominal) * n[0] / 100.0;
        d.shape_ = Distribution::Shape::Uniform;
        d.a_ = *nominal - half;
        d.b_ = *nominal + half;
        break;
    }
    case SpreadForm::NormalSd:
    case SpreadForm::NormalMeanSd:
        d.shape_ = Distribution::Shape::Normal;
        d.a_ = spec.form == SpreadForm::NormalSd ? *nominal : n[0];
        d.b_ = n.back();
        break;
    case SpreadForm::Uniform:
        d.shape_ = Distribution::Shape::Uniform;
        d.a_ = n[0];
        d.b_ = n[1];
        break;
    case SpreadForm::Triangular:
        d.shape_ = Distribution::Shape::Triangular;
        d.a_ = n[0];
        d.c_ = n[1];
        d.b_ = n[2];
        break;
    }
    if (!withinLimit(d.shape_ == Distribution::Shape::Normal, d.a_, d.b_)) {
        return usageError(spec.name + ": " + std::string(kBeyondLimit));
    }
    const bool point = d.shape_ == Distribution::Shape::Normal ? d.b_ == 0.0 : isPoint(d.a_, d.b_);
    auto validValue = [&](double x) {
        return (x > valid.low || (x == valid.low && valid.lowIncluded)) &&
               (x < valid.high || (x == valid.high && valid.highIncluded));
    };
    const Error outside = usageError(spec.name + "'s distribution lies wholly outside the values it can take");
    if (point) {
        if (!validValue(d.a_)) {
            return outside;
        }
        d.low_ = d.high_ = d.a_;
        return d;
    }
    d.pLow_ = std::isfinite(valid.low) ? d.cdf(valid.low) : 0.0;
    d.pHigh_ = std::isfinite(valid.high) ? d.cdf(valid.high) : 1.0;
    if (!(d.pHigh_ > d.pLow_)) {
        return outside;
    }
    d.excluded_ = std::max(0.0, 1.0 - (d.pHigh_ - d.pLow_));
    if (d.shape_ == Distribution::Shape::Normal) {
        d.low_ = d.inside(d.a_ - 3.0 * d.b_);
        d.high_ = d.inside(d.a_ + 3.0 * d.b_);
    } else {
        d.low_ = d.quantile(0.0);
        d.high_ = d.quantile(1.0);
    }
    return d;
}

Interval wilsonInterval(std::uint64_t successes, std::uint64_t trials) {
    if (trials == 0) {
        return {0.0, 1.0};
    }
    constexpr double z = 1.959963984540054;
    const double n = static_cast<double>(trials);
    const double p = static_cast<double>(successes) / n;
    const double denominator = 1.0 + z * z / n;
    const double centre = (p + z * z / (2.0 * n)) / denominator;
    const double half = z / denominator * std::sqrt(p * (1.0 - p) / n + z * z / (4.0 * n * n));
    // At 0 or all successes the interval reaches 0 or 1 exactly; rounding would fall short.
    return {successes == 0 ? 0.0 : std::max(0.0, centre - half),
            successes == trials ? 1.0 : std::min(1.0, centre + half)};
}

namespace {

struct Tally {
    std::uint64_t legible = 0;
    std::uint64_t messageSamples = 0;
    std::map<std::string, std::uint64_t> messages;
    // Samples per margin: margins are three-decimal numbers, so a run of any
    // length holds a few thousand of them, where a list would grow with it.
    std::unordered_map<double, std::uint64_t> margins;
    std::optional<double> minMargin;
    std::uint64_t minIndex = 0;
    std::vector<double> minValues;
    bool minLegible = false;
};

// Margins in ascending order, each with its count of samples.
using MarginCounts = std::vector<std::pair<double, std::uint64_t>>;

// The value at a rank (from 0) of the sorted samples.
double atRank(const MarginCounts& counts, std::uint64_t rank) {
    for (const auto& [value, count] : counts) {
        if (rank < count) {
            return value;
        }
        rank -= count;
    }
    return counts.back().first;
}

// Linear between order statistics, exactly as over the sorted samples.
double percentile(const MarginCounts& counts, std::uint64_t samples, double p) {
    const double h = p * static_cast<double>(samples - 1);
    const auto below = static_cast<std::uint64_t>(std::floor(h));
    const double low = atRank(counts, below);
    if (below + 1 >= samples) {
        return low;
    }
    const double high = atRank(counts, below + 1);
    return low + (h - static_cast<double>(below)) * (high - low);
}

} // namespace

Expected<MonteCarloResult> runMonteCarlo(std::span<const Distribution> inputs, const EvaluatorFactory& factory,
                                         const MonteCarloOptions& options, const SampleProgress& progress) {
    if (options.samples == 0) {
        return usageError("at least one sample is needed");
    }
    unsigned threads = options.threads != 0 ? options.threads : std::max(1U, std::thread::hardware_concurrency());
    threads = static_cast<unsigned>(std::min<std::uint64_t>(threads, options.samples));
    std::vector<std::unique_ptr<SampleEvaluator>> evaluators(threads);
    for (auto& evaluator : evaluators) {
        evaluator = factory();
        if (!evaluator) {
            return usageError("the evaluator factory gave no evaluator");
        }
    }

    std::vector<Tally> tallies(threads);
    std::vector<std::exception_ptr> errors(threads);
    const std::uint64_t seedKey = mix(options.seed);

    constexpr std::uint64_t kReportEvery = 1024;
    std::atomic<std::uint64_t> drawn{0};
    const auto report = [&](std::uint64_t more) {
        const std::uint64_t now = drawn.fetch_add(more) + more;
        if (progress) {
            progress(now);
        }
    };
    auto work = [&](unsigned t, std::uint64_t begin, std::uint64_t end) {
        try {
            const auto& evaluator = evaluators[t];
            std::vector<double> values(inputs.size());
            Tally& tally = tallies[t];
            for (std::uint64_t i = begin; i < end; ++i) {
                const std::uint64_t sampleKey = mix(seedKey ^ i);
                for (std::size_t j = 0; j < inputs.size(); ++j) {
                    values[j] = inputs[j].quantile(unitFromKey(sampleKey + (j + 1) * 0x9e3779b97f4a7c15ULL));
                }
                SampleOutcome outcome = evaluator->evaluate(values);
                if (outcome.legible) {
                    ++tally.legible;
                }
                if (outcome.margin && !std::isnan(*outcome.margin)) {
                    ++tally.margins[*outcome.margin];
                    if (!tally.minMargin || *outcome.margin < *tally.minMargin) {
                        tally.minMargin = outcome.margin;
                        tally.minIndex = i;
                        tally.minValues = values;
                        tally.minLegible = outcome.legible;
                    }
                }
                if (!outcome.message.empty()) {
                    ++tally.messageSamples;
                    ++tally.messages[std::move(outcome.message)];
                }
                if ((i + 1 - begin) % kReportEvery == 0) {
                    report(kReportEvery);
                }
            }
            report((end - begin) % kReportEvery);
        } catch (...) {
            errors[t] = std::current_exception();
        }
    };
    {
        WorkerPool pool(threads);
        const std::uint64_t share = options.samples / threads;
        const std::uint64_t extra = options.samples % threads;
        std::uint64_t begin = 0;
        for (unsigned t = 0; t < threads; ++t) {
            const std::uint64_t end = begin + share + (t < extra ? 1 : 0);
            pool.submit([&work, t, begin, end] { work(t, begin, end); });
            begin = end;
        }
        for (unsigned t = 0; t < threads; ++t) {
            pool.waitNext();
        }
    }
    for (const auto& error : errors) {
        if (error) {
            std::rethrow_exception(error);
        }
    }

    MonteCarloResult result;
    result.samples = options.samples;
    MarginCounts margins;
    std::uint64_t minIndex = 0;
    for (auto& tally : tallies) {
        // Each thread draws a run of indices: the smallest margin, the first
        // index among equals, whatever the number of threads.
        if (tally.minMargin && (!result.minMargin || *tally.minMargin < *result.minMargin ||
                                (*tally.minMargin == *result.minMargin && tally.minIndex < minIndex))) {
            result.minMargin = tally.minMargin;
            result.minValues = std::move(tally.minValues);
            result.minLegible = tally.minLegible;
            minIndex = tally.minIndex;
        }
        result.legible += tally.legible;
        result.messageSamples += tally.messageSamples;
        for (auto& [text, count] : tally.messages) {
            result.messages[text] += count;
        }
        margins.insert(margins.end(), tally.margins.begin(), tally.margins.end());
        tally.margins = {};
    }
    result.probability = static_cast<double>(result.legible) / static_cast<double>(result.samples);
    result.interval = wilsonInterval(result.legible, result.samples);
    std::sort(margins.begin(), margins.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::uint64_t withMargin = 0;
    for (const auto& entry : margins) {
        withMargin += entry.second;
    }
    if (withMargin > 0) {
        result.p5 = percentile(margins, withMargin, 0.05);
        result.p50 = percentile(margins, withMargin, 0.50);
        result.p95 = percentile(margins, withMargin, 0.95);
    }
    return result;
}

namespace {

struct Point {
    std::vector<double> values;
    double margin = 0.0;
    bool legible = false;
};

// Coordinate pattern search for a smaller margin, within lo..hi: each input
// stepped down and up, a step kept when the margin falls, the steps halved
// when none does. Margins are three-decimal numbers, so plateaus are common:
// only a strict fall moves the point.
Point searchDown(Point at, const std::vector<double>& lo, const std::vector<double>& hi, SampleEvaluator& evaluator,
                 std::uint64_t& evaluations) {
    constexpr int kHalvings = 14; // down to about 1/65,000 of each range
    std::vector<double> step(lo.size());
    for (std::size_t j = 0; j < lo.size(); ++j) {
        step[j] = (hi[j] - lo[j]) / 4.0;
    }
    std::uint64_t spent = 0;
    for (int round = 0; round < kHalvings && spent < kMaxSearchEvaluations; ++round) {
        for (bool moved = true; moved && spent < kMaxSearchEvaluations;) {
            moved = false;
            for (std::size_t j = 0; j < lo.size() && spent < kMaxSearchEvaluations; ++j) {
                for (const double direction : {-1.0, 1.0}) {
                    std::vector<double> values = at.values;
                    values[j] = std::clamp(at.values[j] + direction * step[j], lo[j], hi[j]);
                    if (values[j] == at.values[j] || spent >= kMaxSearchEvaluations) {
                        continue;
                    }
                    ++spent;
                    const SampleOutcome o = evaluator.evaluate(values);
                    if (o.margin && *o.margin < at.margin) {
                        at = {std::move(values), *o.margin, o.legible};
                        moved = true;
                    }
                }
            }
        }
        for (double& s : step) {
            s /= 2.0;
        }
    }
    evaluations += spent;
    return at;
}

} // namespace

WorstCase findWorstCase(std::span<const Distribution> inputs, SampleEvaluator& evaluator, const MonteCarloResult& mc) {
    WorstCase worst;
    std::vector<std::pair<Point, std::string>> starts;
    std::optional<Point> corner;
    if (inputs.size() > kMaxCornerInputs) {
        worst.skipped = true;
    } else {
        std::vector<double> values(inputs.size());
        worst.corners = std::uint64_t{1} << inputs.size();
        for (std::uint64_t k = 0; k < worst.corners; ++k) {
            for (std::size_t j = 0; j < inputs.size(); ++j) {
                values[j] = (k >> j & 1U) != 0 ? inputs[j].high() : inputs[j].low();
            }
            SampleOutcome outcome = evaluator.evaluate(values);
            if (outcome.margin && (!corner || *outcome.margin < corner->margin)) {
                corner = Point{values, *outcome.margin, outcome.legible};
            }
            if (!outcome.message.empty() && worst.messageCorners++ == 0) {
                worst.message = std::move(outcome.message);
                worst.messageValues = values;
            }
        }
    }
    if (corner) {
        starts.emplace_back(*corner, "corner");
    }
    if (mc.minMargin && mc.minValues.size() == inputs.size()) {
        starts.emplace_back(Point{mc.minValues, *mc.minMargin, mc.minLegible}, "sample");
    }
    for (auto& [start, source] : starts) {
        // The box of low and high values, widened to hold the start (a
        // normal's sample may lie beyond mean ± 3 SD).
        std::vector<double> lo(inputs.size());
        std::vector<double> hi(inputs.size());
        for (std::size_t j = 0; j < inputs.size(); ++j) {
            lo[j] = std::min(inputs[j].low(), start.values[j]);
            hi[j] = std::max(inputs[j].high(), start.values[j]);
        }
        const double startMargin = start.margin;
        Point found = searchDown(std::move(start), lo, hi, evaluator, worst.searched);
        const std::string how = found.margin < startMargin ? source + " + local search" : source;
        if (!worst.margin || found.margin < *worst.margin) {
            worst.margin = found.margin;
            worst.values = std::move(found.values);
            worst.legible = found.legible;
            worst.foundBy = how;
        }
    }
    // Never above any sample's margin, whatever the search did.
    if (mc.minMargin && mc.minValues.size() == inputs.size() && (!worst.margin || *mc.minMargin < *worst.margin)) {
        worst.margin = mc.minMargin;
        worst.values = mc.minValues;
        worst.legible = mc.minLegible;
        worst.foundBy = "sample";
    }
    return worst;
}

std::vector<TornadoBar> tornado(std::span<const Distribution> inputs, SampleEvaluator& evaluator) {
    std::vector<double> medians(inputs.size());
    std::transform(inputs.begin(), inputs.end(), medians.begin(), [](const Distribution& d) { return d.median(); });
    std::vector<TornadoBar> bars;
    for (std::size_t j = 0; j < inputs.size(); ++j) {
        TornadoBar bar;
        bar.input = j;
        bar.lowValue = inputs[j].low();
        bar.highValue = inputs[j].high();
        std::vector<double> values = medians;
        values[j] = bar.lowValue;
        bar.atLow = evaluator.evaluate(values);
        values[j] = bar.highValue;
        bar.atHigh = evaluator.evaluate(values);
        if (bar.atLow.margin && bar.atHigh.margin) {
            bar.swing = *bar.atHigh.margin - *bar.atLow.margin;
        }
        bars.push_back(std::move(bar));
    }
    std::stable_sort(bars.begin(), bars.end(), [](const TornadoBar& x, const TornadoBar& y) {
        if (x.swing && y.swing) {
            return std::abs(*x.swing) > std::abs(*y.swing);
        }
        return x.swing.has_value() && !y.swing.has_value();
    });
    return bars;
}

} // namespace vistrel::cli
