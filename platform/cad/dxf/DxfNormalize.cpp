// Bringing a document of any release into the shape of an R2010 file: the order of the repairs and what they share.
#include "cad/dxf/DxfNormalizer.h"

#include <algorithm>
#include <set>
#include <string>
#include <unordered_map>

namespace dxf::normalize {

namespace {

// Records that are no entities (structure, table records, objects) and no objects (structure, table
// records, entities): a damaged file can put them anywhere, and written there no reader takes them.
bool isStructureOrTableRecord(std::string_view type) {
    static constexpr std::string_view names[] = {"SECTION", "ENDSEC", "EOF",   "TABLE",    "ENDTAB",      "BLOCK",
                                                 "ENDBLK",  "CLASS",  "VPORT", "LTYPE",    "LAYER",       "STYLE",
                                                 "VIEW",    "UCS",    "APPID", "DIMSTYLE", "BLOCK_RECORD"};
    return std::find(std::begin(names), std::end(names), type) != std::end(names);
}

} // namespace

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

std::string nameOf(const Tags& rec) {
    const TagValue* v = findValue(rec, 2);
    return v ? v->str() : std::string();
}

std::vector<bool> repeatedKeys(const std::vector<std::string>& keys) {
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (!keys[i].empty()) order.push_back(i);
    // Stable: among equal keys the earliest place comes first and is kept.
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    std::vector<bool> repeated(keys.size(), false);
    for (std::size_t k = 1; k < order.size(); ++k)
        if (keys[order[k]] == keys[order[k - 1]]) repeated[order[k]] = true;
    return repeated;
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

namespace {

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

} // namespace

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
    // R2010 holds no ACDSDATA section: a document that keeps one (modeler geometry the R2010 text cannot
    // hold) keeps its later release.
    std::string release = "AC1024";
    const Tags* v = doc.headerVar("$ACADVER");
    if (v && !v->empty() && std::string((*v)[0].value.view()) > release &&
        std::any_of(doc.other.begin(), doc.other.end(), [](const Section& s) { return s.name == "ACDSDATA"; }))
        release = std::string((*v)[0].value.view());
    // The code page the drawing names stays: its text was read through it, and the file says which
    // page the drawing's text belongs to for readers that write it in an older release.
    std::string codePage = "ANSI_1252";
    if (const Tags* page = doc.headerVar("$DWGCODEPAGE"); page && !page->empty() && (*page)[0].code == 3) {
        const std::string_view name = (*page)[0].value.view();
        const std::size_t from = name.find_first_not_of(" \t");
        if (from != std::string_view::npos)
            codePage = std::string(name.substr(from, name.find_last_not_of(" \t") + 1 - from));
    }
    std::vector<std::pair<std::string, Tags>> kept;
    for (auto& v : doc.header)
        if (v.first != "$HANDLING" && v.first != "$ACADVER" && v.first != "$DWGCODEPAGE" && v.first != "$HANDSEED")
            kept.push_back(std::move(v));
    kept.insert(kept.begin(), {"$DWGCODEPAGE", Tags{{3, codePage}}});
    kept.insert(kept.begin(), {"$ACADVER", Tags{{1, release}}});
    doc.header = std::move(kept);
    std::uint64_t seed = next;
    if (highestFile != 0) seed = std::max(seed, highestFile + 1);
    for (std::uint64_t h : made) seed = std::max(seed, h + 1);
    doc.header.emplace_back("$HANDSEED", Tags{{5, handleText(seed)}});
}

void Normalizer::run() {
    assignHandles();
    entityParts();
    layerNames();
    tables();
    blocks();
    objects();
    objectOwners();
    referencedNames();
    classes();
    headerVars();
}

} // namespace dxf::normalize

namespace dxf {

void normalizeR2010(Document& doc) {
    normalize::Normalizer(doc).run();
}

void normalizeR2010(Document& doc, HeldRecords& held) {
    normalize::Normalizer(doc, &held).run();
}

bool isEntityType(std::string_view type) {
    return !normalize::isNoEntity(type);
}

bool entityInShape(const Tags& rec) {
    return !normalize::entityNeedsShape(rec);
}

bool isRepairedLayerName(std::string_view name) {
    return name.find_first_of(normalize::kNotInNames) != std::string_view::npos;
}

} // namespace dxf
