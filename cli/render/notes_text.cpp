// SPDX-License-Identifier: GPL-3.0-or-later
#include "notes_text.h"

#include "analysis/explore.h"

namespace vistrel::cli {

namespace {

// A caption and its units, as the window labels the field: "Illuminance, LUX or FC".
std::string captionOf(const MissingInput& m) {
    const auto& first = kColumns[m.columns.front()].field;
    if (!first) {
        return "input mode: source, illuminance or luminance";
    }
    std::string text(fieldInfo(*first).caption);
    std::string units;
    for (std::size_t k = 0; k < m.columns.size(); ++k) {
        const std::string_view unit = fieldInfo(*kColumns[m.columns[k]].field).unit;
        if (!unit.empty()) {
            units += (k == 0 ? "" : " or ") + std::string(unit);
        }
    }
    return units.empty() ? text : text + ", " + units;
}

std::string name(std::size_t column) { return std::string(kColumns[column].name); }

} // namespace

std::string missingOptionsText(std::span<const MissingInput> missing) {
    std::string out;
    for (const MissingInput& m : missing) {
        out += out.empty() ? "" : ", ";
        for (std::size_t k = 0; k < m.columns.size(); ++k) {
            out += (k == 0 ? "--" : " or --") + name(m.columns[k]);
        }
        out += " (" + captionOf(m) + ")";
    }
    return out;
}

Expected<void> refuseMissing(const Case& c, std::span<const std::size_t> supplied) {
    const std::vector<MissingInput> missing = missingInputs(c, supplied);
    if (missing.empty()) {
        return {};
    }
    return usageError("missing " + missingOptionsText(missing));
}

} // namespace vistrel::cli
