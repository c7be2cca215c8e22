#pragma once
// Building drawings for tests: layers, polylines, block definitions with attribute definitions,
// inserts with their attributes, extended data. Every helper leaves nothing open and needs no
// document lock (a database without a lock hook is writable).
#include <string>
#include <utility>
#include <vector>

#include "cad/AcDb.h"

namespace kelmo_test::cad {

struct Vertex {
    double x = 0, y = 0, bulge = 0;
};

struct AttributeValue {
    std::wstring tag, text;
};

// The layer's id, made with the colour index when missing.
AcDbObjectId ensureLayer(AcDbDatabase* db, const std::wstring& name, int colorIndex = 7);
// Appends an entity to a block (model space by default); the entity must not be in a database.
AcDbObjectId append(AcDbDatabase* db, AcDbEntity* entity, AcDbObjectId block = AcDbObjectId());
// A lightweight polyline through the vertices.
AcDbObjectId addPolyline(AcDbDatabase* db, const std::vector<Vertex>& vertices, bool closed = true,
                         const std::wstring& layer = L"0", AcDbObjectId block = AcDbObjectId());
AcDbObjectId addRectangle(AcDbDatabase* db, double x0, double y0, double x1, double y1,
                          const std::wstring& layer = L"0", AcDbObjectId block = AcDbObjectId());
// A block definition with the given origin (null id when the name is taken).
AcDbObjectId defineBlock(AcDbDatabase* db, const std::wstring& name, const AcGePoint3d& origin = AcGePoint3d::kOrigin);
// An attribute definition in a block, at a position in definition coordinates.
AcDbObjectId addAttributeDefinition(AcDbDatabase* db, AcDbObjectId block, const std::wstring& tag,
                                    const std::wstring& defaultText, const AcGePoint3d& position, double height = 250,
                                    const std::wstring& layer = L"0");
// An insert of the block with one attribute per non-constant attribute definition, filled from
// `values` by tag (the definition's default text otherwise).
AcDbObjectId insertBlock(AcDbDatabase* db, AcDbObjectId block, const AcGePoint3d& position,
                         const std::vector<AttributeValue>& values = {}, double rotation = 0,
                         const AcGeScale3d& scale = AcGeScale3d(), const std::wstring& layer = L"0",
                         AcDbObjectId space = AcDbObjectId());
// Registers the application and replaces its extended data on the object with the strings (group 1000).
Acad::ErrorStatus setXDataStrings(AcDbDatabase* db, AcDbObjectId id, const std::wstring& app,
                                  const std::vector<std::wstring>& strings);
// The strings (group 1000) of an application's extended data on the object.
std::vector<std::wstring> xDataStrings(AcDbObjectId id, const std::wstring& app);
// Tag and text of each attribute of an insert, in order.
std::vector<AttributeValue> attributesOf(AcDbObjectId insert);

} // namespace kelmo_test::cad
