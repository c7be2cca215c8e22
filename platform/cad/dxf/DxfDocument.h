#pragma once
// A DXF file as sections of tagged records, read from any ASCII release and written as R2010.
#include "cad/dxf/DxfTags.h"

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace dxf {

struct Table {
    std::string name;
    Tags head; // the TABLE record itself
    std::vector<Tags> records;
};

struct Block {
    Tags begin; // BLOCK
    std::vector<Tags> entities;
    Tags end; // ENDBLK
};

struct Section {
    std::string name;
    Tags tags; // kept as read (THUMBNAILIMAGE, ACDSDATA ...)
};

struct Document {
    std::vector<std::pair<std::string, Tags>> header; // "$ACADVER" -> its value tags
    std::vector<Tags> classes;
    std::vector<Table> tables;
    std::vector<Block> blocks;
    std::vector<Tags> entities;
    std::vector<Tags> objects;
    std::vector<Section> other;
    std::vector<std::string> problems; // what was dropped or repaired, for the user
    bool cutShort = false;             // the file ends inside a section or without its EOF marker

    const Tags* headerVar(std::string_view name) const;
    void setHeaderVar(const std::string& name, Tags values);
    Table* table(std::string_view name);
    const Table* table(std::string_view name) const;
};

// Reads DXF text. Throws Refused for binary DXF, DWG and files that are no DXF at all; damage
// (unknown lines, missing sections or end markers, data after EOF) is repaired and listed in problems.
// passed, when given, is told now and then how far the text has been read: what lies before that is
// not looked at again.
Document parseDocument(std::string_view bytes, const std::string& fileName,
                       const std::function<void(std::size_t)>& passed = {});

// Moves the modeler geometry that R2013 and later keep in the ACDSDATA section into the entities it
// belongs to (solids, regions, bodies, surfaces), as R2010 holds it. When the section holds an entity's
// geometry in a form R2010 cannot, or one that cannot be read, no entity's is moved: those entities are
// returned ("3DSOLID 62C"), and the drawing keeps its release and the section as read.
std::vector<std::string> carryModelerGeometry(Document& doc);

// Brings a document of any release into the shape of an R2010 file: subclass markers, one handle
// per record, owners, the required tables, records, blocks, layouts and dictionaries. Fixes are
// added to problems.
void normalizeR2010(Document& doc);

// Records a document leaves out because they are written after it (a drawing's entities, as they
// are made): what bringing the document into shape needs of them. handles are theirs in the order
// they are written: doc.blocks[i]'s from blockFrom[i] to blockFrom[i + 1], the ENTITIES section's
// from blockFrom[doc.blocks.size()] on. types counts them by record type. Normalising fills given,
// in order: the new handle of each record (by its place in handles) whose handle is missing or taken
// by an earlier record.
struct HeldRecords {
    std::vector<std::uint64_t> handles;
    std::vector<std::size_t> blockFrom;
    std::unordered_map<std::string, int> types;
    std::vector<std::pair<std::size_t, std::uint64_t>> given;
};
void normalizeR2010(Document& doc, HeldRecords& held);
// Whether a record of this type may stand in an entity list, and whether normalising repairs a layer name.
bool isEntityType(std::string_view type);
bool isRepairedLayerName(std::string_view name);
// Whether an entity record stands as the reader takes it (normalising reshapes it otherwise).
bool entityInShape(const Tags& rec);

// Appends the document's DXF text to out.
void writeDocument(const Document& doc, std::string& out);

// Where text goes while a document is written in pieces: flush takes out whenever it has grown past
// a chunk (and what is left at the end), and held adds the records the document leaves out, for a
// block (null: the ENTITIES section) after the block's own.
struct TextStream {
    std::function<void(std::string&)> flush;
    std::function<void(const Block*, std::string&)> held;
};
void writeDocument(const Document& doc, std::string& out, const TextStream& stream);
// Appends one record's DXF text to out.
void putRecord(std::string& out, const Tags& tags);

// Record helpers. "Main" tags are those before the extended data (1001) and outside 102 groups.
std::string_view recordType(const Tags& tags);
const Tag* findTag(const Tags& tags, int code);
const TagValue* findValue(const Tags& tags, int code);
// A value of an entity's common part (layer, paper space ...): looks no further than its second subclass.
const TagValue* commonValue(const Tags& tags, int code);
std::uint64_t recordHandle(const Tags& tags);
void setRecordHandle(Tags& tags, std::uint64_t handle);
void setRecordOwner(Tags& tags, std::uint64_t owner);
std::uint64_t recordOwner(const Tags& tags);
bool hasSubclassMarkers(const Tags& tags);
bool equalsNoCase(std::string_view a, std::string_view b);
std::string upper(std::string_view s);

} // namespace dxf
