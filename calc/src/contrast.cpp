// SPDX-License-Identifier: GPL-3.0-or-later
#include "checked_arithmetic.h"
#include "stages.h"

#include <cmath>

namespace vistrel::detail {

namespace {

constexpr std::string_view kEnterFeet = "Enter the Distance of Source in ft, or fill only one of m, ft and in.";
constexpr std::string_view kDistanceZero = "The Distance of Source must not be zero.";
constexpr std::string_view kBackgroundNotPositive = "The background luminance must be greater than zero.";
constexpr std::string_view kBackgroundTooLarge = "The background luminance is too large to compute.";
constexpr std::string_view kBackFactorZero = "Background Reflectance or Transmittance must not be zero.";
constexpr std::string_view kContrastTooLarge = "The actual contrast is too large to compute.";

// |(letter - background) / background|: the difference first, then the sign dropped.
void writeActualContrast(FieldNumbers& fields, Field letter, Field background, std::string_view zeroMessage) {
    const double difference = checkOverflow(fields.read(letter) - fields.read(background), kContrastTooLarge);
    const double ratio = quotient(difference, fields.read(background), zeroMessage, kContrastTooLarge);
    fields.writeComputed(Field::ActualCon, std::fabs(ratio));
}

struct SourceLight {
    double footcandles; // the intensity over the square of the distance in feet
    double backFactor;
};

SourceLight sourceLight(FieldNumbers& fields) {
    const double feet = fields.read(Field::DistSinFT2, kEnterFeet);
    const double factor = fields.read(Field::BackTrans2);
    const double intensity = fields.read(Field::SourceID2);
    return {
        quotient(intensity, checkOverflow(std::pow(feet, 2), Field::DistSinFT2), kDistanceZero, kBackgroundTooLarge),
        factor};
}

} // namespace

void sourceIntensityContrast(FieldNumbers& fields) {
    const auto [footcandles, factor] = sourceLight(fields);
    const double background = checkOverflow(footcandles * factor, kBackgroundTooLarge);
    fields.writeComputed(Field::LogBack, log10Of(background, kBackgroundNotPositive));
    writeActualContrast(fields, Field::LetterTrans2, Field::BackTrans2, kBackFactorZero);
}

void illuminanceContrast(FieldNumbers& fields) {
    const double factor = fields.read(Field::BackTrans2);
    const double footcandles = fields.read(Field::ILLFC2);
    const double background = checkOverflow(factor * footcandles, kBackgroundTooLarge);
    fields.writeComputed(Field::LogBack, log10Of(background, kBackgroundNotPositive));
    writeActualContrast(fields, Field::LetterTrans2, Field::BackTrans2, kBackFactorZero);
}

void directLuminanceContrast(FieldNumbers& fields) {
    writeActualContrast(fields, Field::LetterLum, Field::BackLum, kBackgroundNotPositive);
    fields.writeComputed(Field::LogBack, log10Of(fields.read(Field::BackLum), kBackgroundNotPositive));
}

// Reads the fields in the order the mode's contrast stage does, so a fault
// names the same field first.
std::optional<Luminances> modeLuminances(FieldNumbers& fields, double offAxis) {
    if (fields.isSelected(ModeOption::SourceID2Op)) {
        const auto [footcandles, factor] = sourceLight(fields);
        return Luminances{fields.read(Field::LetterTrans2) * footcandles, factor * footcandles};
    }
    if (fields.isSelected(ModeOption::ILL2Op)) {
        const double factor = fields.read(Field::BackTrans2);
        const double footcandles = fields.read(Field::ILLFC2);
        return Luminances{fields.read(Field::LetterTrans2) * footcandles, factor * footcandles};
    }
    if (fields.isSelected(ModeOption::BackLum2Op)) {
        return Luminances{offAxis * fields.read(Field::LetterLum), offAxis * fields.read(Field::BackLum)};
    }
    return std::nullopt;
}

void veiledContrast(FieldNumbers& fields, double veil, double offAxis) {
    const std::optional<Luminances> l = modeLuminances(fields, offAxis);
    if (!l) {
        fail(std::string(kChooseMode));
    }
    // A negative background would let the veil turn a refused case into a verdict.
    if (l->background < 0.0) {
        fail(std::string(kBackgroundNotPositive));
    }
    const double background = checkOverflow(l->background + veil, kBackgroundTooLarge);
    fields.writeComputed(Field::LogBack, log10Of(background, kBackgroundNotPositive));
    const double difference =
        checkOverflow(checkOverflow(l->letter, kContrastTooLarge) - l->background, kContrastTooLarge);
    fields.writeComputed(Field::ActualCon,
                         std::fabs(quotient(difference, background, kBackgroundNotPositive, kContrastTooLarge)));
}

} // namespace vistrel::detail
