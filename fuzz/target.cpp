// One libFuzzer target; TARNWICK_FUZZ_ENTRY names the entry of
// fuzz_entries.h that it drives.

#include "fuzz_entries.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string problem = tarnwick::fuzz::TARNWICK_FUZZ_ENTRY(data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "tarnwick fuzz finding: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
