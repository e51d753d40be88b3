// SPDX-License-Identifier: GPL-3.0-or-later
// Where the time of `vistrel-cli batch` goes, stage by stage on one thread.
// One thread reads the input and cuts it into segments; the workers split
// their segments into records, evaluate them and write the rows. So batch can
// use about (split + evaluate) / cut cores before the cutting is the limit.
// Usage: batch_stages IN.csv

#include "analysis/cases.h"
#include "batch.h"
#include "csv_reader.h"
#include "csv_segments.h"

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
    CsvReader header(in);
    CsvRecord names;
    header.next(names);
    std::vector<std::optional<std::size_t>> columns;
    for (std::size_t k = 0; k < names.cells.size(); ++k) {
        const std::string_view name = names.cells[k];
        columns.push_back(columnIndex(name));
    }
    CsvSegmenter segmenter(in, header.takeRest(), BatchIo{}.segmentBytes);
    CsvSegment segment;
    CsvRecord record;
    std::string out;
    Clock::duration cutting{};
    Clock::duration splitting{};
    Clock::duration evaluating{};
    std::size_t rows = 0;
    Case c;
    for (;;) {
        auto start = Clock::now();
        const bool more = segmenter.next(segment);
        cutting += Clock::now() - start;
        if (!more) {
            break;
        }
        CsvReader reader(segment, header.delimiter());
        for (;;) {
            start = Clock::now();
            const bool got = reader.next(record);
            const auto read = Clock::now();
            splitting += read - start;
            if (!got) {
                break;
            }
            c.reset();
            for (std::size_t j = 0; j < columns.size() && j < record.cells.size(); ++j) {
                if (columns[j]) {
                    c.set(*columns[j], record.cells[j]);
                }
            }
            appendRow(out, c, evaluate(c, numbers));
            evaluating += Clock::now() - read;
            ++rows;
        }
        out.clear();
    }
    std::fclose(in);
    const auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    std::printf("rows: %zu\nread and cut into segments (one thread): %.3f s\nsplit into records (workers): %.3f s\n"
                "evaluate and write rows (workers): %.3f s\n",
                rows, seconds(cutting), seconds(splitting), seconds(evaluating));
    std::printf("cores batch can use before the one reading thread is the limit: %.0f\n",
                (seconds(splitting) + seconds(evaluating)) / seconds(cutting));
    return 0;
}
