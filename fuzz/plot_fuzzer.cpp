// Feeds arbitrary bytes to the reader and plots what loads: the plot must draw or leave out, never crash,
// hang or leak.
#include "cad/plot/PlotFuzzEntry.h"

#include <cstddef>
#include <cstdint>

// As the reader's target: no allocation stacks and a small quarantine (ASAN_OPTIONS=malloc_context_size=30
// gives the stacks of a finding run again).
extern "C" const char* __asan_default_options() {
    return "malloc_context_size=0:quarantine_size_mb=32:max_malloc_fill_size=0";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    plotFuzzOne(reinterpret_cast<const char*>(data), size);
    return 0;
}
