// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A display's relative luminance off-axis, as its datasheet gives it: a CSV
// of angle_deg,factor rows, read between rows on straight lines.

#include "analysis/expected.h"
#include "calc/number_text.h"

#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel::cli {

// A table is a datasheet's curve, a few dozen rows: this bounds what is read.
inline constexpr std::size_t kMaxAngularBytes = std::size_t{64} << 10U;

struct AngularRow {
    double angleDeg;
    double factor; // from 0 to 1
};

class AngularTable {
  public:
    // The table in text, read from file (which names it in every message):
    // a header angle_deg,factor (or ; between them), then at least two rows,
    // angles from 0 up and strictly increasing, factors from 0 to 1.
    [[nodiscard]] static Expected<AngularTable> parse(std::string_view text, std::string file,
                                                      const NumberText& numbers);
    [[nodiscard]] const std::string& file() const { return file_; }
    [[nodiscard]] std::span<const AngularRow> rows() const { return rows_; }
    // The factor at the off-axis angle, on the straight line between the rows
    // around it; a usage error naming the file, the angle and the table's
    // range for an angle outside it.
    [[nodiscard]] Expected<double> factorAt(double angleDeg, const NumberText& numbers) const;
    // The factor seen at a tilt and pan given as a case's texts (each empty
    // as 0), as the text its off_axis_factor is given: rounded, as the tilt
    // and pan of an eye point are, to six decimals.
    [[nodiscard]] Expected<std::string> factorText(std::string_view tilt, std::string_view pan,
                                                   const NumberText& numbers) const;

  private:
    std::string file_;
    std::vector<AngularRow> rows_;
};

// The table in file, read up to kMaxAngularBytes.
[[nodiscard]] Expected<AngularTable> loadAngularTable(const std::filesystem::path& file, const NumberText& numbers);

} // namespace vistrel::cli
