#pragma once

#include "cases.h"
#include "explore.h"

#include <string>

namespace vistrel::cli {

// eval: a readable table of inputs, outputs, margin and verdict.
std::string evaluationTable(const Case& c, const Evaluation& e);
// eval --json: one object keyed by the column names.
std::string evaluationJson(const Case& c, const Evaluation& e);

std::string solveText(std::string_view name, const SolveResult& r, const NumberText& numbers);
std::string solveJson(std::string_view name, const SolveResult& r, const NumberText& numbers);

} // namespace vistrel::cli
