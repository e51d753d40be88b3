// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/glare.h"

#include "checked_arithmetic.h"
#include "stages.h"

#include <algorithm>
#include <array>
#include <string>

namespace vistrel {

double glareVeilCdm2(double lux, double angleDeg, double age, double pigment) {
    const double a = age / 62.5;
    const double ageTerm = 1 + (a * a) * (a * a);
    const double t = angleDeg;
    return lux * (10 / (t * t * t) + (5 / (t * t) + 0.1 * pigment / t) * ageTerm + 0.0025 * pigment);
}

namespace detail {

namespace {

constexpr std::string_view kGlareTooLarge = "The glare veiling luminance is too large to compute.";

struct SourceList {
    std::array<double, kMaxGlareSources> values{};
    std::size_t count = 0;
};

// The field, and which source of a list: "Glare Angle in deg of source 2".
std::string subject(Field field, std::size_t k, std::size_t count) {
    std::string s = fieldSubject(field);
    if (count > 1) {
        s += " of source " + std::to_string(k + 1);
    }
    return s;
}

// One number, or several separated by ';'; a lone number reads as any field does.
SourceList readList(FieldNumbers& fields, Field field) {
    SourceList list;
    std::string buffer;
    const std::string_view text = fields.textIn(field, buffer);
    if (text.find(kGlareSeparator) == std::string_view::npos) {
        list.values[0] = fields.read(field);
        list.count = 1;
        return list;
    }
    const auto count = static_cast<std::size_t>(std::count(text.begin(), text.end(), kGlareSeparator)) + 1;
    if (count > kMaxGlareSources) {
        fail(fieldSubject(field) + " lists " + std::to_string(count) + " glare sources; at most " +
             std::to_string(kMaxGlareSources) + " are allowed.");
    }
    std::size_t start = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t end = std::min(text.find(kGlareSeparator, start), text.size());
        const ParsedNumber n = fields.parse(text.substr(start, end - start));
        switch (n.error) {
        case ParseError::None: break;
        case ParseError::Empty:
            fail(subject(field, k, count) + " is empty: give one number for each source, separated by \";\".");
        case ParseError::NotANumber: fail(subject(field, k, count) + " is not a number.");
        case ParseError::Overflow: fail(subject(field, k, count) + " is too large.");
        }
        list.values[k] = n.value;
        start = end + 1;
    }
    list.count = count;
    return list;
}

} // namespace

double readGlare(FieldNumbers& fields) {
    double pigment = kDefaultEyePigment;
    if (!fields.isEmpty(Field::EyePigment)) {
        pigment = fields.read(Field::EyePigment);
        if (!(pigment >= kMinEyePigment && pigment <= kMaxEyePigment)) {
            fail(fieldSubject(Field::EyePigment) +
                 " must be from 0 (very dark eyes) to 1.2 (very light blue eyes), the range of the CIE 146 glare "
                 "formula.");
        }
    }
    const bool luxGiven = !fields.isEmpty(Field::GlareLux);
    const bool angleGiven = !fields.isEmpty(Field::GlareAngleDeg);
    if (!luxGiven && !angleGiven) {
        fields.setText(Field::GlareVeilCdm2, "");
        return 0.0;
    }
    if (!luxGiven || !angleGiven) {
        fail("Enter the " + fieldSubject(luxGiven ? Field::GlareAngleDeg : Field::GlareLux) +
             " too: each glare source needs its illuminance at the eye and its angle.");
    }
    const SourceList lux = readList(fields, Field::GlareLux);
    const SourceList angle = readList(fields, Field::GlareAngleDeg);
    if (lux.count != angle.count) {
        fail(fieldSubject(Field::GlareLux) + " lists " + std::to_string(lux.count) + " glare sources and " +
             fieldSubject(Field::GlareAngleDeg) + " " + std::to_string(angle.count) +
             ": give one angle for each illuminance.");
    }
    const double age = fields.read(Field::Age);
    double veil = 0.0;
    for (std::size_t k = 0; k < lux.count; ++k) {
        if (lux.values[k] < 0.0) {
            fail(subject(Field::GlareLux, k, lux.count) + " must not be negative.");
        }
        if (!(angle.values[k] >= kGlareMinAngleDeg && angle.values[k] <= kGlareMaxAngleDeg)) {
            fail(subject(Field::GlareAngleDeg, k, angle.count) +
                 " must be from 0.1 to 100, the domain of the CIE 146 glare formula.");
        }
        veil += glareVeilCdm2(lux.values[k], angle.values[k], age, pigment);
    }
    fields.writeComputed(Field::GlareVeilCdm2, checkOverflow(veil, kGlareTooLarge));
    return fields.read(Field::GlareVeilCdm2);
}

} // namespace detail

} // namespace vistrel
