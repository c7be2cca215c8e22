#pragma once
// A DXF file as sections of tagged records, read from any ASCII release and written as R2010.
#include "cad/dxf/DxfTags.h"

#include <functional>
#include <string>
#include <string_view>
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

// Brings a document of any release into the shape of an R2010 file: subclass markers, one handle
// per record, owners, the required tables, records, blocks, layouts and dictionaries. Fixes are
// added to problems.
void normalizeR2010(Document& doc);

// Appends the document's DXF text to out.
void writeDocument(const Document& doc, std::string& out);

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
