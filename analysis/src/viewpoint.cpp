// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/viewpoint.h"

#include <cmath>
#include <variant>

namespace vistrel::cli {

namespace {

std::string rounded(double value, const NumberText& numbers) {
    const double scale = std::pow(10.0, kViewDecimals);
    const double r = std::round(value * scale) / scale;
    return numbers.plain(r == 0.0 ? 0.0 : r); // no "-0"
}

void setColumn(Case& c, Field field, const std::string& text) { c.set(*columnIndex(fieldInfo(field).key), text); }

} // namespace

Expected<Vec3> parsePoint(std::string_view text, const NumberText& numbers, std::string_view what) {
    Vec3 point{};
    std::size_t at = 0;
    for (std::size_t k = 0; k < point.size(); ++k) {
        const std::size_t comma = text.find(',', at);
        const bool last = k + 1 == point.size();
        if ((comma == std::string_view::npos) != last) {
            return usageError(std::string(what) + " \"" + std::string(text) +
                              "\" must be three numbers X,Y,Z in mm, separated by commas");
        }
        const std::string_view part = text.substr(at, last ? std::string_view::npos : comma - at);
        const ParsedNumber n = numbers.parse(part);
        if (!n.ok() || !std::isfinite(n.value)) {
            return usageError(std::string(what) + " \"" + std::string(text) + "\": \"" + std::string(part) +
                              "\" is not a number");
        }
        point[k] = n.value;
        at = comma + 1;
    }
    return point;
}

Expected<void> placeEye(Case& c, const Vec3& eye, const DisplayPlacement& display, const NumberText& numbers,
                        std::string_view what) {
    const auto view = viewFromPoints(eye, display.centre, display.normal);
    if (const auto* why = std::get_if<std::string>(&view)) {
        return usageError(std::string(what) + ": " + *why);
    }
    const ViewGeometry& g = std::get<ViewGeometry>(view);
    setColumn(c, Field::ViewDist2, rounded(g.distanceMm, numbers));
    setColumn(c, Field::ViewTiltDeg, rounded(g.tiltDeg, numbers));
    setColumn(c, Field::ViewPanDeg, rounded(g.panDeg, numbers));
    return {};
}

} // namespace vistrel::cli
