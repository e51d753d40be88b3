// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's CSV reading and batch on arbitrary bytes: no crash, no
// hang, exactly one output row for every record read, and the same output
// whether the rows are read whole or cut into small segments anywhere.

#include "batch.h"
#include "csv_reader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct MemorySink final : vistrel::cli::Sink {
    std::string text;
    bool write(std::string_view more) override {
        text += more;
        return true;
    }
};

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

// What batch writes for text, read in segments of the given size.
std::string batchOf(std::string text, std::size_t segmentBytes) {
    const std::size_t size = text.size();
    text.push_back('\0');
    std::FILE* in = ::fmemopen(text.data(), size, "rb");
    if (in == nullptr) {
        return "fmemopen failed";
    }
    MemorySink sink;
    const vistrel::NumberText numbers(vistrel::NumberFormat::invariant());
    vistrel::cli::BatchIo io{in, &sink, &numbers, {}, false, false, ',', false, {}};
    io.segmentBytes = segmentBytes;
    const auto ran = vistrel::cli::runBatch(io);
    std::fclose(in);
    if (!ran) {
        return sink.text + ran.error().text();
    }
    const vistrel::cli::BatchResult& r = *ran;
    return sink.text + std::to_string(r.rows) + " " + std::to_string(r.unreadable) + " " + r.firstUnreadable;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> bytes(data, data + size); // fmemopen needs a non-empty buffer
    bytes.push_back(0);
    std::size_t records = 0;
    if (std::FILE* in = ::fmemopen(bytes.data(), size, "rb")) {
        vistrel::cli::CsvReader reader(in);
        vistrel::cli::CsvRecord record;
        while (reader.next(record)) {
            check(record.error.empty() || record.cells.empty());
            ++records;
        }
        std::fclose(in);
    }
    std::FILE* in = ::fmemopen(bytes.data(), size, "rb");
    if (in != nullptr) {
        MemorySink sink;
        const vistrel::NumberText numbers(vistrel::NumberFormat::invariant());
        const auto r = vistrel::cli::runBatch(
            {in, &sink, &numbers, {}, /*json*/ false, /*keepUnknown*/ false, /*delimiter*/ 0, /*daylight*/ false, {}});
        check(!r || r->rows + 1 == records);
        check(r || sink.text.empty());
        std::fclose(in);
    }
    const std::string rows = "id,age,mode\n" + std::string(reinterpret_cast<const char*>(data), size);
    check(batchOf(rows, 1 + size % 61) == batchOf(rows, std::size_t{1} << 20));
    return 0;
}
