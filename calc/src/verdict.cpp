// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/calculate.h"

#include "checked_arithmetic.h"
#include "stages.h"

namespace vistrel::detail {

namespace {

constexpr std::string_view kThresholdNotPositive =
    "The threshold contrast is zero or less: check the Observer's Age and the Field Correction.";
constexpr std::string_view kContrastZero =
    "The actual contrast is zero: the letters do not stand out from their background.";

} // namespace

void verdict(FieldNumbers& fields) {
    fields.writeComputed(Field::LogThresholdCon, log10Of(fields.read(Field::ThresholdCon), kThresholdNotPositive));
    fields.writeComputed(Field::LogActualCon, log10Of(fields.read(Field::ActualCon, kChooseMode), kContrastZero));
    // Equal contrasts are not legible: the letters must exceed the threshold.
    const double difference = fields.read(Field::ActualCon) - fields.read(Field::ThresholdCon);
    fields.setText(Field::Result, difference > 0 ? kLegible : kNotLegible);
}

} // namespace vistrel::detail
