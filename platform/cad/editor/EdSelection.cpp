#include "cad/editor/EdSelection.h"

#include "cad/db/AcDbDatabase.h"
#include "cad/db/AcDbEntity.h"
#include "cad/app/ApDocument.h"
#include "cad/editor/EdInput.h"
#include "cad/editor/EdPrintf.h"
#include "cad/editor/EdSpatial.h"
#include "cad/editor/EdWildcard.h"

#include <cmath>
#include <cwctype>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string_view>
#include <unordered_map>

namespace ed {
namespace {

constexpr Adesk::IntPtr kSetTag = 0x53534554; // marks a selection-set name

struct SelectionSet {
    std::vector<AcDbObjectId> ids;
};
std::map<Adesk::IntPtr, std::unique_ptr<SelectionSet>>& sets() {
    static std::map<Adesk::IntPtr, std::unique_ptr<SelectionSet>> s;
    return s;
}
Adesk::IntPtr g_nextSet = 1;

SelectionSet* findSet(const ads_name ss) {
    if (!ss || ss[1] != kSetTag) return nullptr;
    auto it = sets().find(ss[0]);
    return it == sets().end() ? nullptr : it->second.get();
}

void makeSet(std::vector<AcDbObjectId> ids, ads_name ss) {
    Adesk::IntPtr key = g_nextSet++;
    auto s = std::make_unique<SelectionSet>();
    s->ids = std::move(ids);
    sets()[key] = std::move(s);
    ss[0] = key;
    ss[1] = kSetTag;
}

AcDbDatabase* currentDatabase() {
    AcApDocument* doc = acDocManager->curDocument();
    return doc ? doc->database() : nullptr;
}

// Entities of one block table record, in order, not erased.
std::vector<AcDbObjectId> blockEntities(AcDbObjectId btrId) {
    std::vector<AcDbObjectId> ids;
    AcDbBlockTableRecord* btr = nullptr;
    if (acdbOpenObject(btr, btrId, AcDb::kForRead) != Acad::eOk) return ids;
    for (const AcDbObjectId& id : btr->entityIds())
        if (!id.isErased()) ids.push_back(id);
    btr->close();
    return ids;
}

AcDbObjectId modelSpaceId(AcDbDatabase* db) {
    return db->modelSpaceId();
}

// The spaces of the drawing: model space, then the paper spaces.
std::vector<AcDbObjectId> spaceIds(AcDbDatabase* db) {
    std::vector<AcDbObjectId> ids{modelSpaceId(db)};
    AcDbBlockTable* table = nullptr;
    if (db->getBlockTable(table, AcDb::kForRead) != Acad::eOk) return ids;
    AcDbBlockTableIterator* it = nullptr;
    table->newIterator(it);
    for (; it && !it->done(); it->step()) {
        AcDbBlockTableRecord* rec = nullptr;
        if (it->getRecord(rec, AcDb::kForRead) != Acad::eOk) continue;
        if (rec->isLayout() && rec->objectId() != modelSpaceId(db)) ids.push_back(rec->objectId());
        rec->close();
    }
    delete it;
    table->close();
    return ids;
}

// The whole drawing: model space, then the paper spaces.
std::vector<AcDbObjectId> allEntities(AcDbDatabase* db) {
    std::vector<AcDbObjectId> ids;
    for (const AcDbObjectId& space : spaceIds(db)) {
        std::vector<AcDbObjectId> more = blockEntities(space);
        ids.insert(ids.end(), more.begin(), more.end());
    }
    return ids;
}

// The name of the layout a space's block record draws ("Model" for model space); empty for a block
// record that is no layout. Read in place, as the filter reads its candidates.
std::wstring layoutNameOf(AcDbObjectId space) {
    AcDbDatabase* db = space.database();
    auto* record = db ? AcDbBlockTableRecord::cast(db->peek(space)) : nullptr;
    if (!record || record->isErased() || !record->isLayout()) return std::wstring();
    auto* layout = AcDbLayout::cast(db->peek(record->getLayoutId()));
    return layout && !layout->isErased() ? std::wstring(layout->getLayoutName()) : std::wstring();
}

// Layers whose entities cannot be seen, so cannot be picked by a window or polygon.
bool onHiddenLayer(const AcDbEntity* e) {
    AcDbLayerTableRecord* layer = nullptr;
    if (acdbOpenObject(layer, e->layerId(), AcDb::kForRead) != Acad::eOk) return false;
    bool hidden = layer->isOff() || layer->isFrozen();
    layer->close();
    return hidden;
}

Outline toOutline(const std::vector<cadgeom::BulgePath>& paths) {
    Outline o;
    for (const cadgeom::BulgePath& p : paths) {
        std::vector<Pt2> pts;
        size_t n = p.vertices.size();
        if (n == 0) continue;
        size_t segs = p.closed ? n : n - 1;
        pts.push_back({p.vertices[0].pt.x, p.vertices[0].pt.y});
        for (size_t i = 0; i < segs; ++i) {
            const cadgeom::BulgeVertex& a = p.vertices[i];
            const cadgeom::BulgeVertex& b = p.vertices[(i + 1) % n];
            if (a.bulge != 0) {
                double sweep = 4 * std::atan(std::fabs(a.bulge));
                int steps = std::max(2, int(std::ceil(sweep / (M_PI / 32))));
                for (int k = 1; k < steps; ++k) {
                    AcGePoint2d q = cadgeom::pointOnSegment(a.pt, b.pt, a.bulge, double(k) / steps);
                    pts.push_back({q.x, q.y});
                }
            }
            pts.push_back({b.pt.x, b.pt.y});
        }
        o.paths.push_back(std::move(pts));
    }
    return o;
}

// The polygon index of one space of a drawing.
struct SpaceIndex {
    std::vector<AcDbObjectId> ids;
    SpatialIndex index;
    std::wstring refused; // why no graphic selection is made in this space
};
// The spaces of the drawing last searched and the indexes of those searched, kept until the drawing
// changes: a drawing holds a block record for every room, so its spaces are not looked up per search.
struct DrawingIndex {
    AcDbDatabase* db = nullptr;
    Adesk::UInt64 stamp = 0;
    std::optional<std::vector<AcDbObjectId>> spaceIds;
    std::map<AcDbObjectId, std::unique_ptr<SpaceIndex>> spaces;
};
std::unique_ptr<DrawingIndex>& cache() {
    static std::unique_ptr<DrawingIndex> c;
    return c;
}

// Every write open of a document's drawing passes its lock check, which counts it; while an
// object is open for write it may still change, so the index is not trusted then.
bool objectOpenForWrite(AcDbDatabase* db) {
    for (const AcDbObjectId& id : db->openedObjects())
        if (AcDbObject* o = db->peek(id); o && o->openMode() == AcDb::kForWrite) return true;
    return false;
}

// What is kept of the drawing, forgotten first when it may have changed since.
DrawingIndex& drawingIndex(AcDbDatabase* db) {
    std::unique_ptr<DrawingIndex>& c = cache();
    AcApDocument* doc = acDocManager->document(db);
    if (!c || c->db != db || !doc || c->stamp != doc->writeStamp() || objectOpenForWrite(db)) {
        c = std::make_unique<DrawingIndex>();
        c->db = db;
        c->stamp = doc ? doc->writeStamp() : 0;
    }
    return *c;
}

const std::vector<AcDbObjectId>& keptSpaceIds(AcDbDatabase* db) {
    DrawingIndex& c = drawingIndex(db);
    if (!c.spaceIds) c.spaceIds = spaceIds(db);
    return *c.spaceIds;
}

SpaceIndex& indexFor(AcDbDatabase* db, AcDbObjectId space) {
    std::unique_ptr<SpaceIndex>& si = drawingIndex(db).spaces[space];
    if (si) return *si;
    si = std::make_unique<SpaceIndex>();
    std::vector<Outline> outlines;
    AcDbExpansionBudget budget(db); // the space's inserts together
    for (const AcDbObjectId& id : blockEntities(space)) {
        AcDbEntity* e = nullptr;
        if (acdbOpenObject(e, id, AcDb::kForRead) != Acad::eOk) continue;
        if (e->visibility() == AcDb::kVisible && !onHiddenLayer(e)) {
            std::vector<cadgeom::BulgePath> paths;
            e->getSelectionGeometry(paths, AcGeMatrix3d::kIdentity);
            // An insert whose outline stopped short would be missed, or taken, where it is not.
            if (AcDbBlockReference::cast(e) && AcDbBlockReference::expansionStopped()) {
                si->refused =
                    AcDbBlockReference::budgetReason(db) + L" (stopped at the insert " + e->handle().text() + L")";
                e->close();
                break;
            }
            si->ids.push_back(id);
            outlines.push_back(toOutline(paths));
        }
        e->close();
    }
    si->index.build(std::move(outlines));
    return *si;
}

struct Filter {
    std::vector<std::wstring> types, blocks, layers, layouts;
};

// False for a filter this host does not know (it must not select more than asked).
bool parseFilter(const resbuf* rb, Filter& f) {
    for (; rb; rb = rb->rbnext) {
        // Group 0 travels as RTDXF0 in built lists, where 0 would end the list.
        int code = rb->restype == RTDXF0 ? 0 : rb->restype;
        if (code != 0 && code != 2 && code != 8 && code != 410) return false;
        if (!rb->resval.rstring) return false;
        std::wstring v = rb->resval.rstring;
        (code == 0 ? f.types : code == 2 ? f.blocks : code == 8 ? f.layers : f.layouts).push_back(v);
    }
    return true;
}

// Inserts share their definitions and entities their spaces: the verdict on a definition's name and on
// a space's layout name is kept for one selection.
using BlockVerdicts = std::unordered_map<AcDbObjectId, bool, AcDbObjectIdHash>;

bool layoutPasses(AcDbObjectId space, const Filter& f, BlockVerdicts& spaceVerdicts) {
    if (auto known = spaceVerdicts.find(space); known != spaceVerdicts.end()) return known->second;
    const std::wstring name = layoutNameOf(space);
    bool ok = !name.empty();
    for (const auto& p : f.layouts) ok = ok && wildcardMatch(name, p);
    spaceVerdicts.emplace(space, ok);
    return ok;
}

// The spaces a graphic selection searches: model space, or the layouts a filter on the layout name
// (group 410) names.
std::vector<AcDbObjectId> searchedSpaces(AcDbDatabase* db, const Filter& f, BlockVerdicts& spaceVerdicts) {
    if (f.layouts.empty()) return {modelSpaceId(db)};
    std::vector<AcDbObjectId> spaces;
    for (const AcDbObjectId& space : keptSpaceIds(db))
        if (layoutPasses(space, f, spaceVerdicts)) spaces.push_back(space);
    return spaces;
}

// Read in place, as an open for read would find it, without opening: a selection visits every entity.
bool passes(AcDbObjectId id, const Filter& f, BlockVerdicts& blockVerdicts, BlockVerdicts& spaceVerdicts) {
    if (f.types.empty() && f.blocks.empty() && f.layers.empty() && f.layouts.empty()) return true;
    AcDbDatabase* db = id.database();
    auto* e = db ? AcDbEntity::cast(db->peek(id)) : nullptr;
    if (!e || e->isErased()) return false;
    bool ok = true;
    AcDbBlockReference* ref = AcDbBlockReference::cast(e);
    const std::wstring_view type = ref ? L"INSERT" : e->dxfTypeName();
    for (const auto& p : f.types) ok = ok && wildcardMatch(type, p);
    for (const auto& p : f.layers) ok = ok && wildcardMatch(e->layerName(), p);
    ok = ok && (f.layouts.empty() || layoutPasses(e->ownerId(), f, spaceVerdicts));
    if (ok && !f.blocks.empty()) {
        if (!ref) {
            ok = false;
        } else if (auto known = blockVerdicts.find(ref->blockTableRecord()); known != blockVerdicts.end()) {
            ok = known->second;
        } else {
            AcDbDatabase* bdb = ref->blockTableRecord().database();
            auto* btr = bdb ? AcDbBlockTableRecord::cast(bdb->peek(ref->blockTableRecord())) : nullptr;
            if (btr && !btr->isErased()) {
                for (const auto& p : f.blocks) ok = ok && wildcardMatch(btr->getName(), p);
            } else {
                ok = false;
            }
            blockVerdicts.emplace(ref->blockTableRecord(), ok);
        }
    }
    return ok;
}

bool parsePointText(const std::wstring& text, double out[3], bool& relative) {
    std::wstring t = text;
    relative = !t.empty() && t[0] == L'@';
    if (relative) t = t.substr(1);
    double v[3] = {0, 0, 0};
    int n = 0;
    std::wstringstream in(t);
    std::wstring part;
    while (std::getline(in, part, L',')) {
        if (n == 3) return false;
        wchar_t* end = nullptr;
        size_t b = part.find_first_not_of(L" \t");
        if (b == std::wstring::npos) return false;
        const wchar_t* s = part.c_str() + b;
        v[n] = std::wcstod(s, &end);
        while (end && (*end == L' ' || *end == L'\t')) ++end;
        // Past the drawing's reach (1e308 as much as 1e999) no extents, plot or pick could hold it.
        if (!end || *end || end == s || !(std::fabs(v[n]) < kDrawingReach)) return false;
        ++n;
    }
    if (n < 2) return false;
    out[0] = v[0];
    out[1] = v[1];
    out[2] = v[2];
    return true;
}

AcGePoint3d toWorld(AcDbDatabase* db, const double p[3]) {
    AcGePoint3d q(p[0], p[1], p[2]);
    if (db) q.transformBy(ucsToWorld(db));
    return q;
}

// A point the drawing can hold, in the current UCS and in world coordinates both.
bool withinReach(AcDbDatabase* db, const double p[3]) {
    const AcGePoint3d w = toWorld(db, p);
    for (double c : {p[0], p[1], p[2], w.x, w.y, w.z})
        if (!(std::fabs(c) < kDrawingReach)) return false;
    return true;
}

std::vector<Pt2> worldPolygon(AcDbDatabase* db, const std::vector<AcGePoint3d>& ucsPts) {
    std::vector<Pt2> out;
    AcGeMatrix3d m = ucsToWorld(db);
    for (AcGePoint3d p : ucsPts) {
        p.transformBy(m);
        out.push_back({p.x, p.y});
    }
    return out;
}

// Whether a pick in the drawing could give this object: an entity drawn in model space or on a
// layout, not one inside a block definition nor an attribute of an insert.
bool drawnInASpace(AcDbDatabase* db, AcDbObjectId id) {
    AcDbEntity* entity = nullptr;
    if (acdbOpenObject(entity, id, AcDb::kForRead) != Acad::eOk) return false;
    const AcDbObjectId owner = entity->ownerId();
    entity->close();
    if (owner == db->modelSpaceId() || owner == db->paperSpaceId()) return true;
    AcDbBlockTableRecord* record = nullptr;
    if (acdbOpenObject(record, owner, AcDb::kForRead) != Acad::eOk) return false;
    const bool layout = record->isLayout();
    record->close();
    return layout;
}

// Handles typed as one line: "1A 2B", "#1A,#2B".
bool idsFromHandles(AcDbDatabase* db, const std::wstring& line, std::vector<AcDbObjectId>& ids) {
    std::wstring t = line;
    for (wchar_t& c : t)
        if (c == L',' || c == L';') c = L' ';
    std::wstringstream in(t);
    std::wstring word;
    bool allFound = true;
    while (in >> word) {
        if (word[0] == L'#') word = word.substr(1);
        AcDbObjectId id;
        AcDbHandle h(word.c_str());
        if (h.isNull() || db->getAcDbObjectId(id, false, h) != Acad::eOk || id.isErased() || !drawnInASpace(db, id)) {
            acutPrintf(L"\n%s not found.", word.c_str());
            allFound = false;
            continue;
        }
        if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
    }
    return allFound;
}

// The topmost visible entity whose geometry passes close to a world point.
AcDbObjectId pickAt(AcDbDatabase* db, const AcGePoint3d& p) {
    SpaceIndex& di = indexFor(db, modelSpaceId(db));
    AcDbExtents ext = db->modelSpaceExtents();
    double size = 1.0;
    if (!ext.isEmpty()) size = std::max(ext.maxPoint().x - ext.minPoint().x, ext.maxPoint().y - ext.minPoint().y);
    double a = std::max(size * 1e-4, 1e-6);
    std::vector<size_t> hits;
    di.index.selectBox({p.x - a, p.y - a}, {p.x + a, p.y + a}, PolygonMode::kCrossing, hits);
    if (hits.empty()) return AcDbObjectId();
    return di.ids[hits.back()];
}

} // namespace

int openSelectionSets() {
    return int(sets().size());
}

void invalidateSelectionIndex(AcDbDatabase* db) {
    if (!db || (cache() && cache()->db == db)) cache().reset();
}

AcGeMatrix3d ucsToWorld(AcDbDatabase* db) {
    AcGeMatrix3d m;
    if (!db) return m;
    AcGePoint3d o = db->ucsorg();
    AcGeVector3d x = db->ucsxdir().normal(), y = db->ucsydir().normal();
    m.setCoordSystem(o, x, y, x.crossProduct(y));
    return m;
}

} // namespace ed

int acedSSGet(const ACHAR* modeText, const void* pt1, const void* pt2, const resbuf* filterList, ads_name ss) {
    if (!ss) return RTERROR;
    AcDbDatabase* db = ed::currentDatabase();
    if (!db) return RTERROR;
    ed::Filter filter;
    if (!ed::parseFilter(filterList, filter)) return RTERROR;
    std::wstring mode = modeText ? modeText : L"";
    if (!mode.empty() && mode[0] == L'_') mode = mode.substr(1);
    for (wchar_t& c : mode) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));

    std::vector<AcDbObjectId> candidates;
    ed::BlockVerdicts blockVerdicts, spaceVerdicts;
    bool refused = false; // by the drawing's work bound: the caller is told apart from finding nothing
    // Rectangles and polygons are judged in each space searched, in the world X-Y plane.
    const auto inPolygon = [&](const std::vector<AcGePoint3d>& ucsPts, ed::PolygonMode polygonMode) {
        for (const AcDbObjectId& space : ed::searchedSpaces(db, filter, spaceVerdicts)) {
            ed::SpaceIndex& si = ed::indexFor(db, space);
            if (!si.refused.empty()) {
                ed::commandLine().write(L"\nNo objects can be selected: " + si.refused + L".");
                refused = true;
                return false;
            }
            std::vector<size_t> hits;
            if (!si.index.select(ed::worldPolygon(db, ucsPts), polygonMode, hits)) return false;
            for (size_t i : hits) candidates.push_back(si.ids[i]);
        }
        return true;
    };
    if (mode.empty()) {
        ed::commandLine().write(L"\nSelect objects: ");
        ed::Answer a = ed::ask(nullptr);
        if (a.cancelled) return RTCAN;
        ed::idsFromHandles(db, a.text, candidates);
    } else if (mode == L"X") {
        candidates = ed::allEntities(db);
    } else if (mode == L"C" || mode == L"W") {
        if (!pt1 || !pt2) return RTERROR;
        const double* a = static_cast<const double*>(pt1);
        const double* b = static_cast<const double*>(pt2);
        std::vector<AcGePoint3d> rect{{a[0], a[1], 0}, {b[0], a[1], 0}, {b[0], b[1], 0}, {a[0], b[1], 0}};
        if (!inPolygon(rect, mode == L"C" ? ed::PolygonMode::kCrossing : ed::PolygonMode::kWindow))
            return refused ? RTREJ : RTERROR;
    } else if (mode == L"CP" || mode == L"WP") {
        std::vector<AcGePoint3d> pts;
        for (const resbuf* rb = static_cast<const resbuf*>(pt1); rb; rb = rb->rbnext) {
            if (rb->restype != RTPOINT && rb->restype != RT3DPOINT) return RTERROR;
            pts.emplace_back(rb->resval.rpoint[0], rb->resval.rpoint[1],
                             rb->restype == RT3DPOINT ? rb->resval.rpoint[2] : 0.0);
        }
        if (!inPolygon(pts, mode == L"CP" ? ed::PolygonMode::kCrossing : ed::PolygonMode::kWindow))
            return refused ? RTREJ : RTERROR;
    } else {
        return RTERROR;
    }
    std::vector<AcDbObjectId> chosen;
    for (const AcDbObjectId& id : candidates)
        if (ed::passes(id, filter, blockVerdicts, spaceVerdicts)) chosen.push_back(id);
    if (chosen.empty()) return RTERROR;
    ed::makeSet(std::move(chosen), ss);
    return RTNORM;
}

int acedSSLength(const ads_name ss, Adesk::Int32* len) {
    ed::SelectionSet* s = ed::findSet(ss);
    if (!s || !len) return RTERROR;
    *len = Adesk::Int32(s->ids.size());
    return RTNORM;
}

int acedSSName(const ads_name ss, Adesk::Int32 i, ads_name entity) {
    ed::SelectionSet* s = ed::findSet(ss);
    if (!s || !entity || i < 0 || size_t(i) >= s->ids.size()) return RTERROR;
    entity[0] = s->ids[size_t(i)].asOldId();
    entity[1] = 0;
    return RTNORM;
}

int acedSSFree(const ads_name ss) {
    if (!ed::findSet(ss)) return RTERROR;
    ed::sets().erase(ss[0]);
    return RTNORM;
}

int acedSSAdd(const ads_name entity, const ads_name ss, ads_name result) {
    if (!result) return RTERROR;
    std::vector<AcDbObjectId> ids;
    if (ss) {
        ed::SelectionSet* s = ed::findSet(ss);
        if (!s) return RTERROR;
        ids = s->ids;
    }
    if (entity) {
        AcDbObjectId id;
        if (acdbGetObjectId(id, entity) != Acad::eOk) return RTERROR;
        if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
    }
    if (ss && ed::findSet(ss)) {
        ed::findSet(ss)->ids = ids;
        result[0] = ss[0];
        result[1] = ss[1];
    } else {
        ed::makeSet(std::move(ids), result);
    }
    return RTNORM;
}

int acedEntSel(const ACHAR* prompt, ads_name entity, ads_point point) {
    AcDbDatabase* db = ed::currentDatabase();
    ed::Answer a = ed::ask(prompt ? prompt : L"\nSelect object: ");
    if (a.cancelled) return RTCAN;
    if (!db || !entity) return RTERROR;
    std::wstring t = a.text;
    size_t b = t.find_first_not_of(L" \t");
    if (b == std::wstring::npos) return RTERROR; // Enter: nothing picked
    t = t.substr(b, t.find_last_not_of(L" \t") - b + 1);
    AcDbObjectId id;
    double p[3] = {0, 0, 0};
    if (t[0] == L'#') {
        AcDbHandle h(t.c_str() + 1);
        if (h.isNull() || db->getAcDbObjectId(id, false, h) != Acad::eOk || id.isErased() ||
            !ed::drawnInASpace(db, id)) {
            ed::refuseAnswer(L"*Invalid selection*");
            return RTERROR;
        }
        AcDbEntity* e = nullptr;
        if (acdbOpenObject(e, id, AcDb::kForRead) != Acad::eOk) {
            ed::refuseAnswer(L"*Invalid selection*");
            return RTERROR;
        }
        AcDbExtents ext;
        if (e->getGeomExtents(ext) == Acad::eOk) {
            AcGePoint3d c((ext.minPoint().x + ext.maxPoint().x) / 2, (ext.minPoint().y + ext.maxPoint().y) / 2,
                          (ext.minPoint().z + ext.maxPoint().z) / 2);
            c.transformBy(ed::ucsToWorld(db).inverse());
            p[0] = c.x;
            p[1] = c.y;
            p[2] = c.z;
        }
        e->close();
    } else {
        bool relative = false;
        if (!ed::parsePointText(t, p, relative) || relative) {
            ed::refuseAnswer(L"*Invalid selection*");
            return RTERROR;
        }
        if (const std::wstring& refused = ed::indexFor(db, ed::modelSpaceId(db)).refused; !refused.empty()) {
            // What lies at the point cannot be told: the pick fails, with the reason.
            ed::refuseAnswer(L"No objects can be selected: " + refused + L".");
            return RTERROR;
        }
        id = ed::pickAt(db, ed::toWorld(db, p));
        if (id.isNull()) {
            ed::commandLine().write(L"\nNothing found.");
            return RTERROR;
        }
    }
    if (point) {
        point[0] = p[0];
        point[1] = p[1];
        point[2] = p[2];
    }
    entity[0] = id.asOldId();
    entity[1] = 0;
    return RTNORM;
}

int acedGetPoint(const ads_point base, const ACHAR* prompt, ads_point result) {
    for (;;) {
        ed::Answer a = ed::ask(prompt);
        if (a.cancelled) return RTCAN;
        if (a.text.find_first_not_of(L" \t") == std::wstring::npos) return RTNONE;
        double p[3];
        bool relative = false;
        if (ed::parsePointText(a.text, p, relative) && (!relative || base)) {
            if (relative) {
                p[0] += base[0];
                p[1] += base[1];
                p[2] += base[2];
            }
            if (!ed::withinReach(ed::currentDatabase(), p)) {
                ed::refuseAnswer(L"Invalid point.");
                continue;
            }
            if (result) {
                result[0] = p[0];
                result[1] = p[1];
                result[2] = p[2];
            }
            return RTNORM;
        }
        ed::refuseAnswer(L"Invalid point.");
    }
}

int acedTrans(const ads_point pt, const resbuf* from, const resbuf* to, int disp, ads_point result) {
    if (!pt || !from || !to || !result) return RTERROR;
    auto system = [](const resbuf* rb, int& code) {
        if (rb->restype != RTSHORT) return false;
        code = rb->resval.rint;
        return code >= 0 && code <= 2;
    };
    int f = 0, t = 0;
    if (!system(from, f) || !system(to, t)) return RTERROR;
    AcDbDatabase* db = ed::currentDatabase();
    AcGeMatrix3d ucs = ed::ucsToWorld(db);
    AcGeMatrix3d m;
    if (f != 0 && t == 0)
        m = ucs;
    else if (f == 0 && t != 0)
        m = ucs.inverse();
    double x = pt[0], y = pt[1], z = pt[2];
    double w = disp ? 0.0 : 1.0;
    for (int r = 0; r < 3; ++r) result[r] = m(r, 0) * x + m(r, 1) * y + m(r, 2) * z + m(r, 3) * w;
    return RTNORM;
}
