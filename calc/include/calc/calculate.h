// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How a press on the calculate button flows through the engine:
//
//   FieldStore texts ─► required-field check ─► unit reconciliation, LogBack
//   and ActualCon for the selected input mode ─► age and ease-of-reading
//   factors (memory only) ─► LetterSize, StrokeSize and the ratio rule ─►
//   ThresholdCon ─► LogThresholdCon, LogActualCon and Result.
//
// Every computed value is written as plain text, read back and rewritten in
// the three-decimal form, and later stages read those texts again: the
// numbers the user sees are the numbers the next stage computes with. A
// refusal or a fault shows exactly one message through MessageSink and
// empties the outputs, so no result of an earlier press survives beside new
// inputs.
//
// A store that holds every field (MemoryStore(Holds::EveryField)) adds
// daylight: right after the required-field check, the glare sources give
// GlareVeilCdm2 (calc/glare.h; empty without a source), and it and the
// daylight inputs give VeilFl; a
// veil above zero replaces the mode's contrast stage by one that adds it to
// both luminances; after the verdict come ContrastRatio, Modulation,
// Polarity, NearPointMm and Notes (sentences, one space apart). A store like
// the window's skips all of it, and with no veil every field the window has
// ends exactly as the window's would.
//
// Such a store that also gives a viewing tilt, pan or off-axis factor is seen
// off the display's normal: right after VeilFl come the checks of those
// three and OffAxisDeg; in luminance mode a factor below 1 scales both
// luminances before the veil is added (the same replaced contrast stage);
// ApparentHeightMm, the letter height times cos(tilt), comes before LetterSize
// and StrokeSize, which then use it, read back, instead of LetterHT2.

#include "calc/fields.h"
#include "calc/number_format.h"
#include "calc/number_text.h"

#include <array>
#include <string_view>

namespace vistrel {

enum class MessageStyle : int { Critical = 16, Exclamation = 48 };

// Shows one message and returns when the user has dismissed it.
class MessageSink {
  public:
    MessageSink() = default;
    MessageSink(const MessageSink&) = default;
    MessageSink& operator=(const MessageSink&) = default;
    MessageSink(MessageSink&&) = default;
    MessageSink& operator=(MessageSink&&) = default;
    virtual ~MessageSink() = default;

    virtual void showMessage(std::string_view text, MessageStyle style) = 0;
};

inline constexpr std::string_view kFillAllMessage = "All boxes must be filled in order to continue";
inline constexpr std::string_view kRatioMessage = "The Letter HT to Stroke Width Ratio should be greater than 3.0";
inline constexpr std::string_view kLegible = "Legible";
inline constexpr std::string_view kNotLegible = "Not Legible";

// Polarity of the lettering: letters brighter than their background, darker, or neither.
inline constexpr std::string_view kPositive = "positive";
inline constexpr std::string_view kNegative = "negative";
inline constexpr std::string_view kNoPolarity = "none";

// Notes: why an output the window lacks is empty, and the focus warning. They
// never change the verdict, and a store like the window never gets them.
inline constexpr std::string_view kInfiniteRatioNote =
    "The contrast ratio is infinite: the darker luminance is zero and no veil lifts it.";
inline constexpr std::string_view kNegativeLuminanceNote =
    "There is no contrast ratio or modulation: a luminance is negative.";
inline constexpr std::string_view kNoLuminancesNote =
    "There is no contrast ratio, modulation or polarity: without an input mode the luminances are not known.";
inline constexpr std::string_view kNearCorrectionNote =
    "An observer of this age needs near correction to focus at this distance.";

struct EaseLevel {
    std::string_view text;
    double factor;
};

// In the order the list offers them.
inline constexpr std::array<EaseLevel, 8> kEaseLevels{{
    {"50% confidence (Half the letters Readable)", 1.0},
    {"90% confidence", 1.584893},
    {"95% confidence", 1.778279},
    {"99% confidence", 1.995262},
    {"Readable with mental effort", 2.5},
    {"Easy to Read", 5.0},
    {"Very Easy to Read", 10.0},
    {"Attention Getting", 100.0},
}};

enum class Outcome {
    Verdict,       // Result holds "Legible" or "Not Legible"
    MissingField,  // a required field was empty
    RatioTooSmall, // the letter-height-to-stroke-width ratio was 3 or less
    Fault,         // a value could not be read or computed
};

// The observer's age factor of the threshold model, at full precision.
[[nodiscard]] double ageFactor(double age);

Outcome calculate(FieldStore& store, const NumberText& numbers, MessageSink& messages);
Outcome calculate(FieldStore& store, const NumberFormat& format, MessageSink& messages);

} // namespace vistrel
