// Writing a database as a DXF file, and the database's file calls.
#include "cad/dxf/DxfDatabase.h"
#include "cad/dxf/DxfEntities.h"

#include "cad/app/DocumentFile.h"
#include "cad/db/AcDbTable.h"
#include "win/Paths.h"

#include <algorithm>
#include <cerrno>
#include <unordered_map>
#include <unordered_set>
#include <sys/stat.h>

namespace dxf {

namespace {

// Entities of the current paper space are written in the ENTITIES section, marked as such.
void markPaperSpace(Tags& t) {
    for (std::size_t i = 1; i < t.size(); ++i)
        if (t[i].code == 100 && t[i].value == "AcDbEntity") {
            if (i + 1 < t.size() && t[i + 1].code == 67)
                t[i + 1].value = "1";
            else
                t.insert(t.begin() + static_cast<std::ptrdiff_t>(i + 1), Tag{67, "1"});
            return;
        }
}

// Entities a document leaves out, to be made and written one at a time after it: those of
// doc.blocks[i] from blockFrom[i] to blockFrom[i + 1] in inBlocks (model and paper space hold none
// there), and the ENTITIES section's, marked where they are in paper space.
struct LaterEntities {
    std::vector<const AcDbEntity*> inBlocks;
    std::vector<std::size_t> blockFrom;
    std::vector<const AcDbEntity*> entities;
    std::vector<bool> paperSpace;
};

} // namespace

static Document buildDocument(AcDbDatabase* db, LaterEntities* later);

Document saveDocument(AcDbDatabase* db) {
    return buildDocument(db, nullptr);
}

static Document buildDocument(AcDbDatabase* db, LaterEntities* later) {
    Document doc;
    WriteContext ctx{db};
    writeHeader(ctx, doc);
    struct TableRef {
        const char* name;
        AcDbObjectId id;
    };
    const TableRef refs[] = {
        {"VPORT", db->viewportTableId()},  {"LTYPE", db->linetypeTableId()},    {"LAYER", db->layerTableId()},
        {"STYLE", db->textStyleTableId()}, {"VIEW", db->viewTableId()},         {"UCS", db->UCSTableId()},
        {"APPID", db->regAppTableId()},    {"DIMSTYLE", db->dimStyleTableId()}, {"BLOCK_RECORD", db->blockTableId()}};
    for (const TableRef& ref : refs) {
        auto* table = AcDbSymbolTable::cast(db->peek(ref.id));
        if (!table) continue;
        Table t{ref.name, writeTableHead(ctx, table, ref.name), {}};
        for (const AcDbObjectId& rid : table->recordIds()) {
            auto* rec = AcDbSymbolTableRecord::cast(db->peek(rid));
            if (!rec || rec->isErased()) continue;
            t.records.push_back(writeTableRecord(ctx, rec, ref.name));
            if (later) t.records.back().shrink_to_fit(); // held while the entities are written
        }
        doc.tables.push_back(std::move(t));
    }
    if (auto* blocks = AcDbBlockTable::cast(db->peek(db->blockTableId()))) {
        for (const AcDbObjectId& rid : blocks->recordIds()) {
            auto* br = AcDbBlockTableRecord::cast(db->peek(rid));
            if (!br || br->isErased()) continue;
            Block b;
            writeBlock(ctx, br, b);
            if (later) {
                b.begin.shrink_to_fit();
                b.end.shrink_to_fit();
            }
            std::string name = upper(narrow(br->getName()));
            bool model = name == "*MODEL_SPACE", paper = name == "*PAPER_SPACE";
            std::vector<Tags>& target = model || paper ? doc.entities : b.entities;
            if (later) later->blockFrom.push_back(later->inBlocks.size());
            for (const AcDbObjectId& eid : br->entityIds()) {
                auto* e = AcDbEntity::cast(db->peek(eid));
                if (!e || e->isErased()) continue;
                if (later && (model || paper)) {
                    later->entities.push_back(e);
                    later->paperSpace.push_back(paper);
                    continue;
                }
                if (later) {
                    later->inBlocks.push_back(e);
                    continue;
                }
                std::size_t from = target.size();
                writeEntity(ctx, e, target);
                if (paper)
                    for (std::size_t i = from; i < target.size(); ++i) markPaperSpace(target[i]);
            }
            doc.blocks.push_back(std::move(b));
        }
    }
    AcDbObjectId nod = db->namedObjectsDictionaryId();
    if (AcDbObject* root = db->peek(nod); root && !root->isErased()) {
        Tags t = writeObject(ctx, root);
        if (!t.empty()) doc.objects.push_back(std::move(t));
    }
    for (const AcDbObjectId& id : db->allObjectIds()) {
        if (id == nod) continue;
        AcDbObject* obj = db->peek(id);
        if (!obj || obj->isErased() || AcDbEntity::cast(obj) || AcDbSymbolTable::cast(obj) ||
            AcDbSymbolTableRecord::cast(obj))
            continue;
        Tags t = writeObject(ctx, obj);
        if (!t.empty()) doc.objects.push_back(std::move(t));
    }
    if (!later) normalizeR2010(doc); // entities written later are held apart while normalising
    return doc;
}

namespace {

bool endsWithNoCase(const std::string& s, std::string_view suffix) {
    return s.size() >= suffix.size() && equalsNoCase(std::string_view(s).substr(s.size() - suffix.size()), suffix);
}

// Thrown while a drawing is written in a stream: an entity is not as normalising the whole document
// would leave it (it would change it, add for it or drop it), or the file could not be written.
struct Irregular {};
struct WriteFailed {};

// Names of a table's records, looked up as the normalizer does (case-insensitive); spellings found
// once are remembered, since entities repeat a few names many times.
class NameSet {
public:
    void add(std::string_view name) { upperNames_.insert(upper(name)); }
    bool has(std::string_view name) {
        if (std::find(found_.begin(), found_.end(), name) != found_.end()) return true;
        if (!upperNames_.count(upper(name))) return false;
        if (found_.size() == 16) found_.erase(found_.begin());
        found_.emplace_back(name);
        return true;
    }

private:
    std::unordered_set<std::string> upperNames_;
    std::vector<std::string> found_;
};

// The records writeEntity makes of entities, as the normalizer counts them: their handles in order
// and their types (counted by the class's type name while they are many, as text at the end).
class Prediction {
public:
    Prediction(AcDbDatabase* db, HeldRecords& held) : db_(db), held_(held) {}
    void add(const AcDbEntity* e);
    void finish() {
        for (const auto& [name, n] : classTypes_) held_.types[narrow(name)] += n;
        classTypes_.clear();
    }

private:
    void count(const ACHAR* name) {
        for (auto& [known, n] : classTypes_)
            if (known == name) {
                ++n;
                return;
            }
        classTypes_.emplace_back(name, 1);
    }
    AcDbDatabase* db_;
    HeldRecords& held_;
    std::vector<std::pair<const ACHAR*, int>> classTypes_;
};

void Prediction::add(const AcDbEntity* e) {
    HeldRecords& held = held_;
    const AcDbRawEntity* raw = AcDbRawEntity::cast(e);
    held.handles.push_back(e->handle().value());
    if (auto* m = AcDbMInsertBlock::cast(e); m && m->columns() <= 1 && m->rows() <= 1)
        count(L"INSERT");
    else if (raw)
        ++held.types[narrow(raw->dxfName())];
    else
        count(e->dxfTypeName());
    if (auto* r = AcDbBlockReference::cast(e); r && !AcDbTable::cast(e)) {
        bool any = false;
        for (const AcDbObjectId& id : r->attributeIds()) {
            AcDbObject* a = db_->peek(id);
            if (!a || a->isErased()) continue;
            if (auto* attribute = AcDbEntity::cast(a)) add(attribute);
            any = true;
        }
        if (any) {
            held.handles.push_back(r->seqendHandle().isNull() ? 0 : r->seqendHandle().value());
            count(L"SEQEND");
        }
    }
    if (raw) {
        std::vector<Tags> following;
        for (const auto& [code, value] : raw->tags()) {
            if (code == 0) following.emplace_back();
            if (!following.empty()) following.back().push_back(Tag{code, narrow(value)});
        }
        for (const Tags& f : following) {
            held.handles.push_back(recordHandle(f));
            ++held.types[std::string(recordType(f))];
        }
    }
}

// Makes the held entities' records one at a time and writes them, each checked to be as normalising
// the whole document would leave it, with the handle it would be given.
class EntityWriter {
public:
    EntityWriter(WriteContext& ctx, const Document& doc, const HeldRecords& held) : ctx_(ctx), held_(held) {
        auto names = [&](const char* table, NameSet& set) {
            if (const Table* t = doc.table(table))
                for (const Tags& r : t->records)
                    if (const TagValue* n = findValue(r, 2)) set.add(*n);
        };
        names("LAYER", layers_);
        names("LTYPE", linetypes_);
        names("STYLE", styles_);
        names("APPID", apps_);
        for (const Block& b : doc.blocks) {
            const TagValue* n = findValue(b.begin, 2);
            std::string name = n ? n->str() : std::string();
            blocks_.add(name);
            if (equalsNoCase(name, "*Model_Space"))
                modelBr_ = recordOwner(b.begin);
            else if (equalsNoCase(name, "*Paper_Space"))
                paperBr_ = recordOwner(b.begin);
        }
    }

    // One list: a block's entities (owned by its record) or the ENTITIES section's (owner 0: model or
    // paper space, as each says).
    void write(const AcDbEntity* const* from, const AcDbEntity* const* to, const std::vector<bool>* paperSpace,
               std::uint64_t owner, std::string& out, const TextStream& stream) {
        owner_ = owner;
        parent_ = 0;
        for (const AcDbEntity* const* e = from; e != to; ++e) {
            made_.clear();
            writeEntity(ctx_, *e, made_);
            const bool paper = paperSpace && (*paperSpace)[static_cast<std::size_t>(e - from)];
            for (Tags& t : made_) {
                if (paper) markPaperSpace(t);
                if (!pending_.empty()) put(pending_, recordType(t), out, stream);
                std::swap(pending_, t);
            }
        }
        if (!pending_.empty()) put(pending_, {}, out, stream);
        pending_.clear();
        if (parent_) throw Irregular{};
    }

    void finish() const {
        if (next_ != held_.handles.size() || types_ != held_.types) throw Irregular{};
    }

private:
    void put(Tags& rec, std::string_view nextType, std::string& out, const TextStream& stream) {
        check(rec, nextType);
        putRecord(out, rec);
        if (out.size() >= 1 << 18) stream.flush(out);
    }

    void check(Tags& rec, std::string_view nextType) {
        const std::string_view type = recordType(rec);
        ++types_[std::string(type)];
        if (next_ >= held_.handles.size() || recordHandle(rec) != held_.handles[next_]) throw Irregular{};
        if (given_ < held_.given.size() && held_.given[given_].first == next_)
            setRecordHandle(rec, held_.given[given_++].second);
        ++next_;
        if (!isEntityType(type) || !hasSubclassMarkers(rec)) throw Irregular{};
        checkNames(rec, type);
        // Sequences: attributes and vertices follow their insert or polyline and end with a SEQEND.
        if (type == "ATTRIB" || type == "VERTEX" || type == "SEQEND") {
            if (parent_ == 0 || (type == "ATTRIB" && parentType_ != "INSERT") ||
                (type == "VERTEX" && parentType_ != "POLYLINE"))
                throw Irregular{};
            setRecordOwner(rec, parent_);
            if (type == "SEQEND") parent_ = 0;
            return;
        }
        if (parent_) throw Irregular{};
        std::uint64_t owner = owner_;
        if (owner == 0) {
            const TagValue* ps = commonValue(rec, 67);
            owner = ps && parseInt(*ps) == 1 ? paperBr_ : modelBr_;
        }
        setRecordOwner(rec, owner);
        if (type == "POLYLINE" || (type == "INSERT" && (nextType == "ATTRIB" || nextType == "SEQEND"))) {
            parent_ = recordHandle(rec);
            parentType_ = type;
            if (type == "INSERT" && !attributesFollowMarked(rec)) throw Irregular{};
        } else if (type == "INSERT") {
            if (const TagValue* f = findValue(rec, 66); f && parseInt(*f) != 0) throw Irregular{};
        }
    }

    // The first 66 group before the extended data says "1".
    static bool attributesFollowMarked(const Tags& rec) {
        for (std::size_t i = 1; i < rec.size() && rec[i].code != 1001; ++i)
            if (rec[i].code == 66) return rec[i].value == "1";
        return false;
    }

    // Every name the entity uses is defined, and its layer's name needs no repair.
    void checkNames(const Tags& r, std::string_view type) {
        int markers = 0;
        bool layer = false;
        for (std::size_t i = 1; i < r.size() && markers < 2 && r[i].code != 1001; ++i) {
            const Tag& t = r[i];
            if (t.code == 100) {
                ++markers;
            } else if (t.code == 8) {
                if (!layer && isRepairedLayerName(t.value)) throw Irregular{};
                layer = true;
                if (!t.value.empty() && !layers_.has(t.value)) throw Irregular{};
            } else if (t.code == 6) {
                if (!t.value.empty() && !equalsNoCase(t.value, "BYLAYER") && !equalsNoCase(t.value, "BYBLOCK") &&
                    !linetypes_.has(t.value))
                    throw Irregular{};
            }
        }
        for (std::size_t i = r.size(); i > 1 && r[i - 1].code >= 1000; --i)
            if (r[i - 1].code == 1001 && !r[i - 1].value.empty() && !apps_.has(r[i - 1].value)) throw Irregular{};
        if (type == "TEXT" || type == "ATTRIB" || type == "ATTDEF" || type == "MTEXT")
            if (const TagValue* s = findValue(r, 7); s && !s->empty() && !styles_.has(*s)) throw Irregular{};
        if (type == "INSERT")
            if (const TagValue* n = findValue(r, 2); n && !n->empty() && !blocks_.has(*n)) throw Irregular{};
    }

    WriteContext& ctx_;
    const HeldRecords& held_;
    NameSet layers_, linetypes_, styles_, apps_, blocks_;
    std::uint64_t modelBr_ = 0, paperBr_ = 0, owner_ = 0, parent_ = 0;
    std::string parentType_;
    std::size_t next_ = 0, given_ = 0;
    std::unordered_map<std::string, int> types_;
    std::vector<Tags> made_;
    Tags pending_;
};

// Writes the drawing to the file as it is made: the document without its entities first brought into
// shape, each entity's records made and written when their place comes. False when an entity is not
// as normalising the whole document would leave it: the file is then to be written whole.
bool streamDxf(AcDbDatabase* db, docfile::Replacement& file) {
    LaterEntities later;
    Document doc = buildDocument(db, &later);
    HeldRecords held;
    Prediction prediction(db, held);
    later.blockFrom.push_back(later.inBlocks.size());
    const std::size_t blocks = doc.blocks.size();
    held.blockFrom.reserve(blocks + 1);
    std::unordered_map<std::string, std::size_t> heldBlock; // upper-case name -> its place in doc.blocks
    for (std::size_t i = 0; i < blocks; ++i) {
        held.blockFrom.push_back(held.handles.size());
        if (later.blockFrom[i] == later.blockFrom[i + 1]) continue;
        for (std::size_t k = later.blockFrom[i]; k < later.blockFrom[i + 1]; ++k) prediction.add(later.inBlocks[k]);
        const TagValue* n = findValue(doc.blocks[i].begin, 2);
        if (!heldBlock.emplace(upper(n ? n->view() : std::string_view()), i).second) return false;
    }
    held.blockFrom.push_back(held.handles.size());
    for (const AcDbEntity* e : later.entities) prediction.add(e);
    prediction.finish();
    normalizeR2010(doc, held);

    WriteContext ctx{db};
    EntityWriter writer(ctx, doc, held);
    std::vector<bool> written(blocks, false);
    TextStream stream;
    stream.flush = [&](std::string& text) {
        if (!file.write(text)) throw WriteFailed{};
        text.clear();
    };
    stream.held = [&](const Block* b, std::string& text) {
        if (!b) {
            const AcDbEntity* const* all = later.entities.data();
            writer.write(all, all + later.entities.size(), &later.paperSpace, 0, text, stream);
            return;
        }
        const TagValue* n = findValue(b->begin, 2);
        auto it = heldBlock.find(upper(n ? n->view() : std::string_view()));
        if (it == heldBlock.end()) return;
        if (written[it->second]) throw Irregular{};
        written[it->second] = true;
        const AcDbEntity* const* inBlocks = later.inBlocks.data();
        writer.write(inBlocks + later.blockFrom[it->second], inBlocks + later.blockFrom[it->second + 1], nullptr,
                     recordOwner(b->begin), text, stream);
    };
    std::string text;
    text.reserve((1 << 18) + (1 << 16));
    try {
        writeDocument(doc, text, stream);
        writer.finish();
        for (const auto& [name, i] : heldBlock)
            if (!written[i]) throw Irregular{};
    } catch (const Irregular&) {
        return false;
    }
    return true;
}

Acad::ErrorStatus writeDxf(AcDbDatabase* db, const ACHAR* fileName) {
    db->saveProblem().clear();
    std::string native;
    DWORD error = 0;
    if (!fileName || !*fileName || !win::mapToNative(fileName, native, &error)) return Acad::eFileAccessErr;
    if (endsWithNoCase(native, ".dwg")) return Acad::eInvalidFileExtension;
    // The text goes to a temporary file renamed over the target (an interrupted save leaves the old
    // file as it was), written as it is made, so that saving holds little more than the drawing. A
    // drawing the stream cannot write as the whole document would be is made whole, then written.
    docfile::Replacement file;
    try {
        if (!file.open(native)) {
            db->saveProblem() = file.why();
            return Acad::eFileAccessErr;
        }
        if (!streamDxf(db, file)) {
            std::string text;
            {
                Document doc = saveDocument(db);
                text.reserve(1 << 20);
                writeDocument(doc, text);
            }
            if (!file.open(native) || !file.write(text)) throw WriteFailed{};
        }
    } catch (const WriteFailed&) {
        db->saveProblem() = file.why();
        return Acad::eFileAccessErr;
    } catch (const std::exception&) {
        return Acad::eFilerError;
    }
    if (file.commit()) return Acad::eOk;
    db->saveProblem() = file.why();
    return Acad::eFileAccessErr;
}

} // namespace

std::string lastSaveProblem(const AcDbDatabase* db) {
    return db->saveProblem();
}

} // namespace dxf

Acad::ErrorStatus AcDbDatabase::readDxfFile(const ACHAR* fileName) {
    std::vector<std::string> problems;
    std::string native;
    DWORD error = 0;
    if (!fileName || !*fileName || !win::mapToNative(fileName, native, &error)) return Acad::eFileNotFound;
    // Reading fills an empty database (made without the default drawing).
    if (objectCount() != 0) return Acad::eWrongDatabase;
    std::string bytes, why;
    std::string shown = dxf::narrow(fileName);
    if (!docfile::readRegularFile(native, bytes, why)) {
        struct stat st {};
        bool missing = ::stat(native.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR);
        dxf::setDxfProblems(this, {shown + ": " + why});
        return missing ? Acad::eFileNotFound : Acad::eFileAccessErr;
    }
    const dxf::FileKind kind = dxf::sniff(bytes);
    try {
        dxf::loadDatabase(this, std::move(bytes), shown, problems);
    } catch (const dxf::Refused& e) {
        problems.push_back(e.what());
        dxf::setDxfProblems(this, problems);
        return kind == dxf::FileKind::NotText || kind == dxf::FileKind::Ascii ? Acad::eBadDxfSequence
                                                                              : Acad::eDwgNotRecognized;
    } catch (const std::exception& e) {
        problems.push_back(shown + ": " + e.what());
        dxf::setDxfProblems(this, problems);
        return Acad::eFilerError;
    }
    setFilename(fileName);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDatabase::saveAs(const ACHAR* fileName) {
    Acad::ErrorStatus es = dxf::writeDxf(this, fileName);
    if (es == Acad::eOk) setFilename(fileName);
    return es;
}

Acad::ErrorStatus AcDbDatabase::dxfOut(const ACHAR* fileName, int precision) {
    (void)precision; // numbers are always written to round trip exactly
    return dxf::writeDxf(this, fileName);
}
