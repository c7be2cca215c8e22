// Feeds arbitrary bytes to the DXF reader: it must refuse or load, never crash, hang or leak.
#include "cad/dxf/DxfFuzzEntry.h"

#include <cstddef>
#include <cstdint>

// Every input makes thousands of small allocations: no allocation stacks and a small quarantine
// keep the sanitizer's bookkeeping from dominating the run. A finding is reproduced with stacks
// by running the input again with ASAN_OPTIONS=malloc_context_size=30.
extern "C" const char* __asan_default_options() {
    return "malloc_context_size=0:quarantine_size_mb=32:max_malloc_fill_size=0";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    dxfFuzzOne(reinterpret_cast<const char*>(data), size);
    return 0;
}
