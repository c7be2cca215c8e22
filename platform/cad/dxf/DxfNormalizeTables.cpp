// The symbol tables: their order and records, the records they must hold, and the names used in them.
#include "cad/dxf/DxfNormalizer.h"

#include <algorithm>
#include <initializer_list>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace dxf::normalize {

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

Tags makeTags(std::initializer_list<Tag> list) {
    return Tags(list);
}

} // namespace

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
        std::vector<bool> repeated;
        {
            std::vector<std::string> keys;
            keys.reserve(table.records.size());
            for (const Tags& r : table.records)
                keys.push_back(recordType(r) == k.name ? upper(nameOf(r)) : std::string());
            repeated = repeatedKeys(keys);
        }
        for (std::size_t i = 0; i < table.records.size(); ++i) {
            Tags& r = table.records[i];
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
            // Viewport records sharing a name are the tiles of one configuration.
            if (repeated[i] && std::string_view(k.name) != "VPORT") {
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

namespace {

// The handles a dictionary lists, by entry name (all when name is empty).
std::vector<std::uint64_t> listed(const Tags& dict, std::string_view name) {
    std::vector<std::uint64_t> out;
    for (std::size_t i = 1; i + 1 < dict.size() && dict[i].code != 1001; ++i)
        if (dict[i].code == 3 && (dict[i + 1].code == 350 || dict[i + 1].code == 360) &&
            (name.empty() || dict[i].value.view() == name))
            out.push_back(parseHandle(dict[i + 1].value));
    return out;
}

} // namespace

// The layer states saved with the layer table (xrecords of its ACAD_LAYERSTATES dictionary) name each
// layer under 8.
template <class Fix>
void Normalizer::layerStates(Fix& fix) {
    std::unordered_map<std::uint64_t, Tags*> byHandle;
    std::vector<std::uint64_t> states;
    for (Tags& o : doc.objects) {
        byHandle.emplace(recordHandle(o), &o);
        if (recordType(o) == "DICTIONARY")
            for (std::uint64_t h : listed(o, "ACAD_LAYERSTATES")) states.push_back(h);
    }
    for (std::uint64_t d : states) {
        auto dict = byHandle.find(d);
        if (dict == byHandle.end() || recordType(*dict->second) != "DICTIONARY") continue;
        for (std::uint64_t h : listed(*dict->second, "")) {
            auto state = byHandle.find(h);
            if (state == byHandle.end() || recordType(*state->second) != "XRECORD") continue;
            Tags& x = *state->second;
            for (std::size_t i = 1; i < x.size() && x[i].code != 1001; ++i)
                if (x[i].code == 8) fix(x[i].value);
        }
    }
}

// Layer names with characters no name may hold (damage, or parameters a machining tool keeps in them) are
// repaired alike wherever they appear: in the layer table, on every entity, in extended data (an old
// viewport's frozen layers), in layer filters, indexes and states, and as the current layer. A repaired name
// another layer already holds takes a number, so that no two layers become one.
void Normalizer::layerNames() {
    const auto needsRepair = [](std::string_view name) {
        return name.find_first_of(kNotInNames) != std::string_view::npos;
    };
    const auto replaced = [](std::string_view name) {
        std::string out(name);
        for (char& c : out)
            if (kNotInNames.find(c) != std::string_view::npos) c = '_';
        return out;
    };
    // Repaired names of the table's layers, by their upper-case names as read.
    std::unordered_map<std::string, std::string> renamed;
    Table* layers = doc.table("LAYER");
    if (layers) {
        std::unordered_set<std::string> taken;
        for (const Tags& r : layers->records)
            if (!needsRepair(nameOf(r))) taken.insert(upper(nameOf(r)));
        for (const Tags& r : layers->records) {
            const std::string name = nameOf(r);
            if (!needsRepair(name) || renamed.count(upper(name))) continue;
            std::string repaired = replaced(name);
            for (int k = 2; taken.count(upper(repaired)); ++k) repaired = replaced(name) + "_" + std::to_string(k);
            if (repaired != replaced(name))
                problem("layer \"" + name + "\" was renamed \"" + repaired + "\": \"" + replaced(name) +
                        "\" is another layer's");
            taken.insert(upper(repaired));
            renamed.emplace(upper(name), repaired);
        }
    }
    std::size_t repaired = 0;
    auto fix = [&](TagValue& value) {
        if (!needsRepair(value.view())) return;
        auto it = renamed.find(upper(value.view()));
        value = it != renamed.end() ? it->second : replaced(value.view());
        ++repaired;
    };
    if (layers)
        for (Tags& r : layers->records)
            for (std::size_t i = 1; i < r.size() && r[i].code != 1001; ++i)
                if (r[i].code == 2) {
                    fix(r[i].value);
                    break;
                }
    // An entity's layer sits in its common part (the entity's parts are in place by now).
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
    // Extended data names layers under 1003.
    auto xdata = [&](Tags& r) {
        for (std::size_t i = r.size(); i > 1 && r[i - 1].code >= 1000; --i)
            if (r[i - 1].code == 1003) fix(r[i - 1].value);
    };
    for (Block& b : doc.blocks) {
        entity(b.begin);
        xdata(b.begin);
        for (Tags& e : b.entities) {
            entity(e);
            xdata(e);
        }
        if (!b.end.empty()) entity(b.end);
    }
    for (Tags& e : doc.entities) {
        entity(e);
        xdata(e);
    }
    for (Table& t : doc.tables)
        for (Tags& r : t.records) xdata(r);
    for (Tags& o : doc.objects) {
        xdata(o);
        // Layer filters and indexes list layers by name.
        const std::string_view type = recordType(o);
        if (type == "LAYER_FILTER" || type == "LAYER_INDEX")
            for (std::size_t i = 1; i < o.size() && o[i].code != 1001; ++i)
                if (o[i].code == 8) fix(o[i].value);
    }
    for (auto& [name, values] : doc.header)
        if (name == "$CLAYER")
            for (Tag& t : values) fix(t.value);
    if (!renamed.empty()) layerStates(fix);
    if (repaired) problem(std::to_string(repaired) + " layer names with characters no name may hold were repaired");
}

} // namespace dxf::normalize
