// Entities, both ways: the common part, curves, texts and attributes, inserts and viewports.
#include "cad/dxf/DxfEntitiesShared.h"

#include "cad/db/AcDbHatch.h"
#include "cad/db/AcDbTable.h"
#include "cad/dxf/DxfDatabase.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <optional>

namespace dxf {

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

// A file holds the points of 2D entities (circles, arcs, texts, attributes, inserts) in the plane of their
// extrusion, their object coordinate system; the database holds them in world coordinates, as the
// host's own does. Entities in the world plane, nearly all of them, are taken exactly as they stand.
bool inWorldPlane(const AcGeVector3d& normal) {
    return normal.x == 0.0 && normal.y == 0.0 && normal.z == 1.0;
}
AcGePoint3d fromPlane(const AcGeVector3d& normal, const AcGePoint3d& p) {
    return inWorldPlane(normal) ? p : AcGeMatrix3d::planeToWorld(normal) * p;
}
AcGePoint3d toPlane(const AcGeVector3d& normal, const AcGePoint3d& p) {
    return inWorldPlane(normal) ? p : AcGeMatrix3d::worldToPlane(normal) * p;
}

// Values a file holds that the database holds converted (a point of an entity's plane held in the
// world, an angle in degrees held in radians), where converting back would not give them exactly: they
// are kept beside the entity (kAsRead, then their tags) and written again as read while the entity holds
// what they became, so that an entity no command touched keeps its values and a drawing saved again is
// the same file.
constexpr int kAsRead = -7;

const std::wstring* keptAsRead(const AcDbEntity* e, int code) {
    bool in = false;
    for (const auto& [c, v] : e->dxfExtraTags()) {
        if (c < 0)
            in = c == kAsRead;
        else if (in && c == code)
            return &v;
    }
    return nullptr;
}

bool samePoint(const AcGePoint3d& a, const AcGePoint3d& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

// The point (group code) of an entity's plane, as read while the entity's world point is still the one read.
AcGePoint3d planePoint(const AcDbEntity* e, int code, const AcGeVector3d& normal, const AcGePoint3d& world) {
    if (inWorldPlane(normal)) return world;
    const std::wstring *x = keptAsRead(e, code), *y = keptAsRead(e, code + 10), *z = keptAsRead(e, code + 20);
    if (x && y && z) {
        const AcGePoint3d p(parseDouble(narrow(*x)), parseDouble(narrow(*y)), parseDouble(narrow(*z)));
        if (samePoint(fromPlane(normal, p), world)) return p;
    }
    return toPlane(normal, world);
}

// An entity's plane as read (a file may hold it not quite of unit length) while the entity keeps the
// plane it became.
AcGeVector3d planeNormal(const AcDbEntity* e, const AcGeVector3d& normal) {
    const std::wstring* x = keptAsRead(e, 210);
    if (!x) return normal;
    const std::wstring *y = keptAsRead(e, 220), *z = keptAsRead(e, 230);
    if (!y || !z) return normal;
    const AcGeVector3d read(parseDouble(narrow(*x)), parseDouble(narrow(*y)), parseDouble(narrow(*z)));
    if (read.isZeroLength()) return normal;
    const AcGeVector3d unit = read.normal();
    return unit.x == normal.x && unit.y == normal.y && unit.z == normal.z ? read : normal;
}

// An angle (group code) in degrees, as read while the entity still holds the angle read.
double degrees(const AcDbEntity* e, int code, double radians) {
    if (const std::wstring* kept = keptAsRead(e, code)) {
        const double read = parseDouble(narrow(*kept));
        if (read * kDegree == radians) return read;
    }
    return radians / kDegree;
}

// Whether the body is modeler geometry's whose data lies elsewhere (R2013 and later: no text in the entity).
bool modelerGeometryElsewhere(const Body& b) {
    std::size_t i = b.b;
    while (i < b.e && !(b.t[i].code == 100 && b.t[i].value.view() == "AcDbModelerGeometry")) ++i;
    if (i == b.e) return false;
    for (++i; i < b.e && b.t[i].code != 100; ++i)
        if (b.t[i].code == 1) return false;
    return true;
}

// kept: what the caller keeps besides (an attribute's version, a solid's handle). It runs for every
// entity read: the record type picks what to look at, and a plane is looked into only where the file
// gives one.
void keepConvertedAsRead(AcDbEntity* e, std::string_view type, const Body& b, AcDbDxfTags kept) {
    // The records the model converts: the points it holds in the world and the angles it holds in
    // radians (0: none).
    struct Converted {
        std::string_view type;
        int points[2], angles[2];
    };
    static constexpr Converted kConverted[] = {
        {"ARC", {10, 0}, {50, 51}},     {"CIRCLE", {10, 0}, {0, 0}},    {"TEXT", {10, 11}, {50, 51}},
        {"ATTRIB", {10, 11}, {50, 51}}, {"ATTDEF", {10, 11}, {50, 51}}, {"INSERT", {10, 0}, {50, 0}},
        {"LINE", {0, 0}, {0, 0}},       {"LWPOLYLINE", {0, 0}, {0, 0}},
    };
    const Converted* converted = nullptr;
    for (const Converted& c : kConverted)
        if (c.type == type) converted = &c;
    // The entity's plane as the database holds it (of unit length).
    const auto planeOf = [](const AcDbEntity* e) -> std::optional<AcGeVector3d> {
        if (auto* arc = AcDbArc::cast(e)) return arc->normal();
        if (auto* circle = AcDbCircle::cast(e)) return circle->normal();
        if (auto* text = AcDbText::cast(e)) return text->normal();
        if (auto* insert = AcDbBlockReference::cast(e)) return insert->normal();
        if (auto* line = AcDbLine::cast(e)) return line->normal();
        if (auto* polyline = AcDbPolyline::cast(e)) return polyline->normal();
        return std::nullopt;
    };
    const std::optional<AcGeVector3d> normal = converted ? planeOf(e) : std::nullopt;
    if (!normal && kept.empty()) return;
    const auto keep = [&](int code, double v) { kept.emplace_back(code, wide(formatDouble(v))); };
    if (normal && b.has(210)) {
        const AcGeVector3d read = b.vec(210, {0, 0, 1});
        if (!(read.x == normal->x && read.y == normal->y && read.z == normal->z)) {
            keep(210, read.x);
            keep(220, read.y);
            keep(230, read.z);
        }
        if (!inWorldPlane(*normal))
            for (int code : converted->points) {
                if (code == 0 || !b.has(code)) continue;
                const AcGePoint3d p = b.point(code);
                if (samePoint(toPlane(*normal, fromPlane(*normal, p)), p)) continue;
                keep(code, p.x);
                keep(code + 10, p.y);
                keep(code + 20, p.z);
            }
    }
    if (normal)
        for (int code : converted->angles)
            if (const Tag* angle = code ? b.first(code) : nullptr) {
                const double read = parseDouble(angle->value);
                if (read * kDegree / kDegree != read) keep(code, read);
            }
    if (kept.empty()) return;
    AcDbDxfTags& x = e->dxfExtraTags();
    x.emplace_back(kAsRead, L"");
    x.insert(x.end(), kept.begin(), kept.end());
}

// The text part shared by texts, attributes and attribute definitions.
void readText(ReadContext& ctx, AcDbText* t, const Body& b) {
    t->setNormal(b.vec(210, {0, 0, 1}));
    t->setPosition(fromPlane(t->normal(), b.point(10)));
    t->setHeight(b.num(40));
    t->setTextString(b.str(1).c_str());
    t->setRotation(b.num(50) * kDegree);
    t->setWidthFactor(b.num(41, 1));
    t->setOblique(b.num(51) * kDegree);
    t->setThickness(b.num(39));
    t->setGenerationFlags(static_cast<int>(b.integer(71)));
    t->setHorizontalMode(enumIn(b.integer(72), AcDb::kTextLeft, AcDb::kTextFit, AcDb::kTextLeft));
    if (b.has(11)) t->setAlignmentPoint(fromPlane(t->normal(), b.point(11)));
    const Tag* styleTag = b.first(7);
    AcDbObjectId style = ctx.styleNamed(styleTag ? styleTag->value.view() : std::string_view("Standard"));
    if (!style.isNull()) t->setTextStyle(style);
}

void writeText(WriteContext& ctx, Out& o, const AcDbText* t) {
    o.marker("AcDbText");
    if (t->thickness() != 0) o.d(39, t->thickness());
    o.p(10, planePoint(t, 10, t->normal(), t->position()));
    o.d(40, t->height());
    o.s(1, t->textStringConst());
    if (t->rotation() != 0) o.d(50, degrees(t, 50, t->rotation()));
    if (t->widthFactor() != 1) o.d(41, t->widthFactor());
    if (t->oblique() != 0) o.d(51, degrees(t, 51, t->oblique()));
    o.s(7, styleName(ctx, t->textStyle()));
    if (t->generationFlags() != 0) o.i(71, t->generationFlags());
    if (t->horizontalMode() != AcDb::kTextLeft) o.i(72, t->horizontalMode());
    if (!t->isDefaultAlignment()) o.p(11, planePoint(t, 11, t->normal(), t->alignmentPoint()));
    o.normal(planeNormal(t, t->normal()));
}

// An attribute's multiline text (an embedded object after the rest of its body) is kept as read, and
// the attribute's text as read beside it (in a part of its own), so that a text set since is written
// into the multiline text too: programs that show multiline attributes show that part.
constexpr int kTextAsRead = -4;

// Where such an attribute lay as read: its multiline text, which lies in the world, goes where it goes.
constexpr int kPlaceAsRead = -6;

// Multiline text contents as their tags: chunks of 250 bytes (3), never splitting a character, then
// the rest (1).
void contentsTags(const std::string& text, const std::function<void(int, std::string)>& put) {
    std::size_t pos = 0;
    while (text.size() - pos > 250) {
        std::size_t len = 250;
        while (len > 0 && (static_cast<unsigned char>(text[pos + len]) & 0xC0) == 0x80) --len;
        put(3, text.substr(pos, len));
        pos += len;
    }
    put(1, text.substr(pos));
}

// A plain text as multiline text contents: backslashes and braces would be taken for formatting.
std::wstring asContents(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\\' || c == L'{' || c == L'}') out += L'\\';
        out += c;
    }
    return out;
}

// The tags kept after an attribute's body, its multiline text made to show the attribute's text
// when that was set since reading.
AcDbDxfTags attributeExtras(const AcDbText* t) {
    AcDbDxfTags tags = extrasOf(t, -2);
    const AcDbDxfTags& all = t->dxfExtraTags();
    auto asRead = std::find_if(all.begin(), all.end(), [](const auto& x) { return x.first == kTextAsRead; });
    auto placeAsRead = std::find_if(all.begin(), all.end(), [](const auto& x) { return x.first == kPlaceAsRead; });
    if (asRead == all.end()) return tags;
    const bool retexted = asRead->second != t->textStringConst();
    const AcGePoint3d now = t->position();
    double moved[3] = {0, 0, 0};
    if (placeAsRead != all.end()) {
        const std::string xyz = narrow(placeAsRead->second);
        std::size_t from = 0;
        for (int i = 0; i < 3; ++i) {
            const std::size_t comma = std::min(xyz.find(',', from), xyz.size());
            moved[i] = (i == 0 ? now.x : i == 1 ? now.y : now.z) - parseDouble(xyz.substr(from, comma - from));
            from = comma + 1;
        }
    }
    const bool displaced = moved[0] != 0 || moved[1] != 0 || moved[2] != 0;
    auto embedded = std::find_if(tags.begin(), tags.end(), [](const auto& x) { return x.first == 101; });
    if (embedded == tags.end() || (!retexted && !displaced)) return tags;
    AcDbDxfTags out(tags.begin(), embedded);
    const auto put = [&](int code, std::string value) { out.emplace_back(code, wide(value)); };
    bool placed = false;
    for (auto it = embedded; it != tags.end(); ++it) {
        if (displaced && (it->first == 10 || it->first == 20 || it->first == 30)) {
            const double at = parseDouble(narrow(it->second)) + moved[it->first / 10 - 1];
            out.emplace_back(it->first, wide(formatDouble(at)));
        } else if ((it->first != 1 && it->first != 3) || !retexted) {
            out.push_back(*it);
        } else if (!placed) {
            contentsTags(narrow(asContents(t->textStringConst())), put);
            placed = true;
        }
    }
    return out;
}

// The version of an attribute's part, as read (0 when it was not), before its fields: a reader takes
// the first 280 for the version and the one after the tag for the lock.
void writeAttributeVersion(Out& o, const AcDbText* a) {
    const std::wstring* version = keptAsRead(a, 280);
    o.i(280, version ? static_cast<int>(parseInt(narrow(*version))) : 0);
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
    bool whole = true;       // the body may be written again as read
    bool embedded = false;   // an attribute carrying a multiline text
    AcDbDxfTags keptBesides; // values as read the model has no place for (kAsRead)
    if (type == "LINE") {
        auto* l = new AcDbLine(b.point(10), b.point(11));
        l->setThickness(b.num(39));
        l->setNormal(b.vec(210, {0, 0, 1}));
        leftovers(b, {39, 10, 20, 30, 11, 21, 31, 210, 220, 230}, left);
        e = l;
    } else if (type == "CIRCLE") {
        const AcGeVector3d normal = b.vec(210, {0, 0, 1});
        auto* c = new AcDbCircle(fromPlane(normal, b.point(10)), normal, b.num(40));
        c->setThickness(b.num(39));
        leftovers(b, {39, 10, 20, 30, 40, 210, 220, 230}, left);
        e = c;
    } else if (type == "ARC") {
        const AcGeVector3d normal = b.vec(210, {0, 0, 1});
        auto* a =
            new AcDbArc(fromPlane(normal, b.point(10)), normal, b.num(40), b.num(50) * kDegree, b.num(51) * kDegree);
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
        // From R2018 on the attribute's own part holds a 71, 72 and 11 of its own (71 its kind: 2 a
        // multiline attribute): the text's fields come from the text's part alone, and the rest stays.
        std::size_t own = b.b;
        while (own < cut && !(b.t[own].code == 100 && (b.t[own].value.view() == "AcDbAttribute" ||
                                                       b.t[own].value.view() == "AcDbAttributeDefinition")))
            ++own;
        const bool parts = own < cut;
        Body main{b.t, parts ? own : b.b, cut};
        Body text{b.t, b.b, parts ? own : cut};
        AcDbText* t;
        int flags = static_cast<int>(main.integer(70));
        Adesk::UInt16 len = static_cast<Adesk::UInt16>(main.integer(73));
        // R2010 and later open the attribute's part with its version (280), before the tag; the lock
        // (280 again) comes after the tag.
        bool lock = false;
        bool afterTag = false;
        for (std::size_t i = main.b; i < main.e; ++i) {
            if (main.t[i].code == 2) afterTag = true;
            if (afterTag && main.t[i].code == 280) lock = parseInt(main.t[i].value) != 0;
            if (!afterTag && main.t[i].code == 280 && parseInt(main.t[i].value) != 0)
                keptBesides.emplace_back(280, wide(main.t[i].value));
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
        readText(ctx, t, text);
        t->setVerticalMode(enumIn(main.integer(74), AcDb::kTextBase, AcDb::kTextTop, AcDb::kTextBase));
        const std::initializer_list<int> textCodes = {39, 10, 20, 30, 40, 1,  50,  41,  51,
                                                      7,  71, 72, 11, 21, 31, 210, 220, 230};
        if (parts) {
            leftovers(text, textCodes, left);
            leftovers(main, {2, 3, 70, 73, 74, 280}, left);
        } else {
            leftovers(main,
                      {39, 10, 20, 30, 40, 1, 50, 41, 51, 7, 71, 72, 11, 21, 31, 210, 220, 230, 2, 3, 70, 73, 74, 280},
                      left);
        }
        for (std::size_t i = cut; i < b.e; ++i)
            if (fits(b.t, i, b.e)) left.emplace_back(b.t[i].code, wide(b.t[i].value));
        embedded = cut < b.e;
        e = t;
    } else if (type == "MTEXT") {
        // From R2018 on an "Embedded Object" part (101) may follow the text's own, repeating the location
        // under 11 and the direction under 10: the text's fields come from its own part alone.
        Body own = b;
        for (std::size_t i = b.b; i < b.e; ++i)
            if (b.t[i].code == 101) {
                own.e = i;
                break;
            }
        auto* m = new AcDbMText;
        m->setLocation(own.point(10));
        m->setTextHeight(own.num(40, 2.5));
        m->setWidth(own.num(41));
        m->setAttachment(enumIn(own.integer(71, 1), AcDbMText::kTopLeft, AcDbMText::kBottomRight, AcDbMText::kTopLeft));
        m->setFlowDirection(static_cast<int>(own.integer(72, 1)));
        m->setNormal(own.vec(210, {0, 0, 1}));
        if (own.has(11))
            m->setDirection(own.vec(11, {1, 0, 0}));
        else if (own.has(50))
            m->setRotation(own.num(50) * kDegree);
        m->setLineSpacingFactor(own.num(44, 1));
        std::string text;
        for (std::size_t i = own.b; i < own.e; ++i)
            if (own.t[i].code == 3) text += own.t[i].value;
        text += own.raw(1);
        m->setContents(wide(text).c_str());
        AcDbObjectId style = ctx.db->textStyleId(own.str(7, L"Standard"));
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
        r->setNormal(b.vec(210, {0, 0, 1}));
        r->setPosition(fromPlane(r->normal(), b.point(10)));
        // A scale of 0 (2D writers put 43 0) holds no geometry that way: the insert is drawn with 1 in
        // that direction alone, and the file keeps the 0 as read.
        double scale[3] = {b.num(41, 1), b.num(42, 1), b.num(43, 1)};
        for (int k = 0; k < 3; ++k)
            if (scale[k] == 0) {
                scale[k] = 1;
                const std::string read = b.raw(41 + k);
                keptBesides.emplace_back(41 + k, valueFits(41 + k, read) ? wide(read) : std::wstring(L"0"));
            }
        if (b.num(43, 1) == 0) ++ctx.flatInserts;
        if (b.num(41, 1) == 0 || b.num(42, 1) == 0) ++ctx.collapsedInserts;
        r->setScaleFactors(AcGeScale3d(scale[0], scale[1], scale[2]));
        r->setRotation(b.num(50) * kDegree);
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
        e = readHatch(ctx, b, whole);
    } else if (type == "ACAD_TABLE") {
        e = readTable(ctx, b);
    } else {
        // Kept as read, so it must be whole: a damaged one is dropped (the caller lists it).
        if (!tagsWellFormed(rec.tags, 1, rec.bodyEnd) || !wholeAsDescribed(type, b)) return nullptr;
        AcDbDxfTags body;
        for (std::size_t i = b.b; i < b.e; ++i) body.emplace_back(b.t[i].code, wide(b.t[i].value));
        e = new AcDbRawEntity(wide(type), std::move(body));
        // Modeler geometry left in the file's ACDSDATA section is found there by the entity's handle: a
        // copy made in the session finds it by the handle read.
        if (modelerGeometryElsewhere(b)) keptBesides.emplace_back(320, wide(handleText(recordHandle(rec.tags))));
    }
    readCommon(ctx, e, rec, common);
    applyLinks(ctx, e, rec);
    setExtras(e, std::move(common), std::move(left));
    if (embedded) {
        const AcDbText* t = AcDbText::cast(e);
        const AcGePoint3d at = t->position();
        e->dxfExtraTags().emplace_back(kTextAsRead, t->textStringConst());
        e->dxfExtraTags().emplace_back(kPlaceAsRead,
                                       wide(formatDouble(at.x) + "," + formatDouble(at.y) + "," + formatDouble(at.z)));
    }
    if (isVerbatimType(type) && whole) {
        WriteContext w{ctx.db};
        keepVerbatim(e, b, canonicalBody(w, e));
    }
    keepConvertedAsRead(e, type, b, std::move(keptBesides));
    return e;
}

namespace {

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
        contentsTags(narrow(m->contentsText()), [&](int code, std::string value) { o.s8(code, value); });
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
        o.normal(planeNormal(l, l->normal()));
    } else if (auto* a = AcDbArc::cast(e)) {
        o.marker("AcDbCircle");
        if (a->thickness() != 0) o.d(39, a->thickness());
        o.p(10, planePoint(a, 10, a->normal(), a->center()));
        o.d(40, a->radius());
        o.normal(planeNormal(a, a->normal()));
        o.marker("AcDbArc");
        o.d(50, degrees(a, 50, a->startAngle()));
        o.d(51, degrees(a, 51, a->endAngle()));
    } else if (auto* c = AcDbCircle::cast(e)) {
        o.marker("AcDbCircle");
        if (c->thickness() != 0) o.d(39, c->thickness());
        o.p(10, planePoint(c, 10, c->normal(), c->center()));
        o.d(40, c->radius());
        o.normal(planeNormal(c, c->normal()));
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
        o.normal(planeNormal(p, p->normal()));
    } else if (auto* ad = AcDbAttributeDefinition::cast(e)) {
        writeText(ctx, o, ad);
        o.marker("AcDbAttributeDefinition");
        writeAttributeVersion(o, ad);
        o.s(3, ad->promptConst());
        writeAttributeFields(o, ad);
    } else if (auto* at = AcDbAttribute::cast(e)) {
        writeText(ctx, o, at);
        o.marker("AcDbAttribute");
        writeAttributeVersion(o, at);
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
        o.p(10, planePoint(r, 10, r->normal(), r->position()));
        // A scale read as 0 is written as read while the insert keeps the 1 it was drawn with.
        const AcGeScale3d s = r->scaleFactors();
        const double factors[3] = {s.sx, s.sy, s.sz};
        for (int k = 0; k < 3; ++k) {
            const std::wstring* read = factors[k] == 1 ? keptAsRead(r, 41 + k) : nullptr;
            if (read)
                o.s(41 + k, *read);
            else if (factors[k] != 1)
                o.d(41 + k, factors[k]);
        }
        if (r->rotation() != 0) o.d(50, degrees(r, 50, r->rotation()));
        if (multi) {
            o.i(70, m->columns());
            o.i(71, m->rows());
            o.d(44, m->columnSpacing());
            o.d(45, m->rowSpacing());
        }
        o.normal(planeNormal(r, r->normal()));
    }
    if (auto* tx = AcDbText::cast(e))
        o.extras(attributeExtras(tx));
    else if (!raw && !AcDbTable::cast(e) && !AcDbHatch::cast(e) && !AcDbViewport::cast(e) && !AcDbMText::cast(e))
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

std::vector<std::pair<std::uint64_t, std::uint64_t>> modelerGeometryCopies(AcDbDatabase* db) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> copies;
    for (const AcDbObjectId& id : db->objectIdsWhere([](const AcDbObject* o) { return AcDbRawEntity::cast(o); })) {
        const auto* e = AcDbEntity::cast(db->peek(id));
        const std::wstring* read = e && !e->isErased() ? keptAsRead(e, 320) : nullptr;
        if (!read) continue;
        const std::uint64_t original = parseHandle(narrow(*read));
        if (original != e->handle().value()) copies.emplace_back(e->handle().value(), original);
    }
    return copies;
}

} // namespace dxf
