// SPDX-License-Identifier: GPL-3.0-or-later
// vistrel-plot's reading of points on arbitrary bytes: no crash, bounded
// output, and only points that can be placed on the axes.

#include "plot_points.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> bytes(data, data + size); // fmemopen needs a non-empty buffer
    bytes.push_back(0);
    std::FILE* in = ::fmemopen(bytes.data(), size, "rb");
    if (in == nullptr) {
        return 0;
    }
    using namespace vistrel::plot;
    const Points read = readPoints(in);
    std::fclose(in);
    check(read.points.size() <= kMaxPoints);
    for (const Point& p : read.points) {
        check(std::isfinite(p.x) && std::fabs(p.x) <= kLargestX);
        check(p.threshold.has_value() == p.actual.has_value());
        check(p.threshold.has_value() == (p.state != State::None));
        if (p.threshold) {
            check(*p.threshold > 0 && *p.threshold <= kLargestContrast && *p.actual > 0 &&
                  *p.actual <= kLargestContrast);
        }
    }
    return 0;
}
