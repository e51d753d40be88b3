// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/calculate.h"

#include "checked_arithmetic.h"
#include "stages.h"

#include <algorithm>
#include <cmath>

namespace vistrel::detail {

namespace {

constexpr std::string_view kVeilTooLarge = "The veiling luminance is too large to compute.";

// Hofstetter's mean amplitude of accommodation, in dioptres.
constexpr double kAmplitudeYoung = 18.5;
constexpr double kAmplitudeLossPerYear = 0.3;
// The line reaches zero at 61.7 years, but measured eyes keep some
// accommodation: Duane's subjective amplitudes (Duane 1922, "Studies in
// monocular and binocular accommodation, with their clinical application",
// American Journal of Ophthalmology) level off at about 1 D from 60 years on.
// The mean line is kept down to that floor, which it meets at 58.3 years.
constexpr double kResidualAmplitude = 1.0;

// An empty daylight input means none of that light; a filled one must be a
// number at least zero, and a reflectance at most one.
double readLight(FieldNumbers& fields, Field field, bool isReflectance) {
    if (fields.isEmpty(field)) {
        return 0.0;
    }
    const double value = fields.read(field);
    if (value < 0.0 || (isReflectance && value > 1.0)) {
        fail(fieldSubject(field) + (isReflectance ? " must be between 0 and 1." : " must not be negative."));
    }
    return value;
}

class Notes {
  public:
    void add(std::string_view note) {
        if (!text_.empty()) {
            text_ += ' ';
        }
        text_ += note;
    }
    [[nodiscard]] const std::string& text() const { return text_; }

  private:
    std::string text_;
};

// Writes value by the write rule, or leaves the field empty with a note
// when the value has no three-decimal form that reads back.
void writeOrNote(FieldNumbers& fields, Field field, double value, Notes& notes) {
    if (std::isfinite(value)) {
        try {
            fields.writeComputed(field, value);
            return;
        } catch (const Fault&) {
        }
    }
    fields.setText(field, "");
    notes.add(fieldSubject(field) + " is too large to show.");
}

void contrastOutputs(FieldNumbers& fields, const std::optional<Luminances>& l, double veil, Notes& notes) {
    if (!l) {
        for (const Field f : {Field::ContrastRatio, Field::Modulation, Field::Polarity}) {
            fields.setText(f, "");
        }
        notes.add(kNoLuminancesNote);
        return;
    }
    fields.setText(Field::Polarity, l->letter > l->background   ? kPositive
                                    : l->letter < l->background ? kNegative
                                                                : kNoPolarity);
    const double brighter = std::max(l->letter, l->background) + veil;
    const double darker = std::min(l->letter, l->background) + veil;
    if (darker < 0.0) {
        fields.setText(Field::ContrastRatio, "");
        fields.setText(Field::Modulation, "");
        notes.add(kNegativeLuminanceNote);
        return;
    }
    if (darker == 0.0) {
        fields.setText(Field::ContrastRatio, "");
        notes.add(kInfiniteRatioNote);
    } else {
        writeOrNote(fields, Field::ContrastRatio, brighter / darker, notes);
    }
    writeOrNote(fields, Field::Modulation, (brighter - darker) / (brighter + darker), notes);
}

void nearPoint(FieldNumbers& fields, Notes& notes) {
    const double amplitude =
        std::max(kAmplitudeYoung - kAmplitudeLossPerYear * fields.read(Field::Age), kResidualAmplitude);
    const double nearPointMm = 1000 / amplitude;
    writeOrNote(fields, Field::NearPointMm, nearPointMm, notes);
    if (!fields.isEmpty(Field::NearPointMm) && fields.read(Field::ViewDist2) < fields.read(Field::NearPointMm)) {
        notes.add(kNearCorrectionNote);
    }
}

} // namespace

double readVeil(FieldNumbers& fields) {
    const double lux = readLight(fields, Field::AmbientLux, false);
    const double diffuse = readLight(fields, Field::DisplayReflectance, true);
    const double mirrored = readLight(fields, Field::SpecularCdm2, false);
    const double specular = readLight(fields, Field::SpecularReflectance, true);
    // Glare inside the eye veils letters and background alike, as the further veil does.
    const double further = readLight(fields, Field::VeilCdm2, false) + readGlare(fields);
    // The diffuse part as a reflecting background: factor times footcandles.
    const double veil = diffuse * (lux / kLuxPerFootcandle) + mirrored * specular / kCandelaPerFootlambert +
                        further / kCandelaPerFootlambert;
    fields.writeComputed(Field::VeilFl, checkOverflow(veil, kVeilTooLarge));
    return fields.read(Field::VeilFl);
}

void daylightOutputs(FieldNumbers& fields, double veil, double offAxis) {
    Notes notes;
    // Every field the luminances come from was read before the verdict, so
    // this reads the same numbers again and cannot fail.
    contrastOutputs(fields, modeLuminances(fields, offAxis), veil, notes);
    nearPoint(fields, notes);
    fields.setText(Field::Notes, notes.text());
}

} // namespace vistrel::detail
