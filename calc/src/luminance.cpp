#include "run.h"

#include <cmath>

namespace vistrel::detail {

namespace {

// Exactly these decimal constants; the distance factors disagree with each
// other (39.37 / 3.28 is not 12), so a derived distance depends on the box typed.
constexpr double kFeetPerMetre = 3.28;
constexpr double kInchesPerMetre = 39.37;
constexpr double kInchesPerFoot = 12.0;
constexpr double kLuxPerFootcandle = 10.76;
constexpr double kCandelaPerFootlambert = 3.426;

constexpr std::string_view kEnterDistance = "Enter the Distance of Source in m, ft or in.";
constexpr std::string_view kEnterFeet = "Enter the Distance of Source in ft, or fill only one of m, ft and in.";
constexpr std::string_view kEnterIlluminance = "Enter the Illuminance in LUX or FC.";
constexpr std::string_view kEnterBackground = "Enter the Background Luminance in cd/m^2 or fL.";
constexpr std::string_view kEnterLetter = "Enter the Letter Luminance in cd/m^2 or fL.";
constexpr std::string_view kDistanceZero = "The Distance of Source must not be zero.";
constexpr std::string_view kBackgroundNotPositive = "The background luminance must be greater than zero.";
constexpr std::string_view kBackgroundTooLarge = "The background luminance is too large to compute.";
constexpr std::string_view kBackFactorZero = "Background Reflectance or Transmittance must not be zero.";
constexpr std::string_view kContrastTooLarge = "The actual contrast is too large to compute.";

enum class Op { Multiply, Divide };

// to = from (x or /) factor, the source read afresh for every derived box.
void derive(Run& run, Field to, Field from, Op op, double factor, std::string_view emptyMessage = {}) {
    const double v = run.read(from, emptyMessage);
    run.writeComputed(to, finite(op == Op::Multiply ? v * factor : v / factor, from));
}

void rewriteDistances(Run& run) {
    run.rewrite(Field::DistSinIn2);
    run.rewrite(Field::DistSinFT2);
    run.rewrite(Field::DistSinM2);
}

// |(letter - background) / background|: the difference first, then the sign dropped.
void writeActualContrast(Run& run, Field letter, Field background, std::string_view zeroMessage) {
    const double difference = finite(run.read(letter) - run.read(background), kContrastTooLarge);
    const double ratio = quotient(difference, run.read(background), zeroMessage, kContrastTooLarge);
    run.writeComputed(Field::ActualCon, std::fabs(ratio));
}

} // namespace

void reconcileDistance(Run& run) {
    using F = Field;
    if (run.isEmpty(F::DistSinIn2) && run.isEmpty(F::DistSinM2)) {
        derive(run, F::DistSinM2, F::DistSinFT2, Op::Divide, kFeetPerMetre, kEnterDistance);
        derive(run, F::DistSinIn2, F::DistSinFT2, Op::Multiply, kInchesPerFoot, kEnterDistance);
        rewriteDistances(run);
    }
    if (run.isEmpty(F::DistSinM2) && run.isEmpty(F::DistSinFT2)) {
        derive(run, F::DistSinM2, F::DistSinIn2, Op::Divide, kInchesPerMetre);
        derive(run, F::DistSinFT2, F::DistSinIn2, Op::Divide, kInchesPerFoot);
        rewriteDistances(run);
    }
    if (run.isEmpty(F::DistSinFT2) && run.isEmpty(F::DistSinIn2)) {
        derive(run, F::DistSinIn2, F::DistSinM2, Op::Multiply, kInchesPerMetre);
        derive(run, F::DistSinFT2, F::DistSinM2, Op::Multiply, kFeetPerMetre);
        rewriteDistances(run);
    }
}

void reconcileIlluminance(Run& run) {
    if (run.isEmpty(Field::ILLFC2)) {
        derive(run, Field::ILLFC2, Field::ILLLUX2, Op::Divide, kLuxPerFootcandle, kEnterIlluminance);
    }
    if (run.isEmpty(Field::ILLLUX2)) {
        derive(run, Field::ILLLUX2, Field::ILLFC2, Op::Multiply, kLuxPerFootcandle);
    }
}

void reconcileLuminance(Run& run) {
    using F = Field;
    if (run.isEmpty(F::BackLum)) {
        derive(run, F::BackLum, F::BackLumCDM, Op::Divide, kCandelaPerFootlambert, kEnterBackground);
    }
    if (run.isEmpty(F::LetterLum)) {
        derive(run, F::LetterLum, F::LetterLumCDM, Op::Divide, kCandelaPerFootlambert, kEnterLetter);
    }
    if (run.isEmpty(F::BackLumCDM)) {
        derive(run, F::BackLumCDM, F::BackLum, Op::Multiply, kCandelaPerFootlambert);
    }
    if (run.isEmpty(F::LetterLumCDM)) {
        derive(run, F::LetterLumCDM, F::LetterLum, Op::Multiply, kCandelaPerFootlambert);
    }
}

void sourceIntensityContrast(Run& run) {
    const double feet = run.read(Field::DistSinFT2, kEnterFeet);
    const double factor = run.read(Field::BackTrans2);
    const double intensity = run.read(Field::SourceID2);
    const double footcandles =
        quotient(intensity, finite(std::pow(feet, 2), Field::DistSinFT2), kDistanceZero, kBackgroundTooLarge);
    const double background = finite(footcandles * factor, kBackgroundTooLarge);
    run.writeComputed(Field::LogBack, log10Of(background, kBackgroundNotPositive));
    writeActualContrast(run, Field::LetterTrans2, Field::BackTrans2, kBackFactorZero);
}

void illuminanceContrast(Run& run) {
    const double factor = run.read(Field::BackTrans2);
    const double footcandles = run.read(Field::ILLFC2);
    const double background = finite(factor * footcandles, kBackgroundTooLarge);
    run.writeComputed(Field::LogBack, log10Of(background, kBackgroundNotPositive));
    writeActualContrast(run, Field::LetterTrans2, Field::BackTrans2, kBackFactorZero);
}

void directLuminanceContrast(Run& run) {
    writeActualContrast(run, Field::LetterLum, Field::BackLum, kBackgroundNotPositive);
    run.writeComputed(Field::LogBack, log10Of(run.read(Field::BackLum), kBackgroundNotPositive));
}

} // namespace vistrel::detail
