// Bringing a document of any release into the shape of an R2010 file.
#include "cad/dxf/DxfDocument.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace dxf {

namespace {

struct TableKind {
    const char* name;
    const char* subclass;
};
constexpr TableKind tableKinds[] = {{"VPORT", "AcDbViewportTableRecord"},    {"LTYPE", "AcDbLinetypeTableRecord"},
                                    {"LAYER", "AcDbLayerTableRecord"},       {"STYLE", "AcDbTextStyleTableRecord"},
                                    {"VIEW", "AcDbViewTableRecord"},         {"UCS", "AcDbUCSTableRecord"},
                                    {"APPID", "AcDbRegAppTableRecord"},      {"DIMSTYLE", "AcDbDimStyleTableRecord"},
                                    {"BLOCK_RECORD", "AcDbBlockTableRecord"}};

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

// Records that are no entities (structure, table records, objects) and no objects (structure, table
// records, entities): a damaged file can put them anywhere, and written there no reader takes them.
bool isStructureOrTableRecord(std::string_view type) {
    static constexpr std::string_view names[] = {"SECTION", "ENDSEC", "EOF",   "TABLE",    "ENDTAB",      "BLOCK",
                                                 "ENDBLK",  "CLASS",  "VPORT", "LTYPE",    "LAYER",       "STYLE",
                                                 "VIEW",    "UCS",    "APPID", "DIMSTYLE", "BLOCK_RECORD"};
    return std::find(std::begin(names), std::end(names), type) != std::end(names);
}

bool isNoEntity(std::string_view type) {
    static constexpr std::string_view objects[] = {"DICTIONARY",
                                                   "ACDBDICTIONARYWDFLT",
                                                   "ACDBPLACEHOLDER",
                                                   "XRECORD",
                                                   "LAYOUT",
                                                   "PLOTSETTINGS",
                                                   "TABLESTYLE",
                                                   "SORTENTSTABLE",
                                                   "MLINESTYLE",
                                                   "DICTIONARYVAR",
                                                   "MATERIAL",
                                                   "VISUALSTYLE",
                                                   "SCALE",
                                                   "MLEADERSTYLE",
                                                   "GROUP",
                                                   "IMAGEDEF",
                                                   "IDBUFFER",
                                                   "RASTERVARIABLES",
                                                   "GEODATA",
                                                   "CELLSTYLEMAP",
                                                   "IMAGEDEF_REACTOR",
                                                   "WIPEOUTVARIABLES"};
    return isStructureOrTableRecord(type) ||
           std::find(std::begin(objects), std::end(objects), type) != std::end(objects);
}

bool isNoObject(std::string_view type) {
    static constexpr std::string_view entities[] = {
        "LINE",   "POINT",   "CIRCLE",   "ARC",        "TEXT",       "MTEXT",    "ATTRIB",    "ATTDEF",     "INSERT",
        "SEQEND", "VERTEX",  "POLYLINE", "LWPOLYLINE", "HATCH",      "VIEWPORT", "DIMENSION", "SOLID",      "TRACE",
        "3DFACE", "ELLIPSE", "SPLINE",   "LEADER",     "ACAD_TABLE", "IMAGE",    "WIPEOUT",   "MULTILEADER"};
    return isStructureOrTableRecord(type) ||
           std::find(std::begin(entities), std::end(entities), type) != std::end(entities);
}

Tags makeTags(std::initializer_list<Tag> list) {
    return Tags(list);
}

std::string nameOf(const Tags& rec) {
    const TagValue* v = findValue(rec, 2);
    return v ? v->str() : std::string();
}

void setValue(Tags& rec, int code, const std::string& value) {
    for (std::size_t i = 1; i < rec.size(); ++i) {
        if (rec[i].code == 1001) break;
        if (rec[i].code == code) {
            rec[i].value = value;
            return;
        }
    }
    rec.push_back(Tag{code, value});
}

std::size_t markerIndex(const Tags& rec, std::string_view marker) {
    for (std::size_t i = 0; i < rec.size(); ++i)
        if (rec[i].code == 100 && rec[i].value == marker) return i;
    return rec.size();
}

class Normalizer {
public:
    explicit Normalizer(Document& d, HeldRecords* h = nullptr) : doc(d), held(h) {}
    void run();

private:
    void problem(std::string s) { doc.problems.push_back(std::move(s)); }
    std::uint64_t fresh() {
        while (isUsed(next)) ++next;
        made.insert(next);
        return next++;
    }
    template <class F>
    void forEachRecord(F f);
    void assignHandles();
    bool assignHeldApart();
    void withHeld(std::vector<std::pair<Tags*, std::uint64_t>>& records, std::vector<std::size_t>& heldRecords);
    void tables();
    Tags upgradeTableRecord(const Tags& rec, const char* subclass, std::uint64_t owner);
    void blocks();
    void entitySequence(std::vector<Tags>& list, std::uint64_t owner, bool splitPaper);
    void upgradeEntity(Tags& rec);
    void objects();
    void layouts();
    void referencedNames();
    void objectOwners();
    void classes();
    void headerVars();
    void layerNames();

    Tags* findRecord(Table& t, std::string_view name);
    void indexRecord(Table& t, std::size_t at);
    Tags& ensureRecord(const char* table, const std::string& name, const Tags& body);
    std::uint64_t ensureRootEntry(const char* name, const char* type, Tags body);
    Tags* objectByHandle(std::uint64_t h);
    template <class Keep>
    void keepObjects(Keep keep);

    Document& doc;
    HeldRecords* held;
    // Handles in use: the file's (sorted; a drawing has hundreds of thousands) and the ones made here.
    std::vector<std::uint64_t> fileHandles;
    std::unordered_set<std::uint64_t> made;
    bool isUsed(std::uint64_t h) const {
        return std::binary_search(fileHandles.begin(), fileHandles.end(), h) || made.count(h) != 0;
    }
    std::uint64_t next = 1;
    std::uint64_t modelBr = 0, paperBr = 0;
    std::unordered_map<std::uint64_t, std::size_t> objectIndex;
    // Records of each table by upper-case name (the first of a name), made when first asked.
    std::unordered_map<const Table*, std::unordered_map<std::string, std::size_t>> recordIndex;
};

template <class F>
void Normalizer::forEachRecord(F f) {
    for (Table& t : doc.tables) {
        f(t.head);
        for (Tags& r : t.records) f(r);
    }
    for (Block& b : doc.blocks) {
        f(b.begin);
        for (Tags& e : b.entities) f(e);
        if (!b.end.empty()) f(b.end);
    }
    for (Tags& e : doc.entities) f(e);
    for (Tags& o : doc.objects) f(o);
}

void Normalizer::assignHandles() {
    if (held && assignHeldApart()) return;
    // One pass over the records (they are many and cold in the cache), then work on the handles.
    std::vector<std::pair<Tags*, std::uint64_t>> records;
    std::vector<std::size_t> heldRecords; // where the held records are among them (no tags)
    if (held)
        withHeld(records, heldRecords);
    else
        forEachRecord([&](Tags& r) { records.emplace_back(&r, recordHandle(r)); });
    std::uint64_t max = 0;
    if (const Tags* seed = doc.headerVar("$HANDSEED"); seed && !seed->empty()) max = parseHandle((*seed)[0].value);
    for (const auto& [r, h] : records) max = std::max(max, h);
    next = max + 1;
    if (next == 0) next = 1;
    // The first record of a handle keeps it; later ones are duplicates.
    std::vector<std::pair<std::uint64_t, std::size_t>> byHandle;
    byHandle.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i].second != 0) byHandle.emplace_back(records[i].second, i);
    std::sort(byHandle.begin(), byHandle.end());
    std::vector<bool> duplicate(records.size(), false);
    fileHandles.reserve(byHandle.size());
    for (std::size_t k = 0; k < byHandle.size(); ++k) {
        if (k > 0 && byHandle[k].first == byHandle[k - 1].first)
            duplicate[byHandle[k].second] = true;
        else
            fileHandles.push_back(byHandle[k].first);
    }
    std::vector<std::pair<std::uint64_t, std::size_t>>().swap(byHandle);
    std::size_t empty = 0, duplicates = 0;
    std::vector<std::size_t> pending;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto& [r, h] = records[i];
        if (h != 0 && !duplicate[i]) continue;
        if (h != 0) {
            if (++duplicates <= 5)
                problem("duplicate handle " + handleText(h) + " on " +
                        std::string(r ? recordType(*r) : std::string_view("an entity")) + " replaced by a new handle");
        } else if (!r || findValue(*r, recordType(*r) == "DIMSTYLE" ? 105 : 5)) {
            ++empty;
        }
        pending.push_back(i);
    }
    for (std::size_t i : pending) {
        if (Tags* r = records[i].first) {
            setRecordHandle(*r, fresh());
        } else {
            auto at = std::lower_bound(heldRecords.begin(), heldRecords.end(), i);
            held->given.emplace_back(static_cast<std::size_t>(at - heldRecords.begin()), fresh());
        }
    }
    if (duplicates > 5) problem(std::to_string(duplicates) + " duplicate handles replaced in all");
    if (empty) problem(std::to_string(empty) + " records with an empty or invalid handle given new handles");
}

// The records in the order forEachRecord gives them, each block's held records after its own entities and
// the rest after the ENTITIES section's.
// Held records are many (a drawing's entities): when none shares a handle with another record, only
// those without a handle take new ones, in their places among the document's, and nothing is kept of
// them but their handles among those in use. False (nothing done) when one does share.
bool Normalizer::assignHeldApart() {
    std::vector<std::uint64_t> heldHandles;
    heldHandles.reserve(held->handles.size());
    for (std::uint64_t h : held->handles)
        if (h != 0) heldHandles.push_back(h);
    std::sort(heldHandles.begin(), heldHandles.end());
    if (std::adjacent_find(heldHandles.begin(), heldHandles.end()) != heldHandles.end()) return false;
    std::vector<std::pair<Tags*, std::uint64_t>> records;
    forEachRecord([&](Tags& r) { records.emplace_back(&r, recordHandle(r)); });
    for (const auto& [r, h] : records)
        if (h != 0 && std::binary_search(heldHandles.begin(), heldHandles.end(), h)) return false;
    held->given.clear();
    std::uint64_t max = heldHandles.empty() ? 0 : heldHandles.back();
    if (const Tags* seed = doc.headerVar("$HANDSEED"); seed && !seed->empty())
        max = std::max(max, parseHandle((*seed)[0].value));
    for (const auto& [r, h] : records) max = std::max(max, h);
    next = max + 1;
    if (next == 0) next = 1;
    std::vector<std::pair<std::uint64_t, std::size_t>> byHandle;
    byHandle.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i].second != 0) byHandle.emplace_back(records[i].second, i);
    std::sort(byHandle.begin(), byHandle.end());
    std::vector<bool> pending(records.size(), false);
    std::vector<std::uint64_t> own;
    own.reserve(byHandle.size());
    std::size_t duplicates = 0, empty = 0;
    for (std::size_t k = 0; k < byHandle.size(); ++k) {
        if (k > 0 && byHandle[k].first == byHandle[k - 1].first) {
            pending[byHandle[k].second] = true;
            ++duplicates;
        } else {
            own.push_back(byHandle[k].first);
        }
    }
    std::vector<std::pair<std::uint64_t, std::size_t>>().swap(byHandle);
    heldHandles.insert(heldHandles.end(), own.begin(), own.end());
    std::vector<std::uint64_t>().swap(own);
    std::sort(heldHandles.begin(), heldHandles.end());
    fileHandles = std::move(heldHandles);
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i].second == 0) {
            pending[i] = true;
            if (findValue(*records[i].first, recordType(*records[i].first) == "DIMSTYLE" ? 105 : 5)) ++empty;
        }
    // New handles in the file's order: the held records after their block's own entities, the rest
    // after the ENTITIES section's.
    std::size_t at = 0;
    auto own1 = [&](Tags& r) {
        if (pending[at]) setRecordHandle(r, fresh());
        ++at;
    };
    auto heldRange = [&](std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to && k < held->handles.size(); ++k)
            if (held->handles[k] == 0) {
                held->given.emplace_back(k, fresh());
                ++empty;
            }
    };
    auto heldFrom = [&](std::size_t block) {
        return block < held->blockFrom.size() ? held->blockFrom[block] : held->handles.size();
    };
    for (Table& t : doc.tables) {
        own1(t.head);
        for (Tags& r : t.records) own1(r);
    }
    for (std::size_t i = 0; i < doc.blocks.size(); ++i) {
        Block& b = doc.blocks[i];
        own1(b.begin);
        for (Tags& e : b.entities) own1(e);
        heldRange(heldFrom(i), heldFrom(i + 1));
        if (!b.end.empty()) own1(b.end);
    }
    for (Tags& e : doc.entities) own1(e);
    heldRange(heldFrom(doc.blocks.size()), held->handles.size());
    for (Tags& o : doc.objects) own1(o);
    if (duplicates) problem(std::to_string(duplicates) + " duplicate handles replaced in all");
    if (empty) problem(std::to_string(empty) + " records with an empty or invalid handle given new handles");
    return true;
}

void Normalizer::withHeld(std::vector<std::pair<Tags*, std::uint64_t>>& records,
                          std::vector<std::size_t>& heldRecords) {
    held->given.clear();
    auto take = [&](Tags& r) { records.emplace_back(&r, recordHandle(r)); };
    auto takeHeld = [&](std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to && k < held->handles.size(); ++k) {
            heldRecords.push_back(records.size());
            records.emplace_back(nullptr, held->handles[k]);
        }
    };
    auto heldFrom = [&](std::size_t block) {
        return block < held->blockFrom.size() ? held->blockFrom[block] : held->handles.size();
    };
    for (Table& t : doc.tables) {
        take(t.head);
        for (Tags& r : t.records) take(r);
    }
    for (std::size_t i = 0; i < doc.blocks.size(); ++i) {
        Block& b = doc.blocks[i];
        take(b.begin);
        for (Tags& e : b.entities) take(e);
        takeHeld(heldFrom(i), heldFrom(i + 1));
        if (!b.end.empty()) take(b.end);
    }
    for (Tags& e : doc.entities) take(e);
    takeHeld(heldFrom(doc.blocks.size()), held->handles.size());
    for (Tags& o : doc.objects) take(o);
}

Tags Normalizer::upgradeTableRecord(const Tags& rec, const char* subclass, std::uint64_t owner) {
    std::string_view type = recordType(rec);
    Tags out;
    out.reserve(rec.size() + 6);
    out.push_back(rec[0]);
    out.push_back(Tag{type == "DIMSTYLE" ? 105 : 5, handleText(recordHandle(rec))});
    out.push_back(Tag{330, handleText(owner)});
    out.push_back(Tag{100, "AcDbSymbolTableRecord"});
    out.push_back(Tag{100, subclass});
    for (std::size_t i = 1; i < rec.size(); ++i) {
        const Tag& t = rec[i];
        if (t.code == 105 || t.code == 330) continue;
        if (t.code == 5 && type != "DIMSTYLE") continue;
        // Block names of an old dimension style are names here, handles in the new files.
        if (type == "DIMSTYLE" && (t.code == 5 || t.code == 6 || t.code == 7)) continue;
        out.push_back(t);
        if (type == "LTYPE" && t.code == 49) out.push_back(Tag{74, "0"});
    }
    return out;
}

Tags* Normalizer::findRecord(Table& t, std::string_view name) {
    auto [it, made] = recordIndex.try_emplace(&t);
    if (made) {
        it->second.reserve(t.records.size() * 2);
        for (std::size_t i = 0; i < t.records.size(); ++i) indexRecord(t, i);
    }
    auto r = it->second.find(upper(name));
    return r == it->second.end() ? nullptr : &t.records[r->second];
}

void Normalizer::indexRecord(Table& t, std::size_t at) {
    auto it = recordIndex.find(&t);
    if (it != recordIndex.end()) it->second.emplace(upper(nameOf(t.records[at])), at);
}

Tags& Normalizer::ensureRecord(const char* table, const std::string& name, const Tags& body) {
    Table* t = doc.table(table);
    if (Tags* r = findRecord(*t, name)) return *r;
    const char* subclass = "";
    for (const TableKind& k : tableKinds)
        if (std::string_view(k.name) == table) subclass = k.subclass;
    Tags rec;
    rec.push_back(Tag{0, table});
    rec.push_back(Tag{std::string_view(table) == "DIMSTYLE" ? 105 : 5, handleText(fresh())});
    rec.push_back(Tag{330, handleText(recordHandle(t->head))});
    rec.push_back(Tag{100, "AcDbSymbolTableRecord"});
    rec.push_back(Tag{100, subclass});
    rec.push_back(Tag{2, name});
    rec.insert(rec.end(), body.begin(), body.end());
    t->records.push_back(std::move(rec));
    indexRecord(*t, t->records.size() - 1);
    return t->records.back();
}

void Normalizer::tables() {
    std::vector<Table> ordered;
    for (const TableKind& k : tableKinds) {
        Table* t = doc.table(k.name);
        Table table = t ? std::move(*t) : Table{k.name, {}, {}};
        std::uint64_t h = table.head.empty() ? fresh() : recordHandle(table.head);
        Tags head{{0, "TABLE"}, {2, k.name}, {5, handleText(h)}};
        // Keep an extension dictionary of the table.
        bool inGroup = false;
        for (std::size_t i = 1; i < table.head.size(); ++i) {
            const Tag& tg = table.head[i];
            if (tg.code == 102) inGroup = !tg.value.empty() && tg.value[0] == '{';
            if (inGroup || tg.code == 102) head.push_back(tg);
        }
        head.push_back(Tag{330, "0"});
        head.push_back(Tag{100, "AcDbSymbolTable"});
        head.push_back(Tag{70, "0"});
        if (std::string_view(k.name) == "DIMSTYLE") {
            head.push_back(Tag{100, "AcDbDimStyleTable"});
            head.push_back(Tag{71, "0"});
        }
        table.head = std::move(head);
        std::vector<Tags> records;
        records.reserve(table.records.size());
        std::unordered_set<std::string> names;
        names.reserve(table.records.size());
        for (Tags& r : table.records) {
            if (recordType(r) != k.name) {
                problem("record " + std::string(recordType(r)) + " in table " + k.name + " dropped");
                continue;
            }
            std::string n = upper(nameOf(r));
            // Shape files are text styles without a name.
            if (n.empty() && std::string_view(k.name) != "STYLE") {
                problem("unnamed " + std::string(k.name) + " record dropped");
                continue;
            }
            if (!n.empty() && !names.insert(n).second) {
                problem(std::string(k.name) + " \"" + nameOf(r) + "\" appears twice; the second was dropped");
                continue;
            }
            if (!hasSubclassMarkers(r))
                records.push_back(upgradeTableRecord(r, k.subclass, h));
            else {
                setRecordOwner(r, h);
                records.push_back(std::move(r));
            }
        }
        table.records = std::move(records);
        ordered.push_back(std::move(table));
    }
    for (const Table& t : doc.tables)
        if (!t.name.empty() && std::none_of(std::begin(tableKinds), std::end(tableKinds),
                                            [&](const TableKind& k) { return t.name == k.name; }))
            problem("unknown table " + t.name + " dropped");
    doc.tables = std::move(ordered);
    recordIndex.clear();

    ensureRecord(
        "VPORT", "*Active",
        makeTags({{70, "0"},    {10, "0.0"}, {20, "0.0"}, {11, "1.0"}, {21, "1.0"}, {12, "0.0"},    {22, "0.0"},
                  {13, "0.0"},  {23, "0.0"}, {14, "0.5"}, {24, "0.5"}, {15, "0.5"}, {25, "0.5"},    {16, "0.0"},
                  {26, "0.0"},  {36, "1.0"}, {17, "0.0"}, {27, "0.0"}, {37, "0.0"}, {40, "1000.0"}, {41, "1.34"},
                  {42, "50.0"}, {43, "0.0"}, {44, "0.0"}, {50, "0.0"}, {51, "0.0"}, {71, "0"},      {72, "1000"},
                  {73, "1"},    {74, "3"},   {75, "0"},   {76, "0"},   {77, "0"},   {78, "0"}}));
    for (const char* lt : {"ByBlock", "ByLayer"})
        ensureRecord("LTYPE", lt, makeTags({{70, "0"}, {3, ""}, {72, "65"}, {73, "0"}, {40, "0.0"}}));
    ensureRecord("LTYPE", "Continuous", makeTags({{70, "0"}, {3, "Solid line"}, {72, "65"}, {73, "0"}, {40, "0.0"}}));
    ensureRecord("LAYER", "0", makeTags({{70, "0"}, {62, "7"}, {6, "Continuous"}, {370, "-3"}}));
    ensureRecord(
        "STYLE", "Standard",
        makeTags({{70, "0"}, {40, "0.0"}, {41, "1.0"}, {50, "0.0"}, {71, "0"}, {42, "2.5"}, {3, "txt"}, {4, ""}}));
    ensureRecord("APPID", "ACAD", makeTags({{70, "0"}}));
    ensureRecord("DIMSTYLE", "Standard", makeTags({{70, "0"}}));
}

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

Tags makeSeqend(std::uint64_t h, std::uint64_t owner, const std::string& layer) {
    return Tags{{0, "SEQEND"}, {5, handleText(h)}, {330, handleText(owner)}, {100, "AcDbEntity"}, {8, layer}};
}

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
    std::vector<Block> kept;
    kept.reserve(doc.blocks.size());
    std::unordered_set<std::string> seen; // upper-case names
    seen.reserve(doc.blocks.size() + 2);
    for (Block& b : doc.blocks) {
        std::string n = canonical(nameOf(b.begin));
        if (n.empty()) {
            problem("unnamed block with " + std::to_string(b.entities.size()) + " entities dropped");
            continue;
        }
        if (!seen.insert(upper(n)).second) {
            problem("block \"" + n + "\" defined twice; the second definition was dropped");
            continue;
        }
        setValue(b.begin, 2, n);
        if (findValue(b.begin, 3)) setValue(b.begin, 3, n);
        kept.push_back(std::move(b));
    }
    doc.blocks = std::move(kept);
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

Tags* Normalizer::objectByHandle(std::uint64_t h) {
    auto it = objectIndex.find(h);
    return it == objectIndex.end() ? nullptr : &doc.objects[it->second];
}

// Drops the objects keep refuses and indexes the rest by handle.
template <class Keep>
void Normalizer::keepObjects(Keep keep) {
    std::vector<Tags> kept;
    for (Tags& o : doc.objects)
        if (keep(o)) kept.push_back(std::move(o));
    doc.objects = std::move(kept);
    objectIndex.clear();
    for (std::size_t i = 0; i < doc.objects.size(); ++i) objectIndex[recordHandle(doc.objects[i])] = i;
}

struct DictEntry {
    std::string name;
    std::uint64_t handle;
};

std::vector<DictEntry> dictEntries(const Tags& dict) {
    std::vector<DictEntry> out;
    for (std::size_t i = 1; i + 1 < dict.size(); ++i) {
        if (dict[i].code == 1001) break;
        if (dict[i].code == 3 && (dict[i + 1].code == 350 || dict[i + 1].code == 360))
            out.push_back(DictEntry{dict[i].value.str(), parseHandle(dict[i + 1].value)});
    }
    return out;
}

void addDictEntry(Tags& dict, const std::string& name, std::uint64_t h) {
    std::size_t at = dict.size();
    for (std::size_t i = 1; i < dict.size(); ++i)
        if (dict[i].code == 1001) {
            at = i;
            break;
        }
    dict.insert(dict.begin() + static_cast<std::ptrdiff_t>(at), {Tag{3, name}, Tag{350, handleText(h)}});
}

void removeDictEntry(Tags& dict, std::uint64_t h) {
    for (std::size_t i = 1; i + 1 < dict.size(); ++i)
        if (dict[i].code == 3 && (dict[i + 1].code == 350 || dict[i + 1].code == 360) &&
            parseHandle(dict[i + 1].value) == h) {
            dict.erase(dict.begin() + static_cast<std::ptrdiff_t>(i),
                       dict.begin() + static_cast<std::ptrdiff_t>(i + 2));
            return;
        }
}

Tags newDictionary(std::uint64_t h, std::uint64_t owner) {
    return Tags{{0, "DICTIONARY"}, {5, handleText(h)}, {330, handleText(owner)}, {100, "AcDbDictionary"}, {281, "1"}};
}

std::uint64_t Normalizer::ensureRootEntry(const char* name, const char* type, Tags body) {
    Tags& rootRef = doc.objects.front();
    std::uint64_t rootH = recordHandle(rootRef);
    for (const DictEntry& e : dictEntries(rootRef))
        if (e.name == name) {
            Tags* o = objectByHandle(e.handle);
            if (o && recordType(*o) == type) return e.handle;
            problem("dictionary entry " + std::string(name) + " pointed nowhere; recreated");
            removeDictEntry(rootRef, e.handle);
            break;
        }
    std::uint64_t h = fresh();
    addDictEntry(rootRef, name, h);
    Tags rec{{0, type}, {5, handleText(h)}, {330, handleText(rootH)}};
    rec.insert(rec.end(), body.begin(), body.end());
    doc.objects.push_back(std::move(rec));
    objectIndex[h] = doc.objects.size() - 1;
    return h;
}

void Normalizer::objects() {
    // The root dictionary comes first and is owned by nobody.
    std::size_t rootAt = doc.objects.size();
    for (std::size_t i = 0; i < doc.objects.size(); ++i)
        if (recordType(doc.objects[i]) == "DICTIONARY" && recordOwner(doc.objects[i]) == 0) {
            rootAt = i;
            break;
        }
    if (rootAt == doc.objects.size()) {
        doc.objects.insert(doc.objects.begin(), newDictionary(fresh(), 0));
        setValue(doc.objects.front(), 281, "1");
    } else if (rootAt != 0) {
        Tags root = std::move(doc.objects[rootAt]);
        doc.objects.erase(doc.objects.begin() + static_cast<std::ptrdiff_t>(rootAt));
        doc.objects.insert(doc.objects.begin(), std::move(root));
    }
    // Objects that are no objects, or have no type, cannot be written back.
    std::size_t misplaced = 0;
    keepObjects([&](const Tags& o) {
        std::string_view t = recordType(o);
        bool drop = t.empty() || isNoObject(t);
        misplaced += drop;
        return !drop;
    });
    if (misplaced) problem(std::to_string(misplaced) + " records that are no objects dropped from the objects");
    std::uint64_t rootH = recordHandle(doc.objects.front());
    // Entries of the root dictionary that point at nothing are dropped.
    {
        Tags& root = doc.objects.front();
        for (const DictEntry& e : dictEntries(root))
            if (!objectByHandle(e.handle)) {
                problem("named object \"" + e.name + "\" pointed at a missing object and was dropped");
                removeDictEntry(root, e.handle);
            }
    }
    // Other readers take the plot style names for a dictionary with a default, holding "Normal"; one naming
    // anything else goes (they make their own).
    for (const DictEntry& e : dictEntries(doc.objects.front()))
        if (e.name == "ACAD_PLOTSTYLENAME") {
            const Tags* o = objectByHandle(e.handle);
            if (o && recordType(*o) == "ACDBDICTIONARYWDFLT") continue;
            problem("named object \"ACAD_PLOTSTYLENAME\" pointed at no plot style dictionary and was dropped");
            removeDictEntry(doc.objects.front(), e.handle);
        }
    ensureRootEntry("ACAD_GROUP", "DICTIONARY", Tags{{100, "AcDbDictionary"}, {281, "1"}});
    {
        std::uint64_t mls = ensureRootEntry("ACAD_MLINESTYLE", "DICTIONARY", Tags{{100, "AcDbDictionary"}, {281, "1"}});
        Tags* d = objectByHandle(mls);
        if (dictEntries(*d).empty()) {
            std::uint64_t h = fresh();
            addDictEntry(*d, "Standard", h);
            doc.objects.push_back(Tags{{0, "MLINESTYLE"},
                                       {5, handleText(h)},
                                       {102, "{ACAD_REACTORS"},
                                       {330, handleText(mls)},
                                       {102, "}"},
                                       {330, handleText(mls)},
                                       {100, "AcDbMlineStyle"},
                                       {2, "Standard"},
                                       {70, "0"},
                                       {3, ""},
                                       {62, "256"},
                                       {51, "90.0"},
                                       {52, "90.0"},
                                       {71, "2"},
                                       {49, "0.5"},
                                       {62, "256"},
                                       {6, "BYLAYER"},
                                       {49, "-0.5"},
                                       {62, "256"},
                                       {6, "BYLAYER"}});
            objectIndex[h] = doc.objects.size() - 1;
        }
    }
    ensureRootEntry("ACAD_PLOTSETTINGS", "DICTIONARY", Tags{{100, "AcDbDictionary"}, {281, "1"}});
    {
        std::vector<DictEntry> entries = dictEntries(doc.objects.front());
        bool has = std::any_of(entries.begin(), entries.end(),
                               [](const DictEntry& e) { return e.name == "ACAD_PLOTSTYLENAME"; });
        if (!has) {
            std::uint64_t ph = fresh();
            std::uint64_t dh = ensureRootEntry("ACAD_PLOTSTYLENAME", "ACDBDICTIONARYWDFLT",
                                               Tags{{100, "AcDbDictionary"},
                                                    {281, "1"},
                                                    {3, "Normal"},
                                                    {350, handleText(ph)},
                                                    {100, "AcDbDictionaryWithDefault"},
                                                    {340, handleText(ph)}});
            doc.objects.push_back(Tags{{0, "ACDBPLACEHOLDER"},
                                       {5, handleText(ph)},
                                       {102, "{ACAD_REACTORS"},
                                       {330, handleText(dh)},
                                       {102, "}"},
                                       {330, handleText(dh)}});
            objectIndex[ph] = doc.objects.size() - 1;
        }
    }
    (void)rootH;
    layouts();
}

Tags newLayout(std::uint64_t h, std::uint64_t dict, std::uint64_t br, const std::string& name, int order) {
    bool model = name == "Model";
    return Tags{{0, "LAYOUT"},
                {5, handleText(h)},
                {102, "{ACAD_REACTORS"},
                {330, handleText(dict)},
                {102, "}"},
                {330, handleText(dict)},
                {100, "AcDbPlotSettings"},
                {1, ""},
                {2, "none_device"},
                {4, "A3"},
                {6, ""},
                {40, "7.5"},
                {41, "20.0"},
                {42, "7.5"},
                {43, "20.0"},
                {44, "420.0"},
                {45, "297.0"},
                {46, "0.0"},
                {47, "0.0"},
                {48, "0.0"},
                {49, "0.0"},
                {140, "0.0"},
                {141, "0.0"},
                {142, "1.0"},
                {143, "1.0"},
                {70, model ? "1712" : "688"},
                {72, "1"},
                {73, "0"},
                {74, "5"},
                {7, ""},
                {75, "16"},
                {76, "0"},
                {77, "2"},
                {78, "300"},
                {147, "1.0"},
                {148, "0.0"},
                {149, "0.0"},
                {100, "AcDbLayout"},
                {1, name},
                {70, "1"},
                {71, std::to_string(order)},
                {10, "0.0"},
                {20, "0.0"},
                {11, "420.0"},
                {21, "297.0"},
                {12, "0.0"},
                {22, "0.0"},
                {32, "0.0"},
                {14, "1e+20"},
                {24, "1e+20"},
                {34, "1e+20"},
                {15, "-1e+20"},
                {25, "-1e+20"},
                {35, "-1e+20"},
                {146, "0.0"},
                {13, "0.0"},
                {23, "0.0"},
                {33, "0.0"},
                {16, "1.0"},
                {26, "0.0"},
                {36, "0.0"},
                {17, "0.0"},
                {27, "1.0"},
                {37, "0.0"},
                {76, "0"},
                {330, handleText(br)}};
}

// The block record a layout names: the first 330 after its AcDbLayout marker.
Tag* layoutBlockTag(Tags& layout) {
    for (std::size_t i = markerIndex(layout, "AcDbLayout"); i < layout.size(); ++i) {
        if (layout[i].code == 1001) break;
        if (layout[i].code == 330) return &layout[i];
    }
    return nullptr;
}

std::string layoutName(const Tags& layout) {
    for (std::size_t i = markerIndex(layout, "AcDbLayout"); i < layout.size(); ++i)
        if (layout[i].code == 1) return layout[i].value.str();
    return {};
}

void Normalizer::layouts() {
    std::uint64_t dictH = ensureRootEntry("ACAD_LAYOUT", "DICTIONARY", Tags{{100, "AcDbDictionary"}, {281, "1"}});
    Table& brTable = *doc.table("BLOCK_RECORD");
    std::unordered_map<std::uint64_t, Tags*> brs;
    // Block records by handle, and by the layout they name (for layouts whose own link is broken).
    std::unordered_map<std::uint64_t, std::uint64_t> brOfLayout;
    for (Tags& r : brTable.records) {
        std::uint64_t h = recordHandle(r);
        brs[h] = &r;
        if (const TagValue* l = findValue(r, 340)) brOfLayout[parseHandle(*l)] = h;
    }
    // Which block record each layout object belongs to.
    std::unordered_map<std::uint64_t, std::uint64_t> layoutOfBr;
    std::vector<std::uint64_t> dropped;
    for (Tags& o : doc.objects) {
        if (recordType(o) != "LAYOUT") continue;
        std::uint64_t lh = recordHandle(o);
        Tag* bt = layoutBlockTag(o);
        std::uint64_t br = bt ? parseHandle(bt->value) : 0;
        if (!brs.count(br)) {
            // A broken link: trust the block record that names this layout.
            auto named = brOfLayout.find(lh);
            br = named == brOfLayout.end() ? 0 : named->second;
            if (br == 0) {
                problem("layout \"" + layoutName(o) + "\" without its block dropped");
                dropped.push_back(lh);
                continue;
            }
            problem("layout \"" + layoutName(o) + "\" linked again to its block");
            if (bt)
                bt->value = handleText(br);
            else
                o.push_back(Tag{330, handleText(br)});
        }
        if (layoutOfBr.count(br)) {
            problem("second layout \"" + layoutName(o) + "\" of one block dropped");
            dropped.push_back(lh);
            continue;
        }
        layoutOfBr[br] = lh;
    }
    if (!dropped.empty()) {
        const std::unordered_set<std::uint64_t> gone(dropped.begin(), dropped.end());
        keepObjects([&](const Tags& o) { return gone.count(recordHandle(o)) == 0; });
    }
    Tags* dict = objectByHandle(dictH);
    for (std::uint64_t d : dropped) removeDictEntry(*dict, d);
    // The layout dictionary lists layouts only, each by its own name: other readers take every entry for a
    // layout and look layouts up by both names.
    std::size_t strays = 0, renamed = 0;
    for (const DictEntry& e : dictEntries(*dict)) {
        const Tags* o = objectByHandle(e.handle);
        if (!o || recordType(*o) != "LAYOUT") {
            removeDictEntry(*dict, e.handle);
            ++strays;
            continue;
        }
        const std::string name = layoutName(*o);
        if (name.empty() || name == e.name) continue;
        for (std::size_t i = 1; i + 1 < dict->size(); ++i)
            if ((*dict)[i].code == 3 && (*dict)[i].value == e.name && parseHandle((*dict)[i + 1].value) == e.handle)
                (*dict)[i].value = name;
        ++renamed;
    }
    if (strays) problem(std::to_string(strays) + " entries of the layout dictionary that are no layouts dropped");
    if (renamed) problem(std::to_string(renamed) + " entries of the layout dictionary given their layout's name");
    std::unordered_set<std::uint64_t> listed;
    for (const DictEntry& e : dictEntries(*dict)) listed.insert(e.handle);
    int order = 1;
    for (Tags& r : brTable.records) {
        std::string n = nameOf(r);
        bool model = equalsNoCase(n, "*Model_Space");
        bool paper = upper(n).rfind("*PAPER_SPACE", 0) == 0;
        std::uint64_t brh = recordHandle(r);
        if (!model && !paper) {
            // An ordinary block names no layout.
            const TagValue* l = findValue(r, 340);
            if (l && parseHandle(*l) != 0 && layoutOfBr.count(brh) == 0) setValue(r, 340, "0");
            continue;
        }
        std::uint64_t lh;
        if (layoutOfBr.count(brh)) {
            lh = layoutOfBr[brh];
        } else {
            lh = fresh();
            std::string ln = model ? "Model" : (n.size() == 12 ? "Layout1" : "Layout" + std::to_string(order + 1));
            doc.objects.push_back(newLayout(lh, dictH, brh, ln, model ? 0 : order));
            objectIndex[lh] = doc.objects.size() - 1;
            dict = objectByHandle(dictH);
            if (!model) ++order;
        }
        setValue(r, 340, handleText(lh));
        Tags& lay = *objectByHandle(lh);
        setRecordOwner(lay, dictH);
        std::string ln = layoutName(lay);
        if (listed.insert(lh).second) addDictEntry(*dict, ln.empty() ? handleText(lh) : ln, lh);
    }
}

// Objects whose owner is gone are given to the dictionary that lists them, or to the root.
void Normalizer::objectOwners() {
    std::unordered_map<std::uint64_t, std::uint64_t> listedBy;
    for (const Tags& o : doc.objects) {
        std::string_view t = recordType(o);
        if (t == "DICTIONARY" || t == "ACDBDICTIONARYWDFLT")
            for (const DictEntry& e : dictEntries(o)) listedBy.emplace(e.handle, recordHandle(o));
    }
    std::uint64_t root = recordHandle(doc.objects.front());
    std::size_t fixed = 0;
    for (std::size_t i = 1; i < doc.objects.size(); ++i) {
        Tags& o = doc.objects[i];
        std::uint64_t owner = recordOwner(o);
        if (owner != 0 && isUsed(owner)) continue;
        auto it = listedBy.find(recordHandle(o));
        setRecordOwner(o, it != listedBy.end() ? it->second : root);
        ++fixed;
    }
    if (fixed) problem(std::to_string(fixed) + " objects with a missing owner given a new one");
}

void Normalizer::referencedNames() {
    // Views of the names in the records, which stay where they are; sorted, so that what is added
    // gets its handles in the same order every time.
    std::set<std::string_view> layers, linetypes, styles, apps;
    // Layer and linetype sit in the common part; extended data is the tail of codes from 1000 up.
    auto scan = [&](const Tags& r) {
        int markers = 0;
        for (std::size_t i = 1; i < r.size() && markers < 2; ++i) {
            const Tag& t = r[i];
            if (t.code == 100)
                ++markers;
            else if (t.code == 8)
                layers.insert(t.value.view());
            else if (t.code == 6)
                linetypes.insert(t.value.view());
        }
        for (std::size_t i = r.size(); i > 1 && r[i - 1].code >= 1000; --i)
            if (r[i - 1].code == 1001) apps.insert(r[i - 1].value.view());
        std::string_view type = recordType(r);
        if (type == "TEXT" || type == "ATTRIB" || type == "ATTDEF" || type == "MTEXT")
            if (const TagValue* s = findValue(r, 7)) styles.insert(s->view());
    };
    for (Block& b : doc.blocks) {
        scan(b.begin);
        for (const Tags& e : b.entities) scan(e);
    }
    for (const Tags& e : doc.entities) scan(e);
    for (const Table& t : doc.tables)
        for (const Tags& r : t.records)
            for (std::size_t i = 1; i < r.size(); ++i)
                if (r[i].code == 1001) apps.insert(r[i].value.view());
    for (const Tags& o : doc.objects)
        for (std::size_t i = 1; i < o.size(); ++i)
            if (o[i].code == 1001) apps.insert(o[i].value.view());
    std::size_t added = 0;
    auto ensure = [&](const char* table, const std::string& name, const Tags& body) {
        if (name.empty()) return;
        if (!findRecord(*doc.table(table), name)) {
            ensureRecord(table, name, body);
            ++added;
        }
    };
    for (std::string_view l : layers)
        ensure("LAYER", std::string(l), makeTags({{70, "0"}, {62, "7"}, {6, "Continuous"}}));
    for (std::string_view l : linetypes)
        if (!equalsNoCase(l, "BYLAYER") && !equalsNoCase(l, "BYBLOCK"))
            ensure("LTYPE", std::string(l), makeTags({{70, "0"}, {3, ""}, {72, "65"}, {73, "0"}, {40, "0.0"}}));
    for (std::string_view s : styles)
        ensure(
            "STYLE", std::string(s),
            makeTags({{70, "0"}, {40, "0.0"}, {41, "1.0"}, {50, "0.0"}, {71, "0"}, {42, "2.5"}, {3, "txt"}, {4, ""}}));
    for (std::string_view a : apps) ensure("APPID", std::string(a), makeTags({{70, "0"}}));
    if (added)
        problem(std::to_string(added) +
                " layers, linetypes, text styles or applications used but not defined were added");
}

struct ClassDef {
    const char* dxf;
    const char* cpp;
    int flags;
    bool entity;
};
constexpr ClassDef knownClasses[] = {
    {"ACDBDICTIONARYWDFLT", "AcDbDictionaryWithDefault", 0, false},
    {"ACDBPLACEHOLDER", "AcDbPlaceHolder", 0, false},
    {"LAYOUT", "AcDbLayout", 0, false},
    {"DICTIONARYVAR", "AcDbDictionaryVar", 0, false},
    {"TABLESTYLE", "AcDbTableStyle", 4095, false},
    {"SORTENTSTABLE", "AcDbSortentsTable", 0, false},
    {"XRECORD", "AcDbXrecord", 0, false},
    {"MATERIAL", "AcDbMaterial", 1153, false},
    {"VISUALSTYLE", "AcDbVisualStyle", 4095, false},
    {"SCALE", "AcDbScale", 1153, false},
    {"MLEADERSTYLE", "AcDbMLeaderStyle", 4095, false},
    {"CELLSTYLEMAP", "AcDbCellStyleMap", 1152, false},
    {"RASTERVARIABLES", "AcDbRasterVariables", 0, false},
    {"IMAGEDEF", "AcDbRasterImageDef", 0, false},
    {"IMAGEDEF_REACTOR", "AcDbRasterImageDefReactor", 1, false},
    {"WIPEOUTVARIABLES", "AcDbWipeoutVariables", 0, false},
    {"GEODATA", "AcDbGeoData", 4095, false},
    {"IDBUFFER", "AcDbIdBuffer", 0, false},
    {"ACAD_TABLE", "AcDbTable", 1025, true},
    {"IMAGE", "AcDbRasterImage", 127, true},
    {"WIPEOUT", "AcDbWipeout", 127, true},
    {"MULTILEADER", "AcDbMLeader", 1025, true},
    {"ARC_DIMENSION", "AcDbArcDimension", 1025, true},
};

void Normalizer::classes() {
    std::set<std::string> have;
    for (const Tags& c : doc.classes)
        if (const TagValue* n = findValue(c, 1)) have.insert(n->str());
    std::unordered_map<std::string_view, int> counts; // the records outlive the count
    for (const Tags& o : doc.objects) ++counts[recordType(o)];
    if (held)
        for (const auto& [type, n] : held->types) counts[type] += n;
    for (const Tags& e : doc.entities) ++counts[recordType(e)];
    for (const Block& b : doc.blocks)
        for (const Tags& e : b.entities) ++counts[recordType(e)];
    for (const ClassDef& c : knownClasses) {
        if (!counts.count(c.dxf) || have.count(c.dxf)) continue;
        doc.classes.push_back(Tags{{0, "CLASS"},
                                   {1, c.dxf},
                                   {2, c.cpp},
                                   {3, "ObjectDBX Classes"},
                                   {90, std::to_string(c.flags)},
                                   {91, std::to_string(counts[c.dxf])},
                                   {280, "0"},
                                   {281, c.entity ? "1" : "0"}});
    }
}

void Normalizer::headerVars() {
    std::vector<std::pair<std::string, Tags>> kept;
    for (auto& v : doc.header)
        if (v.first != "$HANDLING" && v.first != "$ACADVER" && v.first != "$DWGCODEPAGE" && v.first != "$HANDSEED")
            kept.push_back(std::move(v));
    kept.insert(kept.begin(), {"$DWGCODEPAGE", Tags{{3, "ANSI_1252"}}});
    kept.insert(kept.begin(), {"$ACADVER", Tags{{1, "AC1024"}}});
    doc.header = std::move(kept);
    std::uint64_t seed = next;
    if (!fileHandles.empty()) seed = std::max(seed, fileHandles.back() + 1);
    for (std::uint64_t h : made) seed = std::max(seed, h + 1);
    doc.header.emplace_back("$HANDSEED", Tags{{5, handleText(seed)}});
}

// Characters no symbol name may hold.
constexpr std::string_view kNotInNames = "<>/\\\":;?*|=`";

// Layer names with characters no name may hold (damage) are repaired alike wherever they appear: in
// the layer table, on every entity and as the current layer.
void Normalizer::layerNames() {
    std::size_t repaired = 0;
    auto fix = [&](TagValue& value) {
        if (value.view().find_first_of(kNotInNames) == std::string_view::npos) return;
        std::string name = value.str();
        for (char& c : name)
            if (kNotInNames.find(c) != std::string_view::npos) c = '_';
        value = name;
        ++repaired;
    };
    if (Table* layers = doc.table("LAYER"))
        for (Tags& r : layers->records)
            for (std::size_t i = 1; i < r.size() && r[i].code != 1001; ++i)
                if (r[i].code == 2) {
                    fix(r[i].value);
                    break;
                }
    // An entity's layer sits in its common part: no further than its second subclass marker.
    auto entity = [&](Tags& r) {
        int markers = 0;
        for (std::size_t i = 1; i < r.size() && r[i].code != 1001; ++i) {
            if (r[i].code == 100 && ++markers == 2) break;
            if (r[i].code == 8) {
                fix(r[i].value);
                break;
            }
        }
    };
    for (Block& b : doc.blocks) {
        entity(b.begin);
        for (Tags& e : b.entities) entity(e);
        if (!b.end.empty()) entity(b.end);
    }
    for (Tags& e : doc.entities) entity(e);
    for (auto& [name, values] : doc.header)
        if (name == "$CLAYER")
            for (Tag& t : values) fix(t.value);
    if (repaired) problem(std::to_string(repaired) + " layer names with characters no name may hold were repaired");
}

void Normalizer::run() {
    assignHandles();
    layerNames();
    tables();
    blocks();
    objects();
    objectOwners();
    referencedNames();
    classes();
    headerVars();
}

} // namespace

void normalizeR2010(Document& doc) {
    Normalizer(doc).run();
}

void normalizeR2010(Document& doc, HeldRecords& held) {
    Normalizer(doc, &held).run();
}

bool isEntityType(std::string_view type) {
    return !isNoEntity(type);
}

bool isRepairedLayerName(std::string_view name) {
    return name.find_first_of(kNotInNames) != std::string_view::npos;
}

} // namespace dxf
