// SPDX-License-Identifier: GPL-3.0-or-later
// vistrel-pdf: lays out a design-review page of vistrel-cli as an A4 PDF with
// page numbers and selectable text. Reads the HTML on stdin and writes the PDF
// to stdout, which vistrel-cli puts in place as it does every output; the
// plots in it are drawn as pictures, since the text layout cannot draw SVG.

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QDateTime>
#include <QGuiApplication>
#include <QHashSeed>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <utility>
#include <vector>

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
.fails-required { color: #9c4a00; }
p.failed { font-weight: bold; color: #a4161a; }
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
    // A picture held in the page (a screen's map): the layout reads no data:
    // address, so it becomes a named picture, fitted to the text's width.
    const QLatin1String held("src=\"data:image/png;base64,");
    for (qsizetype start = html.indexOf(held); start >= 0; start = html.indexOf(held, start)) {
        const qsizetype from = start + held.size();
        const qsizetype end = html.indexOf(QLatin1Char('"'), from);
        if (end < 0) {
            html.truncate(start);
            break;
        }
        const QImage image = QImage::fromData(QByteArray::fromBase64(html.mid(from, end - from).toLatin1()), "PNG");
        QString replacement = QStringLiteral("src=\"\"");
        if (!image.isNull()) {
            const QString name = QStringLiteral("vistrel-picture:%1").arg(index++);
            document.addResource(QTextDocument::ImageResource, QUrl(name), image);
            const int width = std::min(image.width(), kPlotWidth);
            replacement = QStringLiteral("src=\"%1\" width=\"%2\" height=\"%3\"")
                              .arg(name)
                              .arg(width)
                              .arg(static_cast<int>(std::lround(1.0 * width * image.height() / image.width())));
        }
        html.replace(start, end + 1 - start, replacement);
        start += replacement.size();
    }
    return html;
}

// The page in the layout's pixels (96 to the inch): A4, with a margin all
// round and the page number in the bottom one.
constexpr qreal kMargin = 2.0 / 2.54 * 96; // 2 cm
constexpr qreal kSmallestTail = 0.2;       // of a page: less is a near-empty page
constexpr int kMostPasses = 200;           // each moves one block on; a bound, not a count expected

bool inTable(const QTextBlock& b) { return QTextCursor(b).currentTable() != nullptr; }

bool holdsNothing(const QTextBlock& b) { return b.text().trimmed().isEmpty(); }

QTextBlock nextWithText(QTextBlock b) {
    for (b = b.next(); b.isValid() && holdsNothing(b); b = b.next()) {
    }
    return b;
}

// Where a block's lines lie in the document: the first line's top, the last line's bottom.
std::pair<qreal, qreal> lineSpan(const QTextDocument& doc, const QTextBlock& b) {
    const QRectF box = doc.documentLayout()->blockBoundingRect(b);
    const QTextLayout* layout = b.layout();
    if (layout == nullptr || layout->lineCount() == 0) {
        return {box.top(), box.bottom()};
    }
    const QTextLine first = layout->lineAt(0);
    const QTextLine last = layout->lineAt(layout->lineCount() - 1);
    return {box.top() + first.y(), box.top() + last.y() + last.height()};
}

// A heading, a table's caption or the picture of a figure belongs with what
// follows: the table's first row of data, the figure's caption.
std::optional<QTextBlock> keptWith(const QTextBlock& b) {
    if (inTable(b) || holdsNothing(b)) {
        return std::nullopt;
    }
    QTextBlock next = nextWithText(b);
    if (!next.isValid()) {
        return std::nullopt;
    }
    if (QTextTable* table = QTextCursor(next).currentTable()) {
        return table->cellAt(std::min(table->format().headerRowCount(), table->rows() - 1), 0)
            .firstCursorPosition()
            .block();
    }
    const bool heading = b.blockFormat().headingLevel() > 0;
    const bool picture = b.text().contains(QChar::ObjectReplacementCharacter);
    return heading || picture ? std::optional(next) : std::nullopt;
}

bool startsPage(const QTextBlock& b) {
    return (b.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) != 0;
}

void setBreakBefore(const QTextBlock& b, bool on) {
    QTextBlockFormat format = b.blockFormat();
    const auto policy = format.pageBreakPolicy();
    format.setPageBreakPolicy(on ? policy | QTextFormat::PageBreak_AlwaysBefore
                                 : policy & ~QTextFormat::PageBreakFlags(QTextFormat::PageBreak_AlwaysBefore));
    QTextCursor(b).setBlockFormat(format);
}

// One block that should start a new page and does not: the first block kept
// with another that fell onto the next page, else the last such block of the
// page before a near-empty one, when that page stays at least half full.
// The block, and the last block that goes with it.
std::optional<std::pair<QTextBlock, QTextBlock>> nextBreak(const QTextDocument& doc, qreal pageHeight) {
    const qreal body = pageHeight - 2 * kMargin;
    const auto pageOf = [pageHeight](qreal y) { return static_cast<int>(y / pageHeight); };
    const auto onPageTop = [&](qreal y) { return y - pageOf(y) * pageHeight < kMargin + 1; };
    const int pages = doc.pageCount();
    std::vector<qreal> used(static_cast<std::size_t>(pages), 0); // how far down each page is filled
    std::vector<bool> forced(static_cast<std::size_t>(pages), false);
    std::vector<std::optional<QTextBlock>> lastKept(static_cast<std::size_t>(pages));
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (holdsNothing(b)) {
            continue;
        }
        const auto [top, bottom] = lineSpan(doc, b);
        const auto page = static_cast<std::size_t>(std::clamp(pageOf(top), 0, pages - 1));
        const auto end = static_cast<std::size_t>(std::clamp(pageOf(bottom - 1), 0, pages - 1));
        used[end] = std::max(used[end], bottom - static_cast<qreal>(end) * pageHeight - kMargin);
        if (startsPage(b) && onPageTop(top)) {
            forced[page] = true;
        }
        if (const auto with = keptWith(b)) {
            if (pageOf(lineSpan(doc, *with).first) != pageOf(bottom - 1) && !onPageTop(top)) {
                return std::pair{b, *with};
            }
            if (!onPageTop(top) && top - static_cast<qreal>(page) * pageHeight - kMargin > body / 2) {
                lastKept[page] = b;
            }
        }
    }
    for (std::size_t page = 1; page < used.size(); ++page) {
        if (!forced[page] && used[page] < kSmallestTail * body && lastKept[page - 1]) {
            return std::pair{*lastKept[page - 1], *lastKept[page - 1]};
        }
    }
    return std::nullopt;
}

// Lays the document out on pages of this height, moving on what must not end a page.
void paginate(QTextDocument& doc, qreal pageHeight) {
    std::set<int> ours; // the breaks made here, which a later one may take back
    for (int pass = 0; pass < kMostPasses; ++pass) {
        const auto found = nextBreak(doc, pageHeight);
        if (!found) {
            return;
        }
        const auto& [block, through] = *found;
        // What goes with the block follows it over: a break of ours inside would split them again.
        for (QTextBlock b = block.next(); b.isValid() && b.blockNumber() <= through.blockNumber(); b = b.next()) {
            if (ours.erase(b.blockNumber()) > 0) {
                setBreakBefore(b, false);
            }
        }
        setBreakBefore(block, true);
        ours.insert(block.blockNumber());
    }
}

// Draws every page with "N of M" at its foot.
void print(QTextDocument& doc, QPdfWriter& writer) {
    QPainter painter(&writer);
    const QSizeF page = doc.pageSize();
    const int pages = doc.pageCount();
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSizeF(9);
    for (int k = 0; k < pages; ++k) {
        if (k > 0) {
            writer.newPage();
        }
        painter.save();
        painter.translate(0, -k * page.height());
        const QRectF view(0, k * page.height(), page.width(), page.height());
        painter.setClipRect(view);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = view;
        context.palette.setColor(QPalette::Text, Qt::black);
        doc.documentLayout()->draw(&painter, context);
        painter.restore();
        painter.setFont(font);
        const QRectF foot(kMargin, page.height() - kMargin, page.width() - 2 * kMargin, kMargin / 2);
        painter.drawText(foot, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("%1 of %2").arg(k + 1).arg(pages));
    }
}

// With SOURCE_DATE_EPOCH set, the creation date Qt stamps from the clock
// becomes that time, so that the same page makes the same bytes. The text
// keeps its length: the offsets the file's index holds stay right.
void stampCreationDate(QByteArray& pdf) {
    bool ok = false;
    const qint64 epoch = qEnvironmentVariable("SOURCE_DATE_EPOCH").toLongLong(&ok);
    if (!ok || epoch < 0) {
        return;
    }
    static const QRegularExpression stamp(QStringLiteral("/CreationDate \\(D:\\d{14}Z\\)"));
    const QString text = QString::fromLatin1(pdf.left(4096)); // the information dictionary comes first
    const QRegularExpressionMatch found = stamp.match(text);
    if (!found.hasMatch()) {
        return;
    }
    const QByteArray when =
        QDateTime::fromSecsSinceEpoch(epoch, Qt::UTC).toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1();
    if (when.size() != 14) {
        return; // a year past 9999
    }
    pdf.replace(found.capturedStart() + 17, 14, when);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 1) {
        std::fprintf(stderr, "usage: vistrel-pdf < review.html > review.pdf\n");
        return 2;
    }
    QHashSeed::setDeterministicGlobalSeed(); // fonts are embedded in the order of a hash: the same every run
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
        writer.setResolution(96); // the layout's pixels, so that a page is as wide as the layout
        writer.setTitle(document.metaInformation(QTextDocument::DocumentTitle));
        writer.setCreator(QStringLiteral("vistrel-pdf"));
        document.documentLayout()->setPaintDevice(&writer);
        document.setPageSize(QSizeF(writer.width(), writer.height()));
        QTextFrameFormat root = document.rootFrame()->frameFormat();
        root.setMargin(kMargin);
        document.rootFrame()->setFrameFormat(root);
        paginate(document, document.pageSize().height());
        print(document, writer);
    }
    buffer.close();
    stampCreationDate(pdf);
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
