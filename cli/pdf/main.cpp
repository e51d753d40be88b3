// SPDX-License-Identifier: GPL-3.0-or-later
// vistrel-pdf: lays out a design-review page of vistrel-cli as an A4 PDF with
// page numbers and selectable text. Reads the HTML on stdin and writes the PDF
// to stdout, which vistrel-cli puts in place as it does every output; the
// plots in it are drawn as pictures, since the text layout cannot draw SVG.

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTextDocument>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// The layout understands only part of CSS: this sheet says, in that part,
// what the page's own style says for paper.
constexpr auto kPaperStyle = R"css(
body { font-family: "Liberation Sans", Arial, sans-serif; font-size: 9.5pt; color: #1b1b1b; }
h1 { font-size: 17pt; margin-bottom: 2pt; }
h2 { font-size: 14pt; margin-top: 12pt; margin-bottom: 4pt; }
h2.next, h2.method { page-break-before: always; }
h3 { font-size: 11.5pt; margin-top: 10pt; margin-bottom: 3pt; }
p.meta { color: #505050; }
p.verdict { font-size: 24pt; font-weight: bold; margin: 0; }
p.margin { font-size: 14pt; margin-top: 0; }
.legible { color: #17692f; }
.not-legible { color: #a4161a; }
.no-verdict { color: #8a4b00; }
p.failed { font-weight: bold; color: #a4161a; }
p.passed { color: #17692f; }
p.message { font-weight: bold; color: #a4161a; background-color: #fdeeee; }
p.none { color: #606060; font-style: italic; }
table { border-collapse: collapse; margin-bottom: 6pt; }
th { background-color: #e9edf1; font-weight: bold; }
th, td { border: 1px solid #b9bec4; padding: 2px 4px; }
td.num { text-align: right; }
td.id { white-space: nowrap; }
table.cards td, table.cards th { font-size: 8.5pt; }
td.pass { color: #17692f; }
td.fail { color: #a4161a; font-weight: bold; }
td.worst { background-color: #fde3e3; font-weight: bold; }
figcaption { font-style: italic; color: #404040; }
)css";

constexpr int kPlotWidth = 620; // in the layout's pixels, 96 to the inch
constexpr int kPlotOversampling = 3;

void quietMessages(QtMsgType type, const QMessageLogContext& /*context*/, const QString& message) {
    if (type == QtDebugMsg || message.startsWith(QLatin1String("QStandardPaths:"))) {
        return;
    }
    std::fprintf(stderr, "vistrel-pdf: %s\n", qPrintable(message));
}

bool readAll(std::FILE* in, QByteArray& out) {
    std::array<char, 65536> chunk{};
    for (;;) {
        const std::size_t n = std::fread(chunk.data(), 1, chunk.size(), in);
        out.append(chunk.data(), static_cast<qsizetype>(n));
        if (n < chunk.size()) {
            return std::ferror(in) == 0;
        }
    }
}

QImage drawnSvg(const QString& svg) {
    QString document = svg;
    document.insert(
        4, QStringLiteral(" xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\""));
    QSvgRenderer renderer(document.toUtf8());
    if (!renderer.isValid()) {
        return {};
    }
    const QSizeF box = renderer.viewBoxF().isEmpty() ? QSizeF(renderer.defaultSize()) : renderer.viewBoxF().size();
    if (box.isEmpty()) {
        return {};
    }
    const int width = kPlotWidth * kPlotOversampling;
    QImage image(width, static_cast<int>(width * box.height() / box.width()), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    return image;
}

// Swaps every inline drawing for a picture the layout can place.
QString withPictures(QString html, QTextDocument& document) {
    int index = 0;
    for (qsizetype start = html.indexOf(QLatin1String("<svg")); start >= 0;
         start = html.indexOf(QLatin1String("<svg"), start)) {
        qsizetype depth = 0;
        qsizetype at = start;
        qsizetype end = -1;
        while (at >= 0 && end < 0) {
            const qsizetype open = html.indexOf(QLatin1String("<svg"), at);
            const qsizetype close = html.indexOf(QLatin1String("</svg>"), at);
            if (close < 0) {
                break;
            }
            if (open >= 0 && open < close) {
                ++depth;
                at = open + 4;
            } else if (--depth == 0) {
                end = close + 6;
            } else {
                at = close + 6;
            }
        }
        if (end < 0) {
            html.truncate(start);
            break;
        }
        const QImage image = drawnSvg(html.mid(start, end - start));
        QString replacement;
        if (!image.isNull()) {
            const QString name = QStringLiteral("vistrel-plot:%1").arg(index++);
            document.addResource(QTextDocument::ImageResource, QUrl(name), image);
            replacement = QStringLiteral("<p><img src=\"%1\" width=\"%2\" height=\"%3\"></p>")
                              .arg(name)
                              .arg(kPlotWidth)
                              .arg(image.height() / kPlotOversampling);
        }
        html.replace(start, end - start, replacement);
        start += replacement.size();
    }
    return html;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 1) {
        std::fprintf(stderr, "usage: vistrel-pdf < review.html > review.pdf\n");
        return 2;
    }
    QByteArray input;
    if (!readAll(stdin, input)) {
        std::fprintf(stderr, "vistrel-pdf: cannot read the page: %s\n", std::strerror(errno));
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen"); // it never shows a window
    }
    qInstallMessageHandler(quietMessages);
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);

    QString html = QString::fromUtf8(input);
    html.remove(
        QRegularExpression(QStringLiteral("<style>.*</style>"), QRegularExpression::DotMatchesEverythingOption |
                                                                    QRegularExpression::InvertedGreedinessOption));
    QTextDocument document;
    document.setDefaultStyleSheet(QString::fromLatin1(kPaperStyle));
    document.setHtml(withPictures(html, document));

    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                                         QPageLayout::Millimeter));
        writer.setResolution(96); // print() keeps a margin of its own
        writer.setTitle(document.metaInformation(QTextDocument::DocumentTitle));
        writer.setCreator(QStringLiteral("vistrel-pdf"));
        document.print(&writer); // numbers every page
    }
    buffer.close();
    if (!pdf.startsWith("%PDF")) {
        std::fprintf(stderr, "vistrel-pdf: the PDF could not be made\n");
        return 1;
    }
    const bool written = std::fwrite(pdf.constData(), 1, static_cast<std::size_t>(pdf.size()), stdout) ==
                             static_cast<std::size_t>(pdf.size()) &&
                         std::fflush(stdout) == 0;
    if (!written) {
        std::fprintf(stderr, "vistrel-pdf: cannot write stdout: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}
