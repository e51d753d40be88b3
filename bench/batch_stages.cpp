// SPDX-License-Identifier: GPL-3.0-or-later
// Where the time of `vistrel-cli batch` goes, stage by stage on one thread:
// reading and splitting records, and evaluating and writing rows. The reader
// runs beside the workers, so batch can use about (evaluate / read) cores
// before the reader becomes the limit.
// Usage: batch_stages IN.csv

#include "batch.h"
#include "cases.h"
#include "csv_reader.h"

#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

int main(int argc, char** argv) {
    using namespace vistrel::cli;
    using Clock = std::chrono::steady_clock;
    if (argc != 2) {
        std::fprintf(stderr, "usage: batch_stages IN.csv\n");
        return 2;
    }
    std::FILE* in = std::fopen(argv[1], "rb");
    if (in == nullptr) {
        std::perror("batch_stages");
        return 1;
    }
    const vistrel::NumberText numbers(vistrel::NumberFormat::invariant());
    CsvReader reader(in);
    CsvRecord header;
    reader.next(header);
    std::vector<std::optional<std::size_t>> columns;
    for (const std::string& name : header.cells) {
        columns.push_back(columnIndex(name));
    }
    std::vector<CsvRecord> chunk(2048);
    std::string out;
    Clock::duration reading{};
    Clock::duration evaluating{};
    std::size_t rows = 0;
    for (;;) {
        const auto start = Clock::now();
        std::size_t n = 0;
        while (n < chunk.size() && reader.next(chunk[n])) {
            ++n;
        }
        const auto read = Clock::now();
        Case c;
        for (std::size_t k = 0; k < n; ++k) {
            c.reset();
            for (std::size_t j = 0; j < columns.size() && j < chunk[k].cells.size(); ++j) {
                if (columns[j]) {
                    c.set(*columns[j], chunk[k].cells[j]);
                }
            }
            appendRow(out, c, evaluate(c, numbers));
        }
        out.clear();
        reading += read - start;
        evaluating += Clock::now() - read;
        rows += n;
        if (n == 0) {
            break;
        }
    }
    std::fclose(in);
    const auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    std::printf("rows: %zu\nread and split: %.3f s\nevaluate and write rows: %.3f s\n", rows, seconds(reading),
                seconds(evaluating));
    std::printf("cores batch can use before the reader is the limit: %.1f\n", seconds(evaluating) / seconds(reading));
    return 0;
}
