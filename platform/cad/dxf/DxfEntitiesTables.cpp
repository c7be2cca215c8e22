// Symbol tables and their records, both ways: layers, linetypes, text styles, block records and the rest.
#include "cad/dxf/DxfEntitiesShared.h"

namespace dxf {

// ---- Symbol tables.

AcDbSymbolTable* newSymbolTable(const std::string& name) {
    if (name == "BLOCK_RECORD") return new AcDbBlockTable;
    if (name == "LAYER") return new AcDbLayerTable;
    if (name == "LTYPE") return new AcDbLinetypeTable;
    if (name == "STYLE") return new AcDbTextStyleTable;
    if (name == "APPID") return new AcDbRegAppTable;
    if (name == "VPORT") return new AcDbViewportTable;
    if (name == "VIEW") return new AcDbViewTable;
    if (name == "UCS") return new AcDbUCSTable;
    if (name == "DIMSTYLE") return new AcDbDimStyleTable;
    return nullptr;
}

void setTableId(AcDbDatabase* db, const std::string& name, AcDbObjectId id) {
    if (name == "BLOCK_RECORD")
        db->setBlockTableId(id);
    else if (name == "LAYER")
        db->setLayerTableId(id);
    else if (name == "LTYPE")
        db->setLinetypeTableId(id);
    else if (name == "STYLE")
        db->setTextStyleTableId(id);
    else if (name == "APPID")
        db->setRegAppTableId(id);
    else if (name == "VPORT")
        db->setViewportTableId(id);
    else if (name == "VIEW")
        db->setViewTableId(id);
    else if (name == "UCS")
        db->setUCSTableId(id);
    else if (name == "DIMSTYLE")
        db->setDimStyleTableId(id);
}

namespace {

std::wstring xdataString(const AcDbObject* obj, const wchar_t* app, int nth) {
    for (const AcDbXDataApp& a : obj->xDataApps())
        if (a.app == app) {
            int k = 0;
            for (const AcDbRbValue& v : a.items)
                if (v.code == 1000 && k++ == nth) return v.str;
        }
    return {};
}

} // namespace

AcDbSymbolTableRecord* readTableRecord(ReadContext& ctx, const std::string& table, const Record& rec) {
    Body b{rec.tags, rec.bodyBegin, rec.bodyEnd};
    AcDbSymbolTableRecord* r = nullptr;
    AcDbDxfTags left;
    if (table == "LAYER") {
        auto* l = new AcDbLayerTableRecord;
        AcCmColor c;
        bool any = false;
        readColor(b, c, any);
        l->setColor(c);
        l->setIsOff(b.integer(62, 7) < 0);
        std::wstring lt = b.str(6, L"Continuous");
        l->setLinetypeObjectId(ctx.db->linetypeId(lt));
        l->setIsPlottable(b.integer(290, 1) != 0);
        l->setLineWeight(static_cast<AcDb::LineWeight>(b.integer(370, -3)));
        if (b.has(390)) l->setPlotStyleNameId(ctx.idOf(b.raw(390)));
        if (b.has(347)) l->setMaterialId(ctx.idOf(b.raw(347)));
        leftovers(b, {2, 70, 62, 420, 6, 290, 370, 390, 347}, left);
        r = l;
    } else if (table == "LTYPE") {
        auto* l = new AcDbLinetypeTableRecord;
        l->setComments(b.str(3).c_str());
        l->setPatternLength(b.num(40));
        int dashes = 0;
        for (std::size_t i = b.b; i < b.e; ++i) dashes += b.t[i].code == 49;
        l->setNumDashes(dashes);
        int k = -1;
        for (std::size_t i = b.b; i < b.e; ++i) {
            const Tag& t = b.t[i];
            if (t.code == 49) {
                l->setDashLengthAt(++k, parseDouble(t.value));
            } else if (!fits(b.t, i, b.e)) {
                continue;
            } else if (k >= 0 && contains({74, 75, 340, 46, 50, 44, 45, 9}, t.code)) {
                l->dashExtraTags(k).emplace_back(t.code, wide(t.value));
            } else if (!contains({2, 70, 3, 72, 73, 40, 100}, t.code)) {
                left.emplace_back(t.code, wide(t.value));
            }
        }
        r = l;
    } else if (table == "STYLE") {
        auto* s = new AcDbTextStyleTableRecord;
        s->setTextSize(b.num(40));
        s->setXScale(b.num(41, 1));
        s->setObliquingAngle(b.num(50) * kDegree);
        s->setFlagBits(static_cast<int>(b.integer(71)));
        s->setPriorSize(b.num(42, 2.5));
        s->setFileName(b.str(3).c_str());
        s->setBigFontFileName(b.str(4).c_str());
        leftovers(b, {2, 70, 40, 41, 50, 71, 42, 3, 4}, left);
        r = s;
    } else if (table == "BLOCK_RECORD") {
        auto* br = new AcDbBlockTableRecord;
        if (b.has(340) && parseHandle(b.raw(340)) != 0) br->setLayoutId(ctx.idOf(b.raw(340)));
        br->setInsertUnits(static_cast<int>(b.integer(70)));
        br->setExplodable(b.integer(280, 1) != 0);
        br->setBlockScaling(b.integer(281, 0) != 0);
        leftovers(b, {2, 70, 340, 280, 281}, left);
        // An anonymous block made from a dynamic block names it in its extended data.
        for (std::size_t i = rec.bodyEnd; i + 2 < rec.tags.size(); ++i)
            if (rec.tags[i].code == 1001 && rec.tags[i].value == "AcDbBlockRepBTag")
                for (std::size_t j = i + 1; j < rec.tags.size() && rec.tags[j].code != 1001; ++j)
                    if (rec.tags[j].code == 1005) br->setDynamicBlockDefinitionId(ctx.idOf(rec.tags[j].value));
        r = br;
    } else {
        if (table == "APPID")
            r = new AcDbRegAppTableRecord;
        else if (table == "VPORT")
            r = new AcDbViewportTableRecord;
        else if (table == "VIEW")
            r = new AcDbViewTableRecord;
        else if (table == "UCS")
            r = new AcDbUCSTableRecord;
        else if (table == "DIMSTYLE")
            r = new AcDbDimStyleTableRecord;
        else
            return nullptr;
        leftovers(b, {2, 70}, left);
    }
    r->setName(b.str(2).c_str());
    r->setDxfFlags(static_cast<int>(b.integer(70)));
    applyLinks(ctx, r, rec);
    setExtras(r, {}, std::move(left));
    if (table == "LAYER") {
        std::wstring d = xdataString(r, L"AcAecLayerStandard", 1);
        if (!d.empty()) static_cast<AcDbLayerTableRecord*>(r)->setDescription(d.c_str());
    }
    return r;
}

static const char* recordSubclass(const char* type) {
    std::string_view t(type);
    if (t == "LAYER") return "AcDbLayerTableRecord";
    if (t == "LTYPE") return "AcDbLinetypeTableRecord";
    if (t == "STYLE") return "AcDbTextStyleTableRecord";
    if (t == "APPID") return "AcDbRegAppTableRecord";
    if (t == "VPORT") return "AcDbViewportTableRecord";
    if (t == "VIEW") return "AcDbViewTableRecord";
    if (t == "UCS") return "AcDbUCSTableRecord";
    if (t == "DIMSTYLE") return "AcDbDimStyleTableRecord";
    return "AcDbBlockTableRecord";
}

Tags writeTableHead(WriteContext& ctx, const AcDbSymbolTable* table, const char* name) {
    Tags t;
    Out o{t};
    o.s8(0, "TABLE");
    o.s8(2, name);
    o.s8(5, handleText(table->handle().value()));
    if (!table->extensionDictionary().isNull()) {
        o.s8(102, "{ACAD_XDICTIONARY");
        o.s8(360, ctx.handle(table->extensionDictionary()));
        o.s8(102, "}");
    }
    o.s8(330, "0");
    o.marker("AcDbSymbolTable");
    o.i(70, 0);
    return t;
}

Tags writeTableRecord(WriteContext& ctx, const AcDbSymbolTableRecord* r, const char* type) {
    Tags t;
    Out o{t};
    writeHead(ctx, o, r, type, std::string_view(type) == "DIMSTYLE");
    o.marker("AcDbSymbolTableRecord");
    o.marker(recordSubclass(type));
    o.s(2, r->getName());
    if (auto* l = AcDbLayerTableRecord::cast(r)) {
        o.i(70, l->dxfFlags());
        writeColor(o, l->color(), true, l->isOff());
        std::string lt = ctx.nameOf(l->linetypeObjectId());
        o.s8(6, lt.empty() ? "Continuous" : lt);
        if (!l->isPlottable()) o.i(290, 0);
        o.i(370, static_cast<int>(l->lineWeight()));
        if (!l->plotStyleNameId().isNull()) o.s8(390, ctx.handle(l->plotStyleNameId()));
        if (!l->materialId().isNull()) o.s8(347, ctx.handle(l->materialId()));
    } else if (auto* l = AcDbLinetypeTableRecord::cast(r)) {
        o.i(70, l->dxfFlags());
        o.s(3, l->comments());
        o.i(72, 65);
        o.i(73, l->numDashes());
        o.d(40, l->patternLength());
        for (int i = 0; i < l->numDashes(); ++i) {
            o.d(49, l->dashLengthAt(i));
            const AcDbDxfTags& x = const_cast<AcDbLinetypeTableRecord*>(l)->dashExtraTags(i);
            if (x.empty()) o.i(74, 0);
            o.extras(x);
        }
    } else if (auto* s = AcDbTextStyleTableRecord::cast(r)) {
        o.i(70, s->dxfFlags());
        o.d(40, s->textSize());
        o.d(41, s->xScale());
        o.d(50, s->obliquingAngle() / kDegree);
        o.i(71, s->flagBits());
        o.d(42, s->priorSize());
        const ACHAR* f = nullptr;
        s->fileName(f);
        o.s(3, f ? f : L"");
        s->bigFontFileName(f);
        o.s(4, f ? f : L"");
    } else if (auto* br = AcDbBlockTableRecord::cast(r)) {
        o.s8(340, br->isLayout() ? ctx.handle(br->getLayoutId()) : "0");
        o.i(70, br->insertUnits());
        o.i(280, br->explodable() ? 1 : 0);
        o.i(281, br->blockScaling() ? 1 : 0);
    } else {
        o.i(70, r->dxfFlags());
    }
    o.extras(extrasOf(r, -2));
    writeXData(o, r);
    return t;
}

} // namespace dxf
