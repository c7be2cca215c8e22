#include "cad/DxfFuzzEntry.h"

#include "cad/DxfDocument.h"

#include <string_view>

bool dxfFuzzOne(const char* data, std::size_t size)
{
    try {
        dxf::Document doc = dxf::parseDocument(std::string_view(data, size), "fuzz.dxf");
        dxf::normalizeR2010(doc);
        std::string out;
        dxf::writeDocument(doc, out);
        // What we write must read back without complaint.
        dxf::Document again = dxf::parseDocument(out, "again.dxf");
        return true;
    } catch (const dxf::Refused&) {
        return false;
    }
}
