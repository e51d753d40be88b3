// SPDX-License-Identifier: GPL-3.0-or-later
// Finding lines of text in a screen of luminances.
//
// How: in log luminance, the background around a dark glyph is the closing of
// the image by a square wider than any stroke (a black top-hat), and around a
// light glyph its opening (a white top-hat). Pixels that stand out from that
// background by kMinLogContrast are candidates, in each polarity apart. A
// candidate component is glyph-like when its strokes are thin for its height
// (distance transform), it is not a wide bar, and its edge is sharp: a glyph
// reaches its full contrast within about a pixel, while the blobs of a photo
// or of noise ramp up slowly. Glyph-like components of the same polarity, of
// similar height and stroke, side by side on a shared band of rows, make a
// line; a line needs at least two of them, which is what icons rarely give.
// Last, a line is kept only when its glyphs really differ from the median of
// the box around them: the gaps between dark letters stand out of the
// opening just as light letters would, but they are the background itself.

#include "screen/regions.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

namespace vistrel::screen {

namespace {

constexpr float kMinLogContrast = 0.03F; // about 7 %: below, text is barely there
constexpr float kLogFloor = -4.0F;       // 1e-4 cd/m², for black pixels
constexpr int kMinGlyphHeight = 5;

// Running maximum (or minimum) over a window of width w, in place on one
// strided line of n values, van Herk / Gil–Werman: three comparisons per
// value whatever the window, so wide windows on large screens stay cheap.
template <typename Better>
void runningExtreme(float* line, std::ptrdiff_t n, std::ptrdiff_t stride, int w, std::vector<float>& g,
                    std::vector<float>& h, std::vector<float>& src, Better better) {
    const std::ptrdiff_t r = w / 2;
    const std::ptrdiff_t padded = n + 2 * r;
    const std::ptrdiff_t blocks = (padded + w - 1) / w;
    const auto size = static_cast<std::size_t>(blocks * w);
    g.resize(size);
    h.resize(size);
    src.resize(size);
    // The edges repeat the edge value, so that a border is never a contrast.
    for (std::ptrdiff_t i = 0; i < blocks * w; ++i) {
        const std::ptrdiff_t k = std::clamp<std::ptrdiff_t>(i - r, 0, n - 1);
        src[static_cast<std::size_t>(i)] = line[k * stride];
    }
    for (std::ptrdiff_t b = 0; b < blocks; ++b) {
        const auto s = static_cast<std::size_t>(b * w);
        const auto e = s + static_cast<std::size_t>(w) - 1;
        g[s] = src[s];
        for (std::size_t i = s + 1; i <= e; ++i) {
            g[i] = better(src[i], g[i - 1]) ? src[i] : g[i - 1];
        }
        h[e] = src[e];
        for (std::size_t i = e; i > s; --i) {
            h[i - 1] = better(src[i - 1], h[i]) ? src[i - 1] : h[i];
        }
    }
    for (std::ptrdiff_t i = 0; i < n; ++i) {
        // The window [i, i + w - 1] of the padded line.
        const auto a = static_cast<std::size_t>(i);
        const auto z = static_cast<std::size_t>(i + w - 1);
        line[i * stride] = better(h[a], g[z]) ? h[a] : g[z];
    }
}

// Erosion (min) or dilation (max) by a w x w square, separably.
template <typename Better> void squareExtreme(cv::Mat& m, int w, Better better) {
    std::vector<float> g;
    std::vector<float> h;
    std::vector<float> src;
    for (int y = 0; y < m.rows; ++y) {
        runningExtreme(m.ptr<float>(y), m.cols, 1, w, g, h, src, better);
    }
    const auto stride = static_cast<std::ptrdiff_t>(m.step1());
    for (int x = 0; x < m.cols; ++x) {
        runningExtreme(m.ptr<float>(0) + x, m.rows, stride, w, g, h, src, better);
    }
}

struct Candidate {
    cv::Rect rect;
    double stroke = 0.0;  // twice the deepest distance to the edge
    double meanLog = 0.0; // of its pixels
    bool light = false;
};

struct Accumulator {
    float maxDistance = 0.0F;
    float peak = 0.0F;  // highest top-hat value
    float steep = 0.0F; // steepest step to a neighbour, in log units
    double sumLog = 0.0;
    int count = 0;
};

// The image-sized buffers, shared by both polarities: a 4K screen's are
// a hundred megabytes, and first touching fresh pages is not free.
struct Workspace {
    cv::Mat mask;
    cv::Mat labels;
    cv::Mat stats;
    cv::Mat centroids;
    cv::Mat distance;
};

// The glyph-like components where hat > kMinLogContrast.
void components(const cv::Mat& hat, const cv::Mat& logL, bool light, Workspace& ws, std::vector<Candidate>& out) {
    cv::compare(hat, kMinLogContrast, ws.mask, cv::CMP_GT);
    const int n = cv::connectedComponentsWithStats(ws.mask, ws.labels, ws.stats, ws.centroids, 8, CV_32S);
    if (n <= 1) {
        return;
    }
    const cv::Mat& labels = ws.labels;
    const cv::Mat& stats = ws.stats;
    cv::distanceTransform(ws.mask, ws.distance, cv::DIST_L2, 3);
    const cv::Mat& distance = ws.distance;

    std::vector<Accumulator> acc(static_cast<std::size_t>(n));
    std::vector<char> worth(static_cast<std::size_t>(n), 0);
    for (int i = 1; i < n; ++i) {
        const int h = stats.at<int>(i, cv::CC_STAT_HEIGHT);
        const int w = stats.at<int>(i, cv::CC_STAT_WIDTH);
        worth[static_cast<std::size_t>(i)] = h >= kMinGlyphHeight && w <= 4 * h ? 1 : 0;
    }
    const int rows = logL.rows;
    const int cols = logL.cols;
    for (int y = 0; y < rows; ++y) {
        const int* lab = labels.ptr<int>(y);
        const float* l = logL.ptr<float>(y);
        const float* up = logL.ptr<float>(std::max(y - 1, 0));
        const float* down = logL.ptr<float>(std::min(y + 1, rows - 1));
        const float* d = distance.ptr<float>(y);
        const float* t = hat.ptr<float>(y);
        for (int x = 0; x < cols; ++x) {
            const auto k = static_cast<std::size_t>(lab[x]);
            if (k == 0 || worth[k] == 0) {
                continue;
            }
            Accumulator& a = acc[k];
            a.maxDistance = std::max(a.maxDistance, d[x]);
            a.peak = std::max(a.peak, t[x]);
            const float left = l[std::max(x - 1, 0)];
            const float right = l[std::min(x + 1, cols - 1)];
            const float step = std::max(
                {std::abs(l[x] - left), std::abs(l[x] - right), std::abs(l[x] - up[x]), std::abs(l[x] - down[x])});
            a.steep = std::max(a.steep, step);
            a.sumLog += static_cast<double>(l[x]);
            ++a.count;
        }
    }
    for (int i = 1; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (worth[k] == 0) {
            continue;
        }
        const Accumulator& a = acc[k];
        const cv::Rect rect(stats.at<int>(i, cv::CC_STAT_LEFT), stats.at<int>(i, cv::CC_STAT_TOP),
                            stats.at<int>(i, cv::CC_STAT_WIDTH), stats.at<int>(i, cv::CC_STAT_HEIGHT));
        const double stroke = 2.0 * static_cast<double>(a.maxDistance);
        // Strokes of text are a fraction of its height; a disc, a square or a
        // bar is as thick as it is tall.
        if (stroke > 0.45 * rect.height) {
            continue;
        }
        // A glyph's edge takes a pixel or two to reach its contrast.
        if (a.steep < 0.3F * a.peak) {
            continue;
        }
        out.push_back({rect, stroke, a.sumLog / a.count, light});
    }
}

// Union-find over candidates.
int root(std::vector<int>& parent, int i) {
    while (parent[static_cast<std::size_t>(i)] != i) {
        auto& p = parent[static_cast<std::size_t>(i)];
        p = parent[static_cast<std::size_t>(p)];
        i = p;
    }
    return i;
}

bool sameLine(const Candidate& a, const Candidate& b) {
    if (a.light != b.light) {
        return false;
    }
    const int ha = a.rect.height;
    const int hb = b.rect.height;
    if (std::max(ha, hb) > 1.8 * std::min(ha, hb)) {
        return false;
    }
    const int top = std::max(a.rect.y, b.rect.y);
    const int bottom = std::min(a.rect.y + ha, b.rect.y + hb);
    if (bottom - top < std::min(ha, hb) / 2) {
        return false;
    }
    const int gap = std::max(a.rect.x, b.rect.x) - std::min(a.rect.x + a.rect.width, b.rect.x + b.rect.width);
    // A monospaced space, or a colon dropped as a dot, leaves a gap of about a cap height.
    if (gap > 3 * std::max(ha, hb) / 2) {
        return false;
    }
    const double sa = std::max(a.stroke, 1.0);
    const double sb = std::max(b.stroke, 1.0);
    return std::max(sa, sb) <= 2.5 * std::min(sa, sb);
}

double medianIn(const cv::Mat& logL, const cv::Rect& r, std::vector<float>& scratch) {
    scratch.clear();
    for (int y = r.y; y < r.y + r.height; ++y) {
        const float* l = logL.ptr<float>(y);
        scratch.insert(scratch.end(), l + r.x, l + r.x + r.width);
    }
    const auto mid = scratch.begin() + static_cast<std::ptrdiff_t>(scratch.size() / 2);
    std::nth_element(scratch.begin(), mid, scratch.end());
    return static_cast<double>(*mid);
}

} // namespace

std::vector<Region> findText(const LuminanceImage& image) {
    std::vector<Region> regions;
    if (image.width <= 0 || image.height <= 0 ||
        image.cdm2.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height)) {
        return regions;
    }
    // The wrapper only reads the pixels; OpenCV wants a non-const pointer.
    const cv::Mat cdm2(image.height, image.width, CV_32F, const_cast<float*>(image.cdm2.data()));
    cv::Mat logL;
    cv::max(cdm2, std::pow(10.0F, kLogFloor), logL);
    cv::log(logL, logL);
    logL *= 1.0 / std::log(10.0);

    // Wider than the boldest stroke of the largest text a screen this size
    // plausibly shows (a tenth of its shorter side as a cap height).
    const int window = std::max(15, std::min(image.width, image.height) / 24) | 1;
    std::vector<Candidate> candidates;
    Workspace ws;
    cv::Mat hat = logL.clone();
    squareExtreme(hat, window, std::greater<>()); // the closing
    squareExtreme(hat, window, std::less<>());
    cv::subtract(hat, logL, hat);
    components(hat, logL, false, ws, candidates);
    logL.copyTo(hat);
    squareExtreme(hat, window, std::less<>()); // the opening
    squareExtreme(hat, window, std::greater<>());
    cv::subtract(logL, hat, hat);
    components(hat, logL, true, ws, candidates);

    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate& a, const Candidate& b) { return a.rect.x < b.rect.x; });
    std::vector<int> parent(candidates.size());
    std::iota(parent.begin(), parent.end(), 0);
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const Candidate& a = candidates[i];
        // The farthest a partner can start: its height may be 1.8 times, its gap 1.5 times that.
        const int reach = a.rect.x + a.rect.width + 3 * a.rect.height;
        for (std::size_t j = i + 1; j < candidates.size() && candidates[j].rect.x <= reach; ++j) {
            if (sameLine(a, candidates[j])) {
                parent[static_cast<std::size_t>(root(parent, static_cast<int>(j)))] = root(parent, static_cast<int>(i));
            }
        }
    }
    std::vector<std::vector<std::size_t>> groups(candidates.size());
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        groups[static_cast<std::size_t>(root(parent, static_cast<int>(i)))].push_back(i);
    }

    const cv::Rect whole(0, 0, image.width, image.height);
    std::vector<float> scratch;
    struct Line {
        cv::Rect box;
        bool light;
    };
    std::vector<Line> lines;
    for (const auto& members : groups) {
        if (members.size() < 2) {
            continue;
        }
        cv::Rect tight = candidates[members.front()].rect;
        for (const std::size_t m : members) {
            tight |= candidates[m].rect;
        }
        const int pad = std::max(2, static_cast<int>(std::lround(0.2 * tight.height)));
        const cv::Rect padded =
            cv::Rect(tight.x - pad, tight.y - pad, tight.width + 2 * pad, tight.height + 2 * pad) & whole;
        const double background = medianIn(logL, padded, scratch);
        std::size_t standing = 0;
        for (const std::size_t m : members) {
            const Candidate& c = candidates[m];
            const double lift = c.light ? c.meanLog - background : background - c.meanLog;
            standing += lift >= 0.5 * static_cast<double>(kMinLogContrast) ? 1U : 0U;
        }
        if (2 * standing < members.size() + 1 || standing < 2) {
            continue;
        }
        lines.push_back({padded, candidates[members.front()].light});
    }
    // The gaps inside a line of bold letters can make a short line of the
    // other polarity within it; the larger line is the text.
    std::vector<Box> boxes;
    for (const Line& a : lines) {
        const bool inside = std::any_of(lines.begin(), lines.end(), [&](const Line& b) {
            return b.light != a.light && b.box.area() > a.box.area() && 2 * (a.box & b.box).area() >= a.box.area();
        });
        if (!inside) {
            boxes.push_back({a.box.x, a.box.y, a.box.width, a.box.height});
        }
    }
    std::sort(boxes.begin(), boxes.end(),
              [](const Box& a, const Box& b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
    regions.reserve(boxes.size());
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        regions.push_back({"t" + std::to_string(i + 1), boxes[i], {}});
    }
    return regions;
}

} // namespace vistrel::screen
