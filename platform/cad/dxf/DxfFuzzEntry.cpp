#include "cad/dxf/DxfFuzzEntry.h"

#include "cad/dxf/DxfDatabase.h"

#include <string_view>

bool dxfFuzzOne(const char* data, std::size_t size) {
    AcDbDatabase db(false, true);
    std::vector<std::string> problems;
    try {
        dxf::loadDatabase(&db, std::string_view(data, size), "fuzz.dxf", problems);
    } catch (const dxf::Refused&) {
        return false;
    }
    dxf::Document doc = dxf::saveDocument(&db);
    std::string out;
    dxf::writeDocument(doc, out);
    // What we write must read back.
    AcDbDatabase again(false, true);
    dxf::loadDatabase(&again, out, "again.dxf", problems);
    return true;
}
