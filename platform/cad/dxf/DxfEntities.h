#pragma once
// Records of a DXF document and the database objects they become, both ways.
#include <string>
#include <optional>
#include <unordered_map>
#include <vector>

#include "cad/db/AcDbDatabase.h"
#include "cad/dxf/DxfDocument.h"

namespace dxf {

// A record split into the parts every object has.
struct Record {
    explicit Record(const Tags& t);
    const Tags& tags;
    std::uint64_t handle = 0, owner = 0, xdict = 0;
    std::vector<std::uint64_t> reactors;
    std::size_t commonBegin = 0, commonEnd = 0; // an entity's common part (after its AcDbEntity marker)
    std::size_t bodyBegin = 0, bodyEnd = 0;     // the rest, from its first subclass marker to the extended data
};

struct ReadContext {
    AcDbDatabase* db = nullptr;
    std::unordered_map<std::string, AcDbObjectId> blockIds; // upper-case names, until the blocks are read
    AcDbObjectId idOf(std::uint64_t handle);
    AcDbObjectId idOf(std::string_view handle) { return idOf(parseHandle(handle)); }
    void reserveHandle(std::uint64_t handle) { idOf(handle); }
    // Layers and linetypes by their name as written (entities share a few of them).
    // A layer or linetype record found, with its own spelling of its name (none when not found).
    struct Found {
        AcDbObjectId id;
        std::optional<AcDbSharedName> name;
    };
    std::unordered_map<std::string, Found> layerCache, linetypeCache;
    std::unordered_map<std::string, AcDbObjectId> styleCache;
    const Found& layerNamed(std::string_view name);
    const Found& linetypeNamed(std::string_view name);
    AcDbObjectId styleNamed(std::string_view name); // a text style
    // Inserts with a scale of 0 (2D writers put a Z scale of 0), drawn with 1 that way: in Z, in X or Y.
    std::size_t flatInserts = 0, collapsedInserts = 0;
    // Gradient hatches with a value that is not a number, repaired.
    std::size_t repairedGradients = 0;
    // Work that needs every object in place.
    std::vector<std::pair<AcDbObjectId, std::vector<AcDbObjectId>>> frozenLayers;
    // The header names its current layer, linetype and text style before the tables that hold them.
    std::wstring pendingClayer, pendingCeltype, pendingTextstyle;
    void finish();
};

void applyObjectParts(AcDbObject* obj, const Record& rec);
// Entities copied in the session from one whose modeler geometry lies in the ACDSDATA section: the
// copy's handle and the handle of the entity read.
std::vector<std::pair<std::uint64_t, std::uint64_t>> modelerGeometryCopies(AcDbDatabase* db);
bool readHeaderVar(ReadContext& ctx, const std::string& name, const Tags& values);
AcDbSymbolTable* newSymbolTable(const std::string& name);
void setTableId(AcDbDatabase* db, const std::string& name, AcDbObjectId id);
AcDbSymbolTableRecord* readTableRecord(ReadContext& ctx, const std::string& table, const Record& rec);
void readBlockBegin(ReadContext& ctx, AcDbBlockTableRecord* br, const Record& rec);
void keepEndTags(AcDbBlockTableRecord* br, const Record& rec);
// Null for a type kept as read whose tags are damaged: it cannot be written again whole.
AcDbEntity* readEntity(ReadContext& ctx, const Record& rec);
AcDbObject* readObject(ReadContext& ctx, const Record& rec);

struct WriteContext {
    explicit WriteContext(AcDbDatabase* d) : db(d) {}
    AcDbDatabase* db = nullptr;
    // Blocks made while saving for tables that have none: the table's handle -> the block's name and the
    // handle of its record.
    std::unordered_map<std::uint64_t, std::pair<std::string, std::uint64_t>> tableBlocks;
    std::string handle(AcDbObjectId id) const;
    std::string nameOf(AcDbObjectId id) const; // a symbol table record's name
};

void writeHeader(WriteContext& ctx, Document& doc);
Tags writeTableHead(WriteContext& ctx, const AcDbSymbolTable* table, const char* name);
Tags writeTableRecord(WriteContext& ctx, const AcDbSymbolTableRecord* rec, const char* type);
void writeBlock(WriteContext& ctx, const AcDbBlockTableRecord* br, Block& out);
// The entity and the records that follow it (attributes, vertices, sequence end).
void writeEntity(WriteContext& ctx, const AcDbEntity* ent, std::vector<Tags>& out);
Tags writeObject(WriteContext& ctx, const AcDbObject* obj);

} // namespace dxf
