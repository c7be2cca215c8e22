// Filling a database from a DXF document.
#include "cad/dxf/DxfDatabase.h"
#include "cad/dxf/DxfEntities.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <sys/mman.h>
#include <unistd.h>
#include <unordered_map>

namespace dxf {

std::wstring wide(std::string_view s) {
    std::wstring out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out += static_cast<wchar_t>(c);
            ++i;
            continue;
        }
        std::size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        std::uint32_t cp = len == 4 ? (c & 0x07u) : len == 3 ? (c & 0x0Fu) : len == 2 ? (c & 0x1Fu) : c;
        if (i + len > s.size()) len = 1;
        for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3Fu);
        out += static_cast<wchar_t>(cp);
        i += len;
    }
    return out;
}

std::string narrow(std::wstring_view s) {
    std::string out;
    out.reserve(s.size());
    for (wchar_t wc : s) appendUtf8(out, static_cast<std::uint32_t>(wc));
    return out;
}

void setDxfProblems(const AcDbDatabase* db, std::vector<std::string> problems) {
    db->fileProblems() = std::move(problems);
}

const std::vector<std::string>& lastDxfProblems(const AcDbDatabase* db) {
    return db->fileProblems();
}

namespace {

// A header variable holds one value, or one point (x, y and maybe z): anything more is damage.
bool oneValue(const Tags& values) {
    if (values.size() == 1) return true;
    if (values.empty() || values.size() > 3 || !isPointCode(values[0].code)) return false;
    for (std::size_t i = 1; i < values.size(); ++i)
        if (values[i].code != values[0].code + 10 * static_cast<int>(i)) return false;
    return true;
}

class Loader : public ReadContext {
public:
    Loader(AcDbDatabase* d, std::vector<std::string>& p) : problems(p) { db = d; }
    void run(Document& doc);

private:
    void header(Document& doc);
    void tables(Document& doc);
    void blocks(Document& doc);
    void entityList(std::vector<Tags>& list, AcDbObjectId owner, AcDbBlockTableRecord* br);
    void objects(Document& doc);
    AcDbObjectId add(AcDbObject* obj, std::uint64_t handle, AcDbObjectId owner, const Record& rec);
    void problem(std::string s) { problems.push_back(std::move(s)); }

    std::vector<std::string>& problems;
    std::size_t damaged = 0; // records kept as read that were damaged, dropped
};

AcDbObjectId Loader::add(AcDbObject* obj, std::uint64_t handle, AcDbObjectId owner, const Record& rec) {
    if (!obj) {
        ++damaged;
        reserveHandle(handle);
        return AcDbObjectId();
    }
    applyObjectParts(obj, rec);
    AcDbObjectId id;
    Acad::ErrorStatus es = db->addAcDbObject(id, obj, AcDbHandle(handle));
    if (es != Acad::eOk) {
        problem(std::string(recordType(rec.tags)) + " " + handleText(handle) +
                " dropped: " + narrow(acadErrorStatusText(es)));
        delete obj;
        return AcDbObjectId();
    }
    obj->setOwnerId(owner);
    return id;
}

void Loader::header(Document& doc) {
    for (auto& [name, values] : doc.header) {
        // The code page is kept as read, with the variables the database does not model.
        if (name == "$ACADVER" || name == "$HANDSEED") continue;
        if (!readHeaderVar(*this, name, values)) {
            // Kept as read, so written again: a value cut short or damaged drops the variable.
            if (!oneValue(values) || name.size() < 2 || name[0] != '$' || !tagsWellFormed(values, 0, values.size())) {
                problem("header variable " + name + " is damaged and was dropped");
                continue;
            }
            AcDbDxfTags t;
            for (const Tag& v : values) t.emplace_back(v.code, wide(v.value));
            db->headerExtra().emplace_back(wide(name), std::move(t));
        }
    }
    // Classes travel with the header extras: the database has no place of its own for them.
    for (const Tags& c : doc.classes) {
        if (!tagsWellFormed(c, 1, c.size())) {
            problem("a damaged class definition was dropped");
            continue;
        }
        AcDbDxfTags t;
        for (std::size_t i = 1; i < c.size(); ++i) t.emplace_back(c[i].code, wide(c[i].value));
        db->headerExtra().emplace_back(L"*CLASS", std::move(t));
    }
}

void Loader::tables(Document& doc) {
    for (Table& t : doc.tables) {
        Record head(t.head);
        AcDbSymbolTable* table = newSymbolTable(t.name);
        if (!table) continue;
        AcDbObjectId tableId = add(table, head.handle, AcDbObjectId(), head);
        if (tableId.isNull()) continue;
        setTableId(db, t.name, tableId);
        for (Tags& r : t.records) {
            Record rec(r);
            AcDbSymbolTableRecord* record = readTableRecord(*this, t.name, rec);
            if (!record) continue;
            AcDbObjectId id = add(record, rec.handle, tableId, rec);
            if (id.isNull()) continue;
            table->appendRecordId(id);
            if (t.name == "BLOCK_RECORD") blockIds[upper(narrow(record->getName()))] = id;
            Tags().swap(r);
        }
        table->reindex();
        std::vector<Tags>().swap(t.records);
    }
}

void Loader::entityList(std::vector<Tags>& list, AcDbObjectId owner, AcDbBlockTableRecord* br) {
    AcDbBlockReference* insert = nullptr;
    AcDbRawEntity* polyline = nullptr;
    // Each record's tags are freed once it is in the database, whichever way the loop goes on.
    struct Release {
        Tags& tags;
        ~Release() { Tags().swap(tags); }
    };
    for (Tags& t : list) {
        Release release{t};
        Record rec(t);
        std::string_view type = recordType(t);
        if (type == "ATTRIB" && insert) {
            AcDbEntity* e = readEntity(*this, rec);
            AcDbObjectId id = add(e, rec.handle, insert->objectId(), rec);
            if (!id.isNull()) insert->appendAttributeId(id);
            continue;
        }
        if ((type == "VERTEX" || type == "SEQEND") && polyline) {
            // Old-style polylines keep their vertices inside their own tags.
            reserveHandle(rec.handle);
            if (type == "VERTEX" && !tagsWellFormed(t, 1, t.size())) {
                ++damaged;
                continue;
            }
            polyline->tags().emplace_back(0, wide(type));
            for (std::size_t i = 1; i < t.size(); ++i)
                // A sequence end must stay, so what of it is damaged goes (it holds no points).
                if (type == "VERTEX" || (valueFits(t[i].code, t[i].value) && !isPointCode(t[i].code)))
                    polyline->tags().emplace_back(t[i].code, wide(t[i].value));
            if (type == "SEQEND") polyline = nullptr;
            continue;
        }
        if (type == "SEQEND" && insert) {
            insert->setSeqendHandle(AcDbHandle(rec.handle));
            reserveHandle(rec.handle);
            insert = nullptr;
            continue;
        }
        insert = nullptr;
        polyline = nullptr;
        if (type == "ATTRIB" || type == "VERTEX" || type == "SEQEND")
            continue; // the normaliser already dropped orphans; nothing reaches here
        AcDbEntity* e = readEntity(*this, rec);
        AcDbObjectId id = add(e, rec.handle, owner, rec);
        if (id.isNull()) continue;
        br->appendEntityId(id);
        if (type == "INSERT" || type == "ACAD_TABLE")
            insert = AcDbBlockReference::cast(e);
        else if (type == "POLYLINE")
            polyline = AcDbRawEntity::cast(e);
    }
}

void Loader::blocks(Document& doc) {
    for (Block& b : doc.blocks) {
        std::string name = upper(findValue(b.begin, 2) ? *findValue(b.begin, 2) : std::string());
        auto it = blockIds.find(name);
        if (it == blockIds.end()) continue;
        auto* br = AcDbBlockTableRecord::cast(db->peek(it->second));
        if (!br) continue;
        Record begin(b.begin), end(b.end);
        readBlockBegin(*this, br, begin);
        br->setBlockEndHandle(AcDbHandle(end.handle));
        reserveHandle(begin.handle);
        reserveHandle(end.handle);
        keepEndTags(br, end);
        bool model = name == "*MODEL_SPACE";
        bool paper = name == "*PAPER_SPACE";
        if (model || paper) {
            // Model space and the current paper space keep their entities in the ENTITIES section.
            // Split without copying the list when one side holds it all (a plan's model space), and
            // else into lists of their size: this comes when every record is still held.
            auto isMine = [paper](const Tags& e) {
                const TagValue* ps = commonValue(e, 67);
                return (ps && parseInt(*ps) == 1) == paper;
            };
            std::size_t count = 0;
            for (const Tags& e : doc.entities) count += isMine(e) ? 1 : 0;
            std::vector<Tags> mine;
            if (count == doc.entities.size()) {
                mine.swap(doc.entities);
            } else if (count > 0) {
                std::vector<Tags> rest;
                mine.reserve(count);
                rest.reserve(doc.entities.size() - count);
                for (Tags& e : doc.entities) (isMine(e) ? mine : rest).push_back(std::move(e));
                doc.entities = std::move(rest);
            }
            entityList(b.entities, it->second, br);
            entityList(mine, it->second, br);
        } else {
            entityList(b.entities, it->second, br);
        }
        // What is in the database no longer needs its tags: the drawing is held once, not twice.
        Tags().swap(b.begin);
        Tags().swap(b.end);
        std::vector<Tags>().swap(b.entities);
    }
    // Nor the lists that held the records: the database is at its largest when loading ends.
    std::vector<Block>().swap(doc.blocks);
    std::vector<Tags>().swap(doc.entities);
    // Inserts have found their blocks: the objects that follow name nothing by block name.
    std::unordered_map<std::string, AcDbObjectId>().swap(blockIds);
}

void Loader::objects(Document& doc) {
    bool first = true;
    for (Tags& t : doc.objects) {
        Record rec(t);
        AcDbObject* obj = readObject(*this, rec);
        AcDbObjectId owner = idOf(rec.owner);
        AcDbObjectId id = add(obj, rec.handle, owner, rec);
        if (first && !id.isNull()) db->setNamedObjectsDictionaryId(id);
        first = false;
        Tags().swap(t);
    }
    std::vector<Tags>().swap(doc.objects);
}

void Loader::run(Document& doc) {
    db->setLoading(true);
    std::size_t records = doc.entities.size() + doc.objects.size();
    for (const Table& t : doc.tables) records += 1 + t.records.size();
    for (const Block& b : doc.blocks) records += 2 + b.entities.size();
    db->reserveObjects(records + 64); // and the few standard objects completed afterwards
    std::optional<std::uint64_t> seed;
    if (const Tags* s = doc.headerVar("$HANDSEED"); s && !s->empty()) seed = parseHandle((*s)[0].value);
    header(doc);
    // Each section's records are freed once they are objects, so that they give room to the next.
    std::vector<std::pair<std::string, Tags>>().swap(doc.header);
    std::vector<Tags>().swap(doc.classes);
    tables(doc);
    std::vector<Table>().swap(doc.tables);
    blocks(doc);
    objects(doc);
    finish();
    if (damaged)
        problem(std::to_string(damaged) + " entities, vertices or objects kept as read were damaged and dropped");
    if (flatInserts)
        problem(std::to_string(flatInserts) +
                " inserts with a Z scale of 0 (as 2D programs write them) are drawn with a Z scale of 1; their "
                "X and Y scales hold, and the file keeps the 0");
    if (repairedGradients)
        problem(std::to_string(repairedGradients) +
                " gradient hatches held an angle or a colour that is not a number: each is drawn and saved with an "
                "angle of 0 or the colour its index gives (black without one) in its place");
    if (collapsedInserts)
        problem(std::to_string(collapsedInserts) +
                " inserts with an X or Y scale of 0 are drawn with a scale of 1 that way; the file keeps the 0");
    // Standard dictionaries must be dictionaries: drop a named entry that names something else.
    if (auto* nod = AcDbDictionary::cast(db->peek(db->namedObjectsDictionaryId()))) {
        for (const wchar_t* key :
             {L"ACAD_GROUP", L"ACAD_LAYOUT", L"ACAD_TABLESTYLE", L"ACAD_PLOTSETTINGS", L"ACAD_MLINESTYLE"}) {
            AcDbObjectId id;
            if (nod->getAt(key, id) == Acad::eOk && !AcDbDictionary::cast(db->peek(id))) {
                nod->remove(key);
                problem("named object \"" + narrow(key) + "\" was no dictionary and was dropped");
            }
        }
    }
    db->setLoading(false);
    if (seed) db->setHandseed(AcDbHandle(*seed));
    db->completeDefaults();
}

} // namespace

namespace {

// Whether the record is a solid's data whose other tags are whole: data or a size that does not read
// was named with its solid at the opening, and is kept as read so that no save empties the solid.
bool solidDataAsRead(const Tags& tags, std::size_t from, std::size_t to) {
    bool data = false;
    for (std::size_t k = from; k < to; ++k) {
        if (tags[k].code == 2 && tags[k].value.view() == "ASM_Data") data = true;
        if (tags[k].code != 310 && tags[k].code != 94 && !tagsWellFormed(tags, k, k + 1)) return false;
    }
    return data;
}

// A drawing whose modeler geometry the R2010 text cannot hold keeps the section that holds it, as
// read, with the header extras (the database has no place of its own for it), and is saved in its
// release: the user is told which entities ask for that. A record of the section holding a damaged
// tag could not be written again whole and is dropped, but for a solid's data.
void keepModelerSection(AcDbDatabase* db, const Document& doc, const std::wstring& release,
                        const std::vector<std::string>& entities, std::vector<std::string>& problems) {
    for (const Section& s : doc.other) {
        if (s.name != "ACDSDATA") continue;
        AcDbDxfTags t;
        bool damaged = false;
        for (std::size_t i = 0, end = 0; i < s.tags.size(); i = end) {
            end = i + 1;
            while (end < s.tags.size() && s.tags[end].code != 0) ++end;
            if (!tagsWellFormed(s.tags, i, end) && !solidDataAsRead(s.tags, i, end)) {
                damaged = true;
                continue;
            }
            for (std::size_t k = i; k < end; ++k) t.emplace_back(s.tags[k].code, wide(s.tags[k].value));
        }
        if (damaged) problems.push_back("damaged records of the ACDSDATA section were dropped");
        db->headerExtra().emplace_back(L"*ACDSDATA", std::move(t));
    }
    std::string names;
    for (const std::string& n : entities) names += (names.empty() ? "" : ", ") + n;
    problems.push_back("the geometry of " + names + " holds what an R2010 drawing cannot: the drawing is saved as " +
                       narrow(release) + ", the release it was read in, with the geometry of its solids as read");
}

void loadDocument(AcDbDatabase* db, Document& doc, std::vector<std::string>& problems) {
    std::wstring version = L"AC1009";
    if (const Tags* v = doc.headerVar("$ACADVER"); v && !v->empty()) version = wide((*v)[0].value);
    const std::vector<std::string> keptAsRead = carryModelerGeometry(doc);
    normalizeR2010(doc);
    problems.insert(problems.end(), doc.problems.begin(), doc.problems.end());
    Loader loader(db, problems);
    loader.run(doc);
    if (!keptAsRead.empty()) keepModelerSection(db, doc, version, keptAsRead, problems);
    db->setOriginalFileVersion(version);
    setDxfProblems(db, problems);
    db->fileCutShort() = doc.cutShort;
}

} // namespace

void loadDatabase(AcDbDatabase* db, std::string_view bytes, const std::string& fileName,
                  std::vector<std::string>& problems) {
    Document doc = parseDocument(bytes, fileName);
    loadDocument(db, doc, problems);
}

void loadDatabase(AcDbDatabase* db, std::string&& bytes, const std::string& fileName,
                  std::vector<std::string>& problems) {
    // The pages of text the reader has passed are given back as it reads on, so that the text and
    // the tags read from it are not held whole at once. Only whole pages inside the text go.
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto base = reinterpret_cast<std::uintptr_t>(bytes.data());
    std::uintptr_t given = (base + page - 1) / page * page;
    auto passed = [&](std::size_t offset) {
        std::uintptr_t upTo = (base + offset) / page * page;
        if (upTo <= given) return;
        ::madvise(reinterpret_cast<void*>(given), upTo - given, MADV_DONTNEED);
        given = upTo;
    };
    Document doc = parseDocument(bytes, fileName, passed);
    // The text is all in the document now: free it before the database grows.
    std::string().swap(bytes);
    loadDocument(db, doc, problems);
}

} // namespace dxf
