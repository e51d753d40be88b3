// SPDX-License-Identifier: GPL-3.0-or-later
// vistrel-plot: draws a sweep of vistrel-cli as a figure for a design review.
// Reads "x,threshold,actual,state" lines (or, with --tornado, the bars of a
// tolerance run) on stdin and writes the chart as SVG, PNG or PDF to stdout,
// with no display. The caller owns the file: it writes
// it atomically. The arguments are described in cli/render/plotter.h, the
// lines in plot_protocol.h.

#include "calc/number_text.h"
#include "plot_points.h"
#include "plot_protocol.h"

#include <QApplication>
#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QBuffer>
#include <QCategoryAxis>
#include <QChart>
#include <QFont>
#include <QFontMetricsF>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QHorizontalBarSeries>
#include <QImage>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPainter>
#include <QPdfWriter>
#include <QScreen>
#include <QSvgGenerator>
#include <QTextDocument>
#include <QValueAxis>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace {

using vistrel::plot::Point;
using vistrel::plot::State;

enum class Format { Svg, Png, Pdf };

struct Options {
    Format format = Format::Svg;
    QString title = QStringLiteral("Threshold and actual contrast");
    QString xTitle = QStringLiteral("x");
    QString xUnit;
    QString caption;
    bool titled = false; // --title was given
    bool logX = false;
    bool tornado = false; // bars of a tolerance run instead of points
    vistrel::plot::Size size;
};

constexpr std::string_view kUsage = "usage: vistrel-plot svg|png|pdf [--title TEXT] [--x-title TEXT] [--x-unit UNIT] "
                                    "[--caption TEXT] [--log-x] [--tornado] [--size WxH] < points > chart\n";

std::optional<Options> parseArguments(int argc, char** argv, const vistrel::NumberText& numbers) {
    if (argc < 2) {
        return std::nullopt;
    }
    Options o;
    const std::string_view format = argv[1];
    if (format == "svg") {
        o.format = Format::Svg;
    } else if (format == "png") {
        o.format = Format::Png;
    } else if (format == "pdf") {
        o.format = Format::Pdf;
    } else {
        return std::nullopt;
    }
    for (int k = 2; k < argc; ++k) {
        const std::string_view name = argv[k];
        if (name == vistrel::plot::kLogXOption || name == vistrel::plot::kTornadoOption) {
            (name == vistrel::plot::kLogXOption ? o.logX : o.tornado) = true;
            continue;
        }
        if (k + 1 >= argc) {
            return std::nullopt;
        }
        const char* value = argv[++k];
        if (name == vistrel::plot::kTitleOption) {
            o.title = QString::fromUtf8(value);
            o.titled = true;
        } else if (name == vistrel::plot::kXTitleOption) {
            o.xTitle = QString::fromUtf8(value);
        } else if (name == vistrel::plot::kXUnitOption) {
            o.xUnit = QString::fromUtf8(value);
        } else if (name == vistrel::plot::kCaptionOption) {
            o.caption = QString::fromUtf8(value);
        } else if (name == vistrel::plot::kSizeOption) {
            const auto size = vistrel::plot::parseSize(value, numbers);
            if (!size) {
                return std::nullopt;
            }
            o.size = *size;
        } else {
            return std::nullopt;
        }
    }
    return o;
}

// Where the verdict changes: between two samples, so the label's precision
// follows their spacing.
struct Change {
    double x;
    double gap;
    State after;
};

std::vector<Change> changesOf(const std::vector<Point>& points, bool logX) {
    std::vector<Change> changes;
    for (std::size_t k = 1; k < points.size(); ++k) {
        const double a = points[k - 1].x;
        const double b = points[k].x;
        if (points[k].state != points[k - 1].state) {
            changes.push_back({logX ? std::sqrt(a * b) : (a + b) / 2, std::fabs(b - a), points[k].state});
        }
    }
    return changes;
}

QString changeLabel(const Change& c, const QString& unit) {
    const QString state = c.after == State::Legible      ? QStringLiteral("Legible")
                          : c.after == State::NotLegible ? QStringLiteral("Not legible")
                                                         : QStringLiteral("No verdict");
    // One digit finer than the spacing of the samples on either side.
    const int digit = c.gap > 0 ? std::clamp(static_cast<int>(std::floor(std::log10(c.gap))) - 1, -6, 15) : 0;
    const double place = std::pow(10.0, digit);
    const double value = std::round(c.x / place) * place;
    QString text = state + QStringLiteral(" beyond ") + QString::number(value, 'f', std::max(-digit, 0));
    return unit.isEmpty() ? text : text + QLatin1Char(' ') + unit;
}

// A round step near span / wanted: 1, 2 or 5 times a power of ten.
double niceStep(double span, int wanted, int& minorTicks) {
    const double raw = span / std::max(wanted, 1);
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    const double mantissa = raw / decade;
    const double nice = mantissa <= 1 ? 1 : mantissa <= 2 ? 2 : mantissa <= 5 ? 5 : 10;
    minorTicks = nice == 2 ? 3 : 4;
    return nice * decade;
}

QLogValueAxis* logAxis(double low, double high) {
    auto* axis = new QLogValueAxis;
    axis->setBase(10);
    // Whole decades, a hair wider so that rounding cannot drop the end labels.
    const double bottom = std::pow(10.0, std::floor(std::log10(low)));
    const double top = std::pow(10.0, std::ceil(std::log10(high)));
    axis->setRange(bottom * (1 - 1e-9), (top > bottom ? top : top * 10) * (1 + 1e-9));
    axis->setLabelFormat(QStringLiteral("%g"));
    axis->setGridLinePen(QPen(QColor(180, 180, 180), 1));
    return axis;
}

QAbstractAxis* linearAxis(double low, double high, int widthPixels) {
    auto* axis = new QValueAxis;
    if (low == high) {
        low -= 1;
        high += 1;
    }
    axis->setRange(low, high);
    int minor = 4;
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(niceStep(high - low, widthPixels / 110, minor));
    axis->setMinorTickCount(minor);
    axis->setLabelFormat(QStringLiteral("%.10g"));
    axis->setMinorGridLinePen(QPen(QColor(235, 235, 235), 1));
    axis->setGridLinePen(QPen(QColor(180, 180, 180), 1));
    return axis;
}

struct Curves {
    QLineSeries* threshold;
    QLineSeries* actual;
    QLineSeries* upper; // the shading's bounds: between the curves where legible,
    QLineSeries* lower; // of no height elsewhere
};

// Beyond this many runs the rest are joined: each costs a series to draw.
constexpr std::size_t kMostRuns = 200;
// Beyond this many changes the rest are drawn as plain lines, one to a pixel
// column, and without labels, which could not be read: every series makes the
// chart and its legend do work that grows with the number of series.
constexpr std::size_t kMostChangeSeries = 40;

Curves curvesOn(QChart* chart) {
    Curves c{new QLineSeries, new QLineSeries, new QLineSeries(chart), new QLineSeries(chart)};
    c.threshold->setName(QStringLiteral("Threshold contrast"));
    c.actual->setName(QStringLiteral("Actual contrast"));
    return c;
}

struct Figure {
    QChart* chart;
    QLineSeries* threshold; // attached to both axes, to place things by value
    std::vector<Change> changes;
    std::vector<QLineSeries*> changeLines;
};

Figure buildChart(const std::vector<Point>& points, const Options& o) {
    auto* chart = new QChart;
    chart->setTitle(o.title);
    QFont titleFont = chart->titleFont();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->setBackgroundRoundness(0);
    chart->setDropShadowEnabled(false);
    // A run of points with a verdict; the curves break where there is none.
    std::vector<Curves> runs{curvesOn(chart)};
    double low = std::numeric_limits<double>::max();
    double high = 0;
    bool anyLegible = false;
    bool broken = false;
    for (const Point& p : points) {
        if (!p.threshold || !p.actual) {
            broken = runs.back().threshold->count() > 0;
            continue;
        }
        if (broken && runs.size() < kMostRuns) {
            runs.push_back(curvesOn(chart));
        }
        broken = false;
        const Curves& c = runs.back();
        c.threshold->append(p.x, *p.threshold);
        c.actual->append(p.x, *p.actual);
        const bool legible = p.state == State::Legible;
        anyLegible = anyLegible || legible;
        c.upper->append(p.x, legible ? *p.actual : *p.threshold);
        c.lower->append(p.x, *p.threshold);
        low = std::min({low, *p.threshold, *p.actual});
        high = std::max({high, *p.threshold, *p.actual});
    }
    if (high == 0) {
        low = 0.1;
        high = 10;
    }
    double first = 1;
    double last = 10;
    if (!points.empty()) {
        first = std::min(points.front().x, points.back().x);
        last = std::max(points.front().x, points.back().x);
    }
    QAbstractAxis* xAxis =
        o.logX ? static_cast<QAbstractAxis*>(logAxis(first, last)) : linearAxis(first, last, o.size.width);
    xAxis->setTitleText(o.xTitle);
    QLogValueAxis* yAxis = logAxis(low, high);
    yAxis->setTitleText(QStringLiteral("Contrast"));
    chart->addAxis(xAxis, Qt::AlignBottom);
    chart->addAxis(yAxis, Qt::AlignLeft);

    const auto attach = [&](QAbstractSeries* s) {
        chart->addSeries(s);
        s->attachAxis(xAxis);
        s->attachAxis(yAxis);
    };
    for (std::size_t k = 0; k < runs.size(); ++k) { // all shading first, under every curve
        auto* area = new QAreaSeries(runs[k].upper, runs[k].lower);
        area->setName(QStringLiteral("Legible"));
        area->setColor(QColor(60, 170, 90, 90));
        area->setBorderColor(Qt::transparent);
        attach(area);
        QLegendMarker* legible = chart->legend()->markers(area).first();
        legible->setVisible(anyLegible && k == 0);
        legible->setShape(QLegend::MarkerShapeRectangle);
    }
    for (std::size_t k = 0; k < runs.size(); ++k) {
        for (QLineSeries* curve : {runs[k].threshold, runs[k].actual}) {
            attach(curve);
            curve->setPointsVisible(curve->count() == 1); // a lone point draws no line
            chart->legend()->markers(curve).first()->setVisible(k == 0);
        }
        runs[k].threshold->setPen(QPen(QColor(200, 40, 40), 2));
        runs[k].actual->setPen(QPen(QColor(30, 80, 200), 2));
    }

    Figure figure{chart, runs.front().threshold, changesOf(points, o.logX), {}};
    for (const Change& c : figure.changes) {
        if (figure.changeLines.size() == kMostChangeSeries) {
            break; // the rest are drawn by moreChangeLines
        }
        auto* line = new QLineSeries;
        line->setName(QStringLiteral("Verdict change"));
        line->setPen(QPen(Qt::black, 1.5, Qt::DashLine));
        line->append(c.x, yAxis->min());
        line->append(c.x, yAxis->max());
        attach(line);
        chart->legend()->markers(line).first()->setVisible(figure.changeLines.empty());
        figure.changeLines.push_back(line);
    }
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
    return figure;
}

// Each change's value beside its line, stacked when they are close.
void labelChanges(const Figure& f, const Options& o) {
    const QRectF area = f.chart->plotArea();
    const QFont font = f.chart->legend()->font();
    for (std::size_t k = 0; k < f.changeLines.size(); ++k) {
        auto* text = new QGraphicsSimpleTextItem(changeLabel(f.changes[k], o.xUnit), f.chart);
        text->setFont(font);
        text->setZValue(11);
        const QRectF box = text->boundingRect();
        const double at = f.chart->mapToPosition(QPointF(f.changes[k].x, 1), f.threshold).x();
        const double left = at + 4 + box.width() <= area.right() ? at + 4 : at - 4 - box.width();
        text->setPos(left, area.top() + 4 + static_cast<double>(k % 4) * (box.height() + 2));
        auto* backing = new QGraphicsRectItem(text->mapRectToParent(box).adjusted(-2, 0, 2, 0), f.chart);
        backing->setBrush(QColor(255, 255, 255, 210));
        backing->setPen(Qt::NoPen);
        backing->setZValue(10);
    }
}

// The changes beyond the series drawn for them, as the series draw them: from
// the bottom of the plot area up, cut off at its edges, over the curves.
void moreChangeLines(const Figure& f) {
    if (f.changes.size() <= f.changeLines.size()) {
        return;
    }
    const QRectF area = f.chart->plotArea();
    // The series' own clip: the plot area and part of a pixel more, so that
    // the line's last dash is cut off where theirs is.
    const auto fraction = [](double v) { return v - std::trunc(v); };
    const double left = fraction(area.x());
    const double top = fraction(area.y());
    auto* clip = new QGraphicsRectItem(area.adjusted(-left, -top, std::max(left, fraction(area.width() + 0.5)),
                                                     std::max(top, fraction(area.height() + 0.5))),
                                       f.chart);
    clip->setPen(Qt::NoPen);
    clip->setFlag(QGraphicsItem::ItemClipsChildrenToShape);
    clip->setZValue(9); // under the labels
    std::vector<bool> drawn(static_cast<std::size_t>(std::max(0.0, area.right())) + 1);
    for (std::size_t k = f.changeLines.size(); k < f.changes.size(); ++k) {
        const double at = f.chart->mapToPosition(QPointF(f.changes[k].x, 1), f.threshold).x();
        const auto column = static_cast<std::size_t>(std::clamp(at, 0.0, static_cast<double>(drawn.size() - 1)));
        if (!drawn[column]) {
            drawn[column] = true;
            (new QGraphicsLineItem(QLineF(at, area.bottom(), at, area.top()), clip))
                ->setPen(QPen(Qt::black, 1.5, Qt::DashLine));
        }
    }
    std::fprintf(stderr, "vistrel-plot: the verdict changes %zu times; only the first %zu changes are labelled\n",
                 f.changes.size(), f.changeLines.size());
}

// A log axis's minor ticks and gridlines at 2 to 9 times each power of ten,
// where a reader looks for them; the chart's own minor ticks are evenly spaced.
void logMinorLines(const Figure& f, Qt::Orientation orientation) {
    const auto* axis = static_cast<const QLogValueAxis*>(f.chart->axes(orientation).first());
    const QRectF area = f.chart->plotArea();
    const QPen pen(QColor(225, 225, 225), 1);
    for (double decade = std::pow(10.0, std::floor(std::log10(axis->min()))); decade < axis->max(); decade *= 10) {
        for (int m = 2; m <= 9; ++m) {
            const double v = m * decade;
            if (v <= axis->min() || v >= axis->max()) {
                continue;
            }
            const bool vertical = orientation == Qt::Horizontal;
            const QPointF at = f.chart->mapToPosition(vertical ? QPointF(v, axis->min()) : QPointF(1, v), f.threshold);
            const QLineF grid = vertical ? QLineF(at.x(), area.top(), at.x(), area.bottom())
                                         : QLineF(area.left(), at.y(), area.right(), at.y());
            const QLineF tick = vertical ? QLineF(at.x(), area.bottom(), at.x(), area.bottom() + 3)
                                         : QLineF(area.left() - 3, at.y(), area.left(), at.y());
            (new QGraphicsLineItem(grid, f.chart))->setPen(pen);
            (new QGraphicsLineItem(tick, f.chart))->setPen(QPen(QColor(120, 120, 120), 1));
        }
    }
}

// Offscreen without a session, Qt warns about a runtime directory it never uses.
void quietMessages(QtMsgType type, const QMessageLogContext& /*context*/, const QString& message) {
    if (type == QtDebugMsg || message.startsWith(QLatin1String("QStandardPaths:"))) {
        return;
    }
    std::fprintf(stderr, "vistrel-plot: %s\n", qPrintable(message));
}

// The scene laid out at its final size, then drawn onto the whole device:
// explicit source and target rectangles, so no format rescales a part of it.
bool paint(QGraphicsScene& scene, QPaintDevice& device, const QRectF& target) {
    QPainter painter;
    if (!painter.begin(&device)) {
        return false;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    scene.render(&painter, target, scene.sceneRect(), Qt::IgnoreAspectRatio);
    return painter.end();
}

// The family the charts are laid out in, and as an SVG names it: fonts with
// its widths, then the generic family, so that no browser falls back to a
// serif font of other widths. The window's package installs Liberation Sans.
constexpr const char* kFontFamily = "Liberation Sans";
constexpr const char* kSvgFontFamilies = "Liberation Sans, Arial, Helvetica, sans-serif";

// QSvgGenerator writes the one family a font names.
void nameFallbackFonts(QByteArray& svg) {
    svg.replace(QByteArray("font-family=\"") + kFontFamily + '"',
                QByteArray("font-family=\"") + kSvgFontFamilies + '"');
}

QByteArray render(QGraphicsScene& scene, const Options& o, int dpi) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QSize size(o.size.width, o.size.height);
    const QRectF whole(QPointF(0, 0), QSizeF(size));
    bool ok = false;
    if (o.format == Format::Svg) {
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(size);
        generator.setViewBox(whole);
        generator.setResolution(dpi);                // text keeps the size it was laid out at
        generator.setTitle(o.title.toHtmlEscaped()); // written into the XML as it is given
        ok = paint(scene, generator, whole);
    } else if (o.format == Format::Pdf) {
        QPdfWriter writer(&buffer);
        writer.setResolution(dpi);
        writer.setPageSize(QPageSize(QSizeF(size) * 72.0 / dpi, QPageSize::Point, {}, QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setTitle(o.title);
        writer.setCreator(QStringLiteral("vistrel-plot"));
        ok = paint(scene, writer, QRectF(0, 0, writer.width(), writer.height()));
    } else {
        QImage image(size, QImage::Format_ARGB32);
        const int dotsPerMeter = qRound(dpi / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        image.fill(Qt::white);
        ok = paint(scene, image, whole) && image.save(&buffer, "PNG");
    }
    buffer.close();
    if (ok && o.format == Format::Svg) {
        nameFallbackFonts(bytes);
    }
    return ok ? bytes : QByteArray();
}

// Replaces a margin axis's ticks: round steps, labelled as tickText writes
// them, so that 0 reads 0.
void placeTicks(QCategoryAxis* axis, vistrel::plot::AxisRange range, int widthPixels) {
    for (const QString& label : axis->categoriesLabels()) {
        axis->remove(label);
    }
    int minor = 4;
    const double step = niceStep(range.high - range.low, widthPixels / 110, minor);
    axis->setRange(range.low, range.high);
    axis->setStartValue(range.low - step);
    for (double k = std::ceil(range.low / step); k * step <= range.high; ++k) {
        axis->append(QString::fromStdString(vistrel::plot::tickText(k * step, step)), k * step);
    }
}

struct Tornado {
    QChart* chart = nullptr;
    QHorizontalBarSeries* series = nullptr;
    QCategoryAxis* margin = nullptr;
    std::vector<vistrel::plot::Bar> bars; // bottom up
    double centre = 0;                    // margin_log with every input at its median
};

constexpr double kBarWidth = 0.7; // of a category; the low and high bars share it

// A tornado of vistrel-cli tolerance (plot_protocol.h): the centre's margin,
// then a bar per input, largest swing first, drawn at the top. Each input's
// low and high bars run from the centre to their margins. Lines that cannot
// be read are left out.
Tornado buildTornado(std::FILE* in, const Options& o, const vistrel::NumberText& numbers) {
    Tornado t;
    t.chart = new QChart;
    t.chart->setTitle(o.titled ? o.title
                               : QString::fromUtf8(vistrel::plot::kTornadoTitle.data(),
                                                   static_cast<qsizetype>(vistrel::plot::kTornadoTitle.size())));
    std::vector<std::string> lines;
    std::string line;
    for (int c = std::fgetc(in); c != EOF; c = std::fgetc(in)) {
        if (c == '\n' && lines.size() < 1000) {
            lines.push_back(std::move(line));
            line.clear();
        } else if (line.size() < 400) {
            line += static_cast<char>(c);
        }
    }
    std::size_t first = 0;
    if (!lines.empty()) {
        const vistrel::ParsedNumber centre = numbers.parse(lines.front());
        if (centre.ok() && std::isfinite(centre.value)) {
            t.centre = centre.value;
            first = 1;
        }
    }
    for (std::size_t k = lines.size(); k-- > first;) { // bottom up
        if (auto bar = vistrel::plot::parseBarLine(lines[k], numbers)) {
            t.bars.push_back(std::move(*bar));
        }
    }
    auto* atLow = new QBarSet(QStringLiteral("At the low value"));
    auto* atHigh = new QBarSet(QStringLiteral("At the high value"));
    QStringList captions;
    for (const vistrel::plot::Bar& b : t.bars) {
        captions << QString::fromStdString(b.caption);
        *atLow << b.atLow - t.centre;
        *atHigh << b.atHigh - t.centre;
    }
    t.series = new QHorizontalBarSeries;
    t.series->setBarWidth(kBarWidth);
    t.series->append(atLow);
    t.series->append(atHigh);
    t.chart->addSeries(t.series);
    auto* inputs = new QBarCategoryAxis;
    inputs->append(captions);
    t.chart->addAxis(inputs, Qt::AlignLeft);
    t.series->attachAxis(inputs);
    t.margin = new QCategoryAxis;
    t.margin->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    t.margin->setGridLinePen(QPen(QColor(200, 200, 200), 1));
    t.margin->setTitleText(QStringLiteral("Change of margin_log (log units) from %1, every input at its median")
                               .arg(QString::fromStdString(numbers.plain(std::round(t.centre * 1000) / 1000))));
    placeTicks(t.margin, vistrel::plot::tornadoRange(t.bars, t.centre, 0.3), o.size.width);
    t.chart->addAxis(t.margin, Qt::AlignBottom);
    t.series->attachAxis(t.margin);
    t.chart->legend()->setAlignment(Qt::AlignBottom);
    return t;
}

QString barLabel(double value, double margin, const std::string& unit, const vistrel::NumberText& numbers) {
    QString text = QString::fromStdString(numbers.plain(value));
    if (!unit.empty()) {
        text += QChar(0x00A0) + QString::fromStdString(unit);
    }
    return text + QStringLiteral(": ") + QString::fromStdString(numbers.plain(std::round(margin * 1000) / 1000));
}

// Once laid out: the axis wide enough for every bar and its label, the
// centre's line, the threshold's where it is in range, and the labels.
void finishTornado(const Tornado& t, const Options& o, const vistrel::NumberText& numbers) {
    const QFont font = t.chart->legend()->font();
    const QFontMetricsF metrics(font);
    double widest = 0;
    for (const vistrel::plot::Bar& b : t.bars) {
        for (const auto& [value, margin] : {std::pair{b.lowValue, b.atLow}, std::pair{b.highValue, b.atHigh}}) {
            widest = std::max(widest, metrics.horizontalAdvance(barLabel(value, margin, b.unit, numbers)));
        }
    }
    const double half = t.chart->plotArea().width() / 2;
    placeTicks(t.margin, vistrel::plot::tornadoRange(t.bars, t.centre, half > 0 ? (widest + 8) / half : 0.8),
               o.size.width);
    QCoreApplication::processEvents(); // lays the axis out again

    const QRectF area = t.chart->plotArea();
    const auto xAt = [&](double change) { return t.chart->mapToPosition(QPointF(change, 0), t.series).x(); };
    const auto yAt = [&](double category) { return t.chart->mapToPosition(QPointF(0, category), t.series).y(); };
    auto* centre = new QGraphicsLineItem(QLineF(xAt(0), area.top(), xAt(0), area.bottom()), t.chart);
    centre->setPen(QPen(QColor(30, 30, 30), 2));
    centre->setZValue(10);
    if (-t.centre > t.margin->min() && -t.centre < t.margin->max()) {
        const double x = xAt(-t.centre);
        auto* threshold = new QGraphicsLineItem(QLineF(x, area.top(), x, area.bottom()), t.chart);
        threshold->setPen(QPen(QColor(200, 40, 40), 1.5, Qt::DashLine));
        threshold->setZValue(10);
        auto* text = new QGraphicsSimpleTextItem(QStringLiteral("Threshold (margin_log 0)"), t.chart);
        text->setFont(font);
        text->setBrush(QColor(200, 40, 40));
        text->setZValue(11);
        const double width = text->boundingRect().width();
        text->setPos(x + 4 + width <= area.right() ? x + 4 : x - 4 - width, area.top() + 2);
    }
    for (std::size_t k = 0; k < t.bars.size(); ++k) {
        const vistrel::plot::Bar& b = t.bars[k];
        const double category = static_cast<double>(k);
        for (const auto& [value, margin, offset] :
             {std::tuple{b.lowValue, b.atLow, -kBarWidth / 4}, std::tuple{b.highValue, b.atHigh, kBarWidth / 4}}) {
            auto* text = new QGraphicsSimpleTextItem(barLabel(value, margin, b.unit, numbers), t.chart);
            text->setFont(font);
            text->setZValue(11);
            const QRectF box = text->boundingRect();
            const double end = xAt(margin - t.centre);
            const double left = margin >= t.centre ? end + 4 : end - 4 - box.width();
            text->setPos(left, yAt(category + offset) - box.height() / 2);
        }
    }
}

// Renders the scene and writes it to stdout; the exit status.
int writeChart(QGraphicsScene& scene, const Options& o) {
    const int dpi = qRound(QGuiApplication::primaryScreen()->logicalDotsPerInchY());
    const QByteArray bytes = render(scene, o, dpi);
    if (bytes.isEmpty()) {
        std::fprintf(stderr, "vistrel-plot: cannot draw the chart\n");
        return 1;
    }
    if (std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout) !=
            static_cast<std::size_t>(bytes.size()) ||
        std::fflush(stdout) != 0) {
        std::fprintf(stderr, "vistrel-plot: cannot write the chart: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const vistrel::NumberText numbers(vistrel::NumberFormat::invariant());
    const auto options = parseArguments(argc, argv, numbers);
    if (!options) {
        std::fputs(kUsage.data(), stderr);
        return 2;
    }
    const Options& o = *options;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen"); // it never shows a window
    }
    qInstallMessageHandler(quietMessages);
    int qtArgc = 1; // no argument is Qt's to read
    QApplication app(qtArgc, argv);
    QFont font = QApplication::font();
    font.setFamilies({QString::fromLatin1(kFontFamily)});
    QApplication::setFont(font);
    QGraphicsScene scene;
    scene.setBackgroundBrush(Qt::white);
    const QRectF whole(0, 0, o.size.width, o.size.height);
    scene.setSceneRect(whole);
    if (o.tornado) {
        const Tornado tornado = buildTornado(stdin, o, numbers);
        scene.addItem(tornado.chart);
        tornado.chart->setGeometry(whole);
        QCoreApplication::processEvents();
        finishTornado(tornado, o, numbers);
        return writeChart(scene, o);
    }
    vistrel::plot::Points read = vistrel::plot::readPoints(stdin);
    if (o.logX) {
        const auto notPositive =
            std::remove_if(read.points.begin(), read.points.end(), [](const Point& p) { return !(p.x > 0); });
        read.skipped += static_cast<std::size_t>(read.points.end() - notPositive);
        read.points.erase(notPositive, read.points.end());
    }
    if (read.skipped > 0) {
        std::fprintf(stderr,
                     "vistrel-plot: %zu points could not be drawn (not numbers, beyond %g%s) and are left out\n",
                     read.skipped, vistrel::plot::kLargestX, o.logX ? ", or not above 0 on a log axis" : "");
    }

    const Figure figure = buildChart(read.points, o);
    scene.addItem(figure.chart);
    double chartHeight = whole.height();
    if (!o.caption.isEmpty()) {
        auto* caption = new QGraphicsTextItem;
        caption->setPlainText(o.caption);
        caption->setDefaultTextColor(QColor(60, 60, 60));
        caption->setTextWidth(whole.width() - 24);
        scene.addItem(caption);
        const double height = caption->document()->size().height();
        chartHeight = std::max(whole.height() / 2, whole.height() - height - 6);
        caption->setPos(12, chartHeight);
    }
    figure.chart->setGeometry(QRectF(0, 0, whole.width(), chartHeight));
    QCoreApplication::processEvents(); // lays the chart out at its size before anything is placed on it
    moreChangeLines(figure);
    labelChanges(figure, o);
    logMinorLines(figure, Qt::Vertical);
    if (o.logX) {
        logMinorLines(figure, Qt::Horizontal);
    }

    return writeChart(scene, o);
}
