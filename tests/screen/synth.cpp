// SPDX-License-Identifier: GPL-3.0-or-later
#include "synth.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

namespace vistrel::screen::synth {

namespace {

// Text is drawn this many times larger and averaged down, so that a pixel's
// value is exactly its share of ink whatever Qt does to anti-aliased edges.
constexpr int kSuper = 4;
constexpr int kDotsPerMetre72 = 2835; // 72 dpi: a point is a pixel

struct Ink {
    int w = 0;
    int h = 0;
    std::vector<float> cov; // 0..1, row by row
    [[nodiscard]] float at(int x, int y) const {
        return cov[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)];
    }
};

QImage canvas(int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.setDotsPerMeterX(kDotsPerMetre72);
    img.setDotsPerMeterY(kDotsPerMetre72);
    img.fill(Qt::black);
    return img;
}

QFont font(const Lettering& lettering, double points, bool antialias) {
    QFont f(QString::fromStdString(lettering.family));
    f.setPointSizeF(points);
    f.setBold(lettering.bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setStyleStrategy(antialias ? QFont::PreferAntialias : QFont::NoAntialias);
    return f;
}

// The points at which "H" is one pixel tall.
double pointsPerCapPixel(const Lettering& lettering) {
    const QImage probe = canvas(1, 1);
    const QFontMetricsF fm(font(lettering, 100.0, true), &probe);
    return 100.0 / fm.tightBoundingRect(QStringLiteral("H")).height();
}

Ink ink(const Lettering& lettering, const QString& text) {
    const QImage probe = canvas(1, 1);
    const QFont f = font(lettering, lettering.capPx * pointsPerCapPixel(lettering) * kSuper, true);
    const QFontMetricsF fm(f, &probe);
    const int pad = static_cast<int>(std::ceil(fm.height() / 2 / kSuper)) * kSuper;
    const int w = (static_cast<int>(std::ceil(fm.horizontalAdvance(text) / kSuper)) + 1) * kSuper + 2 * pad;
    const int h = (static_cast<int>(std::ceil(fm.height() / kSuper)) + 1) * kSuper + 2 * pad;
    QImage img = canvas(w, h);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QPointF(pad, pad + fm.ascent()), text);
    }
    Ink out{w / kSuper, h / kSuper, {}};
    out.cov.assign(static_cast<std::size_t>(out.w) * static_cast<std::size_t>(out.h), 0.0F);
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            out.cov[static_cast<std::size_t>(y / kSuper) * static_cast<std::size_t>(out.w) +
                    static_cast<std::size_t>(x / kSuper)] +=
                static_cast<float>(qRed(line[x])) / (255.0F * kSuper * kSuper);
        }
    }
    return out;
}

Ink inkOfPath(const QPainterPath& path, const QPen& pen, bool fill) {
    const QRectF r = path.boundingRect().adjusted(-pen.widthF(), -pen.widthF(), pen.widthF(), pen.widthF());
    const int w = static_cast<int>(std::ceil(r.width())) + 2;
    const int h = static_cast<int>(std::ceil(r.height())) + 2;
    QImage img = canvas(w * kSuper, h * kSuper);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(kSuper, kSuper);
        p.translate(1.0 - r.x(), 1.0 - r.y());
        p.setPen(pen);
        if (fill) {
            p.setBrush(Qt::white);
        }
        p.drawPath(path);
    }
    Ink out{w, h, std::vector<float>(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0.0F)};
    for (int y = 0; y < h * kSuper; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < w * kSuper; ++x) {
            out.cov[static_cast<std::size_t>(y / kSuper) * static_cast<std::size_t>(w) +
                    static_cast<std::size_t>(x / kSuper)] +=
                static_cast<float>(qRed(line[x])) / (255.0F * kSuper * kSuper);
        }
    }
    return out;
}

// The rows and columns where coverage reaches one half.
Box inkBox(const Ink& k, int atX, int atY) {
    int x0 = k.w;
    int y0 = k.h;
    int x1 = -1;
    int y1 = -1;
    for (int y = 0; y < k.h; ++y) {
        for (int x = 0; x < k.w; ++x) {
            if (k.at(x, y) >= 0.5F) {
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
        }
    }
    return {atX + x0, atY + y0, x1 - x0 + 1, y1 - y0 + 1};
}

// Ink of luminance cdm2 laid over the image, its top left at (atX, atY).
void stamp(LuminanceImage& image, const Ink& k, int atX, int atY, double cdm2) {
    for (int y = 0; y < k.h; ++y) {
        for (int x = 0; x < k.w; ++x) {
            const int ix = atX + x;
            const int iy = atY + y;
            if (ix < 0 || iy < 0 || ix >= image.width || iy >= image.height) {
                continue;
            }
            float& p = image.cdm2[static_cast<std::size_t>(iy) * static_cast<std::size_t>(image.width) +
                                  static_cast<std::size_t>(ix)];
            const float c = k.at(x, y);
            p = p * (1.0F - c) + static_cast<float>(cdm2) * c;
        }
    }
}

LuminanceImage sized(int width, int height) {
    LuminanceImage image;
    image.width = width;
    image.height = height;
    image.cdm2.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0.0F);
    image.shade.assign(image.cdm2.size(), 0);
    image.mmPerPixel = 0.2;
    return image;
}

void fillRect(LuminanceImage& image, const Box& b, double left, double right) {
    for (int y = std::max(b.y, 0); y < std::min(b.y + b.h, image.height); ++y) {
        for (int x = std::max(b.x, 0); x < std::min(b.x + b.w, image.width); ++x) {
            const double t = b.w > 1 ? static_cast<double>(x - b.x) / (b.w - 1) : 0.0;
            image.cdm2[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                       static_cast<std::size_t>(x)] = static_cast<float>(left + (right - left) * t);
        }
    }
}

} // namespace

Drawn drawLine(const Lettering& lettering) {
    const Ink line = ink(lettering, QString::fromStdString(lettering.text));
    const int margin = static_cast<int>(std::ceil(lettering.capPx));
    Drawn d;
    d.image = blank(line.w + 2 * margin, line.h + 2 * margin, lettering.backgroundCdm2);
    stamp(d.image, line, margin, margin, lettering.letterCdm2);
    d.truth.box = inkBox(line, margin, margin);
    d.truth.letterCdm2 = lettering.letterCdm2;
    d.truth.backgroundCdm2 = lettering.backgroundCdm2;

    // Cap height: each row of "H" counts by its deepest coverage, which is
    // the share of that row the stems fill, so edges count in fractions.
    const Ink h = ink(lettering, QStringLiteral("H"));
    for (int y = 0; y < h.h; ++y) {
        float most = 0.0F;
        for (int x = 0; x < h.w; ++x) {
            most = std::max(most, h.at(x, y));
        }
        d.truth.capPx += static_cast<double>(most);
    }
    // Stroke: the stem of "I" at 20 times the size, in whole pixels, without
    // anti-aliasing, counted across the middle of its ink.
    constexpr double kLarge = 20.0;
    const QFont big = font(lettering, lettering.capPx * pointsPerCapPixel(lettering) * kLarge, false);
    const QImage probe = canvas(1, 1);
    const QFontMetricsF fm(big, &probe);
    const int w = static_cast<int>(fm.horizontalAdvance(QStringLiteral("I"))) + 20;
    const int ht = static_cast<int>(fm.height()) + 20;
    QImage img = canvas(w, ht);
    {
        QPainter p(&img);
        p.setFont(big);
        p.setPen(Qt::white);
        p.drawText(QPointF(10, 10 + fm.ascent()), QStringLiteral("I"));
    }
    int top = ht;
    int bottom = -1;
    for (int y = 0; y < ht; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        if (std::any_of(row, row + w, [](QRgb c) { return qRed(c) > 127; })) {
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    const auto* middle = reinterpret_cast<const QRgb*>(img.constScanLine((top + bottom) / 2));
    d.truth.strokePx =
        static_cast<double>(std::count_if(middle, middle + w, [](QRgb c) { return qRed(c) > 127; })) / kLarge;
    return d;
}

LuminanceImage blank(int width, int height, double cdm2) {
    LuminanceImage image = sized(width, height);
    std::fill(image.cdm2.begin(), image.cdm2.end(), static_cast<float>(cdm2));
    return image;
}

LuminanceImage gradient(int width, int height, double lo, double hi) {
    LuminanceImage image = sized(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double t = (static_cast<double>(x) / width + static_cast<double>(y) / height) / 2.0;
            image.cdm2[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                static_cast<float>(lo + (hi - lo) * t);
        }
    }
    return image;
}

LuminanceImage noise(int width, int height, int grain, std::uint32_t seed) {
    LuminanceImage image = sized(width, height);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> decade(1.0, 2.0);
    const int step = std::max(grain, 1);
    const int gw = width / step + 2;
    const int gh = height / step + 2;
    std::vector<double> grid(static_cast<std::size_t>(gw) * static_cast<std::size_t>(gh));
    for (double& g : grid) {
        g = decade(rng);
    }
    const auto at = [&](int gx, int gy) {
        return grid[static_cast<std::size_t>(gy) * static_cast<std::size_t>(gw) + static_cast<std::size_t>(gx)];
    };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // Smoothstep between the grid's values: soft blobs, as a photo's.
            const double fx = static_cast<double>(x) / step;
            const double fy = static_cast<double>(y) / step;
            const int gx = static_cast<int>(fx);
            const int gy = static_cast<int>(fy);
            double tx = fx - gx;
            double ty = fy - gy;
            tx = tx * tx * (3 - 2 * tx);
            ty = ty * ty * (3 - 2 * ty);
            const double top = at(gx, gy) * (1 - tx) + at(gx + 1, gy) * tx;
            const double bottom = at(gx, gy + 1) * (1 - tx) + at(gx + 1, gy + 1) * tx;
            image.cdm2[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                static_cast<float>(std::pow(10.0, top * (1 - ty) + bottom * ty));
        }
    }
    return image;
}

Dashboard dashboard(int width, int height, std::uint32_t seed) {
    static const std::array<const char*, 10> kTexts{"SPEED 120", "88 km/h",  "Fuel 45%",    "ENGINE TEMP",
                                                    "Range 320", "12:45",    "OIL 2.1 bar", "Battery 87%",
                                                    "GEAR D",    "Trip 1043"};
    static const std::array<const char*, 3> kFamilies{"Liberation Sans", "Liberation Serif", "Liberation Mono"};
    std::mt19937 rng(seed);
    const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const auto between = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };

    Dashboard d{sized(width, height), {}};
    constexpr int kCols = 3;
    constexpr int kRows = 3;
    const int cw = width / kCols;
    const int ch = height / kRows;
    for (int row = 0; row < kRows; ++row) {
        for (int col = 0; col < kCols; ++col) {
            const Box cell{col * cw, row * ch, cw, ch};
            const bool dark = pick(2) == 0;
            const double back = dark ? between(2.0, 10.0) : between(100.0, 250.0);
            const bool ramp = pick(3) == 0;
            fillRect(d.image, cell, back, ramp ? back * 1.6 : back);
            int y = cell.y + ch / 10;
            int lines = 0;
            while (lines < 2) {
                Lettering lettering;
                lettering.family = kFamilies[static_cast<std::size_t>(pick(3))];
                lettering.bold = pick(3) == 0;
                lettering.text = kTexts[static_cast<std::size_t>(pick(static_cast<int>(kTexts.size())))];
                lettering.capPx = std::max(12.0, height * between(0.02, 0.07));
                lettering.letterCdm2 = dark ? between(40.0, 200.0) : between(3.0, 25.0);
                const Ink text = ink(lettering, QString::fromStdString(lettering.text));
                const Box at = inkBox(text, 0, 0);
                const int x = cell.x + cw / 12 - at.x;
                if (cell.x + cw / 12 + at.w > cell.x + cw * 2 / 3 || y - at.y + at.y + at.h > cell.y + ch - ch / 10) {
                    break;
                }
                stamp(d.image, text, x, y - at.y, lettering.letterCdm2);
                d.lines.push_back(inkBox(text, x, y - at.y));
                // An icon to the right of the text, well clear of it.
                const double size = lettering.capPx * between(1.2, 2.0);
                const double iconX = cell.x + cw * 2.0 / 3.0 + 2.5 * lettering.capPx;
                if (iconX + 4 * size < cell.x + cw) {
                    QPainterPath path;
                    QPen pen(Qt::NoPen);
                    bool fill = true;
                    switch (pick(4)) {
                    case 0: path.addEllipse(QRectF(0, 0, size, size)); break;
                    case 1:
                        path.addEllipse(QRectF(0, 0, size, size));
                        pen = QPen(Qt::white, size * 0.15);
                        fill = false;
                        break;
                    case 2:
                        path.moveTo(0, size * 0.35);
                        path.lineTo(size * 0.6, size * 0.35);
                        path.lineTo(size * 0.6, 0);
                        path.lineTo(size, size * 0.5);
                        path.lineTo(size * 0.6, size);
                        path.lineTo(size * 0.6, size * 0.65);
                        path.lineTo(0, size * 0.65);
                        path.closeSubpath();
                        break;
                    default: path.addRect(QRectF(0, size * 0.3, size * 3, size * 0.4)); break;
                    }
                    stamp(d.image, inkOfPath(path, pen, fill), static_cast<int>(iconX), y, lettering.letterCdm2);
                }
                y += at.h + static_cast<int>(lettering.capPx * 1.5);
                ++lines;
            }
        }
    }
    return d;
}

} // namespace vistrel::screen::synth
