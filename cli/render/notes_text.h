// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The usage error for inputs that are missing, in the command line's words;
// the notes a case's message carries are worded in analysis/case_notes_text.h.

#include "analysis/case_notes.h"
#include "analysis/case_notes_text.h"
#include "analysis/expected.h"

#include <span>
#include <string>

namespace vistrel::cli {

// "--age (Observer's Age), --illuminance_lux or --illuminance_fc (Illuminance, LUX or FC)"
[[nodiscard]] std::string missingOptionsText(std::span<const MissingInput> missing);
// A usage error naming every input the case lacks, supplied aside; nothing when it lacks none.
[[nodiscard]] Expected<void> refuseMissing(const Case& c, std::span<const std::size_t> supplied = {});

} // namespace vistrel::cli
