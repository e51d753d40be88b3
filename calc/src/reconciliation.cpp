// SPDX-License-Identifier: GPL-3.0-or-later
#include "checked_arithmetic.h"
#include "stages.h"

namespace vistrel::detail {

namespace {

constexpr std::string_view kEnterDistance = "Enter the Distance of Source in m, ft or in.";
constexpr std::string_view kEnterIlluminance = "Enter the Illuminance in LUX or FC.";
constexpr std::string_view kEnterBackground = "Enter the Background Luminance in cd/m^2 or fL.";
constexpr std::string_view kEnterLetter = "Enter the Letter Luminance in cd/m^2 or fL.";

enum class Op { Multiply, Divide };

// to = from (x or /) factor, the source read afresh for every derived box.
void derive(FieldNumbers& fields, Field to, Field from, Op op, double factor, std::string_view emptyMessage = {}) {
    const double v = fields.read(from, emptyMessage);
    fields.writeComputed(to, checkOverflow(op == Op::Multiply ? v * factor : v / factor, from));
}

void rewriteDistances(FieldNumbers& fields) {
    fields.rewrite(Field::DistSinIn2);
    fields.rewrite(Field::DistSinFT2);
    fields.rewrite(Field::DistSinM2);
}

} // namespace

void reconcileDistance(FieldNumbers& fields) {
    using F = Field;
    if (fields.isEmpty(F::DistSinIn2) && fields.isEmpty(F::DistSinM2)) {
        derive(fields, F::DistSinM2, F::DistSinFT2, Op::Divide, kFeetPerMetre, kEnterDistance);
        derive(fields, F::DistSinIn2, F::DistSinFT2, Op::Multiply, kInchesPerFoot, kEnterDistance);
        rewriteDistances(fields);
    }
    if (fields.isEmpty(F::DistSinM2) && fields.isEmpty(F::DistSinFT2)) {
        derive(fields, F::DistSinM2, F::DistSinIn2, Op::Divide, kInchesPerMetre);
        derive(fields, F::DistSinFT2, F::DistSinIn2, Op::Divide, kInchesPerFoot);
        rewriteDistances(fields);
    }
    if (fields.isEmpty(F::DistSinFT2) && fields.isEmpty(F::DistSinIn2)) {
        derive(fields, F::DistSinIn2, F::DistSinM2, Op::Multiply, kInchesPerMetre);
        derive(fields, F::DistSinFT2, F::DistSinM2, Op::Multiply, kFeetPerMetre);
        rewriteDistances(fields);
    }
}

void reconcileIlluminance(FieldNumbers& fields) {
    if (fields.isEmpty(Field::ILLFC2)) {
        derive(fields, Field::ILLFC2, Field::ILLLUX2, Op::Divide, kLuxPerFootcandle, kEnterIlluminance);
    }
    if (fields.isEmpty(Field::ILLLUX2)) {
        derive(fields, Field::ILLLUX2, Field::ILLFC2, Op::Multiply, kLuxPerFootcandle);
    }
}

void reconcileLuminance(FieldNumbers& fields) {
    using F = Field;
    if (fields.isEmpty(F::BackLum)) {
        derive(fields, F::BackLum, F::BackLumCDM, Op::Divide, kCandelaPerFootlambert, kEnterBackground);
    }
    if (fields.isEmpty(F::LetterLum)) {
        derive(fields, F::LetterLum, F::LetterLumCDM, Op::Divide, kCandelaPerFootlambert, kEnterLetter);
    }
    if (fields.isEmpty(F::BackLumCDM)) {
        derive(fields, F::BackLumCDM, F::BackLum, Op::Multiply, kCandelaPerFootlambert);
    }
    if (fields.isEmpty(F::LetterLumCDM)) {
        derive(fields, F::LetterLumCDM, F::LetterLum, Op::Multiply, kCandelaPerFootlambert);
    }
}

} // namespace vistrel::detail
