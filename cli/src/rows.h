#pragma once

#include "cases.h"

#include <string>

namespace vistrel::cli {

// One output row in CSV: every column, then message and margin_log.
void appendRow(std::string& out, const Case& c, const Evaluation& e);

} // namespace vistrel::cli
