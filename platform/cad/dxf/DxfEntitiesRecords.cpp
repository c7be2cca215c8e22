// The parts every record shares: its handle, owner and links, extended data, tags kept as read, colours.
#include "cad/dxf/DxfEntitiesShared.h"

#include <algorithm>

namespace dxf {

namespace {

std::uint64_t fingerprint(const Tags& tags) {
    std::uint64_t h = 1469598103934665603ull;
    for (const Tag& t : tags) {
        h = (h ^ static_cast<std::uint64_t>(t.code)) * 1099511628211ull;
        for (char c : t.value) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        h = (h ^ 0xFF) * 1099511628211ull;
    }
    return h;
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

} // namespace

bool contains(std::initializer_list<int> list, int code) {
    for (int c : list)
        if (c == code) return true;
    return false;
}

bool fits(const Tags& t, std::size_t i, std::size_t end) {
    const Tag& x = t[i];
    if (!valueFits(x.code, x.value)) return false;
    return !isPointCode(x.code) ||
           (i + 1 < end && t[i + 1].code == x.code + 10 && valueFits(t[i + 1].code, t[i + 1].value));
}

void leftovers(const Body& body, std::initializer_list<int> known, AcDbDxfTags& out) {
    for (std::size_t i = body.b; i < body.e; ++i) {
        const Tag& t = body.t[i];
        if (t.code == 100 || contains(known, t.code) || !fits(body.t, i, body.e)) continue;
        out.emplace_back(t.code, wide(t.value));
    }
}

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

bool verbatimBody(const AcDbObject* obj, const Tags& canonical, Tags& out) {
    const AcDbDxfTags& x = obj->dxfExtraTags();
    std::size_t i = 0;
    while (i < x.size() && x[i].first != -3) ++i;
    if (i == x.size() || narrow(x[i].second) != handleText(fingerprint(canonical))) return false;
    for (++i; i < x.size() && x[i].first >= 0; ++i) out.push_back(Tag{x[i].first, narrow(x[i].second)});
    return true;
}

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

void applyLinks(ReadContext& ctx, AcDbObject* obj, const Record& rec) {
    if (rec.xdict) obj->setExtensionDictionary(ctx.idOf(rec.xdict));
    for (std::uint64_t r : rec.reactors) obj->addPersistentReactor(ctx.idOf(r));
}

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

void writeHead(WriteContext& ctx, Out& o, const AcDbObject* obj, const char* type, bool dimstyle) {
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

std::wstring styleName(WriteContext& ctx, AcDbObjectId id) {
    std::string n = ctx.nameOf(id);
    return n.empty() ? L"Standard" : wide(n);
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
