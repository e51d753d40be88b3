// The command line's CSV reading and batch on arbitrary bytes: no crash, no
// hang, and exactly one output row for every record read.

#include "batch.h"
#include "csv_reader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
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
    char* out = nullptr;
    std::size_t outSize = 0;
    std::FILE* sink = ::open_memstream(&out, &outSize);
    if (in != nullptr && sink != nullptr) {
        const vistrel::cli::BatchResult r = vistrel::cli::runBatch({in, sink, {}});
        std::fflush(sink);
        check(!r.usageError.empty() || r.rows + 1 == records);
    }
    if (in != nullptr) {
        std::fclose(in);
    }
    if (sink != nullptr) {
        std::fclose(sink);
    }
    std::free(out);
    return 0;
}
