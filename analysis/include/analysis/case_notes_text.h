// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The words for what case_notes.h finds: the notes every front end adds to a
// case's message, so that batch's message column reads the same everywhere;
// and a case as eval prints it.

#include "analysis/case_notes.h"

#include <span>
#include <string>

namespace vistrel::cli {

// One sentence.
[[nodiscard]] std::string noteText(const PlausibilityNote& note, const NumberText& numbers);
// "Assumed where not given: field_correction 0.0; display_reflectance 0."; empty for none.
[[nodiscard]] std::string assumptionsText(std::span<const Assumption> list);

// The plausibility notes and then the assumptions of a case that reached a
// verdict, after the engine's own notes; a case without one keeps its message alone.
void addNotes(const Case& c, Evaluation& e, const NumberText& numbers);

// The inputs, the outputs, margin_log, the notes and the verdict, a line
// each, as vistrel-cli eval prints them and a Python Result's str() reads.
[[nodiscard]] std::string evaluationTable(const Case& c, const Evaluation& e);

} // namespace vistrel::cli
