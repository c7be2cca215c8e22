// Writing a database as a DXF file, and the database's file calls.
#include "cad/dxf/DxfDatabase.h"
#include "cad/db/AcDbTable.h"
#include "cad/dxf/DxfEntities.h"

#include "cad/app/DocumentFile.h"
#include "win/Paths.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <sys/stat.h>
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

// A block's entities in its draw order, bottom first, so that a reader that ignores the draw-order table
// draws the same picture; the table is asked once per block.
std::vector<AcDbObjectId> drawOrder(AcDbDatabase* db, const AcDbBlockTableRecord* br) {
    auto* dictionary = AcDbDictionary::cast(db->peek(br->extensionDictionary()));
    AcDbObjectId tableId;
    if (dictionary && !dictionary->isErased() && dictionary->getAt(L"ACAD_SORTENTS", tableId) == Acad::eOk)
        // A table of another block (a damaged file) would bring that block's entities.
        if (auto* table = AcDbSortentsTable::cast(db->peek(tableId));
            table && !table->isErased() && table->blockId() == br->objectId()) {
            AcDbObjectIdArray ordered;
            if (table->getFullDrawOrder(ordered) == Acad::eOk) return {ordered.begin(), ordered.end()};
        }
    return br->entityIds();
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

// Other programs do not compute tables: they show the anonymous block a table names. A table the
// drawing gives no block gets one made as the plot draws it (the cells it draws and how a block cell's
// block is shrunk come from the table): each cell's frame as lines, its text centred, a block cell's block
// centred.
// The block lies in the table's plane about its insertion point, on the table's layer and colour.
class TableBlocks {
public:
    TableBlocks(WriteContext& ctx, std::uint64_t blockTable) : ctx_(ctx), db_(ctx.db), blockTable_(blockTable) {
        next_ = db_->handseed().value();
        if (auto* blocks = AcDbBlockTable::cast(db_->peek(db_->blockTableId())))
            for (const AcDbObjectId& rid : blocks->recordIds())
                if (auto* br = AcDbBlockTableRecord::cast(db_->peek(rid)); br && !br->isErased())
                    names_.insert(upper(narrow(br->getName())));
    }

    // Names a block for every table of a live block that has none.
    void plan() {
        for (const AcDbObjectId& id : db_->allObjectIds()) {
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

Document saveDocument(AcDbDatabase* db) {
    Document doc;
    WriteContext ctx{db};
    TableBlocks tableBlocks(ctx, db->blockTableId().handle().value());
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
            if (!rec || rec->isErased()) continue;
            t.records.push_back(writeTableRecord(ctx, rec, ref.name));
        }
        if (std::string_view(ref.name) == "BLOCK_RECORD") tableBlocks.writeRecords(t);
        doc.tables.push_back(std::move(t));
    }
    if (auto* blocks = AcDbBlockTable::cast(db->peek(db->blockTableId()))) {
        for (const AcDbObjectId& rid : blocks->recordIds()) {
            auto* br = AcDbBlockTableRecord::cast(db->peek(rid));
            if (!br || br->isErased()) continue;
            Block b;
            writeBlock(ctx, br, b);
            std::string name = upper(narrow(br->getName()));
            bool model = name == "*MODEL_SPACE", paper = name == "*PAPER_SPACE";
            std::vector<Tags>& target = model || paper ? doc.entities : b.entities;
            for (const AcDbObjectId& eid : drawOrder(db, br)) {
                auto* e = AcDbEntity::cast(db->peek(eid));
                if (!e || e->isErased()) continue;
                std::size_t from = target.size();
                writeEntity(ctx, e, target);
                if (paper)
                    for (std::size_t i = from; i < target.size(); ++i) markPaperSpace(target[i]);
            }
            doc.blocks.push_back(std::move(b));
        }
    }
    tableBlocks.writeBlocks(doc.blocks);
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
    normalizeR2010(doc);
    return doc;
}

namespace {

bool endsWithNoCase(const std::string& s, std::string_view suffix) {
    return s.size() >= suffix.size() && equalsNoCase(std::string_view(s).substr(s.size() - suffix.size()), suffix);
}

// The whole text goes to a temporary file renamed over the target: an interrupted save leaves
// the old file as it was.
Acad::ErrorStatus replaceFile(const AcDbDatabase* db, const std::string& target, const std::string& text) {
    docfile::Replacement file;
    if (file.open(target) && file.write(text) && file.commit()) return Acad::eOk;
    db->saveProblem() = file.why();
    return Acad::eFileAccessErr;
}

Acad::ErrorStatus writeDxf(AcDbDatabase* db, const ACHAR* fileName) {
    db->saveProblem().clear();
    std::string native;
    DWORD error = 0;
    if (!fileName || !*fileName || !win::mapToNative(fileName, native, &error)) return Acad::eFileAccessErr;
    if (endsWithNoCase(native, ".dwg")) return Acad::eInvalidFileExtension;
    std::string text;
    try {
        Document doc = saveDocument(db);
        text.reserve(1 << 20);
        writeDocument(doc, text);
    } catch (const std::exception&) {
        return Acad::eFilerError;
    }
    return replaceFile(db, native, text);
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
