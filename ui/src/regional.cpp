// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/regional.h"

#include <QList>
#include <QString>

namespace vistrel::ui {

namespace {

// Lengths of the digit groups Qt writes for n, leftmost first, counted in
// characters (some digit sets lie outside the 16-bit range).
QList<int> groupLengths(const QLocale& locale, double n) {
    QList<int> lengths;
    for (const QString& part : locale.toString(n, 'f', 0).split(locale.groupSeparator())) {
        lengths.append(static_cast<int>(part.toUcs4().size()));
    }
    return lengths;
}

// Qt 6.4 keeps a locale's grouping to itself, so read it off sample numbers.
void probeGrouping(const QLocale& locale, NumberFormat& format) {
    format.group.clear();
    if (locale.groupSeparator().isEmpty() || (locale.numberOptions() & QLocale::OmitGroupSeparator)) {
        return;
    }
    const QList<int> groups = groupLengths(locale, 1234567890123.0);
    if (groups.size() < 2) {
        return;
    }
    format.group = locale.groupSeparator().toStdString();
    format.groupFirst = groups.back();
    format.groupHigher = groups.size() > 2 ? groups[groups.size() - 2] : format.groupFirst;
    // The fewest digits that the leading group must hold before Qt groups at all.
    format.groupMinLeading = 1;
    double n = 1.0;
    for (int k = 1; k < format.groupFirst; ++k) {
        n *= 10.0;
    }
    while (format.groupMinLeading < 4 && groupLengths(locale, n * 10.0).size() < 2) {
        n *= 10.0;
        ++format.groupMinLeading;
    }
}

} // namespace

NumberFormat numberFormatFrom(const QLocale& locale) {
    NumberFormat format;
    format.decimal = locale.decimalPoint().toStdString();
    format.minus = locale.negativeSign().toStdString();
    for (int d = 0; d < 10; ++d) {
        format.digits[static_cast<std::size_t>(d)] = locale.toString(d).toStdString();
    }
    probeGrouping(locale, format);
    return format;
}

QString localNumberText(std::string_view pointText, const QLocale& locale) {
    return QString::fromStdString(numberFormatFrom(locale).fromPointText(pointText));
}

} // namespace vistrel::ui
