// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/case_notes.h"

#include "analysis/explore.h"
#include "calc/glare.h"
#include "calc/units.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>

namespace vistrel::cli {

namespace {

// Every field's column, found once: batch asks for each of them on every row.
constexpr auto kColumnOfField = [] {
    std::array<std::size_t, kFieldCount> out{};
    for (std::size_t k = 0; k < kColumns.size(); ++k) {
        if (kColumns[k].field) {
            out[static_cast<std::size_t>(*kColumns[k].field)] = k;
        }
    }
    return out;
}();

std::size_t columnOf(Field field) { return kColumnOfField[static_cast<std::size_t>(field)]; }

// The number a column holds; empty reads as 0, as the daylight inputs do.
std::optional<double> numberIn(const Case& c, Field field, const NumberText& numbers) {
    const std::string_view text = c.view(columnOf(field));
    if (text.empty()) {
        return 0.0;
    }
    const ParsedNumber n = numbers.parse(text);
    return n.ok() ? std::optional(n.value) : std::nullopt;
}

// As the assumptions show it: the number the calculation takes, and what it means.
constexpr std::string_view kDefaultEyePigmentText = "0.5 (brown eyes)";

constexpr std::array<Field, 5> kDaylightInputs{Field::AmbientLux, Field::DisplayReflectance, Field::SpecularCdm2,
                                               Field::SpecularReflectance, Field::VeilCdm2};

// The glare veil in cd/m^2 before its three-decimal form, as the calculation
// sums its sources; nothing when a source or the age cannot be read.
std::optional<double> exactGlare(const Case& c, const NumberText& numbers) {
    const std::string_view luxes = c.view(columnOf(Field::GlareLux));
    const std::string_view angles = c.view(columnOf(Field::GlareAngleDeg));
    if (luxes.empty() && angles.empty()) {
        return 0.0;
    }
    const auto age = numberIn(c, Field::Age, numbers);
    const auto pigment = c.view(columnOf(Field::EyePigment)).empty() ? std::optional(kDefaultEyePigment)
                                                                     : numberIn(c, Field::EyePigment, numbers);
    if (!age || !pigment) {
        return std::nullopt;
    }
    double sum = 0;
    std::size_t l = 0;
    std::size_t a = 0;
    while (l <= luxes.size() && a <= angles.size()) {
        const std::size_t lEnd = std::min(luxes.find(kGlareSeparator, l), luxes.size());
        const std::size_t aEnd = std::min(angles.find(kGlareSeparator, a), angles.size());
        const ParsedNumber lux = numbers.parse(luxes.substr(l, lEnd - l));
        const ParsedNumber angle = numbers.parse(angles.substr(a, aEnd - a));
        if (!lux.ok() || !angle.ok() || (lEnd == luxes.size()) != (aEnd == angles.size())) {
            return std::nullopt;
        }
        sum += glareVeilCdm2(lux.value, angle.value, *age, *pigment);
        l = lEnd + 1;
        a = aEnd + 1;
    }
    return sum;
}

// The veil in fL before its three-decimal form, as the calculation adds its parts.
std::optional<double> exactVeil(const Case& c, const NumberText& numbers) {
    std::array<double, kDaylightInputs.size()> v{};
    for (std::size_t k = 0; k < v.size(); ++k) {
        const auto n = numberIn(c, kDaylightInputs[k], numbers);
        if (!n) {
            return std::nullopt;
        }
        v[k] = *n;
    }
    const auto glare = exactGlare(c, numbers);
    if (!glare) {
        return std::nullopt;
    }
    return v[1] * (v[0] / kLuxPerFootcandle) + v[2] * v[3] / kCandelaPerFootlambert +
           (v[4] + *glare) / kCandelaPerFootlambert;
}

// True when the case names a glare source, which takes the eye's pigmentation.
bool hasGlare(const Case& c) {
    return c.daylight() &&
           (!c.view(columnOf(Field::GlareLux)).empty() || !c.view(columnOf(Field::GlareAngleDeg)).empty());
}

// A luminance given in cd/m^2 whose fL the calculation derived: before and after its three decimals.
struct Derived {
    std::size_t column;
    double given;
    double exactFl;
    double heldFl;
};
std::optional<Derived> derivedLuminance(const Case& c, Field cd, Field fl, const NumberText& numbers) {
    if (!c.given(columnOf(cd)) || c.given(columnOf(fl))) {
        return std::nullopt;
    }
    const auto given = numberIn(c, cd, numbers);
    const auto held = numberIn(c, fl, numbers);
    if (!given || !held) {
        return std::nullopt;
    }
    return Derived{columnOf(cd), *given, *given / kCandelaPerFootlambert, *held};
}

bool offByMore(double held, double exact) {
    return exact != 0 && std::fabs(held - exact) > kRoundingTolerance * std::fabs(exact);
}

// The letter and background luminances in fL the mode computes with; the
// luminance mode's from the exact fL of any luminance given in cd/m^2.
std::optional<std::pair<double, double>> exactLuminances(const Case& c, const NumberText& numbers) {
    const auto read = [&](Field f) { return numberIn(c, f, numbers); };
    switch (c.mode()) {
    case Mode::Luminance: {
        const auto letter = derivedLuminance(c, Field::LetterLumCDM, Field::LetterLum, numbers);
        const auto background = derivedLuminance(c, Field::BackLumCDM, Field::BackLum, numbers);
        const auto l = letter ? std::optional(letter->exactFl) : read(Field::LetterLum);
        const auto b = background ? std::optional(background->exactFl) : read(Field::BackLum);
        // The display dimmed off-axis, as the calculation scales both; empty is head-on.
        const auto k = c.view(columnOf(Field::OffAxisFactor)).empty() ? std::optional(1.0) : read(Field::OffAxisFactor);
        if (l && b && k) {
            return std::pair{*k * *l, *k * *b};
        }
        return std::nullopt;
    }
    case Mode::Illuminance: {
        const auto fc = read(Field::ILLFC2);
        const auto rl = read(Field::LetterTrans2);
        const auto rb = read(Field::BackTrans2);
        if (fc && rl && rb) {
            return std::pair{*rl * *fc, *rb * *fc};
        }
        return std::nullopt;
    }
    case Mode::Source: {
        const auto cd = read(Field::SourceID2);
        const auto ft = read(Field::DistSinFT2);
        const auto rl = read(Field::LetterTrans2);
        const auto rb = read(Field::BackTrans2);
        if (cd && ft && rl && rb && *ft != 0) {
            const double fc = *cd / (*ft * *ft);
            return std::pair{*rl * fc, *rb * fc};
        }
        return std::nullopt;
    }
    case Mode::None: break;
    }
    return std::nullopt;
}

std::optional<double> exactContrast(const Case& c, const NumberText& numbers) {
    const auto l = exactLuminances(c, numbers);
    const auto veil = c.daylight() ? exactVeil(c, numbers) : std::optional(0.0);
    if (!l || !veil || l->second + *veil == 0) {
        return std::nullopt;
    }
    return std::fabs(l->first - l->second) / (l->second + *veil);
}

void roundingNotes(const Case& c, const NumberText& numbers, std::vector<PlausibilityNote>& out) {
    std::vector<PlausibilityNote> found;
    if (c.mode() == Mode::Luminance) {
        for (const auto& [cd, fl] :
             {std::pair{Field::BackLumCDM, Field::BackLum}, std::pair{Field::LetterLumCDM, Field::LetterLum}}) {
            if (const auto d = derivedLuminance(c, cd, fl, numbers); d && offByMore(d->heldFl, d->exactFl)) {
                found.push_back({NoteKind::RoundedLuminance, d->column, d->given, 0, d->exactFl, d->heldFl, {}, {}});
            }
        }
    }
    if (c.daylight()) {
        const auto exact = exactVeil(c, numbers);
        const auto held = numberIn(c, Field::VeilFl, numbers);
        if (exact && held && offByMore(*held, *exact)) {
            found.push_back({NoteKind::RoundedLuminance, columnOf(Field::VeilFl), *exact, 0, *exact, *held, {}, {}});
        }
    }
    if (found.empty()) {
        return;
    }
    const auto shown = numbers.parse(c.view(columnOf(Field::ActualCon)));
    const auto exact = exactContrast(c, numbers);
    for (PlausibilityNote& n : found) {
        n.exactContrast = exact;
        n.shownContrast = shown.ok() ? std::optional(shown.value) : std::nullopt;
        out.push_back(n);
    }
}

} // namespace

std::vector<Assumption> assumptions(const Case& c, const NumberText& numbers) {
    std::vector<Assumption> out;
    const std::size_t correction = columnOf(Field::FieldCorr);
    // The start text, as the window writes it in its locale: 0,0 in German.
    const std::string start = numbers.format().fromPointText(fieldInfo(Field::FieldCorr).start);
    if (!c.given(correction) && c.view(correction) == start) {
        out.push_back({correction, fieldInfo(Field::FieldCorr).start});
    }
    if (c.daylight()) {
        for (const Field f : kDaylightInputs) {
            if (c.view(columnOf(f)).empty()) {
                out.push_back({columnOf(f), "0"}); // an empty daylight input is none of that light
            }
        }
        // Seen off the normal only when one of the three is given; the factor only dims emitted light.
        const std::array<Field, 3> view{Field::ViewTiltDeg, Field::ViewPanDeg, Field::OffAxisFactor};
        if (std::any_of(view.begin(), view.end(), [&](Field f) { return !c.view(columnOf(f)).empty(); })) {
            for (const Field f : view) {
                if (c.view(columnOf(f)).empty() && (f != Field::OffAxisFactor || c.mode() == Mode::Luminance)) {
                    out.push_back({columnOf(f), f == Field::OffAxisFactor ? "1" : "0"});
                }
            }
        }
    }
    if (hasGlare(c) && c.view(columnOf(Field::EyePigment)).empty()) {
        out.push_back({columnOf(Field::EyePigment), kDefaultEyePigmentText});
    }
    return out;
}

bool ambientHasNoEffect(const Case& c, const NumberText& numbers) {
    const auto reflectance = numberIn(c, Field::DisplayReflectance, numbers);
    return reflectance && *reflectance == 0;
}

std::vector<PlausibilityNote> plausibilityNotes(const Case& c, const NumberText& numbers) {
    std::vector<PlausibilityNote> out;
    if (c.mode() != Mode::Luminance) { // the luminance mode greys the factors: they are not used
        for (const Field f : {Field::LetterTrans2, Field::BackTrans2}) {
            if (const auto v = numberIn(c, f, numbers); v && *v > 1) {
                out.push_back({NoteKind::PercentFraction, columnOf(f), *v, *v / 100, 0, 0, {}, {}});
            }
        }
    }
    if (const auto age = numberIn(c, Field::Age, numbers); age && (*age < kAgeRange.min || *age > kAgeRange.max)) {
        out.push_back({NoteKind::AgeOutsideRange, columnOf(Field::Age), *age, 0, 0, 0, {}, {}});
    }
    roundingNotes(c, numbers, out);
    if (c.daylight()) {
        const auto ambient = numberIn(c, Field::AmbientLux, numbers);
        if (ambient && *ambient > 0 && ambientHasNoEffect(c, numbers)) {
            out.push_back({NoteKind::AmbientWithoutEffect, columnOf(Field::AmbientLux), *ambient, 0, 0, 0, {}, {}});
        }
    }
    return out;
}

std::vector<MissingInput> missingInputs(const Case& c, std::span<const std::size_t> supplied) {
    std::vector<MissingInput> out;
    const auto present = [&](std::size_t column) {
        return !c.view(column).empty() || std::find(supplied.begin(), supplied.end(), column) != supplied.end();
    };
    const auto need = [&](std::initializer_list<Field> anyOf) {
        MissingInput m;
        for (const Field f : anyOf) {
            if (present(columnOf(f))) {
                return;
            }
            m.columns.push_back(columnOf(f));
        }
        out.push_back(std::move(m));
    };
    using F = Field;
    switch (c.mode()) {
    case Mode::None: out.push_back({{0}}); break;
    case Mode::Source:
        need({F::SourceID2});
        need({F::DistSinM2, F::DistSinFT2, F::DistSinIn2});
        break;
    case Mode::Illuminance: need({F::ILLLUX2, F::ILLFC2}); break;
    case Mode::Luminance:
        need({F::BackLumCDM, F::BackLum});
        need({F::LetterLumCDM, F::LetterLum});
        break;
    }
    if (c.mode() != Mode::Luminance) {
        need({F::LetterTrans2});
        need({F::BackTrans2});
    }
    for (const Field f : {F::Age, F::ViewDist2, F::LetterHT2, F::LHSW, F::EaseOfRead, F::FieldCorr}) {
        need({f});
    }
    // A glare source is its illuminance and its angle together.
    if (present(columnOf(F::GlareLux)) || present(columnOf(F::GlareAngleDeg))) {
        need({F::GlareLux});
        need({F::GlareAngleDeg});
    }
    std::sort(out.begin(), out.end(),
              [](const MissingInput& a, const MissingInput& b) { return a.columns.front() < b.columns.front(); });
    return out;
}

} // namespace vistrel::cli
