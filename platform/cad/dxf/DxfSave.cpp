// Writing a database as a DXF file, and the database's file calls.
#include "cad/dxf/DxfDatabase.h"
#include "cad/dxf/DxfEntities.h"

#include "cad/app/DocumentFile.h"
#include "win/Paths.h"

#include <cerrno>
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

} // namespace

Document saveDocument(AcDbDatabase* db) {
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
        }
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
            for (const AcDbObjectId& eid : br->entityIds()) {
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
