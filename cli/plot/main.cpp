// vistrel-plot: draws a sweep of vistrel-cli. Reads "x,threshold,actual,state"
// lines on stdin and writes the chart to an .svg or .png, with no display.

#include <QApplication>
#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPainter>
#include <QSvgGenerator>
#include <QTextStream>
#include <QValueAxis>

#include <cmath>
#include <cstdio>
#include <limits>

namespace {

struct Point {
    double x;
    double threshold; // NaN without a verdict
    double actual;
    QString state;
};

QList<Point> readPoints() {
    QList<Point> points;
    QTextStream in(stdin);
    const double none = std::numeric_limits<double>::quiet_NaN();
    while (!in.atEnd()) {
        const QStringList cells = in.readLine().split(u',');
        if (cells.size() != 4) {
            continue;
        }
        bool ok = false;
        const double x = cells[0].toDouble(&ok);
        if (!ok) {
            continue;
        }
        bool hasT = false;
        bool hasA = false;
        const double t = cells[1].toDouble(&hasT);
        const double a = cells[2].toDouble(&hasA);
        points.append({x, hasT ? t : none, hasA ? a : none, cells[3]});
    }
    return points;
}

QChart* buildChart(const QList<Point>& points, const QString& xName) {
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Threshold and actual contrast against %1").arg(xName));
    auto* threshold = new QLineSeries;
    threshold->setName(QStringLiteral("Threshold contrast"));
    auto* actual = new QLineSeries;
    actual->setName(QStringLiteral("Actual contrast"));
    double low = std::numeric_limits<double>::max();
    double high = 0;
    for (const Point& p : points) {
        if (!std::isnan(p.threshold) && !std::isnan(p.actual) && p.threshold > 0 && p.actual > 0) {
            threshold->append(p.x, p.threshold);
            actual->append(p.x, p.actual);
            low = std::min({low, p.threshold, p.actual});
            high = std::max({high, p.threshold, p.actual});
        }
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

    // Shade each stretch where the lettering is legible: between the curves.
    bool legendShown = false;
    for (qsizetype k = 0; k < points.size();) {
        if (points[k].state != QLatin1String("Legible")) {
            ++k;
            continue;
        }
        auto* upper = new QLineSeries;
        auto* lower = new QLineSeries;
        for (; k < points.size() && points[k].state == QLatin1String("Legible"); ++k) {
            upper->append(points[k].x, points[k].actual);
            lower->append(points[k].x, points[k].threshold);
        }
        auto* area = new QAreaSeries(upper, lower);
        area->setName(QStringLiteral("Legible"));
        area->setColor(QColor(60, 170, 90, 90));
        area->setBorderColor(Qt::transparent);
        attach(area);
        if (legendShown) {
            chart->legend()->markers(area).first()->setVisible(false);
        }
        legendShown = true;
    }
    attach(threshold);
    attach(actual);
    threshold->setPen(QPen(QColor(200, 40, 40), 2));
    actual->setPen(QPen(QColor(30, 80, 200), 2));

    // Mark every change of verdict with a dashed vertical line.
    bool markShown = false;
    for (qsizetype k = 1; k < points.size(); ++k) {
        if (points[k].state == points[k - 1].state) {
            continue;
        }
        const double x = (points[k].x + points[k - 1].x) / 2;
        auto* mark = new QLineSeries;
        mark->append(x, bottom);
        mark->append(x, top);
        mark->setName(QStringLiteral("Verdict changes"));
        mark->setPen(QPen(Qt::black, 1, Qt::DashLine));
        attach(mark);
        if (markShown) {
            chart->legend()->markers(mark).first()->setVisible(false);
        }
        markShown = true;
    }
    if (!points.isEmpty()) {
        xAxis->setRange(points.first().x, points.last().x);
    }
    return chart;
}

// Offscreen without a session, Qt warns about a runtime directory it never uses.
void quietMessages(QtMsgType type, const QMessageLogContext& /*context*/, const QString& message) {
    if (type == QtDebugMsg || message.startsWith(QLatin1String("QStandardPaths:"))) {
        return;
    }
    std::fprintf(stderr, "vistrel-plot: %s\n", qPrintable(message));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vistrel-plot X_NAME OUT.svg|OUT.png < points\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen"); // it never shows a window
    }
    qInstallMessageHandler(quietMessages);
    QApplication app(argc, argv);
    const QString xName = QString::fromLocal8Bit(argv[1]);
    const QString path = QString::fromLocal8Bit(argv[2]);
    const QList<Point> points = readPoints();

    QChartView view(buildChart(points, xName));
    view.setRenderHint(QPainter::Antialiasing);
    view.resize(1000, 620);
    view.chart()->resize(view.size());

    bool saved = false;
    if (path.endsWith(QLatin1String(".svg"))) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(view.size());
        svg.setViewBox(QRect(QPoint(0, 0), view.size()));
        svg.setTitle(view.chart()->title());
        QPainter painter;
        saved = painter.begin(&svg);
        if (saved) {
            view.render(&painter);
            saved = painter.end();
        }
    } else {
        saved = view.grab().save(path);
    }
    if (!saved) {
        std::fprintf(stderr, "vistrel-plot: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
