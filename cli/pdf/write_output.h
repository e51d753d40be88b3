// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace vistrel::pdf {

// Puts data at path so that no reader ever sees half a file: a regular file
// or a new path is written beside its place and renamed over it, keeping
// the mode of the file it replaces and any symlink that pointed to it.
// Anything else that exists (a FIFO, a terminal, /dev/stdout) is written
// straight into, since renaming over it would replace the node. Every write
// is checked; on failure error names the path and the reason.
bool writeOutput(const std::string& path, std::string_view data, std::string& error);

} // namespace vistrel::pdf
