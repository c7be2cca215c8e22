// The objects: the root dictionary and its required entries, layouts, and owners of objects.
#include "cad/dxf/DxfNormalizer.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace dxf::normalize {

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

namespace {

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

} // namespace

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
    // Dictionaries and xrecords written without their subclass marker (small exporters leave it out):
    // what follows their head is their body all the same.
    for (Tags& o : doc.objects) {
        const std::string_view type = recordType(o);
        if ((type != "DICTIONARY" && type != "XRECORD") || hasSubclassMarkers(o)) continue;
        std::size_t at = 1;
        while (at < o.size()) {
            if (o[at].code == 5 || o[at].code == 330) {
                ++at;
            } else if (o[at].code == 102 && !o[at].value.empty() && o[at].value[0] == '{') {
                for (++at; at < o.size() && o[at].code != 102;) ++at;
                if (at < o.size()) ++at;
            } else {
                break;
            }
        }
        o.insert(o.begin() + static_cast<std::ptrdiff_t>(at),
                 Tag{100, type == "DICTIONARY" ? "AcDbDictionary" : "AcDbXrecord"});
    }
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

namespace {

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

std::size_t markerIndex(const Tags& rec, std::string_view marker) {
    for (std::size_t i = 0; i < rec.size(); ++i)
        if (rec[i].code == 100 && rec[i].value == marker) return i;
    return rec.size();
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

} // namespace

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

} // namespace dxf::normalize
