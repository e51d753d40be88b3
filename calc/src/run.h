#pragma once

#include "calc/fields.h"
#include "calc/number_text.h"

#include <array>
#include <string>
#include <string_view>

namespace vistrel::detail {

// Ends a calculation at the failing step; its message is what the user reads.
struct Fault {
    std::string message;
};

// LogBack and ActualCon are only empty here when no input mode was chosen.
inline constexpr std::string_view kChooseMode =
    "Choose how the background luminance is given: source intensity, illuminance or luminance.";

[[noreturn]] void fail(std::string message);

// Arithmetic steps, each checked the moment it is taken.
double finite(double value, std::string_view tooLargeMessage);
// The same, for a value that is too large because a field's number is.
double finite(double value, Field source);
double quotient(double dividend, double divisor, std::string_view zeroMessage, std::string_view tooLargeMessage);
// ln(value) / ln(10), with ln(10) taken first.
double log10Of(double value, std::string_view notPositiveMessage);

// One press of the calculate button: field access in the engine's terms.
class Run {
  public:
    Run(FieldStore& store, const NumberText& numbers) : store_(store), numbers_(numbers) {}

    [[nodiscard]] bool isEmpty(Field field) const { return store_.text(field).empty(); }
    [[nodiscard]] bool isSelected(ModeOption option) const { return store_.isSelected(option); }
    [[nodiscard]] std::string text(Field field) const { return store_.text(field); }
    void setText(Field field, std::string_view text) { store_.setText(field, text); }

    // The field's number; an empty field fails with emptyMessage when given.
    [[nodiscard]] double read(Field field, std::string_view emptyMessage = {}) const;
    // Plain text first, then read back and rewritten in the three-decimal form.
    void writeComputed(Field field, double value);
    // Rewrites a field's own number in the three-decimal form.
    void rewrite(Field field);

  private:
    // The last text read from or written to each field with its number, so a
    // text seen before is not converted again. Keyed on the text itself, it
    // can never hand back a number for a text that has since changed.
    struct Known {
        std::string text;
        double value = 0;
        bool valid = false;
    };
    void remember(Field field, NumberText::Shown shown);

    FieldStore& store_;
    const NumberText& numbers_;
    mutable std::array<Known, kFieldCount> known_{};
};

std::string tooLarge(Field field);

// Stages, in the order a press runs them.
void reconcileDistance(Run& run);
void reconcileIlluminance(Run& run);
void reconcileLuminance(Run& run);
void sourceIntensityContrast(Run& run);
void illuminanceContrast(Run& run);
void directLuminanceContrast(Run& run);

struct Factors {
    double age;
    double ease;
};
Factors readFactors(Run& run);
// False when the ratio rule refuses the calculation.
bool visualSize(Run& run);
void thresholdContrast(Run& run, const Factors& factors);
void verdict(Run& run);

} // namespace vistrel::detail
