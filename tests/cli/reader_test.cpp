// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/explore.h"
#include "batch.h"
#include "command_line.h"
#include "csv_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

using namespace vistrel::cli;

// Each record as "LINE:cell|cell" or "LINE:!error".
std::vector<std::string> records(const std::string& text, char delimiter = ',') {
    std::string bytes = text + '\0'; // fmemopen needs a buffer, even for no text
    std::FILE* in = ::fmemopen(bytes.data(), text.size(), "rb");
    std::vector<std::string> out;
    {
        CsvReader reader(in, delimiter, [](std::string_view name) { return name == "age" || name == "mode"; });
        CsvRecord r;
        while (reader.next(r)) {
            std::string s = std::to_string(r.line) + ":";
            if (!r.error.empty()) {
                s += "!" + r.error;
            }
            for (std::size_t k = 0; k < r.cells.size(); ++k) {
                s += (k > 0 ? "|" : "") +
                     (r.cells[k].size() > 20 ? std::to_string(r.cells[k].size()) : std::string(r.cells[k]));
            }
            out.push_back(s);
        }
    }
    std::fclose(in);
    return out;
}

struct ReaderCase {
    const char* name;
    std::string text;
    std::vector<std::string> expected;
};

void PrintTo(const ReaderCase& c, std::ostream* os) { *os << c.name; }

class Reader : public testing::TestWithParam<ReaderCase> {};

TEST_P(Reader, RecordsAndTheirLines) { EXPECT_EQ(records(GetParam().text), GetParam().expected); }

const std::string kLongCell(5'000'000, 'x');
const std::string kWideRow(5000, ',');
const std::string kCellAcrossBuffers = "\"" + std::string(100'000, 'y') + "\"";

INSTANTIATE_TEST_SUITE_P(
    LineEnds, Reader,
    testing::Values(ReaderCase{"lf", "a,b\nc,d\n", {"1:a|b", "2:c|d"}},
                    ReaderCase{"crlf", "a,b\r\nc,d\r\n", {"1:a|b", "2:c|d"}},
                    ReaderCase{"cr", "a,b\rc,d\re", {"1:a|b", "2:c|d", "3:e"}},
                    ReaderCase{"mixed", "a\r\nb\rc\nd", {"1:a", "2:b", "3:c", "4:d"}},
                    ReaderCase{"quoted line end", "\"x\ny\",z\r\nw\n", {"2:x\ny|z", "3:w"}},
                    ReaderCase{"bad quoting goes on at the next line", "a\"b,c\nd\n", {"1:!bad quoting", "2:d"}},
                    ReaderCase{"unclosed quote",
                               "a\n\"b\nc\nd\n",
                               {"1:a", "2:!a quote opened on this line is never closed: it takes in the 2 lines after "
                                       "it, to the end of the input"}},
                    ReaderCase{"cell over the limit",
                               "a\n" + kLongCell + "\nb\n",
                               {"1:a", "2:!the record is longer than 4 MiB or 4096 cells", "3:b"}},
                    ReaderCase{"cells over the limit",
                               kWideRow + "\nb",
                               {"1:!the record is longer than 4 MiB or 4096 cells", "2:b"}},
                    ReaderCase{"a cell across reads", kCellAcrossBuffers + ",z\n", {"1:100000|z"}}));

// Lines split by hand must split as libcsv splits the rest: quotes in every place.
INSTANTIATE_TEST_SUITE_P(
    Quotes, Reader,
    testing::Values(ReaderCase{"quoted cells", "\"a,b\",\"\",c\n", {"1:a,b||c"}},
                    ReaderCase{"doubled quotes", "\"say \"\"hi\"\"\",\"\"\"\"\"\"\"\"\n", {"1:say \"hi\"|\"\"\""}},
                    ReaderCase{"empty cells", ",\n,,x,\n\"\"\n", {"1:|", "2:||x|", "3:"}},
                    ReaderCase{"blanks are kept", " a , b \n", {"1: a | b "}},
                    ReaderCase{"quote after a blank", " \"a\"\nd\n", {"1:!bad quoting", "2:d"}},
                    ReaderCase{"quote left open", "\"a\"\"\nb\"\nc\n", {"2:a\"\nb", "3:c"}},
                    ReaderCase{"text after a closing quote", "\"a\"b,c\nd\n", {"1:!bad quoting", "2:d"}},
                    ReaderCase{"blank after a closing quote", "\"a\" ,c\nd\n", {"1:!bad quoting", "2:d"}},
                    ReaderCase{"quote inside a plain cell", "a,b\"\nd\n", {"1:!bad quoting", "2:d"}},
                    ReaderCase{"closing quote at the line end", "a,\"b\"\r\n\"c\"\"\"\n", {"1:a|b", "2:c\""}}));

// records() reads every record into the same CsvRecord, whose memory the
// reader reuses: nothing of an earlier record may show in a later one.
INSTANTIATE_TEST_SUITE_P(
    ReusedRecords, Reader,
    testing::Values(ReaderCase{"fewer cells than before", "a,b,c\nd,e,f\ng\nh\n", {"1:a|b|c", "2:d|e|f", "3:g", "4:h"}},
                    ReaderCase{"bad quoting after some cells",
                               "a,b,c\nd,e\"f,g\nh\ni\nj\n",
                               {"1:a|b|c", "2:!bad quoting", "3:h", "4:i", "5:j"}},
                    ReaderCase{"short records after one too large to lend its memory",
                               "x," + std::string(2000, 'y') + "\nb,c\nd,e\nf,g\nh,i\n",
                               {"1:x|2000", "2:b|c", "3:d|e", "4:f|g", "5:h|i"}},
                    ReaderCase{"records after errors",
                               "a\"b\nc,d\n" + kLongCell + "\ne\nf\ng\n",
                               {"1:!bad quoting", "2:c|d", "3:!the record is longer than 4 MiB or 4096 cells", "4:e",
                                "5:f", "6:g"}}));

struct DelimiterCase {
    const char* name;
    std::string text;
    char delimiter; // 0 to let the header decide
    std::vector<std::string> expected;
};

void PrintTo(const DelimiterCase& c, std::ostream* os) { *os << c.name; }

class Delimiter : public testing::TestWithParam<DelimiterCase> {};

TEST_P(Delimiter, SpreadsheetTables) { EXPECT_EQ(records(GetParam().text, GetParam().delimiter), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Tables, Delimiter,
    testing::Values(DelimiterCase{"byte order mark", "\xEF\xBB\xBFmode,age\n", ',', {"1:mode|age"}},
                    DelimiterCase{"byte order mark only", "\xEF\xBB\xBF", ',', {}},
                    DelimiterCase{"mark before a quote", "\xEF\xBB\xBF\"mode\";age\n", 0, {"1:mode|age"}},
                    DelimiterCase{"semicolons detected", "mode;age\nnone;4,5\n", 0, {"1:mode|age", "2:none|4,5"}},
                    DelimiterCase{"commas stay", "mode,age\nnone;x,4\n", 0, {"1:mode|age", "2:none;x|4"}},
                    DelimiterCase{"both: commas", "mode,age;x\n", 0, {"1:mode|age;x"}},
                    DelimiterCase{"no known name: commas", "a;b\n", 0, {"1:a;b"}},
                    DelimiterCase{"quoted semicolon", "\"x;y\",age\n", 0, {"1:x;y|age"}},
                    DelimiterCase{"given", "a;b\n", ';', {"1:a|b"}}));

struct NameCase {
    std::string typed;
    std::optional<std::string_view> column; // the column it is taken for or looks like
};

class Names : public testing::TestWithParam<NameCase> {};

TEST_P(Names, MisspellingsAreCaughtAndLabelsAreNot) { EXPECT_EQ(nearColumn(GetParam().typed), GetParam().column); }

INSTANTIATE_TEST_SUITE_P(Columns, Names,
                         testing::Values(NameCase{"leter_factor", "letter_factor"}, NameCase{"ag", "age"},
                                         NameCase{"Age", "age"}, NameCase{"letter_height", "letter_height_mm"},
                                         NameCase{"letter_reflectanse", "letter_reflectance"},
                                         NameCase{"id", std::nullopt}, NameCase{"design", std::nullopt},
                                         NameCase{"note", std::nullopt}, NameCase{"height_mm", std::nullopt}));

TEST(Names, EaseLevelsByTextOrShortName) {
    for (std::size_t k = 0; k < vistrel::kEaseLevels.size(); ++k) {
        EXPECT_EQ(easeLevel(kEaseAliases[k]), vistrel::kEaseLevels[k].text);
        EXPECT_EQ(easeLevel(vistrel::kEaseLevels[k].text), vistrel::kEaseLevels[k].text);
    }
    EXPECT_EQ(easeLevel("90%"), std::nullopt);
    EXPECT_EQ(easeLevel(""), std::nullopt);
}

TEST(Reader, AnUnclosedQuoteStopsAtTheLimitAndReadingGoesOn) {
    std::string text = "\"a\n";
    while (text.size() <= kMaxRecordBytes) {
        text += "0123456789012345678901234567890123456789\n";
    }
    const auto lineOfB = std::count(text.begin(), text.end(), '\n') + 1;
    text += "b\n";
    const std::vector<std::string> got = records(text);
    ASSERT_FALSE(got.empty());
    EXPECT_TRUE(got.front().starts_with("1:!a quote opened on this line is still open")) << got.front();
    EXPECT_EQ(got.back(), std::to_string(lineOfB) + ":b");
}

class Escaped : public testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(Escaped, ControlsAndBrokenBytesAreShownAsCodes) { EXPECT_EQ(escaped(GetParam().first), GetParam().second); }

INSTANTIATE_TEST_SUITE_P(Texts, Escaped,
                         testing::Values(std::pair{"plain.csv", "plain.csv"}, std::pair{"\x1b[31m", "\\x1B[31m"},
                                         std::pair{"a\nb\tc\x7f", "a\\x0Ab\\x09c\\x7F"},
                                         std::pair{"\xc2\x9b"
                                                   "2J",
                                                   "\\xC2\\x9B2J"}, // C1 CSI
                                         std::pair{"caf\xc3\xa9 \xe2\x82\xac", "caf\xc3\xa9 \xe2\x82\xac"},
                                         std::pair{"\xff\xc3", "\\xFF\\xC3"},
                                         std::pair{"\xed\xa0\x80", "\\xED\\xA0\\x80"},   // a surrogate
                                         std::pair{"\xe0\x80\xaf", "\\xE0\\x80\\xAF"})); // overlong

// cell, then how a CSV writes it: a ' before text a spreadsheet would run.
class Formulas : public testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(Formulas, TextThatWouldRunGetsAQuoteMarkAndNumbersDoNot) {
    const auto& [cell, written] = GetParam();
    const vistrel::NumberText numbers(vistrel::NumberFormat::invariant());
    // The row writer's shortcut decides as the cell writer does, at every length.
    const auto row = [&](std::string_view text, bool guard) {
        Case c;
        c.set(*columnIndex("source_cd"), text); // a column no message names
        std::string line;
        appendRow(line, c, evaluate(c, numbers), guard);
        return line;
    };
    for (const bool guard : {true, false}) {
        std::string alone;
        appendCsvCell(alone, cell, guard);
        if (guard) {
            EXPECT_EQ(alone, written);
        }
        std::string expected = row("MARKER", guard);
        EXPECT_EQ(row(cell, guard), expected.replace(expected.find("MARKER"), 6, alone)) << guard;
    }
}

const std::string kLong(70, '7');

INSTANTIATE_TEST_SUITE_P(
    Cells, Formulas,
    testing::Values(std::pair{"=1+1", "'=1+1"}, std::pair{"@SUM(1+1)", "'@SUM(1+1)"}, std::pair{"+cmd", "'+cmd"},
                    std::pair{"-2+3", "'-2+3"}, std::pair{"=H(\"x\")", "\"'=H(\"\"x\"\")\""}, std::pair{"\tx", "'\tx"},
                    std::pair{"\rx", "\"'\rx\""}, std::pair{"-", "'-"}, std::pair{"-e5", "'-e5"},
                    std::pair{"-1e+", "'-1e+"}, std::pair{"-.", "'-."}, std::pair{"-1.2.3", "'-1.2.3"},
                    std::pair{"-5 ", "\"'-5 \""}, std::pair{"=" + kLong, "'=" + kLong},
                    // Numbers, and text that starts otherwise, stay as they are.
                    std::pair{"-0.301", "-0.301"}, std::pair{"+5", "+5"}, std::pair{"-1e3", "-1e3"},
                    std::pair{"-.5", "-.5"}, std::pair{"+1.E-7", "+1.E-7"}, std::pair{"-" + kLong, "-" + kLong},
                    std::pair{"a=b", "a=b"}, std::pair{"'=1", "'=1"}, std::pair{"", ""}));

// A number cell as typed, how the input marks decimals and its separator,
// then what the engine is given ("!" and the message when refused).
struct DecimalCase {
    std::string cell;
    DecimalMark mark;
    char delimiter;
    std::string read;
};

class Decimals : public testing::TestWithParam<DecimalCase> {};

TEST_P(Decimals, ACommaIsReadOnlyWhereItCannotBeMisread) {
    const DecimalCase& d = GetParam();
    std::string scratch;
    const auto read = numberCellText(d.cell, "age", d.mark, d.delimiter, scratch);
    EXPECT_EQ(read ? std::string(*read) : "!" + read.error().message, d.read);
}

constexpr auto kDetect = DecimalMark::Detect;
constexpr auto kComma = DecimalMark::Comma;
constexpr auto kPoint = DecimalMark::Point;
const std::string kRefused =
    "!age \"0.5\" has a decimal point, and --decimal , takes a comma only (--decimal . reads points)";

INSTANTIATE_TEST_SUITE_P(
    Cells, Decimals,
    testing::Values(DecimalCase{"0,5", kDetect, ';', "0.5"}, DecimalCase{"-1,25e3", kDetect, ';', "-1.25e3"},
                    DecimalCase{"+,5", kDetect, ';', "+.5"}, DecimalCase{"0.5", kDetect, ';', "0.5"},
                    // Not one number with a comma: the engine names what is wrong with it.
                    DecimalCase{"1,234,5", kDetect, ';', "1,234,5"}, DecimalCase{"1,2.5", kDetect, ';', "1,2.5"},
                    DecimalCase{",", kDetect, ';', ","}, DecimalCase{"a,b", kDetect, ';', "a,b"},
                    DecimalCase{"0,5 ", kDetect, ';', "0,5 "},
                    // A ',' separated input has no decimal comma unless asked for.
                    DecimalCase{"0,5", kDetect, ',', "0,5"}, DecimalCase{"0,5", kComma, ',', "0.5"},
                    DecimalCase{"0,5", kPoint, ';', "0,5"}, DecimalCase{"0.5", kComma, ';', kRefused},
                    DecimalCase{"0.5", kComma, ',', kRefused}, DecimalCase{"5", kComma, ';', "5"},
                    DecimalCase{"v0.5", kComma, ';', "v0.5"}));

struct GridCase {
    double min;
    double max;
    bool ok;
    long long lo;
    long long hi;
};

class Grid : public testing::TestWithParam<GridCase> {};

TEST_P(Grid, RangesAreCheckedBeforeTheyOverflow) {
    const auto grid = solveGrid({GetParam().min, GetParam().max});
    ASSERT_EQ(grid.ok(), GetParam().ok) << (grid ? "" : grid.error().text());
    if (GetParam().ok) {
        EXPECT_EQ(grid->lo, GetParam().lo);
        EXPECT_EQ(grid->hi, GetParam().hi);
    }
}

INSTANTIATE_TEST_SUITE_P(Ranges, Grid,
                         testing::Values(GridCase{0.5, 100, true, 50, 10000}, GridCase{5.001, 5.02, true, 501, 502},
                                         GridCase{-1e9, 1e9, true, -100'000'000'000, 100'000'000'000},
                                         GridCase{5.001, 5.002, false, 0, 0},
                                         GridCase{1e17, 1.0000000001e17, false, 0, 0}, GridCase{2, 1, false, 0, 0},
                                         GridCase{0, NAN, false, 0, 0}, GridCase{-INFINITY, 1, false, 0, 0}));

class SweepSteps : public testing::TestWithParam<std::pair<const char*, std::size_t>> {};

// 0 rows: refused.
TEST_P(SweepSteps, RowsOrRefusal) {
    const auto spec = parseSweepSpec(GetParam().first, vistrel::NumberText(vistrel::NumberFormat::invariant()));
    EXPECT_EQ(spec ? spec->count : 0, GetParam().second) << (spec ? "" : spec.error().text());
}

INSTANTIATE_TEST_SUITE_P(
    Specs, SweepSteps,
    testing::Values(std::pair{"age=0:1000000:1", 1'000'001}, std::pair{"age=0:1000001:1", 0},
                    std::pair{"letter_factor=0:1:0.000001", 1'000'001},
                    std::pair{"letter_factor=-1e308:1e308:1e300", 0}, std::pair{"field_correction=0:1:0.5", 3},
                    std::pair{"result=0:1:1", 0}, std::pair{"threshold_contrast=0:1:1", 0}, std::pair{"ease=0:1:1", 0},
                    // Log-spaced: the same limit, no overflow from the ends' ratio.
                    std::pair{"background_cdm2=1:1e6:x1.0000138156", 1'000'001},
                    std::pair{"background_cdm2=1:1e6:x1.0000138", 0},
                    std::pair{"background_cdm2=1e-300:1e300:x1e300", 3},
                    std::pair{"background_cdm2=1e-300:1e300:x1.00001", 0}, std::pair{"background_cdm2=5:5:x2", 1},
                    std::pair{"background_cdm2=0:10:x2", 0}, std::pair{"background_cdm2=10:1:x2", 0},
                    std::pair{"background_cdm2=1:10:x1", 0}, std::pair{"background_cdm2=1:10:x-2", 0},
                    std::pair{"background_cdm2=1:10:2x", 0}));

// What a batch writes for input, read in segments of the given size.
std::string batchOf(const std::string& input, std::size_t segmentBytes) {
    struct Text final : Sink {
        bool write(std::string_view t) override {
            text += t;
            return true;
        }
        std::string text;
    } out;
    std::string bytes = input + '\0';
    std::FILE* in = ::fmemopen(bytes.data(), input.size(), "rb");
    const vistrel::NumberText numbers(vistrel::NumberFormat::invariant());
    BatchIo io;
    io.in = in;
    io.out = &out;
    io.numbers = &numbers;
    io.segmentBytes = segmentBytes;
    const auto ran = runBatch(io);
    std::fclose(in);
    if (!ran) {
        return out.text + ran.error().text();
    }
    const BatchResult& r = *ran;
    return out.text + std::to_string(r.rows) + " rows, " + std::to_string(r.unreadable) + " unreadable, " +
           std::to_string(r.linesTakenIn) + " lines taken in; " + r.firstUnreadable;
}

class Segments : public testing::TestWithParam<ReaderCase> {};

// Every cut, between records or inside one, gives what one reader gives.
TEST_P(Segments, CuttingTheInputAnywhereChangesNothing) {
    const std::string whole = batchOf(GetParam().text, std::size_t{1} << 20);
    EXPECT_EQ(static_cast<std::size_t>(std::count(whole.begin(), whole.end(), '\n')), GetParam().expected.size())
        << whole;
    for (const std::size_t size : {1U, 2U, 3U, 5U, 8U, 13U, 21U, 64U}) {
        EXPECT_EQ(batchOf(GetParam().text, size), whole) << "segments of " << size << " bytes";
    }
}

// expected: one entry per output line, header included.
INSTANTIATE_TEST_SUITE_P(
    Inputs, Segments,
    testing::Values(ReaderCase{"lf", "id,age\na,30\nb,40\n", {"h", "a", "b"}},
                    ReaderCase{"crlf", "id,age\r\na,30\r\nb,40\r\n", {"h", "a", "b"}},
                    ReaderCase{"cr_without_end", "id,age\ra,30\rb,40", {"h", "a", "b"}},
                    ReaderCase{"blank_lines", "id,age\r\n\r\na,30\n\n\rb,40\r\n\r\n", {"h", "a", "b"}},
                    // Quoted line ends inside a label are written back quoted, one output line each.
                    ReaderCase{"quoted_line_ends",
                               "id,age\n\"x\ny\",30\n\"p\r\nq\"\"r\",40\n\"s\"\"\",50\n",
                               {"h", "x", "y", "p", "q", "s"}},
                    ReaderCase{"bad_quotes", "id,age\na\"b,30\nc,40\n\"d\"e,50\nf,60\n", {"h", "a", "c", "d", "f"}},
                    ReaderCase{"unclosed_quote", "id,age\na,30\n\"b,40\nc,50\n", {"h", "a", "b"}},
                    ReaderCase{"cell_counts", "id,age\na\nb,1,2\nc,3\n", {"h", "a", "b", "c"}}));

// The lines an unclosed quote takes in are counted once, whichever segment
// the quote opens in and however many it spans.
TEST(Segments, LinesTakenInByAnUnclosedQuoteAreCounted) {
    std::string atLimit = "id,age\n\"a\n";
    const std::size_t filler = (kMaxRecordBytes - 3) / 41 + 1; // 41-byte lines until the record is too long
    for (std::size_t k = 0; k < filler; ++k) {
        atLimit += "0123456789012345678901234567890123456789\n";
    }
    atLimit += "b,40\n\"c,50\nd,60\n";
    for (const auto& [input, lines] :
         {std::pair{std::string("id,age\na,30\n\"b,40\nc,50\nd,60\n"), std::size_t{2}},
          std::pair{std::string("id,age\n\"x\ny\",30\n"), std::size_t{0}}, std::pair{atLimit, filler + 1}}) {
        for (const std::size_t size : {std::size_t{4099}, std::size_t{1} << 16, std::size_t{1} << 22}) {
            const std::string out = batchOf(input, size);
            EXPECT_NE(out.find(", " + std::to_string(lines) + " lines taken in;"), std::string::npos)
                << "segments of " << size << ": " << out.substr(out.rfind('\n') + 1);
        }
    }
}

} // namespace
