// Feeds arbitrary bytes to the DXF reader: it must refuse or load, never crash, hang or leak.
#include "cad/dxf/DxfFuzzEntry.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    dxfFuzzOne(reinterpret_cast<const char*>(data), size);
    return 0;
}
