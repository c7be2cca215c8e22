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

} // namespace

void Normalizer::upgradeEntity(Tags& rec) {
    if (hasSubclassMarkers(rec)) return;
    const std::string type(recordType(rec));
    std::vector<const char*> markers;
    // Codes after which a second subclass starts, for records with two.
    std::set<int> second;
    long long flags = 0;
    if (const TagValue* f = findValue(rec, 70)) flags = parseInt(*f);
    if (type == "LINE")
        markers = {"AcDbLine"};
    else if (type == "POINT")
        markers = {"AcDbPoint"};
    else if (type == "CIRCLE")
        markers = {"AcDbCircle"};
    else if (type == "ARC") {
        markers = {"AcDbCircle", "AcDbArc"};
        second = {50, 51};
    } else if (type == "TRACE" || type == "SOLID")
        markers = {"AcDbTrace"};
    else if (type == "3DFACE")
        markers = {"AcDbFace"};
    else if (type == "SHAPE")
        markers = {"AcDbShape"};
    else if (type == "TEXT") {
        markers = {"AcDbText", "AcDbText"};
        second = {73};
    } else if (type == "ATTDEF") {
        markers = {"AcDbText", "AcDbAttributeDefinition"};
        second = {3, 2, 70, 73, 74, 280};
    } else if (type == "ATTRIB") {
        markers = {"AcDbText", "AcDbAttribute"};
        second = {2, 70, 73, 74, 280};
    } else if (type == "INSERT") {
        long long cols = findValue(rec, 70) ? parseInt(*findValue(rec, 70)) : 1;
        long long rows = findValue(rec, 71) ? parseInt(*findValue(rec, 71)) : 1;
        markers = {cols > 1 || rows > 1 ? "AcDbMInsertBlock" : "AcDbBlockReference"};
    } else if (type == "POLYLINE") {
        markers = {(flags & 64)   ? "AcDbPolyFaceMesh"
                   : (flags & 16) ? "AcDbPolygonMesh"
                   : (flags & 8)  ? "AcDb3dPolyline"
                                  : "AcDb2dPolyline"};
    } else if (type == "VERTEX") {
        const char* kind = (flags & 128)  ? ((flags & 64) ? "AcDbPolyFaceMeshVertex" : "AcDbFaceRecord")
                           : (flags & 64) ? "AcDbPolygonMeshVertex"
                           : (flags & 32) ? "AcDb3dPolylineVertex"
                                          : "AcDb2dVertex";
        if (std::string_view(kind) == "AcDbFaceRecord")
            markers = {"AcDbFaceRecord"};
        else
            markers = {"AcDbVertex", kind};
        second = {};
    } else if (type == "VIEWPORT")
        markers = {"AcDbViewport"};
    else if (type == "DIMENSION") {
        static const char* kinds[] = {"AcDbAlignedDimension",   "AcDbAlignedDimension", "AcDb2LineAngularDimension",
                                      "AcDbDiametricDimension", "AcDbRadialDimension",  "AcDb3PointAngularDimension",
                                      "AcDbOrdinateDimension"};
        long long k = flags & 7;
        markers = {"AcDbDimension", k <= 6 ? kinds[k] : "AcDbAlignedDimension"};
        second = {13, 23, 33, 14, 24, 34, 15, 25, 35, 16, 26, 36, 40, 50, 52};
        if (k == 0) markers.push_back("AcDbRotatedDimension");
    } else if (type == "BLOCK")
        markers = {"AcDbBlockBegin"};
    else if (type == "ENDBLK")
        markers = {"AcDbBlockEnd"};
    else if (type == "SEQEND")
        markers = {};

    Tags common, first, rest, xdata;
    std::size_t i = 1;
    for (; i < rec.size(); ++i) {
        const Tag& t = rec[i];
        if (t.code == 1001) break;
        if (t.code == 5 || t.code == 330) continue;
        if (isCommonEntityCode(t.code))
            common.push_back(t);
        else if (markers.size() > 1 && second.count(t.code))
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
    out.push_back(Tag{330, "0"});
    out.push_back(Tag{100, "AcDbEntity"});
    if (std::none_of(common.begin(), common.end(), [](const Tag& t) { return t.code == 8; }))
        out.push_back(Tag{8, "0"});
    out.insert(out.end(), common.begin(), common.end());
    if (!markers.empty()) out.push_back(Tag{100, markers[0]});
    out.insert(out.end(), first.begin(), first.end());
    for (std::size_t m = 1; m < markers.size(); ++m) out.push_back(Tag{100, markers[m]});
    out.insert(out.end(), rest.begin(), rest.end());
    if (type == "BLOCK" && !findValue(out, 3)) out.push_back(Tag{3, nameOf(rec)});
    out.insert(out.end(), xdata.begin(), xdata.end());
    rec = std::move(out);
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
