// vistrel-plot: draws a sweep of vistrel-cli. Reads "x,threshold,actual,state"
// lines (or, with --tornado, the bars of a tolerance run) on stdin and writes the chart as SVG or PNG to stdout, with
// no display. The caller owns the file: it writes it atomically.

#include "plot_points.h"

#include <QApplication>
#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QHorizontalBarSeries>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPainter>
#include <QPixmap>
#include <QSvgGenerator>
#include <QValueAxis>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace {

using vistrel::plot::Point;
using vistrel::plot::State;

struct Chart {
    QChart* chart;
    QValueAxis* xAxis;
    std::vector<double> changes; // where the verdict changes, drawn over the chart
};

Chart buildChart(const std::vector<Point>& points, const QString& xName) {
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Threshold and actual contrast against %1").arg(xName));
    auto* threshold = new QLineSeries;
    threshold->setName(QStringLiteral("Threshold contrast"));
    auto* actual = new QLineSeries;
    actual->setName(QStringLiteral("Actual contrast"));
    // Shades where the lettering is legible: between the curves there, of no
    // height elsewhere. One series, so that drawing stays linear in the points.
    auto* upper = new QLineSeries(chart); // the area does not own its bounds
    auto* lower = new QLineSeries(chart);
    double low = std::numeric_limits<double>::max();
    double high = 0;
    bool anyLegible = false;
    for (const Point& p : points) {
        if (!p.threshold || !p.actual) {
            continue;
        }
        threshold->append(p.x, *p.threshold);
        actual->append(p.x, *p.actual);
        const bool legible = p.state == State::Legible;
        anyLegible = anyLegible || legible;
        upper->append(p.x, legible ? *p.actual : *p.threshold);
        lower->append(p.x, *p.threshold);
        low = std::min({low, *p.threshold, *p.actual});
        high = std::max({high, *p.threshold, *p.actual});
    }
    if (high == 0) {
        low = 0.1;
        high = 10;
    }
    const double bottom = std::pow(10.0, std::floor(std::log10(low)));
    const double top = std::pow(10.0, std::ceil(std::log10(high)));

    auto* xAxis = new QValueAxis;
    xAxis->setTitleText(xName);
    xAxis->setLabelFormat(QStringLiteral("%g"));
    auto* yAxis = new QLogValueAxis;
    yAxis->setBase(10);
    yAxis->setTitleText(QStringLiteral("Contrast (log scale)"));
    yAxis->setRange(bottom * 0.98, top * 1.02); // keeps the end labels inside
    yAxis->setLabelFormat(QStringLiteral("%g"));
    chart->addAxis(xAxis, Qt::AlignBottom);
    chart->addAxis(yAxis, Qt::AlignLeft);

    const auto attach = [&](QAbstractSeries* s) {
        chart->addSeries(s);
        s->attachAxis(xAxis);
        s->attachAxis(yAxis);
    };
    auto* area = new QAreaSeries(upper, lower);
    area->setName(QStringLiteral("Legible"));
    area->setColor(QColor(60, 170, 90, 90));
    area->setBorderColor(Qt::transparent);
    attach(area);
    chart->legend()->markers(area).first()->setVisible(anyLegible);
    attach(threshold);
    attach(actual);
    threshold->setPen(QPen(QColor(200, 40, 40), 2));
    actual->setPen(QPen(QColor(30, 80, 200), 2));

    Chart result{chart, xAxis, {}};
    for (std::size_t k = 1; k < points.size(); ++k) {
        if (points[k].state != points[k - 1].state) {
            result.changes.push_back((points[k].x + points[k - 1].x) / 2);
        }
    }
    if (!result.changes.empty()) {
        auto* legendOnly = new QLineSeries; // the marks themselves are drawn over the chart
        legendOnly->setName(QStringLiteral("Verdict changes"));
        legendOnly->setPen(QPen(Qt::black, 1, Qt::DashLine));
        attach(legendOnly);
    }
    if (!points.empty()) {
        const double first = points.front().x;
        const double last = points.back().x;
        xAxis->setRange(std::min(first, last) - (first == last ? 1 : 0),
                        std::max(first, last) + (first == last ? 1 : 0));
    }
    return result;
}

// A tornado of vistrel-cli tolerance: "name,margin at low,margin at high"
// lines, largest swing first, drawn with the largest at the top. Lines
// without both numbers are left out.
Chart buildTornado(std::FILE* in) {
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("margin_log with each input at its low and its high value"));
    auto* atLow = new QBarSet(QStringLiteral("At the low value"));
    auto* atHigh = new QBarSet(QStringLiteral("At the high value"));
    QStringList names;
    std::vector<std::string> lines;
    std::string line;
    for (int c = std::fgetc(in); c != EOF; c = std::fgetc(in)) {
        if (c == '\n' && lines.size() < 1000) {
            lines.push_back(std::move(line));
            line.clear();
        } else if (line.size() < 200) {
            line += static_cast<char>(c);
        }
    }
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        const std::size_t first = it->find(',');
        const std::size_t second = it->find(',', first == std::string::npos ? first : first + 1);
        if (second == std::string::npos) {
            continue;
        }
        char* end = nullptr;
        const double low = std::strtod(it->c_str() + first + 1, &end);
        const bool lowRead = end == it->c_str() + second;
        const double high = std::strtod(it->c_str() + second + 1, &end);
        if (!lowRead || end == it->c_str() + second + 1 || !std::isfinite(low) || !std::isfinite(high)) {
            continue;
        }
        names << QString::fromStdString(it->substr(0, first));
        *atLow << low;
        *atHigh << high;
    }
    auto* series = new QHorizontalBarSeries;
    series->append(atLow);
    series->append(atHigh);
    chart->addSeries(series);
    auto* inputs = new QBarCategoryAxis;
    inputs->append(names);
    chart->addAxis(inputs, Qt::AlignLeft);
    series->attachAxis(inputs);
    auto* margin = new QValueAxis;
    margin->setTitleText(QStringLiteral("margin_log (0: at the threshold)"));
    margin->setLabelFormat(QStringLiteral("%g"));
    chart->addAxis(margin, Qt::AlignBottom);
    series->attachAxis(margin);
    return {chart, margin, {}};
}

// A dashed vertical line at each change of verdict, in one pass.
void drawChanges(QPainter& painter, const Chart& c) {
    const QRectF area = c.chart->plotArea();
    const double min = c.xAxis->min();
    const double span = c.xAxis->max() - min;
    if (!(span > 0)) {
        return;
    }
    painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
    for (const double x : c.changes) {
        const double at = area.left() + (x - min) / span * area.width();
        painter.drawLine(QPointF(at, area.top()), QPointF(at, area.bottom()));
    }
}

// Offscreen without a session, Qt warns about a runtime directory it never uses.
void quietMessages(QtMsgType type, const QMessageLogContext& /*context*/, const QString& message) {
    if (type == QtDebugMsg || message.startsWith(QLatin1String("QStandardPaths:"))) {
        return;
    }
    std::fprintf(stderr, "vistrel-plot: %s\n", qPrintable(message));
}

QByteArray render(QChartView& view, const Chart& chart, bool svg) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (svg) {
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(view.size());
        generator.setViewBox(QRect(QPoint(0, 0), view.size()));
        generator.setTitle(chart.chart->title());
        QPainter painter;
        if (!painter.begin(&generator)) {
            return {};
        }
        view.render(&painter);
        drawChanges(painter, chart);
        if (!painter.end()) {
            return {};
        }
        buffer.close();
        return bytes;
    }
    QPixmap pixmap = view.grab();
    {
        QPainter painter(&pixmap);
        drawChanges(painter, chart);
    }
    if (!pixmap.save(&buffer, "PNG")) {
        return {};
    }
    buffer.close();
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "svg") != 0 && std::strcmp(argv[1], "png") != 0)) {
        std::fprintf(stderr, "usage: vistrel-plot svg|png X_NAME|--tornado < points > chart\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen"); // it never shows a window
    }
    qInstallMessageHandler(quietMessages);
    int qtArgc = 1; // no argument is Qt's to read
    QApplication app(qtArgc, argv);
    const bool svg = std::strcmp(argv[1], "svg") == 0;
    const QString xName = QString::fromLocal8Bit(argv[2]);
    const bool tornado = std::strcmp(argv[2], "--tornado") == 0;
    vistrel::plot::Points read;
    if (!tornado) {
        read = vistrel::plot::readPoints(stdin);
    }
    if (read.skipped > 0) {
        std::fprintf(stderr,
                     "vistrel-plot: %zu points could not be drawn (not numbers, or beyond %g) and are left out\n",
                     read.skipped, vistrel::plot::kLargestX);
    }

    const Chart chart = tornado ? buildTornado(stdin) : buildChart(read.points, xName);
    QChartView view(chart.chart);
    view.setRenderHint(QPainter::Antialiasing);
    view.resize(1000, 620);
    view.chart()->resize(view.size());

    const QByteArray bytes = render(view, chart, svg);
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
