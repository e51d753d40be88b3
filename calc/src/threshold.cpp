#include "calc/calculate.h"
#include "run.h"

#include <cmath>

namespace vistrel::detail {

namespace {

constexpr double kPi = 3.14159265358979; // the model's own value of pi
constexpr std::string_view kUnknownEase = "Ease of reading must be one of the levels in its list.";
constexpr std::string_view kViewingZero = "Viewing Distance must not be zero.";
constexpr std::string_view kLetterTooLarge = "The Letter HT is too large for the Viewing Distance.";
constexpr std::string_view kStrokeNotPositive =
    "The Stroke Size must be greater than zero: check the Letter HT and the Viewing Distance.";
constexpr std::string_view kThresholdTooLarge =
    "The threshold contrast is too large to compute: check the Field Correction.";

double round3(double value) { return NumberText::roundThreeDecimals(value); }

} // namespace

Factors readFactors(Run& run) {
    const double age = finite(ageFactor(run.read(Field::Age)), Field::Age);
    const std::string ease = run.text(Field::EaseOfRead);
    for (const EaseLevel& level : kEaseLevels) {
        if (level.text == ease) {
            return {age, level.factor};
        }
    }
    fail(std::string(kUnknownEase));
}

bool visualSize(Run& run) {
    const double h = run.read(Field::LetterHT2);
    const double d = run.read(Field::ViewDist2);
    const double angle = std::atan(quotient(h, d, kViewingZero, kLetterTooLarge));
    run.writeComputed(Field::LetterSize, angle * 180 / kPi * 60);
    const double ls = run.read(Field::LetterSize);

    // Three tests, each reading the ratio afresh.
    if (const double r = run.read(Field::LHSW); r > 3.0 && r < 5.0) {
        run.writeComputed(Field::StrokeSize, ls * 0.5 * (1 - 3 / r));
        return true;
    }
    if (const double r = run.read(Field::LHSW); r >= 5.0) {
        run.writeComputed(Field::StrokeSize, ls / r);
        return true;
    }
    return false; // r <= 3: the ratio rule refuses
}

void thresholdContrast(Run& run, const Factors& factors) {
    const double s = run.read(Field::StrokeSize);
    if (!(s > 0.0)) {
        fail(std::string(kStrokeNotPositive));
    }
    const double x = round3(std::log(s) / std::log(2.0));
    const double a = round3(7.4935 - 6.97678 * x + 0.544938 * std::pow(x, 2));
    const double b = round3(-0.55315 + 0.021675 * x + 0.0003125 * std::pow(x, 2));
    const double c = round3(0.007721 + 0.000558 * x + 0.0000175 * std::pow(x, 2));

    const double l = run.read(Field::LogBack, kChooseMode);
    const double f = run.read(Field::FieldCorr);
    const double g = round3(finite((a + b * l * 10 + c * std::pow(10 * l, 2)) / 10 + f, kThresholdTooLarge));
    const double t = finite(std::pow(10.0, g) * factors.ease * factors.age, kThresholdTooLarge);
    run.writeComputed(Field::ThresholdCon, t);
}

} // namespace vistrel::detail

namespace vistrel {

double ageFactor(double age) {
    return age * 0.1343982 - 0.3796391 - 0.0044422 * std::pow(age, 2) + 0.0000550484 * std::pow(age, 3);
}

} // namespace vistrel
