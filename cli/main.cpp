// SPDX-License-Identifier: GPL-3.0-or-later
// vistrel-cli: the calculation of the window, for many cases at once.
// Commands: eval (one case), batch (a CSV of cases), solve (where the verdict
// changes along one input), sweep (every step of a range, with a plot), the
// judging commands (check, conditions, tolerance) and report (a review page);
// each is a row of kCommands.

#include "command_table.h"

int main(int argc, char** argv) { return vistrel::cli::runProgram(argc, argv, nullptr); }
