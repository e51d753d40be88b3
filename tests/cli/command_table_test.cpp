// SPDX-License-Identifier: GPL-3.0-or-later
// vistrel-cli driven through its command table, in this process: arguments
// in; exit status, stdout and stderr out.

#include "command_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

using namespace vistrel::cli;

const std::string kGolden = VISTREL_GOLDEN_DIR;
const std::string kProfiles = VISTREL_PROFILES_DIR;
const std::string kDocs = std::filesystem::path(VISTREL_PROFILE_TEMPLATE).parent_path().string() + "/";

std::string golden(const std::string& name) {
    std::ifstream in(kGolden + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A console stream that keeps what it is given, or fails every write.
class Text final : public Sink {
  public:
    explicit Text(std::optional<Error> fails = std::nullopt) : fails_(std::move(fails)) {}
    bool write(std::string_view t) override {
        text += t;
        return !fails_;
    }
    [[nodiscard]] Error failure() const override { return fails_.value_or(outputError("?")); }
    std::string text;

  private:
    std::optional<Error> fails_;
};

struct Row {
    std::string args; // split at spaces; '~' stands for a space within an argument
    int status;
    std::string out; // stdout; "@NAME" for the golden file NAME
    std::string err; // stderr; for either, a leading "*" matches the text after it anywhere
    std::optional<Error> outFails{};
};

const std::string kCase = "--mode illuminance --illuminance_lux 1076 --letter_factor 0.8 --background_factor 0.2 "
                          "--age 45 --letter_height_mm 6 --viewing_distance_mm 750 --ratio 7 --ease 90";
const std::string kBacklit = "--mode luminance --letter_cdm2 500 --background_cdm2 10 --age 40 --letter_height_mm 6 "
                             "--viewing_distance_mm 750 --ratio 7 --ease 90";
// The case of the guide's examples.
const std::string kDocCase = "--mode illuminance --illuminance_lux 1076 --letter_factor 0.8 --background_factor 0.2 "
                             "--age 40 --letter_height_mm 6 --viewing_distance_mm 750 --ratio 7 --ease 90";

std::string usage(const std::string& command, const std::string& message) {
    return "vistrel-cli " + command + ": " + message + "\nRun 'vistrel-cli " + command +
           " --help' for more information.\n";
}

// Where the report row writes its page.
std::filesystem::path scratchPage() {
    return std::filesystem::temp_directory_path() / ("vistrel-command-table-" + std::to_string(::getpid()) + ".html");
}

std::vector<Row> rows() {
    const std::string g = kGolden + "/";
    const std::string p = kProfiles + "/";
    const std::string scratch = scratchPage().replace_extension().string();
    return {
        {"eval " + kDocCase, 0, "@examples/eval.txt", ""},
        // The guide's case file says what its options say; an option goes over it.
        {"eval --case " + kDocs + "examples/worked-case.toml", 0, "@examples/eval.txt", ""},
        {"eval --case " + kDocs + "examples/worked-case.toml --age 60", 0, "@examples/eval-3.txt", ""},
        {"batch " + g + "examples/designs.csv", 0, "@examples/results.csv", ""},
        {"solve --for letter_height_mm --mode illuminance --illuminance_lux 1076 --letter_factor 0.8 "
         "--background_factor 0.2 --age 60 --viewing_distance_mm 750 --ratio 7 --ease 90",
         0, "@examples/solve.txt", ""},
        {"sweep --vary viewing_distance_mm=100:3000:10 --mode illuminance --illuminance_lux 1076 --letter_factor "
         "0.25 --background_factor 0.2 --age 60 --letter_height_mm 6 --ratio 7 --ease 90",
         0, "@examples/sweep.csv", ""},
        {"check --profile " + p + "faa-distance.toml --json " + kBacklit, 0, "@check_faa.expected.json", ""},
        {"conditions " + g + "designs.csv --conditions " + g + "night-and-glare.csv", 1,
         "@conditions_custom.expected.txt", ""},
        {"tolerance " + kCase +
             " --tol age=normal:45:12 --tol illuminance_lux=±10% --samples 2000 --seed 7 "
             "--threads 1",
         0, "@tolerance_worked.expected.txt", ""},
        {"report " + g + "designs.csv --profile " + p + "text-legibility.toml --conditions " + g +
             "night-and-glare.csv -o " + scratch + ".html",
         0, "",
         "vistrel-cli report: vistrel-plot is not installed: the report has no plots (install the 'vistrel' "
         "package)\n"},
        {"--version", 0, "*\nCopyright (C) 2026 Vistrel developers\nLicense GPL-3.0-or-later", ""},
        // Usage errors: status 2, the message and where to read more.
        {"evl --age 40", 2, "",
         "vistrel-cli: unknown command \"evl\"; did you mean eval?\nRun 'vistrel-cli --help' for more information.\n"},
        {"xyzzy", 2, "",
         "vistrel-cli: unknown command \"xyzzy\"; the commands are eval, batch, solve, sweep, check, conditions, "
         "tolerance, report and screen\nRun 'vistrel-cli --help' for more information.\n"},
        {"eval --letter-hieght-mm 6", 2, "",
         usage("eval", "unknown option --letter-hieght-mm; did you mean --letter_height_mm?")},
        {"eval --mode sideways --ease zz", 2, "",
         usage("eval", "--mode: must be source, illuminance, luminance or none")},
        {"help evl", 2, "",
         "vistrel-cli: unknown command \"evl\"; did you mean eval?\nRun 'vistrel-cli --help' for more information.\n"},
        {"report " + g + "designs.csv", 2, "", usage("report", "--output is required")},
        {"eval --ease zz", 2, "",
         "vistrel-cli eval: --ease \"zz\" is not an ease of reading level; the levels, by short name:\n" +
             easeLevelList() + "Run 'vistrel-cli eval --help' for more information.\n"},
        {"report " + g + "designs.csv -o " + scratch + ".txt", 2, "",
         usage("report", "-o must end in .html, .htm or .pdf")},
        {"tolerance --tol age=normal:-1 " + kCase, 2, "", "*--tol age=normal:-1: "},
        {"tolerance --tol age=+-1 --seed -1 " + kCase, 2, "",
         usage("tolerance", "--seed \"-1\" must be a whole number from 0 to 18446744073709551615")},
        {"batch " + g + "designs.csv --delimiter x", 2, "",
         usage("batch", "--delimiter must be , ; or tab, not \"x\"")},
        {"batch " + g + "designs.csv -o " + g + "designs.csv", 2, "",
         usage("batch", "the output " + g + "designs.csv would overwrite the input " + g + "designs.csv")},
        {"sweep --vary age=1:2:1 --plot p.txt", 2, "", usage("sweep", "--plot must end in .svg, .png or .pdf")},
        // An input the case lacks is named, with its caption, in every command that takes a case.
        {"eval --mode luminance --letter_cdm2 500 --background_fl 3 --ratio 7 --ease 90 --letter_height_mm 6 "
         "--viewing_distance_mm 750",
         2, "", usage("eval", "missing --age (Observer's Age)")},
        {"solve --for age --mode illuminance --letter_factor 0.8 --background_factor 0.2 --letter_height_mm 6 "
         "--viewing_distance_mm 750 --ratio 7 --ease 90",
         2, "", usage("solve", "missing --illuminance_lux or --illuminance_fc (Illuminance, LUX or FC)")},
        {"check --profile " + p + "faa-distance.toml --age 40", 2, "",
         "*missing --mode (input mode: source, illuminance or luminance), --letter_factor (Letter Reflectance or "
         "Transmittance), --background_factor"},
        {"tolerance --tol age=normal:45:12 --mode luminance --letter_cdm2 500 --background_cdm2 10 "
         "--letter_height_mm 6 --viewing_distance_mm 750 --ease 90",
         2, "", usage("tolerance", "missing --ratio (Letter HT to Stroke Width Ratio)")},
        // Inputs that look like slips are noted, never refused.
        {"eval " + kDocCase + " --letter_factor 80 --background_factor 20 --age 300", 0,
         "*letter_factor 80 is above 1, but it is a fraction from 0 to 1: did you mean 0.8? background_factor 20 is "
         "above 1, but it is a fraction from 0 to 1: did you mean 0.2? age 300 lies outside the ages of 10 to 90 "
         "years that the tool works over (solve's range). Assumed where not given: field_correction 0.0.",
         ""},
        {"check --profile " + p +
             "faa-distance.toml --mode luminance --letter_cdm2 1 --background_cdm2 0.01 "
             "--age 40 --letter_height_mm 6 --viewing_distance_mm 750 --ratio 7 --ease 90 --ambient_lux 5000",
         0,
         "*Notes: background_cdm2 0.01 is held as 0.003 fL, 2.8% off in three decimals: actual_contrast reads 96.333 "
         "where the exact luminances give 99.000. ambient_lux 5000 has no effect: display_reflectance is not given "
         "or 0, so the ambient light adds no veil. Assumed where not given: field_correction 0.0; "
         "display_reflectance 0; specular_cdm2 0; specular_reflectance 0; veil_cdm2 0.\n",
         ""},
        // Status 1: no verdict, unreadable rows, an output that cannot be written.
        {"eval " + kDocCase + " --ratio 2", 1, "*No verdict: The Letter HT", ""},
        {"batch " + g + "quoting_crlf.csv", 1, "@quoting_crlf.expected.csv",
         "vistrel-cli batch: 4 of 9 rows could not be read; see their message column. The first: line 7: 4 cells "
         "where the header has 9\n"},
        {"sweep --vary age=1:2:1 -o " + g, 1, "", "vistrel-cli sweep: cannot write " + g + ": Is a directory\n"},
        {"eval " + kDocCase, 1, "*", "vistrel-cli eval: cannot write stdout: No space left on device\n",
         outputError("cannot write stdout: No space left on device")},
        {"eval " + kDocCase, 1, "*", "", quietError()}, // the reader went away
        {"--help", 1, "*", "vistrel-cli: cannot write stdout: x\n", outputError("cannot write stdout: x")},
    };
}

std::vector<std::string> split(const std::string& args) {
    std::vector<std::string> out{"vistrel-cli"};
    for (std::size_t start = 0; start < args.size();) {
        const std::size_t end = std::min(args.find(' ', start), args.size());
        out.push_back(args.substr(start, end - start));
        std::replace(out.back().begin(), out.back().end(), '~', ' ');
        start = end + 1;
    }
    return out;
}

TEST(CommandTable, RunsEachRowAsTheProgramWould) {
    const vistrel::NumberText numbers(vistrel::NumberFormat::invariant());
    for (const Row& row : rows()) {
        Text out(row.outFails);
        Text err;
        Console console{out, err, nullptr, false, false};
        const int status = runCommandLine(split(row.args), console, numbers);
        EXPECT_EQ(status, row.status) << row.args << "\n" << err.text;
        for (const auto& [got, wanted] : {std::pair{&out.text, row.out}, std::pair{&err.text, row.err}}) {
            if (wanted.starts_with("*")) {
                EXPECT_NE(got->find(wanted.substr(1)), std::string::npos) << row.args << "\n" << *got;
            } else {
                EXPECT_EQ(*got, wanted.starts_with("@") ? golden(wanted.substr(1)) : wanted) << row.args;
            }
        }
    }
    EXPECT_GT(std::filesystem::file_size(scratchPage()), 0U);
    std::filesystem::remove(scratchPage());
}

// Every row of the table answers --help on stdout with status 0.
TEST(CommandTable, EveryCommandHasHelp) {
    const vistrel::NumberText numbers(vistrel::NumberFormat::invariant());
    for (const CommandRow& row : kCommands) {
        Text out;
        Text err;
        Console console{out, err, nullptr, false, false};
        EXPECT_EQ(runCommandLine(split(std::string(row.name) + " --help"), console, numbers), 0) << row.name;
        EXPECT_NE(out.text.find(std::string(row.summary)), std::string::npos) << row.name;
        EXPECT_NE(out.text.find("Exit status:"), std::string::npos) << row.name;
        EXPECT_EQ(err.text, "") << row.name;
        // help COMMAND says the same, and every value is named for what it takes.
        Text asked;
        Console helpConsole{asked, err, nullptr, false, false};
        EXPECT_EQ(runCommandLine(split("help " + std::string(row.name)), helpConsole, numbers), 0) << row.name;
        EXPECT_EQ(asked.text, out.text) << row.name;
        for (const char* internal : {" TEXT", " UINT", " INT", " FLOAT", " VALUE", " in ["}) {
            EXPECT_EQ(out.text.find(internal), std::string::npos) << row.name << " --help shows" << internal;
        }
    }
}

} // namespace
