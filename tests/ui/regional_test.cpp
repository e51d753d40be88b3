// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/regional.h"

#include "calc/number_text.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

namespace {

using vistrel::NumberText;
using vistrel::ui::numberFormatFrom;

// Magnitudes from well below a thousandth up to 15 significant integer digits,
// with values on or next to a rounding step, and all of them negated.
std::vector<double> sampleValues() {
    std::vector<double> values{0.0, 0.0004, 0.0005, 0.0015, 0.4995, 1.0, 3.0495, 1076.0, 999.9995, 999999.9996};
    for (int e = -7; e <= 14; ++e) {
        values.push_back(1.2345678901234 * std::pow(10.0, e));
        values.push_back(9.87654321 * std::pow(10.0, e));
    }
    const std::size_t positives = values.size();
    for (std::size_t k = 0; k < positives; ++k) {
        values.push_back(-values[k]);
    }
    return values;
}

// The double that a C-locale text shows.
double shown(const QString& cText) {
    const std::string text = cText.toStdString();
    double result = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), result);
    return result;
}

// Qt's text for the value. Qt 6.4 stops grouping the leading digits from a
// million up where four-digit numbers stay ungrouped (es_ES "1234.567,891"),
// while the locale and the engine write "1.234.567,891": such a leading group
// is split like the group after it.
QString qtText(const QLocale& locale, double value, int decimals) {
    const QString text = locale.toString(value, 'f', decimals);
    const QString separator = locale.groupSeparator();
    QStringList groups = separator.isEmpty() ? QStringList{text} : text.split(separator);
    const QString sign = groups[0].startsWith(locale.negativeSign()) ? locale.negativeSign() : QString();
    const QList<uint> lead = groups[0].mid(sign.size()).toUcs4();
    const auto size = groups.size() < 2 ? lead.size() : groups[1].section(locale.decimalPoint(), 0, 0).toUcs4().size();
    if (lead.size() <= size) {
        return text;
    }
    QStringList split;
    for (auto end = lead.size(); end > 0; end -= size) {
        const auto begin = std::max<qsizetype>(0, end - size);
        split.prepend(QString::fromUcs4(reinterpret_cast<const char32_t*>(lead.data() + begin), end - begin));
    }
    groups[0] = sign + split.join(separator);
    return groups.join(separator);
}

struct Mismatch {
    QString locale, engine, expected;
};

void report(const char* property, const std::vector<Mismatch>& found) {
    for (std::size_t k = 0; k < found.size() && k < 10; ++k) {
        ADD_FAILURE() << property << " in " << found[k].locale.toStdString() << ": engine \""
                      << found[k].engine.toStdString() << "\", expected \"" << found[k].expected.toStdString() << "\"";
    }
    EXPECT_TRUE(found.empty()) << found.size() << " mismatches: " << property;
}

TEST(RegionalProperty, EveryQtLocaleReadsAndWritesNumbersAsItShowsThem) {
    std::vector<Mismatch> readBack, asQtShows, typed;
    for (const QLocale& locale :
         QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
        const NumberText numbers(numberFormatFrom(locale));
        QLocale ungrouped = locale;
        ungrouped.setNumberOptions(QLocale::OmitGroupSeparator);
        for (const double v : sampleValues()) {
            const std::string plain = numbers.plain(v);
            if (numbers.parse(plain).value != shown(QLocale::c().toString(v, 'g', 15))) {
                readBack.push_back({locale.name(), QString::fromStdString(plain), QLocale::c().toString(v, 'g', 15)});
            }
            const double rounded = NumberText::roundThreeDecimals(v);
            const QString three = QString::fromStdString(numbers.threeDecimals(v));
            if (numbers.parse(three.toStdString()).value != rounded) {
                readBack.push_back({locale.name(), three, QLocale::c().toString(rounded, 'f', 3)});
            }
            // A value that rounds to zero has no minus sign.
            if (const QString qt = qtText(locale, rounded == 0.0 ? 0.0 : rounded, 3); three != qt) {
                asQtShows.push_back({locale.name(), three, qt});
            }
            for (const int decimals : {0, 1, 3, 6}) {
                for (const QString& text : {qtText(locale, v, decimals), ungrouped.toString(v, 'f', decimals)}) {
                    const auto read = numbers.parse(text.toStdString());
                    if (!read.ok() || read.value != shown(QLocale::c().toString(v, 'f', decimals))) {
                        typed.push_back({locale.name(), QString::number(read.value, 'g', 17), text});
                    }
                }
            }
        }
    }
    report("read back", readBack);
    report("three-decimal text", asQtShows);
    report("typed", typed);
}

// QLocale::toDouble reads German "-0.301" as -301.
TEST(Regional, GermanPointIsNoDecimalSeparator) {
    const NumberText german(numberFormatFrom(QLocale(QLocale::German, QLocale::Germany)));
    EXPECT_FALSE(german.parse("-0.301").ok());
    EXPECT_EQ(german.parse("-0,301").value, -0.301);
}

} // namespace
