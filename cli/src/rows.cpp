#include "rows.h"

#include "csv_reader.h"

namespace vistrel::cli {

void appendRow(std::string& out, const Case& c, const Evaluation& e) {
    for (std::size_t k = 0; k < kColumns.size(); ++k) {
        appendCsvCell(out, c.view(k));
        out += ',';
    }
    appendCsvCell(out, e.message);
    out += ',';
    out += e.margin;
    out += '\n';
}

} // namespace vistrel::cli
