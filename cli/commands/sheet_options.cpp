// SPDX-License-Identifier: GPL-3.0-or-later
// The options that shape a command's CSV table for a spreadsheet.

#include "command_line.h"
#include "sheet.h"

#include <CLI/CLI.hpp>

namespace vistrel::cli {

void addSheetOptions(CLI::App& command, CommandOptions& options, bool reads) {
    auto& texts = options.texts;
    command.add_option("--output-delimiter", texts.outputDelimiter,
                       "The CSV table's cell separator: , ; or tab (default ,)");
    command.add_option("--decimal", texts.decimal,
                       reads ? "The decimal mark of number cells, , or . (default: read . and, in a ; separated "
                               "input, also ,; write .)"
                             : "The decimal mark of number cells in the CSV table, , or . (default .)");
    command.add_flag("--bom", options.run.sheet.bom, "Start the CSV table with a UTF-8 byte order mark");
    command.add_flag("--excel-de", texts.excelDe, "The same as --output-delimiter ';' --decimal , --bom");
}

Expected<void> finishSheetOptions(const CLI::App& command, CommandOptions& options, bool reads, bool jsonIsTable) {
    Invocation& run = options.run;
    const auto& texts = options.texts;
    const bool delimiterGiven = command.count("--output-delimiter") > 0;
    const bool decimalGiven = command.count("--decimal") > 0;
    SheetStyle style;
    style.bom = run.sheet.bom;
    if (texts.excelDe && (delimiterGiven || decimalGiven || style.bom)) {
        return usageError("--excel-de is --output-delimiter ';' --decimal , --bom together: give it or those options");
    }
    if (delimiterGiven) {
        const std::string& d = texts.outputDelimiter;
        if (d != "," && d != ";" && d != "tab" && d != "\t") {
            return usageError("--output-delimiter must be , ; or tab, not \"" + escaped(d) + "\"");
        }
        style.delimiter = d == "tab" ? '\t' : d[0];
    }
    if (decimalGiven) {
        if (texts.decimal != "," && texts.decimal != ".") {
            return usageError("--decimal must be , or ., not \"" + escaped(texts.decimal) + "\"");
        }
        run.decimal = texts.decimal == "," ? DecimalMark::Comma : DecimalMark::Point;
    }
    if (texts.excelDe) {
        style = {';', true, true, false};
        run.decimal = DecimalMark::Comma;
    }
    style.decimalComma = run.decimal == DecimalMark::Comma;
    const bool xlsx = isXlsxPath(run.output);
    const bool json = run.json && jsonIsTable;
    if (json || xlsx) {
        if (json && xlsx) {
            return usageError("-o " + run.output + " writes a workbook and --json writes JSON Lines: give one");
        }
        const std::string what = json ? "--json writes JSON Lines" : "-o " + run.output + " writes a workbook";
        const char* csvOnly = texts.excelDe            ? "--excel-de"
                              : delimiterGiven         ? "--output-delimiter"
                              : style.bom              ? "--bom"
                              : decimalGiven && !reads ? "--decimal"
                                                       : nullptr;
        if (csvOnly != nullptr) {
            return usageError(std::string(csvOnly) + " shapes a CSV table, and " + what);
        }
        run.sheet = SheetStyle{};
        run.sheet.xlsx = xlsx;
        // A workbook's text cells are never run as formulas: they keep their text.
        run.guardFormulas = run.guardFormulas && !xlsx;
        return {};
    }
    if (style.decimalComma && style.delimiter == ',') {
        return usageError("--decimal , needs --output-delimiter ; or tab: a comma cannot both separate cells and "
                          "mark decimals");
    }
    run.sheet = style;
    return {};
}

} // namespace vistrel::cli
