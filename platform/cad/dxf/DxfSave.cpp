// Writing a database as a DXF file, and the database's file calls.
#include "cad/dxf/DxfDatabase.h"
#include "cad/db/AcDbTable.h"
#include "cad/dxf/DxfEntities.h"

#include "cad/app/DocumentFile.h"
#include "cad/db/AcDbTable.h"
#include "win/Paths.h"
#include "win/TempNames.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <functional>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>

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

// Entities a document leaves out, to be made and written one at a time after it: those of the block
// of doc.blocks[i] (none for model and paper space), and the ENTITIES section's, those of the spaces in
// their order. Only the blocks are kept: a drawing's entities are too many to list beside it, so each
// block is asked for them when they are counted in and again when they are written.
struct LaterEntities {
    std::vector<const AcDbBlockTableRecord*> ofBlock;
    std::vector<std::pair<const AcDbBlockTableRecord*, bool>> spaces; // and whether it is paper space
};

// Calls f with each live entity of a block in its draw order, bottom first, so that a reader that ignores
// the draw-order table draws the same picture; the table is asked once per call. The block's own list is
// read in place: model space may hold hundreds of thousands of entities.
template <class F>
void eachInDrawOrder(AcDbDatabase* db, const AcDbBlockTableRecord* br, F f) {
    if (!br) return;
    auto visit = [&](const AcDbObjectId& eid) {
        auto* e = AcDbEntity::cast(db->peek(eid));
        if (e && !e->isErased()) f(static_cast<const AcDbEntity*>(e));
    };
    auto* dictionary = AcDbDictionary::cast(db->peek(br->extensionDictionary()));
    AcDbObjectId tableId;
    if (dictionary && !dictionary->isErased() && dictionary->getAt(L"ACAD_SORTENTS", tableId) == Acad::eOk)
        // A table of another block (a damaged file) would bring that block's entities.
        if (auto* table = AcDbSortentsTable::cast(db->peek(tableId));
            table && !table->isErased() && table->blockId() == br->objectId()) {
            AcDbObjectIdArray ordered;
            if (table->getFullDrawOrder(ordered) == Acad::eOk) {
                for (const AcDbObjectId& eid : ordered) visit(eid);
                return;
            }
        }
    for (const AcDbObjectId& eid : br->entityIds()) visit(eid);
}

bool liveBlock(AcDbDatabase* db, AcDbObjectId id) {
    auto* br = AcDbBlockTableRecord::cast(db->peek(id));
    return br && !br->isErased();
}

bool blockExtents(AcDbDatabase* db, AcDbObjectId id, AcDbExtents& ext) {
    auto* br = AcDbBlockTableRecord::cast(db->peek(id));
    if (!br) return false;
    bool any = false;
    for (const AcDbObjectId& eid : br->entityIds()) {
        auto* e = AcDbEntity::cast(db->peek(eid));
        AcDbExtents x;
        if (e && !e->isErased() && !AcDbViewport::cast(e) && e->getGeomExtents(x) == Acad::eOk && !x.isEmpty()) {
            ext.addExt(x);
            any = true;
        }
    }
    return any;
}

// The anonymous blocks of tables ("*T...") that no live table or insert names: a table erased or
// replaced leaves its block behind, and such a block is not written again.
std::set<AcDbObjectId> tableBlocksLeftBehind(AcDbDatabase* db) {
    std::set<AcDbObjectId> left;
    if (auto* blocks = AcDbBlockTable::cast(db->peek(db->blockTableId())))
        for (const AcDbObjectId& rid : blocks->recordIds())
            if (auto* br = AcDbBlockTableRecord::cast(db->peek(rid)); br && !br->isErased()) {
                const std::string name = upper(narrow(br->getName()));
                if (name.size() > 2 && name.compare(0, 2, "*T") == 0) left.insert(rid);
            }
    if (left.empty()) return left;
    // One look at every object, keeping none: a plan's inserts are too many to list.
    db->objectIdsWhere([&left](const AcDbObject* o) {
        if (auto* r = AcDbBlockReference::cast(o); r && !r->isErased()) left.erase(r->blockTableRecord());
        return false;
    });
    return left;
}

// Other programs do not compute tables: they show the anonymous block a table names. A table the
// drawing gives no block gets one made as the plot draws it (the cells it draws and how a block cell's
// block is shrunk come from the table): each cell's frame as lines, its text centred, a block cell's block
// centred.
// The block lies in the table's plane about its insertion point, on the table's layer and colour.
class TableBlocks {
public:
    // The blocks left out are not written: their names are free.
    TableBlocks(WriteContext& ctx, std::uint64_t blockTable, const std::set<AcDbObjectId>& leftOut)
        : ctx_(ctx), db_(ctx.db), blockTable_(blockTable) {
        next_ = db_->handseed().value();
        if (auto* blocks = AcDbBlockTable::cast(db_->peek(db_->blockTableId())))
            for (const AcDbObjectId& rid : blocks->recordIds())
                if (auto* br = AcDbBlockTableRecord::cast(db_->peek(rid)); br && !br->isErased() && !leftOut.count(rid))
                    names_.insert(upper(narrow(br->getName())));
    }

    // Names a block for every table of a live block that has none.
    void plan() {
        for (const AcDbObjectId& id : db_->objectIdsWhere([](const AcDbObject* o) { return AcDbTable::cast(o); })) {
            auto* t = AcDbTable::cast(db_->peek(id));
            if (!t || t->isErased() || liveBlock(db_, t->blockTableRecord()) || !liveBlock(db_, t->ownerId())) continue;
            std::string name;
            do name = "*T" + std::to_string(++number_);
            while (names_.count(name));
            names_.insert(name);
            ctx_.tableBlocks[t->handle().value()] = {name, fresh()};
            tables_.push_back(t);
        }
    }

    void writeRecords(Table& records) {
        for (const AcDbTable* t : tables_) {
            const auto& [name, record] = ctx_.tableBlocks[t->handle().value()];
            records.records.push_back(Tags{{0, "BLOCK_RECORD"},
                                           {5, handleText(record)},
                                           {330, handleText(blockTable_)},
                                           {100, "AcDbSymbolTableRecord"},
                                           {100, "AcDbBlockTableRecord"},
                                           {2, name},
                                           {340, "0"},
                                           {70, "0"},
                                           {280, "1"},
                                           {281, "0"}});
        }
    }

    void writeBlocks(std::vector<Block>& blocks) {
        for (const AcDbTable* t : tables_) {
            const auto& [name, record] = ctx_.tableBlocks[t->handle().value()];
            const std::string owner = handleText(record);
            Block b;
            b.begin = Tags{{0, "BLOCK"}, {5, handleText(fresh())},
                           {330, owner}, {100, "AcDbEntity"},
                           {8, "0"},     {100, "AcDbBlockBegin"},
                           {2, name},    {70, "1"},
                           {10, "0.0"},  {20, "0.0"},
                           {30, "0.0"},  {3, name},
                           {1, ""}};
            drawing(t, owner, b.entities);
            b.end = Tags{{0, "ENDBLK"}, {5, handleText(fresh())}, {330, owner}, {100, "AcDbEntity"},
                         {8, "0"},      {100, "AcDbBlockEnd"}};
            blocks.push_back(std::move(b));
        }
    }

private:
    std::uint64_t fresh() { return next_++; }

    void add(AcDbEntity* e, const AcDbTable* t, const std::string& owner, std::vector<Tags>& out) {
        e->setPropertiesFrom(t);
        std::size_t from = out.size();
        writeEntity(ctx_, e, out);
        for (std::size_t i = from; i < out.size(); ++i) {
            setRecordHandle(out[i], fresh());
            setRecordOwner(out[i], parseHandle(owner));
        }
        delete e;
    }

    void drawing(const AcDbTable* t, const std::string& owner, std::vector<Tags>& out) {
        // The table's own frame of axes, moved to its insertion point.
        const AcGeMatrix3d tm = AcGeMatrix3d::translation(-t->position().asVector()) * t->blockTransform();
        const AcGeVector3d xAxis = tm * AcGeVector3d(1, 0, 0);
        const double scale = xAxis.length(), angle = std::atan2(xAxis.y, xAxis.x);
        for (const AcDbTableDrawnCell& d : t->drawnCells()) {
            const AcDbTableCell& cell = t->cell(d.row, d.col);
            const AcGePoint3d p[4] = {tm * AcGePoint3d(d.x, -d.y, 0), tm * AcGePoint3d(d.x + d.width, -d.y, 0),
                                      tm * AcGePoint3d(d.x + d.width, -d.y - d.height, 0),
                                      tm * AcGePoint3d(d.x, -d.y - d.height, 0)};
            for (int k = 0; k < 4; ++k) add(new AcDbLine(p[k], p[(k + 1) % 4]), t, owner, out);
            const AcGePoint3d mid = tm * AcGePoint3d(d.x + d.width / 2, -d.y - d.height / 2, 0);
            if (cell.type == AcDb::kBlockCell && !cell.block.isNull()) {
                blockCell(t, cell, mid, d.width, d.height, scale, angle, owner, out);
            } else if (!cell.text.empty()) {
                auto* text = new AcDbText;
                text->setTextString(t->cellDisplayText(d.row, d.col).c_str());
                text->setHeight(t->textHeight(d.row, d.col) * scale);
                text->setRotation(angle);
                text->setHorizontalMode(AcDb::kTextMid);
                text->setPosition(mid);
                text->setAlignmentPoint(mid);
                if (!cell.textStyle.isNull()) text->setTextStyle(cell.textStyle);
                add(text, t, owner, out);
            }
        }
    }

    void blockCell(const AcDbTable* t, const AcDbTableCell& cell, const AcGePoint3d& mid, double cw, double ch,
                   double scale, double angle, const std::string& owner, std::vector<Tags>& out) {
        AcDbExtents ext;
        auto* br = AcDbBlockTableRecord::cast(db_->peek(cell.block));
        if (!br || br->isErased() || !blockExtents(db_, cell.block, ext)) return;
        const AcGePoint3d lo = ext.minPoint(), hi = ext.maxPoint();
        const double s = AcDbTable::blockCellScale(hi.x - lo.x, hi.y - lo.y, cw, ch);
        if (s <= 0) return;
        // The insert puts the block's origin where the centre of its extents lands on the cell's middle.
        const AcGePoint3d origin = br->origin();
        const AcGeVector3d toOrigin((origin.x - (lo.x + hi.x) / 2) * s * scale,
                                    (origin.y - (lo.y + hi.y) / 2) * s * scale, 0);
        auto* insert = new AcDbBlockReference;
        insert->setBlockTableRecord(cell.block);
        insert->setPosition(mid + AcGeMatrix3d::rotation(angle, AcGeVector3d::kZAxis) * toOrigin);
        insert->setScaleFactors(AcGeScale3d(s * scale));
        insert->setRotation(angle);
        add(insert, t, owner, out);
    }

    WriteContext& ctx_;
    AcDbDatabase* db_;
    std::uint64_t blockTable_, next_ = 0;
    int number_ = 0;
    std::unordered_set<std::string> names_;
    std::vector<const AcDbTable*> tables_;
};

} // namespace

static Document buildDocument(WriteContext& ctx, LaterEntities* later);

Document saveDocument(AcDbDatabase* db) {
    WriteContext ctx{db};
    return buildDocument(ctx, nullptr);
}

// The context is the caller's: the entities written later name the blocks made here for tables.
static Document buildDocument(WriteContext& ctx, LaterEntities* later) {
    AcDbDatabase* db = ctx.db;
    Document doc;
    const std::set<AcDbObjectId> leftOut = tableBlocksLeftBehind(db);
    TableBlocks tableBlocks(ctx, db->blockTableId().handle().value(), leftOut);
    tableBlocks.plan();
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
            if (!rec || rec->isErased() || leftOut.count(rid)) continue;
            t.records.push_back(writeTableRecord(ctx, rec, ref.name));
            if (later) t.records.back().shrink_to_fit(); // held while the entities are written
        }
        if (std::string_view(ref.name) == "BLOCK_RECORD") tableBlocks.writeRecords(t);
        doc.tables.push_back(std::move(t));
    }
    if (auto* blocks = AcDbBlockTable::cast(db->peek(db->blockTableId()))) {
        for (const AcDbObjectId& rid : blocks->recordIds()) {
            auto* br = AcDbBlockTableRecord::cast(db->peek(rid));
            if (!br || br->isErased() || leftOut.count(rid)) continue;
            Block b;
            writeBlock(ctx, br, b);
            if (later) {
                b.begin.shrink_to_fit();
                b.end.shrink_to_fit();
            }
            std::string name = upper(narrow(br->getName()));
            bool model = name == "*MODEL_SPACE", paper = name == "*PAPER_SPACE";
            std::vector<Tags>& target = model || paper ? doc.entities : b.entities;
            if (later) {
                later->ofBlock.push_back(model || paper ? nullptr : br);
                if (model || paper) later->spaces.emplace_back(br, paper);
                doc.blocks.push_back(std::move(b));
                continue;
            }
            eachInDrawOrder(db, br, [&](const AcDbEntity* e) {
                std::size_t from = target.size();
                writeEntity(ctx, e, target);
                if (paper)
                    for (std::size_t i = from; i < target.size(); ++i) markPaperSpace(target[i]);
            });
            doc.blocks.push_back(std::move(b));
        }
    }
    tableBlocks.writeBlocks(doc.blocks);
    AcDbObjectId nod = db->namedObjectsDictionaryId();
    if (AcDbObject* root = db->peek(nod); root && !root->isErased()) {
        Tags t = writeObject(ctx, root);
        if (!t.empty()) doc.objects.push_back(std::move(t));
    }
    auto isObject = [](const AcDbObject* o) {
        return !AcDbEntity::cast(o) && !AcDbSymbolTable::cast(o) && !AcDbSymbolTableRecord::cast(o);
    };
    for (const AcDbObjectId& id : db->objectIdsWhere(isObject)) {
        if (id == nod) continue;
        AcDbObject* obj = db->peek(id);
        if (!obj || obj->isErased()) continue;
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
    // A list of entities: begin, each entity, end.
    void begin(std::uint64_t owner) {
        owner_ = owner;
        parent_ = 0;
    }
    void add(const AcDbEntity* e, bool paper, std::string& out, const TextStream& stream) {
        made_.clear();
        writeEntity(ctx_, e, made_);
        for (Tags& t : made_) {
            if (paper) markPaperSpace(t);
            if (!pending_.empty()) put(pending_, recordType(t), out, stream);
            std::swap(pending_, t);
        }
    }
    void end(std::string& out, const TextStream& stream) {
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
        if (!isEntityType(type) || !entityInShape(rec)) throw Irregular{};
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
        for (std::size_t i = r.size(); i > 1 && r[i - 1].code >= 1000; --i) {
            if (r[i - 1].code == 1001 && !r[i - 1].value.empty() && !apps_.has(r[i - 1].value)) throw Irregular{};
            if (r[i - 1].code == 1003 && isRepairedLayerName(r[i - 1].value)) throw Irregular{};
        }
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
bool streamDxf(AcDbDatabase* db, const std::function<void(std::string_view)>& put) {
    LaterEntities later;
    WriteContext ctx{db};
    Document doc = buildDocument(ctx, &later);
    HeldRecords held;
    Prediction prediction(db, held);
    // Blocks made for tables come last and hold no later entities.
    later.ofBlock.resize(doc.blocks.size(), nullptr);
    const std::size_t blocks = doc.blocks.size();
    held.blockFrom.reserve(blocks + 1);
    std::unordered_map<std::string, std::size_t> heldBlock; // upper-case name -> its place in doc.blocks
    for (std::size_t i = 0; i < blocks; ++i) {
        held.blockFrom.push_back(held.handles.size());
        bool any = false;
        eachInDrawOrder(db, later.ofBlock[i], [&](const AcDbEntity* e) {
            prediction.add(e);
            any = true;
        });
        if (!any) {
            later.ofBlock[i] = nullptr;
            continue;
        }
        const TagValue* n = findValue(doc.blocks[i].begin, 2);
        if (!heldBlock.emplace(upper(n ? n->view() : std::string_view()), i).second) return false;
    }
    held.blockFrom.push_back(held.handles.size());
    for (const auto& [space, paper] : later.spaces)
        eachInDrawOrder(db, space, [&](const AcDbEntity* e) { prediction.add(e); });
    prediction.finish();
    normalizeR2010(doc, held);

    EntityWriter writer(ctx, doc, held);
    std::vector<bool> written(blocks, false);
    TextStream stream;
    stream.flush = [&](std::string& text) {
        put(text);
        text.clear();
    };
    stream.held = [&](const Block* b, std::string& text) {
        if (!b) {
            writer.begin(0);
            for (const auto& space : later.spaces) {
                const bool paper = space.second;
                eachInDrawOrder(db, space.first, [&](const AcDbEntity* e) { writer.add(e, paper, text, stream); });
            }
            writer.end(text, stream);
            return;
        }
        const TagValue* n = findValue(b->begin, 2);
        auto it = heldBlock.find(upper(n ? n->view() : std::string_view()));
        if (it == heldBlock.end()) return;
        if (written[it->second]) throw Irregular{};
        written[it->second] = true;
        writer.begin(recordOwner(b->begin));
        eachInDrawOrder(db, later.ofBlock[it->second],
                        [&](const AcDbEntity* e) { writer.add(e, false, text, stream); });
        writer.end(text, stream);
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

// Gives the drawing's text to `put` as it is made. A drawing the stream cannot write as the whole
// document would be is made whole and given again, after `restart` has dropped what was given: what a
// save writes and what its digest is taken of are the same text.
void dxfText(AcDbDatabase* db, const std::function<void(std::string_view)>& put, const std::function<void()>& restart) {
    if (streamDxf(db, put)) return;
    restart();
    std::string text;
    {
        Document doc = saveDocument(db);
        text.reserve(1 << 20);
        writeDocument(doc, text);
    }
    put(text);
}

Acad::ErrorStatus writeDxf(AcDbDatabase* db, const ACHAR* fileName, docfile::FileContents* written,
                           const docfile::FileStamp* unchangedSince = nullptr) {
    db->saveProblem().clear();
    std::string native;
    DWORD error = 0;
    if (!fileName || !*fileName || !win::mapToNative(fileName, native, &error)) return Acad::eFileAccessErr;
    if (endsWithNoCase(native, ".dwg")) return Acad::eInvalidFileExtension;
    // The text goes to a temporary file renamed over the target (an interrupted save leaves the old
    // file as it was), written as it is made, so that saving holds little more than the drawing. A
    // drawing the stream cannot write as the whole document would be is made whole, then written.
    docfile::Replacement file;
    file.keepWritesMeanwhile(unchangedSince ? *unchangedSince : docfile::FileStamp{});
    try {
        if (!file.open(native)) {
            db->saveProblem() = file.why();
            return Acad::eFileAccessErr;
        }
        dxfText(
            db,
            [&](std::string_view text) {
                if (!file.write(text)) throw WriteFailed{};
            },
            [&] {
                if (!file.open(native)) throw WriteFailed{};
            });
    } catch (const WriteFailed&) {
        db->saveProblem() = file.why();
        return Acad::eFileAccessErr;
    } catch (const std::exception&) {
        return Acad::eFilerError;
    }
    if (file.commit()) {
        // The file's hash is the digest of the text: what the drawing is compared with for a change.
        if (written) *written = file.written();
        return Acad::eOk;
    }
    db->saveProblem() = file.why();
    return Acad::eFileAccessErr;
}

} // namespace

std::string lastSaveProblem(const AcDbDatabase* db) {
    return db->saveProblem();
}

std::optional<std::uint64_t> objectFingerprint(const AcDbObject* obj) {
    try {
        AcDbDatabase* db = obj ? obj->database() : nullptr;
        if (!db) return std::nullopt;
        WriteContext ctx{db};
        std::string text;
        auto add = [&text](const Tags& tags) {
            for (const Tag& tag : tags)
                text.append(std::to_string(tag.code)).append("\n").append(tag.value).append("\n");
        };
        // The ids a container lists: which entities a block holds, which records a table.
        auto addIds = [&text](const std::vector<AcDbObjectId>& ids) {
            for (const AcDbObjectId& id : ids) {
                const std::uint64_t h = id.isNull() ? 0 : id.handle().value();
                text.append(reinterpret_cast<const char*>(&h), sizeof h);
            }
        };
        if (auto* e = AcDbEntity::cast(obj)) {
            std::vector<Tags> out;
            writeEntity(ctx, e, out);
            for (const Tags& t : out) add(t);
        } else if (auto* br = AcDbBlockTableRecord::cast(obj)) {
            add(writeTableRecord(ctx, br, "BLOCK_RECORD"));
            Block b;
            writeBlock(ctx, br, b);
            add(b.begin);
            add(b.end);
            addIds(br->entityIds());
        } else if (auto* r = AcDbSymbolTableRecord::cast(obj)) {
            add(writeTableRecord(ctx, r, "RECORD"));
        } else if (auto* t = AcDbSymbolTable::cast(obj)) {
            add(writeTableHead(ctx, t, "TABLE"));
            addIds(t->recordIds());
        } else {
            Tags tags = writeObject(ctx, obj);
            if (tags.empty()) return std::nullopt;
            add(tags);
        }
        docfile::ContentHash hash;
        hash.add(text);
        return hash.value();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

Acad::ErrorStatus readDxfFile(AcDbDatabase* db, const ACHAR* fileName, docfile::FileContents* read) {
    std::vector<std::string> problems;
    std::string native;
    DWORD error = 0;
    if (!fileName || !*fileName || !win::mapToNative(fileName, native, &error)) return Acad::eFileNotFound;
    // Reading fills an empty database (made without the default drawing).
    if (db->objectCount() != 0) return Acad::eWrongDatabase;
    std::string bytes, why;
    std::string shown = dxf::narrow(fileName);
    bool noMemory = false;
    if (!docfile::readRegularFile(native, bytes, why, &noMemory)) {
        struct stat st {};
        bool missing = ::stat(native.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR);
        dxf::setDxfProblems(db, {shown + ": " + why});
        if (noMemory) return Acad::eOutOfMemory;
        return missing ? Acad::eFileNotFound : Acad::eFileAccessErr;
    }
    if (read) *read = docfile::contentsOf(win::linkedFile(native), bytes);
    const dxf::FileKind kind = dxf::sniff(bytes);
    try {
        dxf::loadDatabase(db, std::move(bytes), shown, problems);
    } catch (const dxf::Refused& e) {
        problems.push_back(e.what());
        dxf::setDxfProblems(db, problems);
        return kind == dxf::FileKind::NotText || kind == dxf::FileKind::Ascii ? Acad::eBadDxfSequence
                                                                              : Acad::eDwgNotRecognized;
    } catch (const std::bad_alloc&) {
        // The file may be sound: the memory ran out while it was read.
        problems.push_back(shown + ": there is not enough memory to read the drawing");
        dxf::setDxfProblems(db, problems);
        return Acad::eOutOfMemory;
    } catch (const std::exception& e) {
        problems.push_back(shown + ": " + e.what());
        dxf::setDxfProblems(db, problems);
        return Acad::eFilerError;
    }
    db->setFilename(fileName);
    return Acad::eOk;
}

Acad::ErrorStatus saveDxf(AcDbDatabase* db, const ACHAR* fileName, docfile::FileContents* written,
                          const docfile::FileStamp* unchangedSince) {
    Acad::ErrorStatus es = writeDxf(db, fileName, written, unchangedSince);
    if (es == Acad::eOk) db->setFilename(fileName);
    return es;
}

} // namespace dxf

Acad::ErrorStatus AcDbDatabase::readDxfFile(const ACHAR* fileName) {
    return dxf::readDxfFile(this, fileName, nullptr);
}

Acad::ErrorStatus AcDbDatabase::saveAs(const ACHAR* fileName) {
    return dxf::saveDxf(this, fileName, nullptr);
}

Acad::ErrorStatus AcDbDatabase::dxfOut(const ACHAR* fileName, int precision) {
    (void)precision; // numbers are always written to round trip exactly
    return dxf::writeDxf(this, fileName, nullptr);
}
