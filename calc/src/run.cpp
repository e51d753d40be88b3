#include "run.h"

#include <cmath>

namespace vistrel::detail {

namespace {

// Each field as the user sees it on screen: caption and unit.
std::string_view subject(Field field) {
    switch (field) {
    case Field::SourceID2: return "Source Intensity Directed in Cd";
    case Field::DistSinM2: return "Distance of Source in m";
    case Field::DistSinFT2: return "Distance of Source in ft";
    case Field::DistSinIn2: return "Distance of Source in in";
    case Field::ILLLUX2: return "Illuminance in LUX";
    case Field::ILLFC2: return "Illuminance in FC";
    case Field::BackLumCDM: return "Background Luminance in cd/m^2";
    case Field::BackLum: return "Background Luminance in fL";
    case Field::LetterLumCDM: return "Letter Luminance in cd/m^2";
    case Field::LetterLum: return "Letter Luminance in fL";
    case Field::LetterTrans2: return "Letter Reflectance or Transmittance";
    case Field::BackTrans2: return "Background Reflectance or Transmittance";
    case Field::Age: return "Observer's Age";
    case Field::ViewDist2: return "Viewing Distance in mm";
    case Field::LetterHT2: return "Letter HT in mm";
    case Field::LHSW: return "Letter HT to Stroke Width Ratio";
    case Field::EaseOfRead: return "Ease of reading";
    case Field::FieldCorr: return "Field Correction";
    case Field::LetterSize: return "Letter Size";
    case Field::StrokeSize: return "Stroke Size";
    case Field::ActualCon: return "Actual Contrast";
    case Field::LogBack: return "Log Background Luminance (FL)";
    case Field::ThresholdCon: return "Threshold Contrast";
    case Field::LogThresholdCon: return "Log Threshold Contrast";
    case Field::LogActualCon: return "Log Actual Contrast";
    case Field::Result: return "Result";
    }
    return "A box";
}

// FieldCorr sits on the other screen, so its messages say how to get there.
constexpr std::string_view kFieldCorrHint = " Press Back and enter it in log units, for example 0.0.";

std::string describe(Field field, std::string_view what) {
    std::string message(subject(field));
    message += what;
    if (field == Field::FieldCorr) {
        message += kFieldCorrHint;
    }
    return message;
}

} // namespace

void fail(std::string message) { throw Fault{std::move(message)}; }

double finite(double value, std::string_view tooLargeMessage) {
    if (!std::isfinite(value)) {
        fail(std::string(tooLargeMessage));
    }
    return value;
}

double finite(double value, Field source) {
    if (!std::isfinite(value)) {
        fail(tooLarge(source));
    }
    return value;
}

double quotient(double dividend, double divisor, std::string_view zeroMessage, std::string_view tooLargeMessage) {
    if (divisor == 0.0) {
        fail(std::string(zeroMessage));
    }
    return finite(dividend / divisor, tooLargeMessage);
}

double log10Of(double value, std::string_view notPositiveMessage) {
    const double ln10 = std::log(10.0);
    if (!(value > 0.0)) {
        fail(std::string(notPositiveMessage));
    }
    return std::log(value) / ln10;
}

std::string tooLarge(Field field) { return describe(field, " is too large."); }

double Run::read(Field field, std::string_view emptyMessage) const {
    Known& known = known_[static_cast<std::size_t>(field)];
    std::string text = store_.text(field);
    if (known.valid && known.text == text) {
        return known.value;
    }
    const ParsedNumber n = numbers_.parse(text);
    switch (n.error) {
    case ParseError::None: known = {std::move(text), n.value, true}; return n.value;
    case ParseError::Empty:
        if (!emptyMessage.empty()) {
            fail(std::string(emptyMessage));
        }
        if (field == Field::FieldCorr) {
            fail("Enter the Field Correction." + std::string(kFieldCorrHint));
        }
        fail("Enter the " + std::string(subject(field)) + ".");
    case ParseError::NotANumber: fail(describe(field, " is not a number."));
    case ParseError::Overflow: fail(tooLarge(field));
    }
    fail(describe(field, " is not a number."));
}

void Run::remember(Field field, NumberText::Shown shown) {
    if (!std::isfinite(shown.value)) { // shown is too large to read back
        fail(tooLarge(field));
    }
    store_.setText(field, shown.text);
    known_[static_cast<std::size_t>(field)] = {std::move(shown.text), shown.value, true};
}

void Run::writeComputed(Field field, double value) {
    const std::string plain = numbers_.plain(value);
    store_.setText(field, plain);
    // Reading back the plain text we wrote gives the 15-digit value, whose
    // three-decimal form is value's own; only a text the store changed needs reading.
    const double readBack = store_.text(field) == plain ? value : read(field);
    remember(field, numbers_.showThreeDecimals(readBack));
}

void Run::rewrite(Field field) { remember(field, numbers_.showThreeDecimals(read(field))); }

} // namespace vistrel::detail
