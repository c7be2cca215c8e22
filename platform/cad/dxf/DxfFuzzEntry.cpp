#include "cad/dxf/DxfFuzzEntry.h"

#include "cad/dxf/DxfDatabase.h"

#include <functional>
#include <string_view>

namespace {

// What zooming to the drawing or plotting it asks of every entity, without drawing anything.
// One budget for them all, as a zoom or a plot has: a file of a few inserts that each multiply what they
// place stops within it rather than each insert spending a budget of its own.
void everyExtents(AcDbDatabase& db) {
    AcDbExpansionBudget budget(&db);
    for (const AcDbObjectId& id : db.allObjectIds()) {
        auto* e = AcDbEntity::cast(db.peek(id));
        if (!e || e->isErased()) continue;
        AcDbExtents ext;
        e->getGeomExtents(ext);
    }
}

} // namespace

bool dxfFuzzOne(const char* data, std::size_t size) {
    AcDbDatabase db(false, true);
    std::vector<std::string> problems;
    const std::string_view bytes(data, size);
    try {
        dxf::loadDatabase(&db, bytes, "fuzz.dxf", problems);
    } catch (const dxf::Refused&) {
        return false;
    }
    everyExtents(db);
    // Saving costs as much as loading. Every input that loaded without problems is saved, written and
    // read back; of the damaged ones (most mutated inputs) one in four, picked by its bytes so that a
    // finding replays, has its repaired database saved and written.
    if (!problems.empty() && std::hash<std::string_view>{}(bytes) % 4 != 0) return true;
    dxf::Document doc = dxf::saveDocument(&db);
    std::string out;
    dxf::writeDocument(doc, out);
    // What we write must read back. A damaged input's output has been through the same repairs
    // already, so reading it again is left to the inputs that loaded without any.
    if (problems.empty()) {
        AcDbDatabase again(false, true);
        dxf::loadDatabase(&again, out, "again.dxf", problems);
    }
    return true;
}
