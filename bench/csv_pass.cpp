// SPDX-License-Identifier: GPL-3.0-or-later
// The floor under `vistrel-cli batch`: libcsv reads a CSV, splits it into
// cells and writes them back out, with no calculation. bench/batch_throughput.sh
// compares batch with it.
// Usage: csv_pass IN.csv OUT.csv

#include <csv.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Output {
    std::string text;
    bool first = true;
};

void onCell(void* data, std::size_t length, void* out) {
    auto& o = *static_cast<Output*>(out);
    if (!o.first) {
        o.text += ',';
    }
    o.text.append(static_cast<const char*>(data), length);
    o.first = false;
}

void onRecordEnd(int /*terminator*/, void* out) {
    auto& o = *static_cast<Output*>(out);
    o.text += '\n';
    o.first = true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: csv_pass IN.csv OUT.csv\n");
        return 2;
    }
    std::FILE* in = std::fopen(argv[1], "rb");
    std::FILE* out = std::fopen(argv[2], "wb");
    if (in == nullptr || out == nullptr) {
        std::perror("csv_pass");
        return 1;
    }
    csv_parser parser{};
    csv_init(&parser, CSV_STRICT);
    Output o;
    std::vector<char> buffer(1 << 16);
    for (std::size_t n = 0; (n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0;) {
        csv_parse(&parser, buffer.data(), n, onCell, onRecordEnd, &o);
        std::fwrite(o.text.data(), 1, o.text.size(), out);
        o.text.clear();
    }
    csv_fini(&parser, onCell, onRecordEnd, &o);
    std::fwrite(o.text.data(), 1, o.text.size(), out);
    csv_free(&parser);
    std::fclose(in);
    return std::fclose(out) == 0 ? 0 : 1;
}
