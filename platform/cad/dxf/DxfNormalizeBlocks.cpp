// Blocks and entity lists: subclass markers of old records, sequences, and one block per block record.
#include "cad/dxf/DxfNormalizer.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace dxf::normalize {

namespace {

// Group codes that belong to the common entity part of a record written without subclass markers.
bool isCommonEntityCode(int code) {
    switch (code) {
        case 6:
        case 8:
        case 48:
        case 60:
        case 62:
        case 67:
        case 347:
        case 370:
        case 420:
        case 430:
        case 440:
        case 390:
        case 284:
            return true;
        default:
            return false;
    }
}

// The subclass markers of a record of this type, for one written without them, and the codes that
// belong to its second subclass (records with two).
struct Markers {
    std::vector<const char*> names;
    std::set<int> second;
};

Markers markersOf(std::string_view type, const Tags& rec) {
    Markers m;
    long long flags = 0;
    if (const TagValue* f = findValue(rec, 70)) flags = parseInt(*f);
    if (type == "LINE")
        m.names = {"AcDbLine"};
    else if (type == "POINT")
        m.names = {"AcDbPoint"};
    else if (type == "CIRCLE")
        m.names = {"AcDbCircle"};
    else if (type == "ARC") {
        m.names = {"AcDbCircle", "AcDbArc"};
        m.second = {50, 51};
    } else if (type == "TRACE" || type == "SOLID")
        m.names = {"AcDbTrace"};
    else if (type == "3DFACE")
        m.names = {"AcDbFace"};
    else if (type == "SHAPE")
        m.names = {"AcDbShape"};
    else if (type == "TEXT") {
        m.names = {"AcDbText", "AcDbText"};
        m.second = {73};
    } else if (type == "ATTDEF") {
        m.names = {"AcDbText", "AcDbAttributeDefinition"};
        m.second = {3, 2, 70, 73, 74, 280};
    } else if (type == "ATTRIB") {
        m.names = {"AcDbText", "AcDbAttribute"};
        m.second = {2, 70, 73, 74, 280};
    } else if (type == "INSERT") {
        long long cols = findValue(rec, 70) ? parseInt(*findValue(rec, 70)) : 1;
        long long rows = findValue(rec, 71) ? parseInt(*findValue(rec, 71)) : 1;
        m.names = {cols > 1 || rows > 1 ? "AcDbMInsertBlock" : "AcDbBlockReference"};
    } else if (type == "POLYLINE") {
        m.names = {(flags & 64)   ? "AcDbPolyFaceMesh"
                   : (flags & 16) ? "AcDbPolygonMesh"
                   : (flags & 8)  ? "AcDb3dPolyline"
                                  : "AcDb2dPolyline"};
    } else if (type == "VERTEX") {
        const char* kind = (flags & 128)  ? ((flags & 64) ? "AcDbPolyFaceMeshVertex" : "AcDbFaceRecord")
                           : (flags & 64) ? "AcDbPolygonMeshVertex"
                           : (flags & 32) ? "AcDb3dPolylineVertex"
                                          : "AcDb2dVertex";
        if (std::string_view(kind) == "AcDbFaceRecord")
            m.names = {"AcDbFaceRecord"};
        else
            m.names = {"AcDbVertex", kind};
    } else if (type == "VIEWPORT")
        m.names = {"AcDbViewport"};
    else if (type == "DIMENSION") {
        static const char* kinds[] = {"AcDbAlignedDimension",   "AcDbAlignedDimension", "AcDb2LineAngularDimension",
                                      "AcDbDiametricDimension", "AcDbRadialDimension",  "AcDb3PointAngularDimension",
                                      "AcDbOrdinateDimension"};
        long long k = flags & 7;
        m.names = {"AcDbDimension", k <= 6 ? kinds[k] : "AcDbAlignedDimension"};
        m.second = {13, 23, 33, 14, 24, 34, 15, 25, 35, 16, 26, 36, 40, 50, 52};
        if (k == 0) m.names.push_back("AcDbRotatedDimension");
    } else if (type == "BLOCK")
        m.names = {"AcDbBlockBegin"};
    else if (type == "ENDBLK")
        m.names = {"AcDbBlockEnd"};
    // Types of later releases that minimal writers put out without markers all the same.
    else if (type == "LWPOLYLINE")
        m.names = {"AcDbPolyline"};
    else if (type == "ELLIPSE")
        m.names = {"AcDbEllipse"};
    else if (type == "SPLINE")
        m.names = {"AcDbSpline"};
    else if (type == "MTEXT")
        m.names = {"AcDbMText"};
    else if (type == "HATCH")
        m.names = {"AcDbHatch"};
    else if (type == "RAY")
        m.names = {"AcDbRay"};
    else if (type == "XLINE")
        m.names = {"AcDbXline"};
    else if (type == "LEADER")
        m.names = {"AcDbLeader"};
    return m;
}

// Types whose common groups may stand outside the common part: one found after the body's subclass
// marker, or before the first marker, is the entity's (older writers put layer, colour and linetype after
// the body's marker). Their bodies hold no group of those codes of their own, but a paragraph text, whose
// 48 is a column's width.
bool commonGroupsMayStray(std::string_view type) {
    static constexpr std::string_view types[] = {
        "LINE",       "POINT",   "CIRCLE",    "ARC",      "TRACE",  "SOLID",  "3DFACE",    "SHAPE", "TEXT",
        "ATTDEF",     "ATTRIB",  "INSERT",    "POLYLINE", "VERTEX", "SEQEND", "DIMENSION", "BLOCK", "ENDBLK",
        "LWPOLYLINE", "ELLIPSE", "SPLINE",    "HATCH",    "RAY",    "XLINE",  "LEADER",    "MTEXT", "IMAGE",
        "WIPEOUT",    "MLINE",   "TOLERANCE", "3DSOLID",  "REGION", "BODY"};
    return std::find(std::begin(types), std::end(types), type) != std::end(types);
}

bool ownBodyCode(std::string_view type, int code) {
    return code == 48 && type == "MTEXT";
}

// How a record with markers stands: where its first marker and its body begin, where its body ends.
struct Parts {
    std::size_t first = 0, body = 0, end = 0;
    bool entityPart = false;
};

Parts partsOf(const Tags& rec) {
    Parts p;
    const std::size_t n = rec.size();
    std::size_t i = 1;
    while (i < n && rec[i].code != 100 && rec[i].code != 1001) ++i;
    p.first = i;
    p.entityPart = i < n && rec[i].code == 100 && rec[i].value.view() == "AcDbEntity";
    p.body = i;
    if (p.entityPart)
        for (p.body = i + 1; p.body < n && rec[p.body].code != 100 && rec[p.body].code != 1001;) ++p.body;
    // The body ends at the extended data, or at an embedded object (which holds no common group).
    p.end = p.body;
    while (p.end < n && rec[p.end].code != 1001 && rec[p.end].code != 101) ++p.end;
    return p;
}

// Each tag of rec outside the common part that belongs to it: a common group of a type whose groups may
// stray, before the first marker or in the body, outside a 102 group.
template <class F>
void forEachStrayCommonGroup(const Tags& rec, const Parts& p, F f) {
    const std::string_view type = recordType(rec);
    bool inGroup = false;
    auto visit = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            const Tag& t = rec[i];
            if (t.code == 102) {
                inGroup = !t.value.empty() && t.value[0] == '{';
                continue;
            }
            if (!inGroup && isCommonEntityCode(t.code) && !ownBodyCode(type, t.code)) f(i);
        }
    };
    visit(1, p.first);
    visit(p.body, p.end);
}

} // namespace

bool entityNeedsShape(const Tags& rec) {
    if (!hasSubclassMarkers(rec)) return true;
    const std::string_view type = recordType(rec);
    const Parts p = partsOf(rec);
    if (p.entityPart && (p.body >= rec.size() || rec[p.body].code != 100) && !markersOf(type, rec).names.empty())
        return true;
    // The type is looked at only when its record asks for it: every entity saved passes here.
    if (!p.entityPart) return commonGroupsMayStray(type);
    bool stray = false;
    forEachStrayCommonGroup(rec, p, [&](std::size_t) { stray = true; });
    return stray && commonGroupsMayStray(type);
}

void Normalizer::upgradeEntity(Tags& rec) {
    if (hasSubclassMarkers(rec)) return;
    const std::string_view type = recordType(rec);
    const Markers m = markersOf(type, rec);
    const std::vector<const char*>& markers = m.names;
    // Its handle, owner and 102 groups stay at its head.
    Tags head, common, first, rest, xdata;
    std::size_t i = 1;
    bool inGroup = false;
    for (; i < rec.size(); ++i) {
        const Tag& t = rec[i];
        if (t.code == 1001) break;
        if (t.code == 102) {
            inGroup = !t.value.empty() && t.value[0] == '{';
            head.push_back(t);
            continue;
        }
        if (inGroup) {
            head.push_back(t);
            continue;
        }
        if (t.code == 5 || t.code == 330) continue;
        if (isCommonEntityCode(t.code))
            common.push_back(t);
        else if (markers.size() > 1 && m.second.count(t.code))
            rest.push_back(t);
        else
            first.push_back(t);
    }
    for (; i < rec.size(); ++i) xdata.push_back(rec[i]);
    std::uint64_t h = recordHandle(rec);
    Tags out;
    out.reserve(rec.size() + 6);
    out.push_back(rec[0]);
    out.push_back(Tag{5, handleText(h)});
    out.insert(out.end(), head.begin(), head.end());
    out.push_back(Tag{330, "0"});
    out.push_back(Tag{100, "AcDbEntity"});
    if (std::none_of(common.begin(), common.end(), [](const Tag& t) { return t.code == 8; }))
        out.push_back(Tag{8, "0"});
    out.insert(out.end(), common.begin(), common.end());
    if (!markers.empty()) out.push_back(Tag{100, markers[0]});
    out.insert(out.end(), first.begin(), first.end());
    for (std::size_t k = 1; k < markers.size(); ++k) out.push_back(Tag{100, markers[k]});
    out.insert(out.end(), rest.begin(), rest.end());
    if (type == "BLOCK" && !findValue(out, 3)) out.push_back(Tag{3, nameOf(rec)});
    out.insert(out.end(), xdata.begin(), xdata.end());
    rec = std::move(out);
}

// Records as other programs write them, brought into the shape the reader takes: the common part after
// the head and the body after its own marker. Gives how many common groups it dropped because the
// record held them twice (the common part's own is kept).
std::size_t Normalizer::shapeEntity(Tags& rec) {
    if (!entityNeedsShape(rec)) return 0;
    if (!hasSubclassMarkers(rec)) {
        upgradeEntity(rec);
        return 0;
    }
    const Parts p = partsOf(rec);
    if (p.entityPart && (p.body >= rec.size() || rec[p.body].code != 100) &&
        !markersOf(recordType(rec), rec).names.empty()) {
        // Only the common part's marker: its body's were left out. Read as a record without markers.
        rec.erase(rec.begin() + static_cast<std::ptrdiff_t>(p.first));
        upgradeEntity(rec);
        return 0;
    }
    std::vector<bool> moved(rec.size(), false);
    std::set<int> held; // codes the common part holds
    if (p.entityPart)
        for (std::size_t i = p.first + 1; i < p.body; ++i) held.insert(rec[i].code);
    Tags taken;
    std::size_t twice = 0;
    forEachStrayCommonGroup(rec, p, [&](std::size_t i) {
        moved[i] = true;
        if (held.insert(rec[i].code).second)
            taken.push_back(rec[i]);
        else
            ++twice;
    });
    Tags out;
    out.reserve(rec.size() + 2);
    for (std::size_t i = 0; i < p.first; ++i)
        if (!moved[i]) out.push_back(rec[i]);
    out.push_back(Tag{100, "AcDbEntity"});
    if (p.entityPart)
        for (std::size_t i = p.first + 1; i < p.body; ++i) out.push_back(rec[i]);
    out.insert(out.end(), taken.begin(), taken.end());
    for (std::size_t i = p.body; i < rec.size(); ++i)
        if (!moved[i]) out.push_back(rec[i]);
    rec = std::move(out);
    return twice;
}

void Normalizer::entityParts() {
    std::size_t twice = 0;
    for (Block& b : doc.blocks) {
        if (!b.begin.empty()) twice += shapeEntity(b.begin);
        for (Tags& e : b.entities) twice += shapeEntity(e);
        if (!b.end.empty()) twice += shapeEntity(b.end);
    }
    for (Tags& e : doc.entities) twice += shapeEntity(e);
    if (twice)
        problem(std::to_string(twice) +
                " layers, colours or other common values that entities held twice dropped; the one of their "
                "common part was kept");
}

namespace {

Tags makeSeqend(std::uint64_t h, std::uint64_t owner, const std::string& layer) {
    return Tags{{0, "SEQEND"}, {5, handleText(h)}, {330, handleText(owner)}, {100, "AcDbEntity"}, {8, layer}};
}

} // namespace

void Normalizer::entitySequence(std::vector<Tags>& list, std::uint64_t owner, bool splitPaper) {
    std::vector<Tags> out;
    out.reserve(list.size());
    std::uint64_t parent = 0;
    std::string parentType, parentLayer;
    std::size_t orphans = 0, unclosed = 0, misplaced = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        Tags& rec = list[i];
        const std::string type(recordType(rec));
        if (isNoEntity(type)) {
            ++misplaced;
            continue;
        }
        bool sub = type == "ATTRIB" || type == "VERTEX" || type == "SEQEND";
        if (sub) {
            if (parent == 0 || (type == "ATTRIB" && parentType != "INSERT") ||
                (type == "VERTEX" && parentType != "POLYLINE")) {
                ++orphans;
                continue;
            }
            upgradeEntity(rec);
            setRecordOwner(rec, parent);
            if (type == "SEQEND") parent = 0;
            out.push_back(std::move(rec));
            continue;
        }
        if (parent) {
            out.push_back(makeSeqend(fresh(), parent, parentLayer));
            ++unclosed;
            parent = 0;
        }
        upgradeEntity(rec);
        std::uint64_t o = owner;
        if (splitPaper) {
            const TagValue* ps = commonValue(rec, 67);
            o = ps && parseInt(*ps) == 1 ? paperBr : modelBr;
        }
        setRecordOwner(rec, o);
        std::string_view nextType = i + 1 < list.size() ? recordType(list[i + 1]) : std::string_view();
        if (type == "POLYLINE" || (type == "INSERT" && (nextType == "ATTRIB" || nextType == "SEQEND"))) {
            parent = recordHandle(rec);
            parentType = type;
            parentLayer = commonValue(rec, 8) ? *commonValue(rec, 8) : "0";
            if (type == "INSERT") setValue(rec, 66, "1");
        } else if (type == "INSERT" && findValue(rec, 66) && parseInt(*findValue(rec, 66)) != 0) {
            setValue(rec, 66, "0");
        }
        out.push_back(std::move(rec));
    }
    if (parent) {
        out.push_back(makeSeqend(fresh(), parent, parentLayer));
        ++unclosed;
    }
    if (orphans)
        problem(std::to_string(orphans) +
                " attributes, vertices or sequence ends without their insert or polyline dropped");
    if (unclosed) problem(std::to_string(unclosed) + " inserts or polylines without a sequence end closed");
    if (misplaced) problem(std::to_string(misplaced) + " records that are no entities dropped from an entity list");
    list = std::move(out);
}

void Normalizer::blocks() {
    Table& brTable = *doc.table("BLOCK_RECORD");
    std::uint64_t brTableHandle = recordHandle(brTable.head);
    auto canonical = [](std::string name) {
        std::string u = upper(name);
        if (u == "$MODEL_SPACE" || u == "*MODEL_SPACE") return std::string("*Model_Space");
        if (u.rfind("$PAPER_SPACE", 0) == 0 || u.rfind("*PAPER_SPACE", 0) == 0) return "*Paper_Space" + name.substr(12);
        return name;
    };
    // Names first: the record table and the block section must agree.
    for (Tags& r : brTable.records) setValue(r, 2, canonical(nameOf(r)));
    recordIndex.erase(&brTable);
    std::vector<std::string> names; // upper-case, of the blocks kept
    std::vector<bool> repeated;
    {
        std::vector<std::string> keys;
        keys.reserve(doc.blocks.size());
        for (const Block& b : doc.blocks) keys.push_back(upper(canonical(nameOf(b.begin))));
        repeated = repeatedKeys(keys);
        names.reserve(keys.size() + 2);
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (!keys[i].empty() && !repeated[i]) names.push_back(std::move(keys[i]));
    }
    NameSet seen(std::move(names));
    std::size_t kept = 0; // the blocks kept move up in place: a drawing may have a block per room
    for (std::size_t i = 0; i < doc.blocks.size(); ++i) {
        Block& b = doc.blocks[i];
        std::string n = canonical(nameOf(b.begin));
        if (n.empty()) {
            problem("unnamed block with " + std::to_string(b.entities.size()) + " entities dropped");
            continue;
        }
        if (repeated[i]) {
            problem("block \"" + n + "\" defined twice; the second definition was dropped");
            continue;
        }
        setValue(b.begin, 2, n);
        if (findValue(b.begin, 3)) setValue(b.begin, 3, n);
        if (kept != i) doc.blocks[kept] = std::move(b);
        ++kept;
    }
    doc.blocks.erase(doc.blocks.begin() + static_cast<std::ptrdiff_t>(kept), doc.blocks.end());
    for (const char* required : {"*Model_Space", "*Paper_Space"}) {
        if (!seen.count(upper(required))) {
            Block b;
            b.begin = Tags{{0, "BLOCK"},  {5, handleText(fresh())},
                           {8, "0"},      {2, required},
                           {70, "0"},     {10, "0.0"},
                           {20, "0.0"},   {30, "0.0"},
                           {3, required}, {1, ""}};
            if (std::string_view(required) == "*Paper_Space") b.begin.push_back(Tag{67, "1"});
            doc.blocks.push_back(std::move(b));
            seen.insert(upper(required));
        }
    }
    // An insert of a block nobody defined gets an empty definition, so that it keeps its place.
    {
        std::set<std::string> missing;
        auto scanInserts = [&](const std::vector<Tags>& list) {
            for (const Tags& e : list)
                if (recordType(e) == "INSERT")
                    if (const TagValue* n = findValue(e, 2); n && !n->empty() && !seen.count(upper(*n)))
                        missing.insert(n->str());
        };
        scanInserts(doc.entities);
        for (const Block& b : doc.blocks) scanInserts(b.entities);
        for (const std::string& n : missing) {
            if (seen.count(upper(n))) continue;
            Block b;
            b.begin = Tags{{0, "BLOCK"}, {5, handleText(fresh())},
                           {8, "0"},     {2, n},
                           {70, "0"},    {10, "0.0"},
                           {20, "0.0"},  {30, "0.0"},
                           {3, n},       {1, ""}};
            doc.blocks.push_back(std::move(b));
            seen.insert(upper(n));
            problem("block \"" + n + "\" is inserted but not defined; an empty definition was added");
        }
    }
    // One record per block, one block per record.
    for (Block& b : doc.blocks) {
        std::string n = nameOf(b.begin);
        Tags* br = findRecord(brTable, n);
        if (!br) {
            brTable.records.push_back(Tags{{0, "BLOCK_RECORD"},
                                           {5, handleText(fresh())},
                                           {330, handleText(brTableHandle)},
                                           {100, "AcDbSymbolTableRecord"},
                                           {100, "AcDbBlockTableRecord"},
                                           {2, n},
                                           {70, "0"},
                                           {280, "1"},
                                           {281, "0"}});
            indexRecord(brTable, brTable.records.size() - 1);
            br = &brTable.records.back();
        }
        std::uint64_t brh = recordHandle(*br);
        if (equalsNoCase(n, "*Model_Space"))
            modelBr = brh;
        else if (equalsNoCase(n, "*Paper_Space"))
            paperBr = brh;
        upgradeEntity(b.begin);
        setRecordOwner(b.begin, brh);
        if (b.end.empty()) {
            std::string layer = findValue(b.begin, 8) ? findValue(b.begin, 8)->str() : "0";
            b.end = Tags{{0, "ENDBLK"}, {5, handleText(fresh())}, {330, handleText(brh)}, {100, "AcDbEntity"},
                         {8, layer},    {100, "AcDbBlockEnd"}};
        }
        upgradeEntity(b.end);
        setRecordOwner(b.end, brh);
        entitySequence(b.entities, brh, false);
    }
    std::vector<Tags> records;
    for (Tags& r : brTable.records) {
        std::string n = nameOf(r);
        if (!seen.count(upper(n))) {
            Block b;
            b.begin = Tags{{0, "BLOCK"},
                           {5, handleText(fresh())},
                           {330, handleText(recordHandle(r))},
                           {100, "AcDbEntity"},
                           {8, "0"},
                           {100, "AcDbBlockBegin"},
                           {2, n},
                           {70, "0"},
                           {10, "0.0"},
                           {20, "0.0"},
                           {30, "0.0"},
                           {3, n},
                           {1, ""}};
            b.end =
                Tags{{0, "ENDBLK"}, {5, handleText(fresh())}, {330, handleText(recordHandle(r))}, {100, "AcDbEntity"},
                     {8, "0"},      {100, "AcDbBlockEnd"}};
            doc.blocks.push_back(std::move(b));
            seen.insert(upper(n));
        }
        records.push_back(std::move(r));
    }
    brTable.records = std::move(records);
    recordIndex.erase(&brTable);
    entitySequence(doc.entities, modelBr, true);
}

} // namespace dxf::normalize
