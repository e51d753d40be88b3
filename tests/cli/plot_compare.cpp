// SPDX-License-Identifier: GPL-3.0-or-later
// Compares two renderings of one figure: prints the first one's size and
// fails unless both have that size, the same drawn extent and, coarsely, the
// same picture. Text antialiasing and fonts differ between renderers, so the
// comparison is of the layout, not of pixels.

#include <QImage>

#include <cstdio>
#include <cstdlib>

namespace {

// The box around everything that is not near white.
QRect drawnExtent(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(line[x]) < 200) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

// Mean grey difference of the two, shrunk to cells of about 20 pixels.
double coarseDifference(const QImage& a, const QImage& b) {
    const QSize cells(a.width() / 20, a.height() / 20);
    const QImage sa = a.scaled(cells, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage sb = b.scaled(cells, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double total = 0;
    for (int y = 0; y < cells.height(); ++y) {
        for (int x = 0; x < cells.width(); ++x) {
            total += std::abs(qGray(sa.pixel(x, y)) - qGray(sb.pixel(x, y)));
        }
    }
    return total / (cells.width() * cells.height());
}

QImage load(const char* path) {
    QImage image(QString::fromLocal8Bit(path));
    if (image.isNull()) {
        return image;
    }
    QImage flat(image.size(), QImage::Format_RGB32); // transparency counts as white
    flat.fill(Qt::white);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const double alpha = c.alphaF();
            const auto blend = [&](double v) { return static_cast<int>(v * alpha * 255 + (1 - alpha) * 255); };
            flat.setPixel(x, y, qRgb(blend(c.redF()), blend(c.greenF()), blend(c.blueF())));
        }
    }
    return flat;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: plot_compare REFERENCE.png OTHER.png\n");
        return 2;
    }
    const QImage a = load(argv[1]);
    const QImage b = load(argv[2]);
    if (a.isNull() || b.isNull()) {
        std::fprintf(stderr, "plot_compare: cannot read %s\n", a.isNull() ? argv[1] : argv[2]);
        return 2;
    }
    std::printf("%dx%d\n", a.width(), a.height());
    const QRect ea = drawnExtent(a);
    const QRect eb = drawnExtent(b);
    const double difference = coarseDifference(a, b.scaled(a.size()));
    std::fprintf(stderr, "size %dx%d and %dx%d; drawn %d,%d %dx%d and %d,%d %dx%d; difference %.2f\n", a.width(),
                 a.height(), b.width(), b.height(), ea.x(), ea.y(), ea.width(), ea.height(), eb.x(), eb.y(), eb.width(),
                 eb.height(), difference);
    const auto near = [](int p, int q) { return std::abs(p - q) <= 3; };
    const bool sameSize = near(a.width(), b.width()) && near(a.height(), b.height());
    const bool sameExtent = near(ea.left(), eb.left()) && near(ea.top(), eb.top()) && near(ea.right(), eb.right()) &&
                            near(ea.bottom(), eb.bottom());
    return sameSize && sameExtent && difference < 6 ? 0 : 1;
}
