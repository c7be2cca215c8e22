// Records and database objects, both ways. A type the model interprets is written from the model;
// the tags it does not interpret travel in the object's extra tags:
//   (-1) tags of the common entity part, (-2) tags of the body,
//   (-3, fingerprint) the body exactly as read, written again while the model still gives that
//   fingerprint (complex types, so that an untouched hatch or table is not rewritten).
#include "cad/dxf/DxfEntities.h"

#include "cad/db/AcDbHatch.h"
#include "cad/db/AcDbTable.h"
#include "cad/dxf/DxfDatabase.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace dxf {

namespace {

constexpr double kDegree = 3.14159265358979323846 / 180.0;

// A number from the file as an enumeration: values outside first..last (files written by other
// programs, damage) take the fallback, so that no value the type cannot hold gets in.
template <class E>
E enumIn(long long v, E first, E last, E fallback) {
    return v >= static_cast<long long>(first) && v <= static_cast<long long>(last) ? static_cast<E>(v) : fallback;
}

struct Body {
    const Tags& t;
    std::size_t b, e;
    const Tag* first(int code) const {
        for (std::size_t i = b; i < e; ++i)
            if (t[i].code == code) return &t[i];
        return nullptr;
    }
    bool has(int code) const { return first(code) != nullptr; }
    double num(int code, double def = 0) const {
        const Tag* x = first(code);
        return x ? parseDouble(x->value, def) : def;
    }
    long long integer(int code, long long def = 0) const {
        const Tag* x = first(code);
        return x ? parseInt(x->value, def) : def;
    }
    std::wstring str(int code, const wchar_t* def = L"") const {
        const Tag* x = first(code);
        return x ? wide(x->value) : std::wstring(def);
    }
    std::string raw(int code) const {
        const Tag* x = first(code);
        return x ? x->value.str() : std::string();
    }
    AcGePoint3d point(int code, AcGePoint3d def = AcGePoint3d()) const {
        return {num(code, def.x), num(code + 10, def.y), num(code + 20, def.z)};
    }
    AcGeVector3d vec(int code, AcGeVector3d def) const {
        return {num(code, def.x), num(code + 10, def.y), num(code + 20, def.z)};
    }
};

bool contains(std::initializer_list<int> list, int code) {
    for (int c : list)
        if (c == code) return true;
    return false;
}

// Whether tag i of t[.., end) can be kept as read: its value fits its code and a point has its y.
// What does not fit (damage, a file cut short) is left out, so that it is never written again.
bool fits(const Tags& t, std::size_t i, std::size_t end) {
    const Tag& x = t[i];
    if (!valueFits(x.code, x.value)) return false;
    return !isPointCode(x.code) ||
           (i + 1 < end && t[i + 1].code == x.code + 10 && valueFits(t[i + 1].code, t[i + 1].value));
}

// Tags of the body the reader did not use, without subclass markers.
void leftovers(const Body& body, std::initializer_list<int> known, AcDbDxfTags& out) {
    for (std::size_t i = body.b; i < body.e; ++i) {
        const Tag& t = body.t[i];
        if (t.code == 100 || contains(known, t.code) || !fits(body.t, i, body.e)) continue;
        out.emplace_back(t.code, wide(t.value));
    }
}

std::uint64_t fingerprint(const Tags& tags) {
    std::uint64_t h = 1469598103934665603ull;
    for (const Tag& t : tags) {
        h = (h ^ static_cast<std::uint64_t>(t.code)) * 1099511628211ull;
        for (char c : t.value) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        h = (h ^ 0xFF) * 1099511628211ull;
    }
    return h;
}

struct Out {
    Tags& t;
    void marker(const char* m) { t.push_back(Tag{100, m}); }
    void s(int c, const std::wstring& v) { t.push_back(Tag{c, narrow(v)}); }
    void s8(int c, std::string v) { t.push_back(Tag{c, std::move(v)}); }
    void d(int c, double v) { t.push_back(Tag{c, formatDouble(v)}); }
    void i(int c, long long v) { t.push_back(Tag{c, std::to_string(v)}); }
    void p(int c, const AcGePoint3d& v) {
        d(c, v.x);
        d(c + 10, v.y);
        d(c + 20, v.z);
    }
    void p2(int c, const AcGePoint2d& v) {
        d(c, v.x);
        d(c + 10, v.y);
    }
    void v(int c, const AcGeVector3d& v) {
        d(c, v.x);
        d(c + 10, v.y);
        d(c + 20, v.z);
    }
    void normal(const AcGeVector3d& n) {
        if (!(n.x == 0 && n.y == 0 && n.z == 1)) v(210, n);
    }
    void extras(const AcDbDxfTags& tags) {
        for (const auto& [code, value] : tags) s(code, value);
    }
};

// The extra tags of one kind (-1 common, -2 body) an object carries.
AcDbDxfTags extrasOf(const AcDbObject* obj, int kind) {
    AcDbDxfTags out;
    int current = 0;
    for (const auto& tv : obj->dxfExtraTags()) {
        if (tv.first < 0) {
            current = tv.first;
            continue;
        }
        if (current == kind) out.push_back(tv);
    }
    return out;
}

// The body as read, when the model still describes it as it did then.
bool verbatimBody(const AcDbObject* obj, const Tags& canonical, Tags& out) {
    const AcDbDxfTags& x = obj->dxfExtraTags();
    std::size_t i = 0;
    while (i < x.size() && x[i].first != -3) ++i;
    if (i == x.size() || narrow(x[i].second) != handleText(fingerprint(canonical))) return false;
    for (++i; i < x.size() && x[i].first >= 0; ++i) out.push_back(Tag{x[i].first, narrow(x[i].second)});
    return true;
}

// Whether a body read is whole enough to be written again as read: it opens with the subclass the
// model writes, and a hatch has its loop count. Anything less is written from the model.
bool verbatimWorthy(const Body& body, const Tags& canonical) {
    if (!tagsWellFormed(body.t, body.b, body.e)) return false;
    if (canonical.empty() || body.b >= body.e || body.t[body.b].code != canonical[0].code ||
        body.t[body.b].value.view() != canonical[0].value.view())
        return false;
    // The subclasses the model writes, in its order, and no others: a layout whose AcDbLayout part is gone
    // or misspelt has lost its link to its block, and a marker again means the next record ran into it.
    std::size_t at = body.b;
    for (const Tag& c : canonical) {
        if (c.code != 100) continue;
        while (at < body.e && body.t[at].code != 100) ++at;
        if (at == body.e || body.t[at].value.view() != c.value.view()) return false;
        ++at;
    }
    while (at < body.e && body.t[at].code != 100) ++at;
    if (at != body.e) return false;
    return canonical[0].value != "AcDbHatch" || body.has(91);
}

// A multiline style's elements each open with their offset: a colour or linetype before it belongs to none.
bool elementsInOrder(const Body& body) {
    bool inElements = false, open = false;
    for (std::size_t i = body.b; i < body.e; ++i) {
        const int code = body.t[i].code;
        if (code == 71) inElements = true;
        if (!inElements) continue;
        if (code == 49) open = true;
        if ((code == 62 || code == 6) && !open) return false;
    }
    return true;
}

// A geographic mesh pairs each source point with a target point, and its faces have three corners each.
bool meshPairsUp(const Body& body) {
    std::size_t sources = 0, targets = 0;
    int corner = 0; // of the face being read: 97, 98, 99 in turn
    for (std::size_t i = body.b; i < body.e; ++i) {
        const int code = body.t[i].code;
        sources += code == 13;
        targets += code == 14;
        if (code >= 97 && code <= 99) {
            if (code != 97 + corner) return false;
            corner = (corner + 1) % 3;
        }
    }
    return sources == targets && corner == 0;
}

// A multileader's context data opens with its own 300 group: another 300 would take its place.
bool contextOpensRight(const Body& body) {
    for (std::size_t i = body.b; i < body.e; ++i)
        if (body.t[i].code == 300 && body.t[i].value.view() != "CONTEXT_DATA{") return false;
    return true;
}

// A field list is an id set and then the list.
bool listFollows(const Body& body) {
    for (std::size_t i = body.b; i < body.e; ++i)
        if (body.t[i].code == 100 && body.t[i].value.view() == "AcDbFieldList") return true;
    return false;
}

// Types other programs know, kept here as read: a subclass each may open its body with, the group codes it
// cannot do without and what must hold of the rest. One that fails (damage, a misspelt marker) is not
// written again.
struct Described {
    std::string_view type, subclass;
    std::initializer_list<int> codes;
    bool (*holds)(const Body&) = nullptr;
};
constexpr Described describedTypes[] = {
    {"SPLINE", "AcDbSpline", {}},
    {"LEADER", "AcDbLeader", {}},
    {"MLINE", "AcDbMline", {}},
    {"MULTILEADER", "AcDbMLeader", {}, contextOpensRight},
    {"MESH", "AcDbSubDMesh", {92, 93, 94, 95}},
    {"IMAGE", "AcDbRasterImage", {10, 11, 12, 13}},
    {"WIPEOUT", "AcDbWipeout", {10, 11, 12, 13}},
    {"WIPEOUT", "AcDbRasterImage", {10, 11, 12, 13}},
    {"PDFUNDERLAY", "AcDbUnderlayReference", {}},
    {"DWFUNDERLAY", "AcDbUnderlayReference", {}},
    {"DGNUNDERLAY", "AcDbUnderlayReference", {}},
    {"VISUALSTYLE", "AcDbVisualStyle", {2, 291}},
    {"MLINESTYLE", "AcDbMlineStyle", {2}, elementsInOrder},
    {"GEODATA", "AcDbGeoData", {}, meshPairsUp},
    {"IDBUFFER", "AcDbIdBuffer", {}},
    {"FIELDLIST", "AcDbIdSet", {}, listFollows},
};

bool wholeAsDescribed(std::string_view type, const Body& body) {
    bool described = false;
    for (const Described& d : describedTypes) {
        if (d.type != type) continue;
        described = true;
        if (body.b >= body.e || body.t[body.b].code != 100 || body.t[body.b].value.view() != d.subclass) continue;
        if (std::all_of(d.codes.begin(), d.codes.end(), [&](int code) { return body.has(code); }) &&
            (!d.holds || d.holds(body)))
            return true;
    }
    return !described;
}

void keepVerbatim(AcDbObject* obj, const Body& body, const Tags& canonical) {
    if (!verbatimWorthy(body, canonical)) return;
    // A body the model writes again as it stands (a file of ours) needs no copy.
    if (body.e - body.b == canonical.size() &&
        std::equal(canonical.begin(), canonical.end(), body.t.begin() + static_cast<std::ptrdiff_t>(body.b),
                   [](const Tag& a, const Tag& b) { return a.code == b.code && a.value.view() == b.value.view(); }))
        return;
    AcDbDxfTags& x = obj->dxfExtraTags();
    x.emplace_back(-3, wide(handleText(fingerprint(canonical))));
    for (std::size_t i = body.b; i < body.e; ++i) x.emplace_back(body.t[i].code, wide(body.t[i].value));
}

void setExtras(AcDbObject* obj, AcDbDxfTags common, AcDbDxfTags body) {
    if (common.empty() && body.empty()) return;
    AcDbDxfTags& x = obj->dxfExtraTags();
    if (!common.empty()) {
        x.emplace_back(-1, L"");
        x.insert(x.end(), common.begin(), common.end());
    }
    if (!body.empty()) {
        x.emplace_back(-2, L"");
        x.insert(x.end(), body.begin(), body.end());
    }
}

// ---- Extended data.

AcDbRbValue rbFromTags(const Tags& t, std::size_t& i, bool xdata) {
    AcDbRbValue v;
    const Tag& tag = t[i];
    v.code = static_cast<short>(tag.code);
    ValueKind kind = valueKind(tag.code);
    bool isPoint =
        xdata ? (tag.code >= 1010 && tag.code <= 1013)
              : ((tag.code >= 10 && tag.code <= 18) || (tag.code >= 110 && tag.code <= 112) || tag.code == 210);
    if (isPoint) {
        v.pt[0] = parseDouble(tag.value);
        for (int k = 1; k <= 2; ++k)
            if (i + 1 < t.size() && t[i + 1].code == tag.code + 10 * k) {
                ++i;
                v.pt[k] = parseDouble(t[i].value);
            }
    } else if (kind == ValueKind::Double) {
        v.pt[0] = parseDouble(tag.value);
    } else if (kind == ValueKind::Int) {
        v.integer = parseInt(tag.value);
    } else if (kind == ValueKind::Binary) {
        for (std::size_t k = 0; k + 1 < tag.value.size(); k += 2) {
            auto hex = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
            v.binary.push_back(static_cast<unsigned char>(hex(tag.value[k]) * 16 + hex(tag.value[k + 1])));
        }
    } else {
        v.str = wide(tag.value);
    }
    return v;
}

void rbToTags(const AcDbRbValue& v, Out& o, bool xdata, const WriteContext* ctx) {
    int code = v.code;
    ValueKind kind = valueKind(code);
    bool isPoint = xdata ? (code >= 1010 && code <= 1013)
                         : ((code >= 10 && code <= 18) || (code >= 110 && code <= 112) || code == 210);
    if (isPoint) {
        o.d(code, v.pt[0]);
        o.d(code + 10, v.pt[1]);
        o.d(code + 20, v.pt[2]);
    } else if (kind == ValueKind::Double) {
        o.d(code, v.pt[0]);
    } else if (kind == ValueKind::Int) {
        o.i(code, v.integer);
    } else if (kind == ValueKind::Binary) {
        static const char digits[] = "0123456789ABCDEF";
        std::string s;
        for (unsigned char b : v.binary) {
            s += digits[b >> 4];
            s += digits[b & 15];
        }
        o.s8(code, s);
    } else if (kind == ValueKind::Handle && !xdata && ctx && !v.id.isNull()) {
        o.s8(code, ctx->handle(v.id));
    } else {
        o.s(code, v.str);
    }
}

} // namespace

// ---- Records.

Record::Record(const Tags& t) : tags(t) {
    std::size_t i = 1, n = t.size();
    bool haveHandle = false;
    while (i < n) {
        const Tag& x = t[i];
        if ((x.code == 5 || x.code == 105) && !haveHandle) {
            handle = parseHandle(x.value);
            haveHandle = true;
            ++i;
        } else if (x.code == 102 && !x.value.empty() && x.value[0] == '{') {
            std::string_view group = x.value;
            for (++i; i < n && !(t[i].code == 102); ++i) {
                if (group == "{ACAD_REACTORS" && t[i].code == 330)
                    reactors.push_back(parseHandle(t[i].value));
                else if (group == "{ACAD_XDICTIONARY" && t[i].code == 360)
                    xdict = parseHandle(t[i].value);
            }
            if (i < n) ++i;
        } else if (x.code == 330) {
            owner = parseHandle(x.value);
            ++i;
        } else if (x.code == 100 || x.code == 1001) {
            break;
        } else {
            ++i; // stray tags before the first subclass (only badly written files have them)
        }
    }
    std::size_t x = i;
    while (x < n && t[x].code != 1001) ++x;
    bodyEnd = x;
    if (i < n && t[i].code == 100 && t[i].value == "AcDbEntity") {
        commonBegin = i + 1;
        std::size_t j = commonBegin;
        while (j < bodyEnd && t[j].code != 100) ++j;
        commonEnd = j;
        bodyBegin = j;
    } else {
        commonBegin = commonEnd = i;
        bodyBegin = i;
    }
}

namespace {
ReadContext::Found found(AcDbDatabase* db, AcDbObjectId id) {
    ReadContext::Found f;
    auto* rec = AcDbSymbolTableRecord::cast(id.isNull() ? nullptr : db->peek(id));
    if (rec && !rec->isErased()) {
        f.id = id;
        f.name.emplace(rec->getName());
    }
    return f;
}
} // namespace

const ReadContext::Found& ReadContext::layerNamed(std::string_view view) {
    std::string name(view);
    auto it = layerCache.find(name);
    if (it != layerCache.end()) return it->second;
    return layerCache[name] = found(db, db->layerId(wide(name)));
}

AcDbObjectId ReadContext::styleNamed(std::string_view view) {
    std::string name(view);
    auto it = styleCache.find(name);
    if (it != styleCache.end()) return it->second;
    return styleCache[name] = db->textStyleId(wide(name));
}

const ReadContext::Found& ReadContext::linetypeNamed(std::string_view view) {
    std::string name(view);
    auto it = linetypeCache.find(name);
    if (it != linetypeCache.end()) return it->second;
    return linetypeCache[name] = found(db, db->linetypeId(wide(name)));
}

AcDbObjectId ReadContext::idOf(std::uint64_t handle) {
    AcDbObjectId id;
    if (handle == 0) return id;
    db->getAcDbObjectId(id, true, AcDbHandle(handle));
    return id;
}

void applyObjectParts(AcDbObject* obj, const Record& rec) {
    AcDbDatabase* db = nullptr;
    (void)db;
    const Tags& t = rec.tags;
    std::vector<AcDbXDataApp> apps;
    for (std::size_t i = rec.bodyEnd; i < t.size(); ++i) {
        if (t[i].code == 1001) {
            apps.push_back(AcDbXDataApp{wide(t[i].value), {}});
            continue;
        }
        if (apps.empty() || t[i].code < 1000) continue;
        apps.back().items.push_back(rbFromTags(t, i, true));
    }
    if (apps.empty()) return;
    // Kept for the drawing's life: no room to spare (a plan has thousands of them).
    for (AcDbXDataApp& a : apps) a.items.shrink_to_fit();
    apps.shrink_to_fit();
    obj->setXDataApps(std::move(apps));
}

// Extension dictionary and reactors need ids, so they are set by the reader that has the database.
static void applyLinks(ReadContext& ctx, AcDbObject* obj, const Record& rec) {
    if (rec.xdict) obj->setExtensionDictionary(ctx.idOf(rec.xdict));
    for (std::uint64_t r : rec.reactors) obj->addPersistentReactor(ctx.idOf(r));
}

// ---- Header.

bool readHeaderVar(ReadContext& ctx, const std::string& name, const Tags& values) {
    Body b{values, 0, values.size()};
    AcDbDatabase* db = ctx.db;
    if (name == "$INSUNITS")
        db->setInsunits(
            enumIn(b.integer(70), AcDb::kUnitsUndefined, static_cast<AcDb::UnitsValue>(24), AcDb::kUnitsUndefined));
    else if (name == "$LUNITS")
        db->setLunits(static_cast<Adesk::Int16>(b.integer(70, 2)));
    else if (name == "$LUPREC")
        db->setLuprec(static_cast<Adesk::Int16>(b.integer(70, 4)));
    else if (name == "$MEASUREMENT")
        db->setMeasurement(static_cast<int>(b.integer(70)));
    else if (name == "$CLAYER")
        ctx.pendingClayer = b.str(8);
    else if (name == "$CELTYPE")
        ctx.pendingCeltype = b.str(6);
    else if (name == "$TEXTSTYLE")
        ctx.pendingTextstyle = b.str(7);
    else if (name == "$CECOLOR") {
        AcCmColor c;
        c.setColorIndex(static_cast<Adesk::UInt16>(b.integer(62, 256)));
        db->setCecolor(c);
    } else if (name == "$CELWEIGHT")
        db->setCelweight(static_cast<AcDb::LineWeight>(b.integer(370, -1)));
    else if (name == "$TEXTSIZE")
        db->setTextsize(b.num(40, 2.5));
    else if (name == "$SORTENTS")
        db->setSortents(static_cast<Adesk::UInt8>(b.integer(280, 127)));
    else if (name == "$TILEMODE")
        db->setTilemode(b.integer(70, 1) != 0);
    else if (name == "$EXTMIN")
        db->setExtents(b.point(10), db->extmax());
    else if (name == "$EXTMAX")
        db->setExtents(db->extmin(), b.point(10));
    else if (name == "$LIMMIN")
        db->setLimits(b.point(10).convert2d(), db->limmax());
    else if (name == "$LIMMAX")
        db->setLimits(db->limmin(), b.point(10).convert2d());
    else if (name == "$UCSORG")
        db->setUcs(b.point(10), db->ucsxdir(), db->ucsydir());
    else if (name == "$UCSXDIR") {
        // The file's other axis comes apart from this one; the axis held until then may lie along
        // the new one (a quarter turn), so any axis across it stands in.
        const AcGeVector3d x = b.vec(10, {1, 0, 0});
        AcGeVector3d y = db->ucsydir();
        if (x.isParallelTo(y)) y = AcGeVector3d::kZAxis.crossProduct(x);
        db->setUcs(db->ucsorg(), x, y);
    } else if (name == "$UCSYDIR") {
        const AcGeVector3d y = b.vec(10, {0, 1, 0});
        AcGeVector3d x = db->ucsxdir();
        if (x.isParallelTo(y)) x = y.crossProduct(AcGeVector3d::kZAxis);
        db->setUcs(db->ucsorg(), x, y);
    } else
        return false;
    return true;
}

void ReadContext::finish() {
    if (!pendingClayer.empty() && !db->layerId(pendingClayer).isNull()) db->setClayer(db->layerId(pendingClayer));
    if (!pendingCeltype.empty() && !db->linetypeId(pendingCeltype).isNull())
        db->setCeltype(db->linetypeId(pendingCeltype));
    if (!pendingTextstyle.empty() && !db->textStyleId(pendingTextstyle).isNull())
        db->setTextstyle(db->textStyleId(pendingTextstyle));
}

void writeHeader(WriteContext& ctx, Document& doc) {
    AcDbDatabase* db = ctx.db;
    auto var = [&](const char* name, Tags t) { doc.header.emplace_back(name, std::move(t)); };
    auto pt = [](int code, const AcGePoint3d& p) {
        return Tags{{code, formatDouble(p.x)}, {code + 10, formatDouble(p.y)}, {code + 20, formatDouble(p.z)}};
    };
    var("$ACADVER", {{1, "AC1024"}});
    var("$DWGCODEPAGE", {{3, "ANSI_1252"}});
    var("$INSUNITS", {{70, std::to_string(static_cast<int>(db->insunits()))}});
    var("$LUNITS", {{70, std::to_string(db->lunits())}});
    var("$LUPREC", {{70, std::to_string(db->luprec())}});
    var("$MEASUREMENT", {{70, std::to_string(db->measurement())}});
    std::string clayer = ctx.nameOf(db->clayer());
    var("$CLAYER", {{8, clayer.empty() ? "0" : clayer}});
    std::string celtype = ctx.nameOf(db->celtype());
    var("$CELTYPE", {{6, celtype.empty() ? "ByLayer" : celtype}});
    var("$CECOLOR", {{62, std::to_string(db->cecolor().isByLayer() ? 256 : db->cecolor().colorIndex())}});
    var("$CELWEIGHT", {{370, std::to_string(static_cast<int>(db->celweight()))}});
    std::string style = ctx.nameOf(db->textstyle());
    var("$TEXTSTYLE", {{7, style.empty() ? "Standard" : style}});
    var("$TEXTSIZE", {{40, formatDouble(db->textsize())}});
    var("$SORTENTS", {{280, std::to_string(db->sortents())}});
    var("$TILEMODE", {{70, db->tilemode() ? "1" : "0"}});
    if (db->extmin().x <= db->extmax().x) {
        var("$EXTMIN", pt(10, db->extmin()));
        var("$EXTMAX", pt(10, db->extmax()));
    }
    var("$LIMMIN", {{10, formatDouble(db->limmin().x)}, {20, formatDouble(db->limmin().y)}});
    var("$LIMMAX", {{10, formatDouble(db->limmax().x)}, {20, formatDouble(db->limmax().y)}});
    var("$UCSORG", pt(10, db->ucsorg()));
    auto v3 = [](const AcGeVector3d& v) { return AcGePoint3d(v.x, v.y, v.z); };
    var("$UCSXDIR", pt(10, v3(db->ucsxdir())));
    var("$UCSYDIR", pt(10, v3(db->ucsydir())));
    for (const auto& [name, tags] : db->headerExtra()) {
        Tags t;
        for (const auto& [code, value] : tags) t.push_back(Tag{code, narrow(value)});
        if (name == L"*CLASS") {
            t.insert(t.begin(), Tag{0, "CLASS"});
            doc.classes.push_back(std::move(t));
        } else {
            doc.header.emplace_back(narrow(name), std::move(t));
        }
    }
}

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

void readColor(const Body& b, AcCmColor& c, bool& any) {
    if (const Tag* t = b.first(62)) {
        long long v = parseInt(t->value, 256);
        if (v < 0) v = v < -256 ? 256 : -v; // negative: a layer that is off
        if (v == 256)
            c.setColorMethod(AcCm::kByLayer);
        else if (v == 0)
            c.setColorMethod(AcCm::kByBlock);
        else
            c.setColorIndex(static_cast<Adesk::UInt16>(v));
        any = true;
    }
    if (const Tag* t = b.first(420)) {
        long long rgb = parseInt(t->value);
        c.setRGB(static_cast<Adesk::UInt8>((rgb >> 16) & 255), static_cast<Adesk::UInt8>((rgb >> 8) & 255),
                 static_cast<Adesk::UInt8>(rgb & 255));
        any = true;
    }
}

void writeColor(Out& o, const AcCmColor& c, bool layer, bool off) {
    int sign = off ? -1 : 1;
    if (c.isByColor()) {
        AcCmEntityColor e = c.entityColor();
        o.i(62, sign * AcCmEntityColor::lookUpACI(e.red(), e.green(), e.blue()));
        o.i(420, static_cast<long long>(c.trueColor() & 0xFFFFFF));
    } else if (c.isByLayer()) {
        if (layer)
            o.i(62, sign * 7);
        else
            o.i(62, 256);
    } else if (c.isByBlock()) {
        o.i(62, 0);
    } else {
        o.i(62, sign * c.colorIndex());
    }
}

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

namespace {

void writeHead(WriteContext& ctx, Out& o, const AcDbObject* obj, const char* type, bool dimstyle = false) {
    o.s8(0, type);
    o.s8(dimstyle ? 105 : 5, handleText(obj->handle().value()));
    if (!obj->extensionDictionary().isNull()) {
        o.s8(102, "{ACAD_XDICTIONARY");
        o.s8(360, ctx.handle(obj->extensionDictionary()));
        o.s8(102, "}");
    }
    if (!obj->persistentReactors().isEmpty()) {
        o.s8(102, "{ACAD_REACTORS");
        for (const AcDbObjectId& r : obj->persistentReactors()) o.s8(330, ctx.handle(r));
        o.s8(102, "}");
    }
    o.s8(330, ctx.handle(obj->ownerId()));
}

void writeXData(Out& o, const AcDbObject* obj) {
    for (const AcDbXDataApp& a : obj->xDataApps()) {
        o.s(1001, a.app);
        for (const AcDbRbValue& v : a.items) rbToTags(v, o, true, nullptr);
    }
}

} // namespace

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

// ---- Blocks.

void readBlockBegin(ReadContext& ctx, AcDbBlockTableRecord* br, const Record& rec) {
    Body b{rec.tags, rec.bodyBegin, rec.bodyEnd};
    Body common{rec.tags, rec.commonBegin, rec.commonEnd};
    br->setBlockBeginHandle(AcDbHandle(rec.handle));
    br->setDxfFlags(static_cast<int>(b.integer(70)));
    br->setOrigin(b.point(10));
    br->setPathName(b.str(1).c_str());
    br->setComments(b.str(4).c_str());
    AcDbDxfTags& x = br->blockBeginExtraTags();
    x.clear();
    x.emplace_back(-1, L"");
    leftovers(common, {}, x);
    x.emplace_back(-2, L"");
    leftovers(b, {2, 3, 70, 10, 20, 30, 1, 4}, x);
    (void)ctx;
}

void keepEndTags(AcDbBlockTableRecord* br, const Record& rec) {
    AcDbDxfTags& x = br->blockEndExtraTags();
    x.clear();
    Body common{rec.tags, rec.commonBegin, rec.commonEnd};
    leftovers(common, {}, x);
}

namespace {
AcDbDxfTags section(const AcDbDxfTags& x, int kind) {
    AcDbDxfTags out;
    int current = 0;
    for (const auto& tv : x) {
        if (tv.first < 0)
            current = tv.first;
        else if (current == kind)
            out.push_back(tv);
    }
    return out;
}
} // namespace

void writeBlock(WriteContext&, const AcDbBlockTableRecord* br, Block& out) {
    auto* mbr = const_cast<AcDbBlockTableRecord*>(br);
    std::string name = narrow(br->getName());
    std::string owner = handleText(br->handle().value());
    bool paper = upper(name).rfind("*PAPER_SPACE", 0) == 0;
    // BLOCK and ENDBLK open alike: type, handle, owner, then the entity data the file had, on
    // layer 0 unless it names one.
    auto head = [&](Out& w, const char* type, AcDbHandle handle, const AcDbDxfTags& extra) {
        w.s8(0, type);
        w.s8(5, handle.isNull() ? "0" : handleText(handle.value()));
        w.s8(330, owner);
        w.marker("AcDbEntity");
        bool hasLayer = false;
        for (const auto& tv : extra) hasLayer = hasLayer || tv.first == 8;
        if (paper && extra.empty()) w.i(67, 1);
        if (!hasLayer) w.s8(8, "0");
        w.extras(extra);
    };
    Out o{out.begin};
    head(o, "BLOCK", br->blockBeginHandle(), section(mbr->blockBeginExtraTags(), -1));
    o.marker("AcDbBlockBegin");
    o.s8(2, name);
    o.i(70, br->dxfFlags());
    o.p(10, br->origin());
    o.s8(3, name);
    o.s(1, br->pathName());
    if (br->comments() && *br->comments()) o.s(4, br->comments());
    o.extras(section(mbr->blockBeginExtraTags(), -2));
    Out e{out.end};
    head(e, "ENDBLK", br->blockEndHandle(), mbr->blockEndExtraTags());
    e.marker("AcDbBlockEnd");
}

// ---- Entities.

namespace {

void readCommon(ReadContext& ctx, AcDbEntity* e, const Record& rec, AcDbDxfTags& left) {
    bool linetype = false;
    Body b{rec.tags, rec.commonBegin, rec.commonEnd};
    AcCmColor c;
    bool any = false;
    readColor(b, c, any);
    if (any) e->setColor(c);
    for (std::size_t i = b.b; i < b.e; ++i) {
        const Tag& t = b.t[i];
        // An embedded object belongs at the end of a body: written among the common tags, it would take
        // the body in with it.
        if (t.code == 101) break;
        switch (t.code) {
            case 8: {
                const ReadContext::Found& layer = ctx.layerNamed(t.value);
                if (layer.name)
                    e->setLayerFound(layer.id, *layer.name);
                else
                    e->setLayerNameOnly(wide(t.value));
                break;
            }
            case 6: {
                const ReadContext::Found& lt = ctx.linetypeNamed(t.value);
                if (lt.name)
                    e->setLinetypeFound(lt.id, *lt.name);
                else
                    e->setLinetypeNameOnly(wide(t.value));
                linetype = true;
                break;
            }
            case 62:
            case 420:
                break;
            case 370:
                e->setLineWeight(static_cast<AcDb::LineWeight>(parseInt(t.value, -1)));
                break;
            case 48:
                e->setLinetypeScale(parseDouble(t.value, 1));
                break;
            case 60:
                e->setVisibility(parseInt(t.value) ? AcDb::kInvisible : AcDb::kVisible);
                break;
            case 67:
                e->setPaperSpace(parseInt(t.value) == 1);
                break;
            case 440:
                e->setTransparency(static_cast<Adesk::Int32>(parseInt(t.value)));
                break;
            default:
                if (fits(b.t, i, b.e)) left.emplace_back(t.code, wide(t.value));
        }
    }
    if (!linetype) {
        const ReadContext::Found& byLayer = ctx.linetypeNamed("ByLayer");
        if (byLayer.name) e->setLinetypeFound(byLayer.id, *byLayer.name);
    }
}

void writeCommon(WriteContext& ctx, Out& o, const AcDbEntity* e) {
    o.marker("AcDbEntity");
    if (e->isPaperSpace()) o.i(67, 1);
    std::wstring layer = e->layerName();
    if (!e->layerId().isNull()) {
        std::string n = ctx.nameOf(e->layerId());
        if (!n.empty()) layer = wide(n);
    }
    o.s(8, layer.empty() ? L"0" : layer);
    std::wstring lt = e->linetypeName();
    if (!e->linetypeId().isNull()) {
        std::string n = ctx.nameOf(e->linetypeId());
        if (!n.empty()) lt = wide(n);
    }
    if (!lt.empty() && !equalsNoCase(narrow(lt), "BYLAYER")) o.s(6, lt);
    if (!e->color().isByLayer()) writeColor(o, e->color(), false, false);
    if (e->lineWeight() != AcDb::kLnWtByLayer) o.i(370, static_cast<int>(e->lineWeight()));
    if (e->linetypeScale() != 1.0) o.d(48, e->linetypeScale());
    if (e->visibility() == AcDb::kInvisible) o.i(60, 1);
    if (e->transparency() != 0) o.i(440, e->transparency());
    o.extras(extrasOf(e, -1));
}

std::wstring styleName(WriteContext& ctx, AcDbObjectId id) {
    std::string n = ctx.nameOf(id);
    return n.empty() ? L"Standard" : wide(n);
}

// The text part shared by texts, attributes and attribute definitions.
void readText(ReadContext& ctx, AcDbText* t, const Body& b) {
    t->setPosition(b.point(10));
    t->setHeight(b.num(40));
    t->setTextString(b.str(1).c_str());
    t->setRotation(b.num(50) * kDegree);
    t->setWidthFactor(b.num(41, 1));
    t->setOblique(b.num(51) * kDegree);
    t->setThickness(b.num(39));
    t->setGenerationFlags(static_cast<int>(b.integer(71)));
    t->setHorizontalMode(enumIn(b.integer(72), AcDb::kTextLeft, AcDb::kTextFit, AcDb::kTextLeft));
    if (b.has(11)) t->setAlignmentPoint(b.point(11));
    t->setNormal(b.vec(210, {0, 0, 1}));
    const Tag* styleTag = b.first(7);
    AcDbObjectId style = ctx.styleNamed(styleTag ? styleTag->value.view() : std::string_view("Standard"));
    if (!style.isNull()) t->setTextStyle(style);
}

void writeText(WriteContext& ctx, Out& o, const AcDbText* t) {
    o.marker("AcDbText");
    if (t->thickness() != 0) o.d(39, t->thickness());
    o.p(10, t->position());
    o.d(40, t->height());
    o.s(1, t->textStringConst());
    if (t->rotation() != 0) o.d(50, t->rotation() / kDegree);
    if (t->widthFactor() != 1) o.d(41, t->widthFactor());
    if (t->oblique() != 0) o.d(51, t->oblique() / kDegree);
    o.s(7, styleName(ctx, t->textStyle()));
    if (t->generationFlags() != 0) o.i(71, t->generationFlags());
    if (t->horizontalMode() != AcDb::kTextLeft) o.i(72, t->horizontalMode());
    if (!t->isDefaultAlignment()) o.p(11, t->alignmentPoint());
    o.normal(t->normal());
}

// Tag, flags, field length, vertical mode and lock: written alike for definitions and attributes.
template <class Attribute>
void writeAttributeFields(Out& o, const Attribute* a) {
    o.s(2, a->tagConst());
    o.i(70, a->attributeFlags());
    if (a->fieldLength()) o.i(73, a->fieldLength());
    if (a->verticalMode() != AcDb::kTextBase) o.i(74, a->verticalMode());
    if (a->lockPositionInBlock()) o.i(280, 1);
}

bool isVerbatimType(std::string_view type) {
    return type == "HATCH" || type == "ACAD_TABLE" || type == "VIEWPORT" || type == "MTEXT";
}

Tags canonicalBody(WriteContext& ctx, const AcDbEntity* e);

} // namespace

AcDbEntity* readEntity(ReadContext& ctx, const Record& rec) {
    std::string_view type = recordType(rec.tags);
    Body b{rec.tags, rec.bodyBegin, rec.bodyEnd};
    AcDbDxfTags common, left;
    AcDbEntity* e = nullptr;
    bool whole = true; // the body may be written again as read
    if (type == "LINE") {
        auto* l = new AcDbLine(b.point(10), b.point(11));
        l->setThickness(b.num(39));
        l->setNormal(b.vec(210, {0, 0, 1}));
        leftovers(b, {39, 10, 20, 30, 11, 21, 31, 210, 220, 230}, left);
        e = l;
    } else if (type == "CIRCLE") {
        auto* c = new AcDbCircle(b.point(10), b.vec(210, {0, 0, 1}), b.num(40));
        c->setThickness(b.num(39));
        leftovers(b, {39, 10, 20, 30, 40, 210, 220, 230}, left);
        e = c;
    } else if (type == "ARC") {
        auto* a = new AcDbArc(b.point(10), b.vec(210, {0, 0, 1}), b.num(40), b.num(50) * kDegree, b.num(51) * kDegree);
        a->setThickness(b.num(39));
        leftovers(b, {39, 10, 20, 30, 40, 50, 51, 210, 220, 230}, left);
        e = a;
    } else if (type == "LWPOLYLINE") {
        auto* p = new AcDbPolyline;
        long long flags = b.integer(70);
        double constWidth = b.num(43, 0);
        unsigned n = 0;
        for (std::size_t i = b.b; i < b.e; ++i) {
            const Tag& t = b.t[i];
            if (t.code == 10) {
                double x = parseDouble(t.value), y = 0;
                if (i + 1 < b.e && b.t[i + 1].code == 20) y = parseDouble(b.t[++i].value);
                p->addVertexAt(n++, AcGePoint2d(x, y), 0, constWidth, constWidth);
            } else if (n > 0 && t.code == 42) {
                p->setBulgeAt(n - 1, parseDouble(t.value));
            } else if (n > 0 && (t.code == 40 || t.code == 41)) {
                double s = 0, w = 0;
                p->getWidthsAt(n - 1, s, w);
                if (t.code == 40)
                    s = parseDouble(t.value);
                else
                    w = parseDouble(t.value);
                p->setWidthsAt(n - 1, s, w);
            } else if (n > 0 && t.code == 91) {
                p->setVertexIdentifierAt(n - 1, static_cast<Adesk::Int32>(parseInt(t.value)));
            }
        }
        p->setClosed(flags & 1);
        p->setPlinegen(flags & 128);
        p->setElevation(b.num(38));
        p->setThickness(b.num(39));
        if (b.has(43)) p->setConstantWidth(constWidth);
        p->setNormal(b.vec(210, {0, 0, 1}));
        leftovers(b, {90, 70, 43, 38, 39, 10, 20, 40, 41, 42, 91, 210, 220, 230}, left);
        e = p;
    } else if (type == "TEXT") {
        auto* t = new AcDbText;
        readText(ctx, t, b);
        t->setVerticalMode(enumIn(b.integer(73), AcDb::kTextBase, AcDb::kTextTop, AcDb::kTextBase));
        leftovers(b, {39, 10, 20, 30, 40, 1, 50, 41, 51, 7, 71, 72, 11, 21, 31, 210, 220, 230, 73}, left);
        e = t;
    } else if (type == "ATTRIB" || type == "ATTDEF") {
        // An attribute may carry an embedded multiline text; it stays as read, after the rest.
        std::size_t cut = b.e;
        for (std::size_t i = b.b; i < b.e; ++i)
            if (b.t[i].code == 101) {
                cut = i;
                break;
            }
        Body main{b.t, b.b, cut};
        AcDbText* t;
        int flags = static_cast<int>(main.integer(70));
        Adesk::UInt16 len = static_cast<Adesk::UInt16>(main.integer(73));
        bool lock = false;
        bool afterTag = false;
        for (std::size_t i = main.b; i < main.e; ++i) {
            if (main.t[i].code == 2) afterTag = true;
            if (afterTag && main.t[i].code == 280) lock = parseInt(main.t[i].value) != 0;
        }
        if (type == "ATTRIB") {
            auto* a = new AcDbAttribute;
            a->setTag(main.str(2).c_str());
            a->setAttributeFlags(flags);
            a->setFieldLength(len);
            a->setLockPositionInBlock(lock);
            t = a;
        } else {
            auto* a = new AcDbAttributeDefinition;
            a->setTag(main.str(2).c_str());
            a->setPrompt(main.str(3).c_str());
            a->setAttributeFlags(flags);
            a->setFieldLength(len);
            a->setLockPositionInBlock(lock);
            t = a;
        }
        readText(ctx, t, main);
        t->setVerticalMode(enumIn(main.integer(74), AcDb::kTextBase, AcDb::kTextTop, AcDb::kTextBase));
        leftovers(main,
                  {39, 10, 20, 30, 40, 1, 50, 41, 51, 7, 71, 72, 11, 21, 31, 210, 220, 230, 2, 3, 70, 73, 74, 280},
                  left);
        for (std::size_t i = cut; i < b.e; ++i)
            if (fits(b.t, i, b.e)) left.emplace_back(b.t[i].code, wide(b.t[i].value));
        e = t;
    } else if (type == "MTEXT") {
        auto* m = new AcDbMText;
        m->setLocation(b.point(10));
        m->setTextHeight(b.num(40, 2.5));
        m->setWidth(b.num(41));
        m->setAttachment(enumIn(b.integer(71, 1), AcDbMText::kTopLeft, AcDbMText::kBottomRight, AcDbMText::kTopLeft));
        m->setFlowDirection(static_cast<int>(b.integer(72, 1)));
        m->setNormal(b.vec(210, {0, 0, 1}));
        if (b.has(11))
            m->setDirection(b.vec(11, {1, 0, 0}));
        else if (b.has(50))
            m->setRotation(b.num(50) * kDegree);
        m->setLineSpacingFactor(b.num(44, 1));
        std::string text;
        for (std::size_t i = b.b; i < b.e; ++i)
            if (b.t[i].code == 3) text += b.t[i].value;
        text += b.raw(1);
        m->setContents(wide(text).c_str());
        AcDbObjectId style = ctx.db->textStyleId(b.str(7, L"Standard"));
        if (!style.isNull()) m->setTextStyle(style);
        e = m;
    } else if (type == "INSERT") {
        AcDbBlockReference* r;
        long long cols = b.integer(70, 1), rows = b.integer(71, 1);
        if (cols < 1 || cols > 32767) cols = 1;
        if (rows < 1 || rows > 32767) rows = 1;
        bool minsert = cols > 1 || rows > 1;
        if (minsert) {
            auto* m = new AcDbMInsertBlock;
            m->setColumns(static_cast<Adesk::UInt16>(cols));
            m->setRows(static_cast<Adesk::UInt16>(rows));
            m->setColumnSpacing(b.num(44));
            m->setRowSpacing(b.num(45));
            r = m;
        } else {
            r = new AcDbBlockReference;
        }
        auto it = ctx.blockIds.find(upper(b.raw(2)));
        if (it != ctx.blockIds.end())
            r->setBlockTableRecord(it->second);
        else
            left.emplace_back(2, b.str(2));
        r->setPosition(b.point(10));
        r->setScaleFactors(AcGeScale3d(b.num(41, 1), b.num(42, 1), b.num(43, 1)));
        r->setRotation(b.num(50) * kDegree);
        r->setNormal(b.vec(210, {0, 0, 1}));
        leftovers(b, {66, 2, 10, 20, 30, 41, 42, 43, 50, 70, 71, 44, 45, 210, 220, 230}, left);
        e = r;
    } else if (type == "VIEWPORT") {
        auto* v = new AcDbViewport;
        v->setCenterPoint(b.point(10));
        v->setWidth(b.num(40));
        v->setHeight(b.num(41));
        long long status = b.integer(68, 1);
        v->setNumber(static_cast<Adesk::Int16>(b.integer(69)));
        if (status == 0) v->setOff();
        v->setViewCenter(b.point(12).convert2d());
        v->setViewDirection(b.vec(16, {0, 0, 1}));
        v->setViewTarget(b.point(17));
        v->setViewHeight(b.num(45, 1));
        v->setTwistAngle(b.num(51) * kDegree);
        v->setStatusFlags(static_cast<Adesk::Int32>(b.integer(90)));
        // Frozen layers are layers (the tables are read by now); a handle of anything else is dropped,
        // and then the body is written from the model.
        AcDbObjectIdArray frozen;
        for (std::size_t i = b.b; i < b.e; ++i) {
            if (b.t[i].code != 331) continue;
            AcDbObjectId id = ctx.idOf(b.t[i].value);
            if (AcDbLayerTableRecord::cast(ctx.db->peek(id)))
                frozen.append(id);
            else
                whole = false;
        }
        if (!frozen.isEmpty()) v->freezeLayersInViewport(frozen);
        e = v;
    } else if (type == "HATCH") {
        auto* h = new AcDbHatch;
        h->setElevation(b.num(30));
        h->setNormal(b.vec(210, {0, 0, 1}));
        std::size_t i = b.b;
        auto at = [&](int code) { return i < b.e && b.t[i].code == code; };
        auto val = [&]() -> std::string_view { return b.t[i].value; };
        // Loops: from 91 to the 75 that ends the boundary data.
        while (i < b.e && b.t[i].code != 91) ++i;
        long long nloops = i < b.e ? parseInt(val()) : 0;
        ++i;
        for (long long l = 0; l < nloops && i < b.e; ++l) {
            AcDbHatchLoop loop;
            while (i < b.e && !at(92)) ++i;
            if (i >= b.e) break;
            loop.type = static_cast<Adesk::Int32>(parseInt(val()));
            ++i;
            if (loop.type & 2) {
                loop.isPolyline = true;
                bool bulges = at(72) && parseInt(val());
                if (at(72)) ++i;
                if (at(73)) {
                    loop.closed = parseInt(val()) != 0;
                    ++i;
                }
                long long nv = at(93) ? parseInt(val()) : 0;
                if (at(93)) ++i;
                // The count is the file's word: a vertex that brings no tag ends the list.
                for (long long k = 0; k < nv && at(10); ++k) {
                    cadgeom::BulgeVertex v;
                    if (at(10)) {
                        v.pt.x = parseDouble(val());
                        ++i;
                    }
                    if (at(20)) {
                        v.pt.y = parseDouble(val());
                        ++i;
                    }
                    if (bulges && at(42)) {
                        v.bulge = parseDouble(val());
                        ++i;
                    }
                    loop.vertices.push_back(v);
                }
            } else {
                long long ne = at(93) ? parseInt(val()) : 0;
                if (at(93)) ++i;
                for (long long k = 0; k < ne && i < b.e; ++k) {
                    const std::size_t edgeAt = i;
                    AcDbHatchEdge edge;
                    edge.type = at(72) ? static_cast<int>(parseInt(val())) : 1;
                    // Lines, arcs, elliptic arcs and splines: any other type ends the loop's edges.
                    if (edge.type < AcDbHatchEdge::kLine || edge.type > AcDbHatchEdge::kSpline) {
                        whole = false;
                        break;
                    }
                    if (at(72)) ++i;
                    auto num = [&](int code, double& out) {
                        if (at(code)) {
                            out = parseDouble(val());
                            ++i;
                        }
                    };
                    if (edge.type == AcDbHatchEdge::kLine) {
                        num(10, edge.start.x);
                        num(20, edge.start.y);
                        num(11, edge.end.x);
                        num(21, edge.end.y);
                    } else if (edge.type == AcDbHatchEdge::kCirArc || edge.type == AcDbHatchEdge::kEllArc) {
                        num(10, edge.center.x);
                        num(20, edge.center.y);
                        if (edge.type == AcDbHatchEdge::kEllArc) {
                            num(11, edge.majorAxis.x);
                            num(21, edge.majorAxis.y);
                            num(40, edge.minorRatio);
                        } else {
                            num(40, edge.radius);
                        }
                        double s = 0, en = 0;
                        num(50, s);
                        num(51, en);
                        edge.startAngle = s * kDegree;
                        edge.endAngle = en * kDegree;
                        if (at(73)) {
                            edge.ccw = parseInt(val()) != 0;
                            ++i;
                        }
                    } else {
                        // Spline data runs to the next edge or to the loop's source count. Its own 97
                        // (the fit-point count) comes once, after the control points: before another
                        // edge it is always the spline's; on the last edge it is when fit data or the
                        // loop's own 97 follows it.
                        bool fitCountSeen = false;
                        auto splineOwns97 = [&] {
                            if (fitCountSeen) return false;
                            if (k + 1 < ne) return true;
                            const int next = i + 2 < b.e ? b.t[i + 2].code : 0;
                            return next == 11 || next == 12 || next == 97;
                        };
                        while (i < b.e && !at(72) && !(at(97) && !splineOwns97())) {
                            if (at(97)) fitCountSeen = true;
                            if (fits(b.t, i, b.e)) edge.splineTags.emplace_back(b.t[i].code, wide(val()));
                            if (at(10) && i + 1 < b.e && b.t[i + 1].code == 20)
                                edge.splinePoints.emplace_back(parseDouble(val()), parseDouble(b.t[i + 1].value));
                            ++i;
                        }
                    }
                    if (i == edgeAt) break; // an edge that brings no tag: the count ran past the data
                    loop.edges.push_back(std::move(edge));
                }
            }
            long long ns = at(97) ? parseInt(val()) : 0;
            if (at(97)) ++i;
            for (long long k = 0; k < ns && at(330); ++k, ++i) loop.sourceIds.push_back(ctx.idOf(val()));
            h->appendLoop(loop);
        }
        Body rest{b.t, i, b.e};
        auto ptype =
            enumIn(b.integer(76, 1), AcDbHatch::kUserDefined, AcDbHatch::kCustomDefined, AcDbHatch::kPreDefined);
        double angle = rest.num(52) * kDegree, scale = rest.num(41, 1);
        h->setPatternFields(ptype, b.str(2, L"SOLID").c_str(), angle, scale, rest.integer(77) != 0);
        h->setHatchStyle(enumIn(rest.integer(75), AcDbHatch::kNormal, AcDbHatch::kIgnore, AcDbHatch::kNormal));
        h->setAssociative(b.integer(71) != 0);
        std::vector<AcDbHatchPatternLine> lines;
        for (std::size_t k = i; k < b.e; ++k) {
            const Tag& t = b.t[k];
            if (t.code == 53) {
                lines.emplace_back();
                lines.back().angle = parseDouble(t.value) * kDegree;
            } else if (!lines.empty() && lines.back().dashes.empty()) {
                auto& pl = lines.back();
                if (t.code == 43)
                    pl.base.x = parseDouble(t.value);
                else if (t.code == 44)
                    pl.base.y = parseDouble(t.value);
                else if (t.code == 45)
                    pl.offset.x = parseDouble(t.value);
                else if (t.code == 46)
                    pl.offset.y = parseDouble(t.value);
                else if (t.code == 49)
                    pl.dashes.push_back(parseDouble(t.value));
            } else if (!lines.empty() && t.code == 49) {
                lines.back().dashes.push_back(parseDouble(t.value));
            } else if (t.code == 98) {
                for (std::size_t s = k + 1; s + 1 < b.e && b.t[s].code == 10 && b.t[s + 1].code == 20; s += 2)
                    h->appendSeedPoint(AcGePoint2d(parseDouble(b.t[s].value), parseDouble(b.t[s + 1].value)));
                break;
            }
        }
        h->setPatternDefinitions(std::move(lines));
        if (b.integer(450, 0) != 0) h->setHatchObjectType(AcDbHatch::kGradientObject);
        e = h;
    } else if (type == "ACAD_TABLE") {
        auto* tb = new AcDbTable;
        auto it = ctx.blockIds.find(upper(b.raw(2)));
        if (it != ctx.blockIds.end()) tb->setBlockTableRecord(it->second);
        tb->setPosition(b.point(10));
        // The table part starts at its own subclass marker.
        std::size_t s = b.b;
        while (s < b.e && !(b.t[s].code == 100 && b.t[s].value == "AcDbTable")) ++s;
        Body tp{b.t, s, b.e};
        if (tp.has(342)) tb->setTableStyle(ctx.idOf(tp.raw(342)));
        tb->setDirection(tp.vec(11, {1, 0, 0}));
        int rows = static_cast<int>(tp.integer(91)), cols = static_cast<int>(tp.integer(92));
        // Every cell has tags of its own: a grid larger than the record can hold is not made.
        const long long cells = static_cast<long long>(rows) * cols;
        if (rows > 0 && cols > 0 && rows < 100000 && cols < 10000 && cells < 1000000 &&
            cells <= static_cast<long long>(b.e - s)) {
            tb->setSize(rows, cols);
            int r = 0, c = 0, cell = -1;
            for (std::size_t k = s; k < b.e; ++k) {
                const Tag& t = b.t[k];
                if (t.code == 141 && r < rows)
                    tb->setRowHeight(r++, parseDouble(t.value));
                else if (t.code == 142 && c < cols)
                    tb->setColumnWidth(c++, parseDouble(t.value));
                else if (t.code == 171) {
                    ++cell;
                    if (cell >= rows * cols) break;
                    tb->cellForWrite(cell / cols, cell % cols).type =
                        enumIn(parseInt(t.value, 1), AcDb::kUnknownCell, AcDb::kBlockCell, AcDb::kTextCell);
                } else if (cell >= 0) {
                    AcDbTableCell& cl = tb->cellForWrite(cell / cols, cell % cols);
                    if (t.code == 1)
                        cl.text = wide(t.value);
                    else if (t.code == 175)
                        cl.mergeCols = static_cast<int>(parseInt(t.value, 1));
                    else if (t.code == 176)
                        cl.mergeRows = static_cast<int>(parseInt(t.value, 1));
                    else if (t.code == 173)
                        cl.merged = parseInt(t.value) != 0;
                    else if (t.code == 174)
                        cl.autoFit = parseInt(t.value) != 0;
                    else if (t.code == 140)
                        cl.textHeight = parseDouble(t.value);
                    else if (t.code == 170)
                        cl.alignment = enumIn(parseInt(t.value), static_cast<AcDb::CellAlignment>(0),
                                              AcDb::kBottomRight, static_cast<AcDb::CellAlignment>(0));
                    else if (t.code == 340)
                        cl.block = ctx.idOf(t.value);
                    else if (t.code == 7)
                        cl.textStyle = ctx.db->textStyleId(wide(t.value));
                }
            }
        }
        e = tb;
    } else {
        // Kept as read, so it must be whole: a damaged one is dropped (the caller lists it).
        if (!tagsWellFormed(rec.tags, 1, rec.bodyEnd) || !wholeAsDescribed(type, b)) return nullptr;
        AcDbDxfTags body;
        for (std::size_t i = b.b; i < b.e; ++i) body.emplace_back(b.t[i].code, wide(b.t[i].value));
        e = new AcDbRawEntity(wide(type), std::move(body));
    }
    readCommon(ctx, e, rec, common);
    applyLinks(ctx, e, rec);
    setExtras(e, std::move(common), std::move(left));
    if (isVerbatimType(type) && whole) {
        WriteContext w{ctx.db};
        keepVerbatim(e, b, canonicalBody(w, e));
    }
    return e;
}

namespace {

void writeHatchBody(WriteContext& ctx, Out& o, const AcDbHatch* h) {
    o.marker("AcDbHatch");
    o.d(10, 0);
    o.d(20, 0);
    o.d(30, h->elevation());
    AcGeVector3d n = h->normal();
    o.v(210, n);
    o.s(2, h->patternName());
    o.i(70, h->isSolidFill() ? 1 : 0);
    o.i(71, h->associative() ? 1 : 0);
    o.i(91, h->numLoops());
    for (const AcDbHatchLoop& loop : h->loops()) {
        o.i(92, loop.type | (loop.isPolyline ? 2 : 0));
        if (loop.isPolyline) {
            bool bulges = false;
            for (const auto& v : loop.vertices) bulges = bulges || v.bulge != 0;
            o.i(72, bulges ? 1 : 0);
            o.i(73, loop.closed ? 1 : 0);
            o.i(93, static_cast<long long>(loop.vertices.size()));
            for (const auto& v : loop.vertices) {
                o.p2(10, v.pt);
                if (bulges) o.d(42, v.bulge);
            }
        } else {
            o.i(93, static_cast<long long>(loop.edges.size()));
            for (const AcDbHatchEdge& e : loop.edges) {
                o.i(72, e.type);
                if (e.type == AcDbHatchEdge::kLine) {
                    o.p2(10, e.start);
                    o.p2(11, e.end);
                } else if (e.type == AcDbHatchEdge::kCirArc || e.type == AcDbHatchEdge::kEllArc) {
                    o.p2(10, e.center);
                    if (e.type == AcDbHatchEdge::kEllArc) {
                        o.d(11, e.majorAxis.x);
                        o.d(21, e.majorAxis.y);
                        o.d(40, e.minorRatio);
                    } else {
                        o.d(40, e.radius);
                    }
                    o.d(50, e.startAngle / kDegree);
                    o.d(51, e.endAngle / kDegree);
                    o.i(73, e.ccw ? 1 : 0);
                } else {
                    o.extras(e.splineTags);
                }
            }
        }
        o.i(97, static_cast<long long>(loop.sourceIds.size()));
        for (const AcDbObjectId& id : loop.sourceIds) o.s8(330, ctx.handle(id));
    }
    o.i(75, h->hatchStyle());
    o.i(76, h->patternType());
    if (!h->isSolidFill()) {
        o.d(52, h->patternAngle() / kDegree);
        o.d(41, h->patternScale());
        o.i(77, h->patternDouble() ? 1 : 0);
        o.i(78, h->numPatternDefinitions());
        for (const AcDbHatchPatternLine& l : h->patternDefinitions()) {
            o.d(53, l.angle / kDegree);
            o.d(43, l.base.x);
            o.d(44, l.base.y);
            o.d(45, l.offset.x);
            o.d(46, l.offset.y);
            o.i(79, static_cast<long long>(l.dashes.size()));
            for (double d : l.dashes) o.d(49, d);
        }
    }
    o.i(98, h->numSeedPoints());
    for (int i = 0; i < h->numSeedPoints(); ++i) o.p2(10, h->getSeedPointAt(i));
}

void writeTableBody(WriteContext& ctx, Out& o, const AcDbTable* t) {
    std::string block = ctx.nameOf(t->blockTableRecord());
    std::string record = t->blockTableRecord().isNull() ? std::string() : ctx.handle(t->blockTableRecord());
    if (auto made = ctx.tableBlocks.find(t->handle().value()); made != ctx.tableBlocks.end()) {
        block = made->second.first;
        record = handleText(made->second.second);
    }
    o.marker("AcDbBlockReference");
    o.s8(2, block);
    o.p(10, t->position());
    o.marker("AcDbTable");
    o.i(280, 0);
    if (!t->tableStyle().isNull()) o.s8(342, ctx.handle(t->tableStyle()));
    if (!record.empty()) o.s8(343, record);
    o.v(11, t->direction());
    o.i(90, 22);
    o.i(91, t->numRows());
    o.i(92, t->numColumns());
    o.i(93, 0);
    o.i(94, 0);
    o.i(95, 0);
    o.i(96, 0);
    for (Adesk::UInt32 r = 0; r < t->numRows(); ++r) o.d(141, t->rowHeight(static_cast<int>(r)));
    for (Adesk::UInt32 c = 0; c < t->numColumns(); ++c) o.d(142, t->columnWidth(static_cast<int>(c)));
    for (Adesk::UInt32 r = 0; r < t->numRows(); ++r)
        for (Adesk::UInt32 c = 0; c < t->numColumns(); ++c) {
            const AcDbTableCell& cl = t->cell(static_cast<int>(r), static_cast<int>(c));
            o.i(171, cl.type);
            o.i(172, 0);
            o.i(173, cl.merged ? 1 : 0);
            o.i(174, cl.autoFit ? 1 : 0);
            o.i(175, cl.mergeCols);
            o.i(176, cl.mergeRows);
            o.i(91, 0);
            o.i(178, 0);
            o.i(145, 0);
            if (cl.alignment != 0) o.i(170, cl.alignment);
            if (cl.textHeight != 0) o.d(140, cl.textHeight);
            if (!cl.textStyle.isNull()) o.s(7, styleName(ctx, cl.textStyle));
            if (cl.type == AcDb::kBlockCell && !cl.block.isNull())
                o.s8(340, ctx.handle(cl.block));
            else
                o.s(1, cl.text);
        }
}

Tags canonicalBody(WriteContext& ctx, const AcDbEntity* e) {
    Tags t;
    Out o{t};
    if (auto* h = AcDbHatch::cast(e)) {
        writeHatchBody(ctx, o, h);
    } else if (auto* tb = AcDbTable::cast(e)) {
        writeTableBody(ctx, o, tb);
    } else if (auto* v = AcDbViewport::cast(e)) {
        o.marker("AcDbViewport");
        o.p(10, v->centerPoint());
        o.d(40, v->width());
        o.d(41, v->height());
        o.i(68, v->isOn() ? 1 : 0);
        o.i(69, v->number());
        o.p2(12, v->viewCenter());
        o.v(16, v->viewDirection());
        o.p(17, v->viewTarget());
        o.d(45, v->viewHeight());
        o.d(51, v->twistAngle() / kDegree);
        AcDbObjectIdArray frozen;
        v->getFrozenLayerList(frozen);
        for (const AcDbObjectId& id : frozen) o.s8(331, ctx.handle(id));
        o.i(90, v->statusFlags());
    } else if (auto* m = AcDbMText::cast(e)) {
        o.marker("AcDbMText");
        o.p(10, m->location());
        o.d(40, m->textHeight());
        o.d(41, m->width());
        o.i(71, m->attachment());
        o.i(72, m->flowDirection());
        std::string text = narrow(m->contentsText());
        // Long contents go in chunks of 250 bytes, never splitting a character.
        std::size_t pos = 0;
        while (text.size() - pos > 250) {
            std::size_t len = 250;
            while (len > 0 && (static_cast<unsigned char>(text[pos + len]) & 0xC0) == 0x80) --len;
            o.s8(3, text.substr(pos, len));
            pos += len;
        }
        o.s8(1, text.substr(pos));
        o.s(7, styleName(ctx, m->textStyle()));
        o.normal(m->normal());
        o.v(11, m->direction());
        o.d(44, m->lineSpacingFactor());
    }
    return t;
}

} // namespace

void writeEntity(WriteContext& ctx, const AcDbEntity* e, std::vector<Tags>& out) {
    Tags t;
    Out o{t};
    const AcDbRawEntity* raw = AcDbRawEntity::cast(e);
    std::string type = raw ? narrow(raw->dxfName()) : narrow(e->dxfTypeName());
    if (auto* m = AcDbMInsertBlock::cast(e); m && m->columns() <= 1 && m->rows() <= 1) type = "INSERT";
    writeHead(ctx, o, e, type.c_str());
    writeCommon(ctx, o, e);
    std::vector<Tags> following;
    if (raw) {
        // Vertices of an old-style polyline follow it as records of their own.
        Tags* current = &t;
        for (const auto& [code, value] : raw->tags()) {
            if (code == 0) {
                following.emplace_back();
                current = &following.back();
            }
            current->push_back(Tag{code, narrow(value)});
        }
    } else if (auto* l = AcDbLine::cast(e)) {
        o.marker("AcDbLine");
        if (l->thickness() != 0) o.d(39, l->thickness());
        o.p(10, l->startPoint());
        o.p(11, l->endPoint());
        o.normal(l->normal());
    } else if (auto* a = AcDbArc::cast(e)) {
        o.marker("AcDbCircle");
        if (a->thickness() != 0) o.d(39, a->thickness());
        o.p(10, a->center());
        o.d(40, a->radius());
        o.normal(a->normal());
        o.marker("AcDbArc");
        o.d(50, a->startAngle() / kDegree);
        o.d(51, a->endAngle() / kDegree);
    } else if (auto* c = AcDbCircle::cast(e)) {
        o.marker("AcDbCircle");
        if (c->thickness() != 0) o.d(39, c->thickness());
        o.p(10, c->center());
        o.d(40, c->radius());
        o.normal(c->normal());
    } else if (auto* p = AcDbPolyline::cast(e)) {
        o.marker("AcDbPolyline");
        o.i(90, p->numVerts());
        o.i(70, p->dxfFlags());
        double cw = 0;
        p->getConstantWidth(cw);
        bool widths = false;
        for (unsigned i = 0; i < p->numVerts(); ++i) {
            double s = 0, w = 0;
            p->getWidthsAt(i, s, w);
            widths = widths || s != cw || w != cw;
        }
        if (!widths) o.d(43, cw);
        if (p->elevation() != 0) o.d(38, p->elevation());
        if (p->thickness() != 0) o.d(39, p->thickness());
        for (unsigned i = 0; i < p->numVerts(); ++i) {
            AcGePoint2d pt;
            p->getPointAt(i, pt);
            o.p2(10, pt);
            if (widths) {
                double s = 0, w = 0;
                p->getWidthsAt(i, s, w);
                o.d(40, s);
                o.d(41, w);
            }
            double bulge = 0;
            p->getBulgeAt(i, bulge);
            if (bulge != 0) o.d(42, bulge);
            Adesk::Int32 id = 0;
            p->getVertexIdentifierAt(i, id);
            if (id != 0) o.i(91, id);
        }
        o.normal(p->normal());
    } else if (auto* ad = AcDbAttributeDefinition::cast(e)) {
        writeText(ctx, o, ad);
        o.marker("AcDbAttributeDefinition");
        o.s(3, ad->promptConst());
        writeAttributeFields(o, ad);
    } else if (auto* at = AcDbAttribute::cast(e)) {
        writeText(ctx, o, at);
        o.marker("AcDbAttribute");
        writeAttributeFields(o, at);
    } else if (auto* tx = AcDbText::cast(e)) {
        writeText(ctx, o, tx);
        o.marker("AcDbText");
        if (tx->verticalMode() != AcDb::kTextBase) o.i(73, tx->verticalMode());
    } else if (AcDbTable::cast(e) || AcDbHatch::cast(e) || AcDbViewport::cast(e) || AcDbMText::cast(e)) {
        Tags canonical = canonicalBody(ctx, e);
        if (!verbatimBody(e, canonical, t)) t.insert(t.end(), canonical.begin(), canonical.end());
    } else if (auto* r = AcDbBlockReference::cast(e)) {
        auto* m = AcDbMInsertBlock::cast(e);
        bool multi = m && (m->columns() > 1 || m->rows() > 1);
        o.marker(multi ? "AcDbMInsertBlock" : "AcDbBlockReference");
        bool attribs = false;
        for (const AcDbObjectId& id : r->attributeIds()) attribs = attribs || (!id.isErased() && ctx.db->peek(id));
        if (attribs) o.i(66, 1);
        o.s8(2, ctx.nameOf(r->blockTableRecord()));
        o.p(10, r->position());
        AcGeScale3d s = r->scaleFactors();
        if (s.sx != 1) o.d(41, s.sx);
        if (s.sy != 1) o.d(42, s.sy);
        if (s.sz != 1) o.d(43, s.sz);
        if (r->rotation() != 0) o.d(50, r->rotation() / kDegree);
        if (multi) {
            o.i(70, m->columns());
            o.i(71, m->rows());
            o.d(44, m->columnSpacing());
            o.d(45, m->rowSpacing());
        }
        o.normal(r->normal());
    }
    if (!raw && !AcDbTable::cast(e) && !AcDbHatch::cast(e) && !AcDbViewport::cast(e) && !AcDbMText::cast(e))
        o.extras(extrasOf(e, -2));
    writeXData(o, e);
    out.push_back(std::move(t));
    if (auto* r = AcDbBlockReference::cast(e); r && !AcDbTable::cast(e)) {
        bool any = false;
        for (const AcDbObjectId& id : r->attributeIds()) {
            AcDbObject* a = ctx.db->peek(id);
            if (!a || a->isErased()) continue;
            writeEntity(ctx, AcDbEntity::cast(a), out);
            any = true;
        }
        if (any) {
            AcDbHandle h = r->seqendHandle();
            std::string layer = narrow(e->layerName());
            out.push_back(Tags{{0, "SEQEND"},
                               {5, h.isNull() ? "0" : handleText(h.value())},
                               {330, handleText(e->handle().value())},
                               {100, "AcDbEntity"},
                               {8, layer.empty() ? "0" : layer}});
        }
    }
    for (Tags& f : following) out.push_back(std::move(f));
}

// ---- Objects.

namespace {

void readPlotPart(AcDbPlotSettings* l, const Body& ps) {
    l->setPlotSettingsName(ps.str(1).c_str());
    l->setPlotCfgName(ps.str(2, L"none_device").c_str());
    l->setCanonicalMediaName(ps.str(4).c_str());
    l->setPlotViewName(ps.str(6).c_str());
    l->setPlotPaperMargins(ps.num(40), ps.num(41), ps.num(42), ps.num(43));
    l->setPlotPaperSize(ps.num(44), ps.num(45));
    l->setPlotOrigin(ps.num(46), ps.num(47));
    l->setPlotWindowArea(ps.num(48), ps.num(49), ps.num(140), ps.num(141));
    l->setCustomPrintScale(ps.num(142, 1), ps.num(143, 1));
    l->setPlotLayoutFlags(static_cast<int>(ps.integer(70, 688)));
    l->setPlotPaperUnits(enumIn(ps.integer(72, 1), AcDbPlotSettings::kInches, AcDbPlotSettings::kPixels,
                                AcDbPlotSettings::kMillimeters));
    l->setPlotRotation(enumIn(ps.integer(73), AcDbPlotSettings::k0degrees, AcDbPlotSettings::k270degrees,
                              AcDbPlotSettings::k0degrees));
    l->setPlotType(
        enumIn(ps.integer(74, 5), AcDbPlotSettings::kDisplay, AcDbPlotSettings::kLayout, AcDbPlotSettings::kLayout));
    l->setCurrentStyleSheet(ps.str(7).c_str());
    l->setStdScaleType(enumIn(ps.integer(75), AcDbPlotSettings::kScaleToFit, AcDbPlotSettings::k1and1_2in_1ft,
                              AcDbPlotSettings::kScaleToFit));
    l->setShadePlot(enumIn(ps.integer(76), AcDbPlotSettings::kAsDisplayed, AcDbPlotSettings::kRendered,
                           AcDbPlotSettings::kAsDisplayed));
    l->setStdScale(ps.num(147, 1));
}

void readLayout(ReadContext& ctx, AcDbLayout* l, const Record& rec) {
    std::size_t s = rec.bodyBegin;
    std::size_t layoutAt = rec.bodyEnd;
    for (std::size_t i = rec.bodyBegin; i < rec.bodyEnd; ++i)
        if (rec.tags[i].code == 100 && rec.tags[i].value == "AcDbLayout") layoutAt = i;
    Body ps{rec.tags, s, layoutAt};
    Body lo{rec.tags, layoutAt, rec.bodyEnd};
    readPlotPart(l, ps);
    l->setLayoutName(lo.str(1).c_str());
    l->setLayoutFlags(static_cast<int>(lo.integer(70, 1)));
    l->setTabOrder(static_cast<int>(lo.integer(71)));
    l->setLimits(lo.point(10).convert2d(), AcGePoint2d(lo.num(11, 420), lo.num(21, 297)));
    l->setInsertionBase(lo.point(12));
    l->setExtents(lo.point(14), lo.point(15));
    l->setElevation(lo.num(146));
    l->setUcs(lo.point(13), lo.vec(16, {1, 0, 0}), lo.vec(17, {0, 1, 0}));
    l->setUcsOrthographicType(static_cast<int>(lo.integer(76)));
    if (lo.has(330)) l->setBlockTableRecordId(ctx.idOf(lo.raw(330)));
    if (lo.has(331)) l->setLastActiveViewportId(ctx.idOf(lo.raw(331)));
}

void writePlotPart(Out& o, const AcDbPlotSettings* l) {
    o.marker("AcDbPlotSettings");
    const ACHAR* s = nullptr;
    l->getPlotSettingsName(s);
    o.s(1, s);
    l->getPlotCfgName(s);
    o.s(2, s);
    l->getCanonicalMediaName(s);
    o.s(4, s);
    l->getPlotViewName(s);
    o.s(6, s);
    double a, b, c, d;
    l->getPlotPaperMargins(a, b, c, d);
    o.d(40, a);
    o.d(41, b);
    o.d(42, c);
    o.d(43, d);
    l->getPlotPaperSize(a, b);
    o.d(44, a);
    o.d(45, b);
    l->getPlotOrigin(a, b);
    o.d(46, a);
    o.d(47, b);
    l->getPlotWindowArea(a, b, c, d);
    o.d(48, a);
    o.d(49, b);
    o.d(140, c);
    o.d(141, d);
    l->getCustomPrintScale(a, b);
    o.d(142, a);
    o.d(143, b);
    o.i(70, l->plotLayoutFlags());
    o.i(72, l->plotPaperUnits());
    o.i(73, l->plotRotation());
    o.i(74, l->plotType());
    l->getCurrentStyleSheet(s);
    o.s(7, s);
    o.i(75, l->stdScaleType());
    o.i(76, l->shadePlot());
    o.i(77, 2);
    o.i(78, 300);
    o.d(147, l->stdScale());
    o.d(148, 0);
    o.d(149, 0);
}

Tags canonicalObject(WriteContext& ctx, const AcDbObject* obj) {
    Tags t;
    Out o{t};
    if (auto* l = AcDbLayout::cast(obj)) {
        writePlotPart(o, l);
        o.marker("AcDbLayout");
        o.s(1, l->getLayoutName());
        o.i(70, l->layoutFlags());
        o.i(71, l->getTabOrder());
        AcGePoint2d mn, mx;
        l->getLimits(mn, mx);
        o.p2(10, mn);
        o.p2(11, mx);
        o.p(12, l->insertionBase());
        AcGePoint3d emn, emx;
        l->getExtents(emn, emx);
        o.p(14, emn);
        o.p(15, emx);
        o.d(146, l->elevation());
        AcGePoint3d org;
        AcGeVector3d ux, uy;
        l->getUcs(org, ux, uy);
        o.p(13, org);
        o.v(16, ux);
        o.v(17, uy);
        o.i(76, l->ucsOrthographicType());
        o.s8(330, ctx.handle(l->getBlockTableRecordId()));
        if (!l->lastActiveViewportId().isNull()) o.s8(331, ctx.handle(l->lastActiveViewportId()));
    } else if (auto* ps = AcDbPlotSettings::cast(obj)) {
        writePlotPart(o, ps);
    } else if (auto* ts = AcDbTableStyle::cast(obj)) {
        o.marker("AcDbTableStyle");
        o.i(280, 0);
        o.s(3, ts->description());
        o.i(70, ts->flowDirection());
        o.i(71, 0);
        o.d(40, ts->horzCellMargin());
        o.d(41, ts->vertCellMargin());
        o.i(280, ts->isTitleSuppressed() ? 1 : 0);
        o.i(281, ts->isHeaderSuppressed() ? 1 : 0);
        for (AcDb::RowType r : {AcDb::kDataRow, AcDb::kTitleRow, AcDb::kHeaderRow}) {
            o.s(7, styleName(ctx, ts->textStyle(r)));
            o.d(140, ts->textHeight(r));
            o.i(170, ts->alignment(r));
            o.i(62, 0);
            o.i(63, 7);
            o.i(283, 0);
            for (int b = 0; b < 6; ++b) {
                o.i(274 + b, -2);
                o.i(284 + b, 1);
                o.i(64 + b, 0);
            }
        }
    }
    return t;
}

} // namespace

AcDbObject* readObject(ReadContext& ctx, const Record& rec) {
    std::string_view type = recordType(rec.tags);
    Body b{rec.tags, rec.bodyBegin, rec.bodyEnd};
    AcDbObject* obj = nullptr;
    AcDbDxfTags left;
    bool verbatim = false;
    if (type == "DICTIONARY") {
        auto* d = new AcDbDictionary;
        d->setTreatElementsAsHard(b.integer(280) != 0);
        d->setMergeStyle(static_cast<int>(b.integer(281, 1)));
        for (std::size_t i = b.b; i + 1 < b.e; ++i)
            if (b.t[i].code == 3 && (b.t[i + 1].code == 350 || b.t[i + 1].code == 360)) {
                d->setAtId(wide(b.t[i].value).c_str(), ctx.idOf(b.t[i + 1].value));
                ++i;
            }
        for (std::size_t i = b.b; i < b.e; ++i) {
            int c = b.t[i].code;
            if (c == 100 || c == 280 || c == 281 || ((c == 350 || c == 360) && i > b.b && b.t[i - 1].code == 3) ||
                (c == 3 && i + 1 < b.e && (b.t[i + 1].code == 350 || b.t[i + 1].code == 360)))
                continue;
            if (fits(b.t, i, b.e)) left.emplace_back(c, wide(b.t[i].value));
        }
        obj = d;
    } else if (type == "XRECORD") {
        auto* x = new AcDbXrecord;
        std::size_t i = b.b;
        while (i < b.e && b.t[i].code == 100) ++i;
        if (i < b.e && b.t[i].code == 280) {
            x->setMergeStyle(static_cast<int>(parseInt(b.t[i].value, 1)));
            ++i;
        }
        AcDbRbValues values;
        for (; i < b.e; ++i) {
            AcDbRbValue v = rbFromTags(b.t, i, false);
            if (valueKind(v.code) == ValueKind::Handle) v.id = ctx.idOf(parseHandle(narrow(v.str)));
            values.push_back(std::move(v));
        }
        x->setValues(std::move(values));
        obj = x;
    } else if (type == "SORTENTSTABLE") {
        auto* s = new AcDbSortentsTable;
        std::vector<std::pair<AcDbObjectId, AcDbHandle>> entries;
        for (std::size_t i = b.b; i < b.e; ++i) {
            if (b.t[i].code == 330)
                s->setBlockId(ctx.idOf(b.t[i].value));
            else if (b.t[i].code == 331 && i + 1 < b.e && b.t[i + 1].code == 5) {
                entries.emplace_back(ctx.idOf(b.t[i].value), AcDbHandle(parseHandle(b.t[i + 1].value)));
                ++i;
            }
        }
        s->setEntries(std::move(entries));
        obj = s;
    } else if (type == "LAYOUT") {
        auto* l = new AcDbLayout;
        readLayout(ctx, l, rec);
        obj = l;
        verbatim = true;
    } else if (type == "PLOTSETTINGS") {
        auto* ps = new AcDbPlotSettings;
        readPlotPart(ps, b);
        obj = ps;
        verbatim = true;
    } else if (type == "TABLESTYLE") {
        auto* ts = new AcDbTableStyle;
        ts->setDescription(b.str(3).c_str());
        ts->setFlowDirection(enumIn(b.integer(70), AcDb::kTtoB, AcDb::kBtoT, AcDb::kTtoB));
        ts->setHorzCellMargin(b.num(40, 1.5));
        ts->setVertCellMargin(b.num(41, 1.5));
        obj = ts;
        verbatim = true;
    } else {
        if (!tagsWellFormed(rec.tags, 1, rec.bodyEnd) || !wholeAsDescribed(type, b)) return nullptr;
        AcDbDxfTags body;
        for (std::size_t i = b.b; i < b.e; ++i) body.emplace_back(b.t[i].code, wide(b.t[i].value));
        obj = new AcDbRawObject(wide(type), std::move(body));
    }
    applyLinks(ctx, obj, rec);
    setExtras(obj, {}, std::move(left));
    if (verbatim) {
        WriteContext w{ctx.db};
        keepVerbatim(obj, b, canonicalObject(w, obj));
    }
    return obj;
}

Tags writeObject(WriteContext& ctx, const AcDbObject* obj) {
    Tags t;
    Out o{t};
    if (auto* raw = AcDbRawObject::cast(obj)) {
        writeHead(ctx, o, obj, narrow(raw->dxfName()).c_str());
        for (const auto& [code, value] : raw->tags()) o.s(code, value);
    } else if (auto* d = AcDbDictionary::cast(obj)) {
        writeHead(ctx, o, obj, "DICTIONARY");
        o.marker("AcDbDictionary");
        if (d->isTreatElementsAsHard()) o.i(280, 1);
        o.i(281, d->mergeStyle());
        for (const auto& [name, id] : d->entries()) {
            AcDbObject* target = ctx.db->peek(id);
            // A dictionary holds objects: an entry naming an entity (a damaged file) is left out.
            if (!target || target->isErased() || AcDbEntity::cast(target)) continue;
            o.s(3, name);
            o.s8(d->isTreatElementsAsHard() ? 360 : 350, ctx.handle(id));
        }
    } else if (auto* x = AcDbXrecord::cast(obj)) {
        writeHead(ctx, o, obj, "XRECORD");
        o.marker("AcDbXrecord");
        o.i(280, x->mergeStyle());
        for (const AcDbRbValue& v : x->values()) rbToTags(v, o, false, &ctx);
    } else if (auto* s = AcDbSortentsTable::cast(obj)) {
        writeHead(ctx, o, obj, "SORTENTSTABLE");
        o.marker("AcDbSortentsTable");
        o.s8(330, ctx.handle(s->blockId()));
        for (const auto& [id, h] : s->entries()) {
            AcDbObject* target = ctx.db->peek(id);
            if (!target || target->isErased()) continue;
            o.s8(331, ctx.handle(id));
            o.s8(5, handleText(h.value()));
        }
    } else if (AcDbPlotSettings::cast(obj) || AcDbTableStyle::cast(obj)) {
        writeHead(ctx, o, obj,
                  AcDbLayout::cast(obj)       ? "LAYOUT"
                  : AcDbTableStyle::cast(obj) ? "TABLESTYLE"
                                              : "PLOTSETTINGS");
        Tags canonical = canonicalObject(ctx, obj);
        if (!verbatimBody(obj, canonical, t)) t.insert(t.end(), canonical.begin(), canonical.end());
    } else {
        return {};
    }
    o.extras(extrasOf(obj, -2));
    writeXData(o, obj);
    return t;
}

std::string WriteContext::handle(AcDbObjectId id) const {
    if (id.isNull()) return "0";
    return handleText(id.handle().value());
}

std::string WriteContext::nameOf(AcDbObjectId id) const {
    if (id.isNull()) return {};
    auto* r = AcDbSymbolTableRecord::cast(db->peek(id));
    return r ? narrow(r->getName()) : std::string();
}

} // namespace dxf
