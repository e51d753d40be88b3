// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/number_text.h"
#include "calc/utf8.h"
#include "formats.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

namespace {

using vistrel::NumberFormat;
using vistrel::NumberText;
using vistrel::ParseError;

using namespace vistrel::testing_formats;

struct ParseCase {
    const char* label;
    NumberFormat (*format)();
    const char* text;
    double value;
    ParseError error;
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.label; }

class Parse : public testing::TestWithParam<ParseCase> {};

TEST_P(Parse, ReadsOrRejects) {
    const ParseCase& c = GetParam();
    const auto n = NumberText(c.format()).parse(c.text);
    EXPECT_EQ(n.error, c.error) << '"' << c.text << '"';
    if (c.error == ParseError::None) {
        EXPECT_EQ(n.value, c.value) << '"' << c.text << '"';
    }
}

constexpr auto OK = ParseError::None;
constexpr auto NAN_ = ParseError::NotANumber;
constexpr auto EMPTY = ParseError::Empty;
constexpr auto OVER = ParseError::Overflow;
const auto inv = NumberFormat::invariant;
const auto us = NumberFormat::usEnglish;

INSTANTIATE_TEST_SUITE_P(
    Texts, Parse,
    testing::Values(
        ParseCase{"plain", inv, "1076", 1076, OK}, ParseCase{"blanksAround", inv, " \t1076\u00A0 ", 1076, OK},
        ParseCase{"negative", inv, "-0.301", -0.301, OK}, ParseCase{"plusSign", inv, "+5", 5, OK},
        ParseCase{"unicodeMinus", inv, "\u22125", -5, OK}, ParseCase{"exponent", inv, "1e3", 1000, OK},
        ParseCase{"exponentSigned", inv, "2.5E-3", 0.0025, OK}, ParseCase{"leadingPoint", inv, ".5", 0.5, OK},
        ParseCase{"trailingPoint", inv, "5.", 5, OK}, ParseCase{"marksAnywhere", inv, "\u200E-5\u200F0", -50, OK},
        ParseCase{"underflowIsZero", inv, "1e-400", 0, OK}, ParseCase{"empty", inv, "", 0, EMPTY},
        ParseCase{"blanksOnly", inv, " \u00A0\t", 0, EMPTY}, ParseCase{"inf", inv, "inf", 0, NAN_},
        ParseCase{"nan", inv, "nan", 0, NAN_}, ParseCase{"hex", inv, "0x10", 0, NAN_},
        ParseCase{"groupWithoutGrouping", inv, "1,076", 0, NAN_}, ParseCase{"twoPoints", inv, "1.2.3", 0, NAN_},
        ParseCase{"bareExponent", inv, "1e", 0, NAN_}, ParseCase{"doubleSign", inv, "--5", 0, NAN_},
        ParseCase{"trailingSign", inv, "5-", 0, NAN_}, ParseCase{"innerBlank", inv, "1 076", 0, NAN_},
        ParseCase{"pointOnly", inv, ".", 0, NAN_}, ParseCase{"badUtf8", inv, "1\xC3", 0, NAN_},
        ParseCase{"overflow", inv, "1e400", 0, OVER}, ParseCase{"negativeOverflow", inv, "-2e308", 0, OVER},
        ParseCase{"hugeExponentDigits", inv, "1e99999999999999999999", 0, OVER},
        ParseCase{"grouped", us, "1,076.500", 1076.5, OK}, ParseCase{"groupedMillions", us, "1,076,000", 1076000, OK},
        ParseCase{"ungroupedInGroupingFormat", us, "1076.5", 1076.5, OK},
        ParseCase{"shortLastGroup", us, "12,34", 0, NAN_}, ParseCase{"longLastGroup", us, "1,2345", 0, NAN_},
        ParseCase{"zeroLeadingGroup", us, "0,301", 0, NAN_}, ParseCase{"longLeadingGroup", us, "1076,500", 0, NAN_},
        ParseCase{"groupFirst", us, ",500", 0, NAN_}, ParseCase{"groupInFraction", us, "1.000,5", 0, NAN_},
        ParseCase{"germanDecimal", german, "-0,301", -0.301, OK},
        ParseCase{"germanGrouped", german, "1.076,5", 1076.5, OK},
        ParseCase{"germanPointIsNotDecimal", german, "-0.301", 0, NAN_},
        ParseCase{"germanLongLeadingGroup", german, "1076.500", 0, NAN_},
        ParseCase{"germanShortGroup", german, "1.5", 0, NAN_},
        ParseCase{"frenchNarrowSpace", french, "1\u202F076,5", 1076.5, OK},
        ParseCase{"frenchSpace", french, "1 076,5", 1076.5, OK},
        ParseCase{"frenchNoBreakSpace", french, "-1\u00A0076\u00A0000", -1076000, OK},
        ParseCase{"indianGroups", indian, "12,34,567.5", 1234567.5, OK},
        ParseCase{"indianThousands", indian, "1,234", 1234, OK},
        ParseCase{"indianRejectsThousands", indian, "1,234,567", 0, NAN_},
        ParseCase{"indianLongLeadingGroup", indian, "123,456", 0, NAN_},
        ParseCase{"swissTypographic", swiss, "1\u2019076.5", 1076.5, OK},
        ParseCase{"swissAscii", swiss, "1'076.5", 1076.5, OK},
        ParseCase{"spanishUngrouped", spanish, "1234,5", 1234.5, OK},
        ParseCase{"spanishShortGroup", spanish, "1.234", 1234, OK},
        ParseCase{"arabicNative", arabic, "\u061C-\u0661\u066C\u0660\u0667\u0666\u066B\u0665", -1076.5, OK},
        ParseCase{"arabicAsciiDigits", arabic, "-1076\u066B5", -1076.5, OK},
        ParseCase{"arabicPointIsNotDecimal", arabic, "1.5", 0, NAN_},
        ParseCase{"persianMinus", persian, "\u200E\u2212\u06F0\u066B\u06F3\u06F0\u06F1", -0.301, OK},
        ParseCase{"nativeExponent", persian, "\u06F1e\u06F3", 1000, OK}),
    [](const testing::TestParamInfo<ParseCase>& param) { return std::string(param.param.label); });

struct WriteCase {
    const char* label;
    NumberFormat (*format)();
    double value;
    const char* plain;
    const char* threeDecimals;
};

void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.label; }

class Write : public testing::TestWithParam<WriteCase> {};

TEST_P(Write, PlainAndThreeDecimals) {
    const WriteCase& c = GetParam();
    const NumberText text(c.format());
    EXPECT_EQ(text.plain(c.value), c.plain);
    EXPECT_EQ(text.threeDecimals(c.value), c.threeDecimals);
    const auto both = text.bothForms(c.value);
    EXPECT_EQ(both.plain, c.plain);
    EXPECT_EQ(both.shown.text.view(), c.threeDecimals);
}

INSTANTIATE_TEST_SUITE_P(
    Values, Write,
    testing::Values(WriteCase{"grouped", us, 1076, "1076", "1,076.000"},
                    WriteCase{"leadingZero", us, 0.5, "0.5", "0.500"},
                    WriteCase{"fifteenDigits", us, 1.0 / 3, "0.333333333333333", "0.333"},
                    WriteCase{"binaryNoise", us, 0.1 + 0.2, "0.3", "0.300"},
                    WriteCase{"noiseAboveInteger", us, 1076 / 10.76, "100", "100.000"},
                    WriteCase{"halfUpByHand", us, 7.4935, "7.4935", "7.494"},
                    WriteCase{"halfUpTiny", us, 2.0005, "2.0005", "2.001"},
                    WriteCase{"halfAwayFromZero", us, -1.0005, "-1.0005", "-1.001"},
                    WriteCase{"carryIntoThousands", us, 999.9995, "999.9995", "1,000.000"},
                    WriteCase{"negativeRoundsToZero", us, -0.0004, "-0.0004", "0.000"},
                    WriteCase{"negativeZero", us, -0.0, "0", "0.000"},
                    WriteCase{"halfThousandth", us, 0.0005, "0.0005", "0.001"},
                    WriteCase{"noExponentSmall", us, 1e-7, "0.0000001", "0.000"},
                    WriteCase{"noExponentLarge", us, 1e20, "100000000000000000000", "100,000,000,000,000,000,000.000"},
                    WriteCase{"sixteenthDigitDropped", us, 123456789012345678.0, "123456789012346000",
                              "123,456,789,012,346,000.000"},
                    WriteCase{"german", german, -1076.5, "-1076,5", "-1.076,500"},
                    WriteCase{"indian", indian, 1234567.891, "1234567.891", "12,34,567.891"},
                    WriteCase{"spanishShort", spanish, 1234, "1234", "1234,000"},
                    WriteCase{"spanishLong", spanish, 12345, "12345", "12.345,000"},
                    WriteCase{"arabic", arabic, -1076.5, "\u061C-\u0661\u0660\u0667\u0666\u066B\u0665",
                              "\u061C-\u0661\u066C\u0660\u0667\u0666\u066B\u0665\u0660\u0660"},
                    WriteCase{"infinity", us, HUGE_VAL, "inf", "inf"},
                    WriteCase{"negativeInfinity", arabic, -HUGE_VAL, "\u061C-inf", "\u061C-inf"},
                    WriteCase{"notANumber", german, -std::nan(""), "nan", "nan"}),
    [](const testing::TestParamInfo<WriteCase>& param) { return std::string(param.param.label); });

// The 15-digit value a plain text stands for.
double fifteenDigits(double v) {
    char buf[40];
    const auto end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14).ptr;
    double r = 0;
    std::from_chars(buf, end, r);
    return r;
}

// Values where the 15-digit expansion is easy to get wrong: both sides of every
// decade, exact ties at the 16th digit, and arbitrary bit patterns.
TEST(FifteenDigits, MatchFixedPrecisionConversion) {
    const NumberText text(NumberFormat::invariant());
    std::vector<double> values{562949953421312.5, 140737488355328.25, 0.5, 9.5e-8, 1e-7, 999999999999999.5};
    for (int k = -9; k <= 17; ++k) {
        const double p = std::pow(10.0, k);
        for (int j = -3; j <= 3; ++j) {
            double v = p;
            for (int step = 0; step < std::abs(j); ++step) {
                v = std::nextafter(v, j < 0 ? 0.0 : 1e300);
            }
            values.push_back(v);
            values.push_back(-v);
        }
    }
    std::mt19937_64 rng(15);
    for (int k = 0; k < 20000; ++k) {
        double v = 0;
        const std::uint64_t bits = rng();
        std::memcpy(&v, &bits, sizeof v);
        if (std::isfinite(v)) {
            values.push_back(v);
        }
        values.push_back(std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 80) - 60));
    }
    for (const double v : values) {
        const auto p = text.parse(text.plain(v));
        ASSERT_TRUE(p.ok()) << text.plain(v);
        ASSERT_EQ(p.value, fifteenDigits(v)) << std::hexfloat << v << " -> " << text.plain(v);
    }
}

// The three-decimal text worked out by hand: the 15-digit expansion from the
// library's fixed-precision conversion, rounded half up on whole digits.
std::string threeDecimalsByHand(double v) {
    char buf[40];
    const auto end = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, 14).ptr;
    std::uint64_t n = 0; // below 10^15
    const char* p = buf;
    for (; *p != 'e'; ++p) {
        n = *p == '.' ? n : n * 10 + static_cast<std::uint64_t>(*p - '0');
    }
    int exponent = 0;
    std::from_chars(p + (p[1] == '+' ? 2 : 1), end, exponent);
    std::uint64_t t = 0; // in thousandths, below 10^18 for values below 10^15
    if (exponent >= 11) {
        t = n;
        for (int k = 11; k < exponent; ++k) {
            t *= 10;
        }
    } else if (11 - exponent <= 16) {
        std::uint64_t unit = 1;
        for (int k = exponent; k < 11; ++k) {
            unit *= 10;
        }
        t = (n + unit / 2) / unit;
    }
    const std::uint64_t whole = t / 1000;
    const auto fraction = static_cast<unsigned>(t % 1000);
    std::string text = (std::signbit(v) && t > 0 ? "-" : "") + std::to_string(whole) + ".";
    text += std::to_string(1000 + fraction).substr(1);
    return text;
}

// Values a hair either side of a half thousandth, where rounding the value
// itself and rounding its 15-digit expansion part ways, and values anywhere.
TEST(ThreeDecimals, RoundTheFifteenDigitExpansion) {
    const NumberText text(NumberFormat::invariant());
    std::mt19937_64 rng(1000);
    std::vector<double> values{0.0005, 2.0005, 1.0005, 7.4935, 999.9995, 1e-7, 9.9999999995e9, 1e10};
    for (int k = 0; k < 20000; ++k) {
        const double scale = std::pow(10.0, static_cast<int>(rng() % 14));
        const double half = (std::floor(std::ldexp(static_cast<double>(rng() >> 11), -53) * scale) + 0.5) / 1000;
        double v = half;
        for (int step = 0; step < 4; ++step) {
            values.push_back(v);
            values.push_back(-v);
            v = std::nextafter(v, k % 2 == 0 ? 0.0 : 1e300);
        }
        values.push_back(std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 77) - 80));
    }
    for (const double v : values) {
        const std::string expected = threeDecimalsByHand(v);
        ASSERT_EQ(text.threeDecimals(v), expected) << std::hexfloat << v;
        ASSERT_EQ(NumberText::roundThreeDecimals(v), text.parse(expected).value) << std::hexfloat << v;
    }
}

class Shortcut : public testing::TestWithParam<NamedFormat> {};

// Plain digit texts take a shortcut; a trailing blank sends the same text the
// long way round, and both must read it alike, to the bit.
TEST_P(Shortcut, ReadsLikeTheGeneralPath) {
    const NumberFormat format = GetParam().make();
    const NumberText text(format);
    const std::array<std::string, 5> pieces{"0", "7", "-", ".", format.decimal};
    std::mt19937_64 rng(99);
    for (int k = 0; k < 20000; ++k) {
        std::string t;
        for (std::uint64_t n = rng() % 19; n-- > 0;) {
            t += pieces[rng() % (rng() % 4 == 0 ? pieces.size() : 2)];
        }
        const auto quick = text.parse(t);
        const auto general = text.parse(t + " ");
        ASSERT_EQ(quick.error, general.error) << '"' << t << '"';
        ASSERT_EQ(std::signbit(quick.value), std::signbit(general.value)) << '"' << t << '"';
        ASSERT_EQ(quick.value, general.value) << '"' << t << '"';
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, Shortcut, testing::ValuesIn(kAll),
                         [](const testing::TestParamInfo<NamedFormat>& param) {
                             return std::string(param.param.name);
                         });

class RoundTrip : public testing::TestWithParam<NamedFormat> {};

// Every text the engine writes must read back as the number it shows, in
// every format, or a later stage would compute with something else.
TEST_P(RoundTrip, WrittenTextsReadBack) {
    const NumberText text(GetParam().make());
    std::mt19937_64 rng(20261206);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> exponent(-12, 40);
    for (int k = 0; k < 4000; ++k) {
        const double v = (k % 2 ? -1 : 1) * mantissa(rng) * std::pow(10.0, exponent(rng));
        const std::string plain = text.plain(v);
        const std::string three = text.threeDecimals(v);
        const auto p = text.parse(plain);
        const auto t = text.parse(three);
        ASSERT_TRUE(p.ok() && t.ok()) << plain << " / " << three;
        EXPECT_EQ(p.value, fifteenDigits(v)) << plain;
        EXPECT_EQ(t.value, NumberText::roundThreeDecimals(v)) << three;
        EXPECT_EQ(text.threeDecimals(t.value), three);
    }
}

// The invariant three-decimal text in the format's own symbols and groups, by hand.
std::string inFormat(const NumberFormat& f, std::string_view invariant) {
    const bool negative = invariant.front() == '-';
    invariant.remove_prefix(negative ? 1 : 0);
    const std::string_view integer = invariant.substr(0, invariant.find('.'));
    const auto n = static_cast<int>(integer.size());
    const bool grouped =
        !f.group.empty() && f.groupFirst > 0 && f.groupHigher > 0 && n - f.groupFirst >= f.groupMinLeading;
    std::string out = negative ? f.minus : "";
    for (int k = 0; k < n; ++k) {
        const int left = n - k; // digits from here to the point
        if (grouped && k > 0 &&
            (left == f.groupFirst || (left > f.groupFirst && (left - f.groupFirst) % f.groupHigher == 0))) {
            out += f.group;
        }
        out += f.digits[static_cast<std::size_t>(integer[static_cast<std::size_t>(k)] - '0')];
    }
    out += f.decimal;
    for (const char c : invariant.substr(integer.size() + 1)) {
        out += f.digits[static_cast<std::size_t>(c - '0')];
    }
    return out;
}

// The usual magnitudes are written by a shortcut that sizes the text first;
// it must place every digit, separator and sign as the format says.
TEST_P(RoundTrip, ThreeDecimalsInTheFormatsSymbols) {
    const NumberFormat format = GetParam().make();
    const NumberText text(format);
    const NumberText invariant(NumberFormat::invariant());
    std::mt19937_64 rng(7);
    for (int k = 0; k < 20000; ++k) {
        const double v = (k % 3 == 0 ? -1 : 1) * std::ldexp(static_cast<double>(rng() >> 11), -53) *
                         std::pow(10.0, static_cast<int>(rng() % 16) - 3);
        ASSERT_EQ(text.threeDecimals(v), inFormat(format, invariant.threeDecimals(v))) << std::hexfloat << v;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, RoundTrip, testing::ValuesIn(kAll),
                         [](const testing::TestParamInfo<NamedFormat>& param) {
                             return std::string(param.param.name);
                         });

// The one UTF-8 reader: each boundary of a well-formed sequence and the first
// malformed byte past it, and every sequence written back as it was.
TEST(Utf8, SequenceAtTheStart) {
    struct Row {
        std::string_view text;
        std::size_t length;
        char32_t cp;
    };
    for (const Row& r :
         {Row{"", 0, 0}, Row{std::string_view("\0", 1), 1, 0}, Row{"\x7F", 1, 0x7F}, Row{"\xC2\x80", 2, 0x80},
          Row{"\xC1\xBF", 0, 0}, Row{"\xDF\xBF", 2, 0x7FF}, Row{"\xE0\xA0\x80", 3, 0x800}, Row{"\xE0\x9F\xBF", 0, 0},
          Row{"\xED\x9F\xBF", 3, 0xD7FF}, Row{"\xED\xA0\x80", 0, 0}, Row{"\xEF\xBF\xBFz", 3, 0xFFFF},
          Row{"\xF0\x90\x80\x80", 4, 0x10000}, Row{"\xF0\x8F\xBF\xBF", 0, 0}, Row{"\xF4\x8F\xBF\xBF", 4, 0x10FFFF},
          Row{"\xF4\x90\x80\x80", 0, 0}, Row{"\xF5\x80\x80\x80", 0, 0}, Row{"\x80", 0, 0}, Row{"\xE2\x82", 0, 0},
          Row{"\xE2\x28\xA1", 0, 0}}) {
        const std::size_t length = vistrel::utf8::sequenceLength(r.text);
        EXPECT_EQ(length, r.length) << testing::PrintToString(r.text);
        if (length > 0) {
            EXPECT_EQ(vistrel::utf8::decode(r.text, length), r.cp) << testing::PrintToString(r.text);
            std::string written;
            vistrel::utf8::append(written, r.cp);
            EXPECT_EQ(written, r.text.substr(0, length));
        }
    }
    for (const char32_t notACharacter : {char32_t{0xD800}, char32_t{0xDFFF}, char32_t{0x110000}}) {
        std::string written;
        vistrel::utf8::append(written, notACharacter);
        EXPECT_EQ(written, "\xEF\xBF\xBD");
    }
}

} // namespace
