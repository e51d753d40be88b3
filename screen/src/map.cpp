// SPDX-License-Identifier: GPL-3.0-or-later
#include "screen/judge.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

namespace vistrel::screen {

namespace {

enum class Band { NotLegible, Small, Comfortable, Unmeasured };

// BGR, told apart also by those who confuse red and green: the amber and the
// grey differ from both in lightness.
const cv::Scalar kRed(40, 40, 215);
const cv::Scalar kAmber(0, 175, 255);
const cv::Scalar kGreen(80, 170, 40);
const cv::Scalar kGrey(150, 150, 150);

std::optional<double> marginOf(const RegionResult& r) {
    const std::string& text = r.evaluation.margin;
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

Band bandOf(const RegionResult& r, const Bands& bands) {
    if (!r.measured.ok()) {
        return Band::Unmeasured;
    }
    const auto margin = marginOf(r);
    const bool legible =
        r.evaluation.hasVerdict() && r.evaluated.view(*cli::columnIndex("result")) == kLegible && margin;
    if (!legible) {
        return Band::NotLegible;
    }
    return *margin >= bands.comfortable ? Band::Comfortable : Band::Small;
}

cv::Scalar colourOf(Band b) {
    switch (b) {
    case Band::NotLegible: return kRed;
    case Band::Small: return kAmber;
    case Band::Comfortable: return kGreen;
    case Band::Unmeasured: return kGrey;
    }
    return kGrey;
}

// The Hershey fonts draw ASCII only; an id or a note may hold anything. The
// few signs the notes use keep their meaning, any other character is one '?'.
std::string drawable(std::string_view text, std::size_t most) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kSigns{
        {{"\u00b2", "2"}, {"\u00b0", " deg"}, {"\u00d7", "x"}, {"\u2212", "-"}, {"\u2014", "-"}, {"\u00b5", "u"}}};
    std::string out;
    std::size_t shown = 0;
    std::size_t k = 0;
    for (; k < text.size() && shown < most; ++shown) {
        const auto c = static_cast<unsigned char>(text[k]);
        if (c < 0x80) {
            out += c >= ' ' && c != 0x7f ? static_cast<char>(c) : '?';
            ++k;
            continue;
        }
        std::size_t length = 1;
        while (k + length < text.size() && (static_cast<unsigned char>(text[k + length]) & 0xC0U) == 0x80U) {
            ++length;
        }
        const auto sign = std::find_if(kSigns.begin(), kSigns.end(),
                                       [&](const auto& s) { return text.substr(k, length) == s.first; });
        out += sign == kSigns.end() ? std::string_view("?") : sign->second;
        k += length;
    }
    if (k < text.size()) {
        out += "...";
    }
    return out;
}

std::string labelOf(const RegionResult& r) {
    std::string label = drawable(r.region.id, 16);
    if (!r.measured.ok()) {
        return label + " unmeasured";
    }
    const auto margin = marginOf(r);
    if (!margin) {
        return label + " no verdict";
    }
    // As the table writes it, so that a tag and its row never disagree at a band's edge.
    const std::string& shown = r.evaluation.margin;
    return label + (shown.starts_with('-') ? " " : " +") + shown;
}

struct Pen {
    int face = cv::FONT_HERSHEY_SIMPLEX;
    double scale = 0.5;
    int thickness = 1;

    [[nodiscard]] cv::Size size(const std::string& text, int* baseline) const {
        return cv::getTextSize(text, face, scale, thickness, baseline);
    }
};

void dashedRectangle(cv::Mat& canvas, cv::Rect r, const cv::Scalar& colour, int thickness) {
    const int dash = 4 * thickness + 4;
    const auto line = [&](cv::Point a, cv::Point b) {
        const double length = std::hypot(b.x - a.x, b.y - a.y);
        for (double at = 0; at < length; at += 2 * dash) {
            const double end = std::min(length, at + dash);
            const cv::Point from(a.x + static_cast<int>((b.x - a.x) * at / length),
                                 a.y + static_cast<int>((b.y - a.y) * at / length));
            const cv::Point to(a.x + static_cast<int>((b.x - a.x) * end / length),
                               a.y + static_cast<int>((b.y - a.y) * end / length));
            cv::line(canvas, from, to, colour, thickness);
        }
    };
    const cv::Point tl = r.tl();
    const cv::Point br(r.x + r.width, r.y + r.height);
    line(tl, {br.x, tl.y});
    line({br.x, tl.y}, br);
    line(br, {tl.x, br.y});
    line({tl.x, br.y}, tl);
}

// A filled tag with text, its top left at at; dark text on the light colours.
void tag(cv::Mat& canvas, cv::Point at, const std::string& text, const cv::Scalar& colour, const Pen& pen) {
    int baseline = 0;
    const cv::Size size = pen.size(text, &baseline);
    const int pad = std::max(2, size.height / 4);
    cv::rectangle(canvas, cv::Rect(at.x, at.y, size.width + 2 * pad, size.height + baseline + 2 * pad), colour,
                  cv::FILLED);
    const bool dark = colour == kRed;
    cv::putText(canvas, text, {at.x + pad, at.y + pad + size.height}, pen.face, pen.scale,
                dark ? cv::Scalar(255, 255, 255) : cv::Scalar(0, 0, 0), pen.thickness, cv::LINE_AA);
}

cv::Size tagSize(const std::string& text, const Pen& pen) {
    int baseline = 0;
    const cv::Size size = pen.size(text, &baseline);
    const int pad = std::max(2, size.height / 4);
    return {size.width + 2 * pad, size.height + baseline + 2 * pad};
}

// Words laid into lines no wider than width.
std::vector<std::string> wrapped(const std::string& text, int width, const Pen& pen) {
    std::vector<std::string> lines;
    std::string line;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        end = end == std::string::npos ? text.size() : end;
        const std::string word = text.substr(start, end - start);
        start = end + 1;
        std::string longer = line;
        longer += (line.empty() ? "" : " ") + word;
        int baseline = 0;
        if (!line.empty() && pen.size(longer, &baseline).width > width) {
            lines.push_back(line);
            line = word;
        } else {
            line = longer;
        }
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    return lines;
}

} // namespace

std::string mapPng(const LuminanceImage& image, const std::vector<RegionResult>& results, const Bands& bands,
                   const std::string& caption) {
    if (image.width <= 0 || image.height <= 0 ||
        image.shade.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height)) {
        return {};
    }
    // A small screen is enlarged, pixels kept square, so that labels and legend fit beside it.
    constexpr int kNarrowest = 800;
    const int zoom = std::clamp((kNarrowest + image.width - 1) / image.width, 1, 8);
    const int width = image.width * zoom;
    const int height = image.height * zoom;
    Pen pen;
    pen.scale = std::clamp(width / 2400.0, 0.5, 1.2);
    pen.thickness = pen.scale >= 0.75 ? 2 : 1;
    const int line = std::max(2, width / 800);

    // Dimmed, so that the outlines stand out, yet the glyphs stay visible.
    const cv::Mat shade(image.height, image.width, CV_8UC1, const_cast<std::uint8_t*>(image.shade.data()));
    cv::Mat grey;
    shade.convertTo(grey, CV_8UC1, 0.55, 30);
    if (zoom > 1) {
        cv::resize(grey, grey, {width, height}, 0, 0, cv::INTER_NEAREST);
    }
    cv::Mat screen;
    cv::cvtColor(grey, screen, cv::COLOR_GRAY2BGR);

    // The outlines first, then every tag over them, so that no outline crosses a tag.
    struct Placed {
        cv::Point at;
        std::string text;
        cv::Scalar colour;
    };
    std::vector<Placed> tags;
    std::vector<cv::Rect> boxes;
    boxes.reserve(results.size());
    for (const RegionResult& r : results) {
        // Around the text, not over its glyphs.
        boxes.emplace_back(r.region.box.x * zoom - line, r.region.box.y * zoom - line, r.region.box.w * zoom + 2 * line,
                           r.region.box.h * zoom + 2 * line);
    }
    std::vector<cv::Rect> taken = boxes;
    for (std::size_t k = 0; k < results.size(); ++k) {
        const RegionResult& r = results[k];
        const Band band = bandOf(r, bands);
        const cv::Scalar colour = colourOf(band);
        const cv::Rect& box = boxes[k];
        if (band == Band::Unmeasured) {
            dashedRectangle(screen, box, colour, line);
        } else {
            cv::rectangle(screen, box, colour, line);
        }
        // Above the box, else below, right or left of it: the first place that
        // hides no other text nor tag, else the one that hides least.
        const std::string text = labelOf(r);
        const cv::Size size = tagSize(text, pen);
        const std::array<cv::Point, 4> places{{{box.x, box.y - size.height},
                                               {box.x, box.y + box.height},
                                               {box.x + box.width, box.y},
                                               {box.x - size.width, box.y}}};
        cv::Rect best;
        long hidden = -1;
        for (const cv::Point& p : places) {
            const cv::Rect at(std::clamp(p.x, 0, std::max(0, width - size.width)),
                              std::clamp(p.y, 0, std::max(0, height - size.height)), size.width, size.height);
            long overlap = 0;
            for (std::size_t j = 0; j < taken.size(); ++j) {
                overlap += j == k ? 0 : (at & taken[j]).area();
            }
            if (hidden < 0 || overlap < hidden) {
                best = at;
                hidden = overlap;
            }
            if (overlap == 0) {
                break;
            }
        }
        taken.push_back(best);
        tags.push_back({best.tl(), text, colour});
    }
    for (const Placed& t : tags) {
        tag(screen, t.at, t.text, t.colour, pen);
    }

    // The strip below: the legend, then the case.
    const std::array<std::pair<std::string, cv::Scalar>, 4> legend{{
        {"Not Legible or no verdict", kRed},
        {"margin 0 to " +
             [&] {
                 std::array<char, 32> t{};
                 std::snprintf(t.data(), t.size(), "%.2f", bands.comfortable);
                 return std::string(t.data());
             }(),
         kAmber},
        {"margin " +
             [&] {
                 std::array<char, 32> t{};
                 std::snprintf(t.data(), t.size(), "%.2f", bands.comfortable);
                 return std::string(t.data());
             }() +
             " or more",
         kGreen},
        {"not measured", kGrey},
    }};
    const int gap = tagSize("M", pen).height / 2;
    const int rowHeight = tagSize("Mg", pen).height + gap;
    std::vector<std::vector<std::size_t>> legendRows(1);
    int used = gap;
    for (std::size_t k = 0; k < legend.size(); ++k) {
        const int w = tagSize(legend[k].first, pen).width + gap;
        if (used + w > width && !legendRows.back().empty()) {
            legendRows.emplace_back();
            used = gap;
        }
        legendRows.back().push_back(k);
        used += w;
    }
    const std::string key = "Each box: region id and margin_log, the log10 contrast above threshold.";
    std::vector<std::string> lines = wrapped(key, width - 2 * gap, pen);
    for (const std::string& l : wrapped(drawable(caption, 2000), width - 2 * gap, pen)) {
        lines.push_back(l);
    }
    const int strip = gap + static_cast<int>(legendRows.size() + lines.size()) * rowHeight + gap;
    cv::Mat canvas(height + strip, width, CV_8UC3, cv::Scalar(255, 255, 255));
    screen.copyTo(canvas(cv::Rect(0, 0, width, height)));
    int y = height + gap;
    for (const auto& row : legendRows) {
        int x = gap;
        for (const std::size_t k : row) {
            tag(canvas, {x, y}, legend[k].first, legend[k].second, pen);
            x += tagSize(legend[k].first, pen).width + gap;
        }
        y += rowHeight;
    }
    for (const std::string& l : lines) {
        int baseline = 0;
        const cv::Size size = pen.size(l, &baseline);
        cv::putText(canvas, l, {gap, y + size.height + gap / 2}, pen.face, pen.scale, cv::Scalar(0, 0, 0),
                    pen.thickness, cv::LINE_AA);
        y += rowHeight;
    }

    std::vector<std::uint8_t> png;
    try {
        if (!cv::imencode(".png", canvas, png)) {
            return {};
        }
    } catch (const cv::Exception&) {
        return {};
    }
    return {png.begin(), png.end()};
}

} // namespace vistrel::screen
