// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The words for what analysis/case_notes.h finds: the notes a command adds to
// a case's message, and the usage error for inputs that are missing.

#include "analysis/case_notes.h"
#include "analysis/expected.h"

#include <span>
#include <string>

namespace vistrel::cli {

// "--age (Observer's Age), --illuminance_lux or --illuminance_fc (Illuminance, LUX or FC)"
[[nodiscard]] std::string missingOptionsText(std::span<const MissingInput> missing);
// A usage error naming every input the case lacks, supplied aside; nothing when it lacks none.
[[nodiscard]] Expected<void> refuseMissing(const Case& c, std::span<const std::size_t> supplied = {});

// One sentence.
[[nodiscard]] std::string noteText(const PlausibilityNote& note, const NumberText& numbers);
// "Assumed where not given: field_correction 0.0; display_reflectance 0."; empty for none.
[[nodiscard]] std::string assumptionsText(std::span<const Assumption> list);

// The plausibility notes and then the assumptions of a case that reached a
// verdict, after the engine's own notes; a case without one keeps its message alone.
void addNotes(const Case& c, Evaluation& e, const NumberText& numbers);

} // namespace vistrel::cli
