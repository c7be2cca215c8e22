#include "support/CadDrawing.h"

namespace kelmo_test::cad {

namespace {
AcDbObjectId space(AcDbDatabase* db, AcDbObjectId block) {
    return block.isNull() ? db->modelSpaceId() : block;
}
} // namespace

AcDbObjectId ensureLayer(AcDbDatabase* db, const std::wstring& name, int colorIndex) {
    AcDbObjectId id = db->layerId(name);
    if (!id.isNull()) return id;
    AcDbLayerTable* table = nullptr;
    if (db->getLayerTable(table, AcDb::kForWrite) != Acad::eOk) return id;
    auto* rec = new AcDbLayerTableRecord;
    rec->setName(name.c_str());
    AcCmColor c;
    c.setColorIndex(Adesk::UInt16(colorIndex));
    rec->setColor(c);
    if (table->add(id, rec) == Acad::eOk)
        rec->close();
    else
        delete rec;
    table->close();
    return id;
}

AcDbObjectId append(AcDbDatabase* db, AcDbEntity* entity, AcDbObjectId block) {
    AcDbBlockTableRecord* btr = nullptr;
    AcDbObjectId id;
    if (acdbOpenObject(btr, space(db, block), AcDb::kForWrite) != Acad::eOk) {
        delete entity;
        return id;
    }
    if (btr->appendAcDbEntity(id, entity) == Acad::eOk)
        entity->close();
    else
        delete entity;
    btr->close();
    return id;
}

AcDbObjectId addPolyline(AcDbDatabase* db, const std::vector<Vertex>& vertices, bool closed, const std::wstring& layer,
                         AcDbObjectId block) {
    ensureLayer(db, layer);
    auto* pl = new AcDbPolyline;
    for (unsigned i = 0; i < vertices.size(); ++i)
        pl->addVertexAt(i, AcGePoint2d(vertices[i].x, vertices[i].y), vertices[i].bulge);
    pl->setClosed(closed);
    pl->setLayer(db->layerId(layer));
    return append(db, pl, block);
}

AcDbObjectId addRectangle(AcDbDatabase* db, double x0, double y0, double x1, double y1, const std::wstring& layer,
                          AcDbObjectId block) {
    return addPolyline(db, {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, true, layer, block);
}

AcDbObjectId defineBlock(AcDbDatabase* db, const std::wstring& name, const AcGePoint3d& origin) {
    AcDbBlockTable* table = nullptr;
    AcDbObjectId id;
    if (db->getBlockTable(table, AcDb::kForWrite) != Acad::eOk) return id;
    auto* rec = new AcDbBlockTableRecord;
    rec->setName(name.c_str());
    rec->setOrigin(origin);
    if (table->add(id, rec) == Acad::eOk)
        rec->close();
    else
        delete rec;
    table->close();
    return id;
}

AcDbObjectId addAttributeDefinition(AcDbDatabase* db, AcDbObjectId block, const std::wstring& tag,
                                    const std::wstring& defaultText, const AcGePoint3d& position, double height,
                                    const std::wstring& layer) {
    ensureLayer(db, layer);
    auto* def = new AcDbAttributeDefinition(position, defaultText.c_str(), tag.c_str(), (L"Enter " + tag).c_str());
    def->setHeight(height);
    def->setFieldLength(25);
    def->setLayer(db->layerId(layer));
    return append(db, def, block);
}

AcDbObjectId insertBlock(AcDbDatabase* db, AcDbObjectId block, const AcGePoint3d& position,
                         const std::vector<AttributeValue>& values, double rotation, const AcGeScale3d& scale,
                         const std::wstring& layer, AcDbObjectId spaceId) {
    ensureLayer(db, layer);
    auto* ref = new AcDbBlockReference(position, block);
    ref->setRotation(rotation);
    ref->setScaleFactors(scale);
    ref->setLayer(db->layerId(layer));
    AcDbObjectId refId = append(db, ref, spaceId);
    if (refId.isNull()) return refId;
    AcDbBlockReference* r = nullptr;
    AcDbBlockTableRecord* def = nullptr;
    if (acdbOpenObject(r, refId, AcDb::kForWrite) != Acad::eOk) return refId;
    if (acdbOpenObject(def, block, AcDb::kForRead) == Acad::eOk) {
        AcGeMatrix3d xf = r->blockTransform();
        for (AcDbObjectId id : def->entityIds()) {
            AcDbAttributeDefinition* ad = nullptr;
            if (acdbOpenObject(ad, id, AcDb::kForRead) != Acad::eOk) continue;
            if (!ad->isConstant()) {
                auto* att = new AcDbAttribute;
                att->setAttributeFromBlock(ad, xf);
                for (const AttributeValue& v : values)
                    if (v.tag == ad->tagConst()) att->setTextString(v.text.c_str());
                if (r->appendAttribute(att) == Acad::eOk)
                    att->close();
                else
                    delete att;
            }
            ad->close();
        }
        def->close();
    }
    r->close();
    return refId;
}

Acad::ErrorStatus setXDataStrings(AcDbDatabase* db, AcDbObjectId id, const std::wstring& app,
                                  const std::vector<std::wstring>& strings) {
    AcDbDatabase* was = acdbWorkingDatabase();
    acdbSetWorkingDatabase(db);
    acdbRegApp(app.c_str());
    acdbSetWorkingDatabase(was);
    AcDbObject* obj = nullptr;
    Acad::ErrorStatus es = acdbOpenObject(obj, id, AcDb::kForWrite);
    if (es != Acad::eOk) return es;
    AcDbRbValues values;
    AcDbRbValue head;
    head.code = 1001;
    head.str = app;
    values.push_back(head);
    for (const std::wstring& s : strings) {
        AcDbRbValue v;
        v.code = 1000;
        v.str = s;
        values.push_back(v);
    }
    resbuf* rb = acdbValuesToRb(values);
    es = obj->setXData(rb);
    acutRelRb(rb);
    obj->close();
    return es;
}

std::vector<std::wstring> xDataStrings(AcDbObjectId id, const std::wstring& app) {
    std::vector<std::wstring> out;
    AcDbObject* obj = nullptr;
    if (acdbOpenObject(obj, id, AcDb::kForRead) != Acad::eOk) return out;
    resbuf* rb = obj->xData(app.c_str());
    for (resbuf* r = rb; r; r = r->rbnext)
        if (r->restype == 1000) out.push_back(r->resval.rstring);
    acutRelRb(rb);
    obj->close();
    return out;
}

std::vector<AttributeValue> attributesOf(AcDbObjectId insert) {
    std::vector<AttributeValue> out;
    AcDbBlockReference* r = nullptr;
    if (acdbOpenObject(r, insert, AcDb::kForRead) != Acad::eOk) return out;
    for (AcDbObjectId id : r->attributeIds()) {
        AcDbAttribute* a = nullptr;
        if (r->openAttribute(a, id, AcDb::kForRead) != Acad::eOk) continue;
        out.push_back({a->tagConst(), a->textStringConst()});
        a->close();
    }
    r->close();
    return out;
}

} // namespace kelmo_test::cad
