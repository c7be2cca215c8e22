#pragma once
// Symbol tables and their records: blocks, layers, linetypes, text styles, registered applications,
// and the viewport, view, UCS and dimension-style tables a file carries.
#include "cad/db/AcCmColor.h"
#include "cad/db/AcDbObject.h"

class AcDbEntity;
class AcDbSymbolTable;
class AcDbBlockTableRecordIterator;

// Name rules for symbols: not empty, none of < > / \ " : ; ? * | , = `.
Acad::ErrorStatus acdbSNValid(const ACHAR* name, bool pipeAllowed = false);
// Frees a string the API allocated (names, layers, text strings).
void acutDelString(ACHAR*& s);
// A copy allocated with new[], freed with acutDelString.
ACHAR* acutDupString(const ACHAR* s);

class AcDbSymbolTableRecord : public AcDbObject {
    ACRX_DECLARE_MEMBERS(AcDbSymbolTableRecord)
public:
    Acad::ErrorStatus getName(ACHAR*& name) const; // a copy; free with acutDelString
    Acad::ErrorStatus getName(const ACHAR*& name) const {
        name = name_.c_str();
        return Acad::eOk;
    }
    const ACHAR* getName() const { return name_.c_str(); }
    // Checks the name and, for a record in a table, that the table has no other record of that name.
    Acad::ErrorStatus setName(const ACHAR* name);
    bool isDependent() const { return (flags_ & 16) != 0; }
    bool isResolved() const { return (flags_ & 32) != 0; }
    // The standard flags (group 70) as a file stores them.
    int dxfFlags() const { return flags_; }
    void setDxfFlags(int f) { flags_ = f; }

protected:
    AcDbSymbolTableRecord() = default;
    AcDbSymbolTableRecord(const AcDbSymbolTableRecord&) = default;
    std::wstring name_;
    int flags_ = 0;
    friend class AcDbSymbolTable;
};

// Walks a snapshot of ids in either direction, past erased ones when asked: what the table and block
// iterators share.
class AcDbIdCursor {
public:
    void start(bool atBeginning = true, bool skipDeleted = true);
    bool done() const;
    void step(bool forward = true, bool skipDeleted = true);
    Acad::ErrorStatus seek(AcDbObjectId id);

protected:
    AcDbIdCursor(std::vector<AcDbObjectId> ids, bool atBeginning, bool skipDeleted);
    ~AcDbIdCursor() = default;
    Acad::ErrorStatus currentId(AcDbObjectId& id) const; // eInvalidIndex when done
    void skip(bool forward, bool skipDeleted);
    std::vector<AcDbObjectId> ids_;
    long pos_ = 0;
};

class AcDbSymbolTableIterator : public AcDbIdCursor {
public:
    virtual ~AcDbSymbolTableIterator() = default;
    Acad::ErrorStatus getRecordId(AcDbObjectId& id) const { return currentId(id); }
    Acad::ErrorStatus getRecord(AcDbSymbolTableRecord*& rec, AcDb::OpenMode mode, bool openErased = false) const;
    AcDbSymbolTableIterator(std::vector<AcDbObjectId> ids, bool atBeginning, bool skipDeleted)
        : AcDbIdCursor(std::move(ids), atBeginning, skipDeleted) {}
};

template <typename R>
class AcDbSymbolTableIteratorT : public AcDbSymbolTableIterator {
public:
    using AcDbSymbolTableIterator::AcDbSymbolTableIterator;
    using AcDbSymbolTableIterator::getRecord;
    Acad::ErrorStatus getRecord(R*& rec, AcDb::OpenMode mode, bool openErased = false) const {
        AcDbObjectId id;
        rec = nullptr;
        Acad::ErrorStatus es = getRecordId(id);
        if (es != Acad::eOk) return es;
        return acdbOpenObject(rec, id, mode, openErased);
    }
};

class AcDbSymbolTable : public AcDbObject {
    ACRX_DECLARE_MEMBERS(AcDbSymbolTable)
public:
    Acad::ErrorStatus getAt(const ACHAR* name, AcDbSymbolTableRecord*& rec, AcDb::OpenMode mode,
                            bool openErased = false) const;
    Acad::ErrorStatus getAt(const ACHAR* name, AcDbObjectId& id, bool getErased = false) const;
    bool has(const ACHAR* name) const;
    bool has(AcDbObjectId id) const;
    // Adds a new record: its name must be valid and not taken (eDuplicateRecordName).
    Acad::ErrorStatus add(AcDbSymbolTableRecord* rec);
    Acad::ErrorStatus add(AcDbObjectId& id, AcDbSymbolTableRecord* rec);
    Acad::ErrorStatus newIterator(AcDbSymbolTableIterator*& it, bool atBeginning = true, bool skipDeleted = true) const;
    // Every record id in table order, erased ones included.
    const std::vector<AcDbObjectId>& recordIds() const { return ids_; }
    // Adds an existing record id (file reading; the record may come later). No name checks.
    Acad::ErrorStatus appendRecordId(AcDbObjectId id);
    // Records' names changed: rebuild the name index.
    void reindex();

    void ownedObjects(AcDbObjectIdArray& ids) const override;
    void collectReferences(std::vector<AcDbObjectId*>& refs) override;
    // A record's name changes; refused when another live record has it.
    Acad::ErrorStatus renameRecord(AcDbSymbolTableRecord* rec, const std::wstring& newName);

protected:
    AcDbSymbolTable() = default;
    AcDbSymbolTable(const AcDbSymbolTable&) = default;
    virtual bool acceptsRecord(const AcDbSymbolTableRecord* rec) const = 0;
    virtual Acad::ErrorStatus checkName(std::wstring& name) const;
    AcDbObjectId findLive(const std::wstring& name) const;
    std::vector<AcDbObjectId> ids_;
    mutable std::map<std::wstring, std::vector<AcDbObjectId>> index_; // upper-case name -> records
    mutable bool dirty_ = true;
    mutable bool unresolved_ = false; // some ids had no record yet when the index was built
};

#define ACDB_SYMBOL_TABLE(TABLE, RECORD)                                                                              \
    class RECORD;                                                                                                     \
    using TABLE##Iterator = AcDbSymbolTableIteratorT<RECORD>;                                                         \
    class TABLE : public AcDbSymbolTable {                                                                            \
        ACRX_DECLARE_MEMBERS(TABLE)                                                                                   \
    public:                                                                                                           \
        TABLE() = default;                                                                                            \
        ACDB_CLONE_DATA(TABLE)                                                                                        \
        using AcDbSymbolTable::getAt;                                                                                 \
        using AcDbSymbolTable::newIterator;                                                                           \
        Acad::ErrorStatus getAt(const ACHAR* name, RECORD*& rec, AcDb::OpenMode mode, bool openErased = false) const; \
        Acad::ErrorStatus newIterator(TABLE##Iterator*& it, bool atBeginning = true, bool skipDeleted = true) const;  \
                                                                                                                      \
    protected:                                                                                                        \
        bool acceptsRecord(const AcDbSymbolTableRecord* rec) const override;                                          \
        Acad::ErrorStatus checkName(std::wstring& name) const override;                                               \
    };

ACDB_SYMBOL_TABLE(AcDbBlockTable, AcDbBlockTableRecord)
ACDB_SYMBOL_TABLE(AcDbLayerTable, AcDbLayerTableRecord)
ACDB_SYMBOL_TABLE(AcDbLinetypeTable, AcDbLinetypeTableRecord)
ACDB_SYMBOL_TABLE(AcDbTextStyleTable, AcDbTextStyleTableRecord)
ACDB_SYMBOL_TABLE(AcDbRegAppTable, AcDbRegAppTableRecord)
ACDB_SYMBOL_TABLE(AcDbViewportTable, AcDbViewportTableRecord)
ACDB_SYMBOL_TABLE(AcDbViewTable, AcDbViewTableRecord)
ACDB_SYMBOL_TABLE(AcDbUCSTable, AcDbUCSTableRecord)
ACDB_SYMBOL_TABLE(AcDbDimStyleTable, AcDbDimStyleTableRecord)

extern const ACHAR* ACDB_MODEL_SPACE; // "*Model_Space"
extern const ACHAR* ACDB_PAPER_SPACE; // "*Paper_Space"

class AcDbBlockTableRecordIterator : public AcDbIdCursor {
public:
    Acad::ErrorStatus getEntityId(AcDbObjectId& id) const { return currentId(id); }
    Acad::ErrorStatus getEntity(AcDbEntity*& ent, AcDb::OpenMode mode, bool openErased = false) const;
    AcDbBlockTableRecordIterator(std::vector<AcDbObjectId> ids, bool atBeginning, bool skipDeleted)
        : AcDbIdCursor(std::move(ids), atBeginning, skipDeleted) {}
};

class AcDbBlockTableRecord : public AcDbSymbolTableRecord {
    ACRX_DECLARE_MEMBERS(AcDbBlockTableRecord)
public:
    AcDbBlockTableRecord() = default;
    ACDB_CLONE_DATA(AcDbBlockTableRecord)

    // The entity joins the database, owned by this block, at the end of its entity list.
    Acad::ErrorStatus appendAcDbEntity(AcDbEntity* ent);
    Acad::ErrorStatus appendAcDbEntity(AcDbObjectId& id, AcDbEntity* ent);
    Acad::ErrorStatus newIterator(AcDbBlockTableRecordIterator*& it, bool atBeginning = true,
                                  bool skipDeleted = true) const;
    // Moves entities of other blocks of the same database into this one.
    Acad::ErrorStatus assumeOwnershipOf(const AcDbObjectIdArray& entities);
    const std::vector<AcDbObjectId>& entityIds() const { return entities_; }
    // Adds an existing entity id at the end (file reading). The entity's owner is not changed.
    Acad::ErrorStatus appendEntityId(AcDbObjectId id);
    void removeEntityId(AcDbObjectId id);

    AcGePoint3d origin() const { return origin_; }
    Acad::ErrorStatus setOrigin(const AcGePoint3d& p);
    bool isLayout() const { return !layout_.isNull(); }
    AcDbObjectId getLayoutId() const { return layout_; }
    Acad::ErrorStatus setLayoutId(AcDbObjectId id);
    bool isAnonymous() const { return (flags_ & 1) != 0 || (!name_.empty() && name_[0] == L'*' && !isSpaceName()); }
    bool isSpaceName() const;
    bool hasAttributeDefinitions() const;
    bool isFromExternalReference() const { return (flags_ & 4) != 0; }
    const ACHAR* comments() const { return comments_.c_str(); }
    Acad::ErrorStatus setComments(const ACHAR* c);
    const ACHAR* pathName() const { return path_.c_str(); }
    Acad::ErrorStatus setPathName(const ACHAR* p);
    // The inserts of this block in the database (live ones).
    Acad::ErrorStatus getBlockReferenceIds(AcDbObjectIdArray& ids, bool directOnly = true,
                                           bool forceValidity = false) const;
    // The dynamic block an anonymous "*U" block was made from; null for others.
    AcDbObjectId dynamicBlockDefinitionId() const { return dynamicBlock_; }
    void setDynamicBlockDefinitionId(AcDbObjectId id) { dynamicBlock_ = id; }
    // Handles of the block's BLOCK and ENDBLK records in a file.
    AcDbHandle blockBeginHandle() const { return beginHandle_; }
    AcDbHandle blockEndHandle() const { return endHandle_; }
    void setBlockBeginHandle(AcDbHandle h) { beginHandle_ = h; }
    void setBlockEndHandle(AcDbHandle h) { endHandle_ = h; }
    // Tags of the BLOCK and ENDBLK records a file carried that the model does not interpret.
    AcDbDxfTags& blockBeginExtraTags() { return beginTags_; }
    AcDbDxfTags& blockEndExtraTags() { return endTags_; }
    int insertUnits() const { return insUnits_; }
    void setInsertUnits(int u) { insUnits_ = u; }
    bool explodable() const { return explodable_; }
    void setExplodable(bool v) { explodable_ = v; }
    bool blockScaling() const { return scaling_; }
    void setBlockScaling(bool v) { scaling_ = v; }

    void ownedObjects(AcDbObjectIdArray& ids) const override;
    void collectReferences(std::vector<AcDbObjectId*>& refs) override;
    void onErase(bool erasing) override;
    Acad::ErrorStatus canErase() const override;

private:
    AcDbBlockTableRecord(const AcDbBlockTableRecord& o);
    std::vector<AcDbObjectId> entities_;
    AcGePoint3d origin_;
    AcDbObjectId layout_, dynamicBlock_;
    std::wstring comments_, path_;
    AcDbHandle beginHandle_, endHandle_;
    AcDbDxfTags beginTags_, endTags_;
    int insUnits_ = 0;
    bool explodable_ = true, scaling_ = false;
};

class AcDbLayerTableRecord : public AcDbSymbolTableRecord {
    ACRX_DECLARE_MEMBERS(AcDbLayerTableRecord)
public:
    AcDbLayerTableRecord();
    ACDB_CLONE_DATA(AcDbLayerTableRecord)
    AcCmColor color() const { return color_; }
    void setColor(const AcCmColor& c);
    bool isFrozen() const { return (flags_ & 1) != 0; }
    Acad::ErrorStatus setIsFrozen(bool v);
    bool isLocked() const { return (flags_ & 4) != 0; }
    void setIsLocked(bool v);
    bool isOff() const { return off_; }
    void setIsOff(bool v);
    bool isPlottable() const { return plottable_; }
    Acad::ErrorStatus setIsPlottable(bool v);
    AcDb::LineWeight lineWeight() const { return lineWeight_; }
    Acad::ErrorStatus setLineWeight(AcDb::LineWeight w);
    AcDbObjectId linetypeObjectId() const { return linetype_; }
    void setLinetypeObjectId(AcDbObjectId id);
    const ACHAR* description() const { return description_.c_str(); }
    Acad::ErrorStatus setDescription(const ACHAR* d);
    bool isHidden() const { return false; }
    bool isInUse() const { return true; }
    AcDbObjectId plotStyleNameId() const { return plotStyle_; }
    void setPlotStyleNameId(AcDbObjectId id) { plotStyle_ = id; }
    AcDbObjectId materialId() const { return material_; }
    void setMaterialId(AcDbObjectId id) { material_ = id; }
    void collectReferences(std::vector<AcDbObjectId*>& refs) override;
    // Layer "0" and the current layer stay.
    Acad::ErrorStatus canErase() const override;

private:
    AcCmColor color_;
    bool off_ = false, plottable_ = true;
    AcDb::LineWeight lineWeight_ = AcDb::kLnWtByLwDefault;
    AcDbObjectId linetype_, plotStyle_, material_;
    std::wstring description_;
};

class AcDbLinetypeTableRecord : public AcDbSymbolTableRecord {
    ACRX_DECLARE_MEMBERS(AcDbLinetypeTableRecord)
public:
    AcDbLinetypeTableRecord() = default;
    ACDB_CLONE_DATA(AcDbLinetypeTableRecord)
    double patternLength() const { return patternLength_; }
    void setPatternLength(double v);
    int numDashes() const { return int(dashes_.size()); }
    void setNumDashes(int n);
    double dashLengthAt(int i) const;
    void setDashLengthAt(int i, double v);
    const ACHAR* comments() const { return comments_.c_str(); }
    Acad::ErrorStatus setComments(const ACHAR* c);
    bool isScaledToFit() const { return scaledToFit_; }
    void setIsScaledToFit(bool v) { scaledToFit_ = v; }
    // Per-dash shape or text tags (codes 74, 75, 340, 46, 50, 44, 45, 9) as a file stores them.
    AcDbDxfTags& dashExtraTags(int i);
    // ByBlock, ByLayer and Continuous stay.
    Acad::ErrorStatus canErase() const override;

private:
    double patternLength_ = 0;
    std::vector<double> dashes_;
    std::vector<AcDbDxfTags> dashTags_;
    std::wstring comments_;
    bool scaledToFit_ = false;
};

class AcDbTextStyleTableRecord : public AcDbSymbolTableRecord {
    ACRX_DECLARE_MEMBERS(AcDbTextStyleTableRecord)
public:
    AcDbTextStyleTableRecord() = default;
    ACDB_CLONE_DATA(AcDbTextStyleTableRecord)
    double textSize() const { return textSize_; }
    void setTextSize(double v) {
        assertWriteEnabled();
        textSize_ = v;
    }
    double xScale() const { return xScale_; }
    void setXScale(double v) {
        assertWriteEnabled();
        xScale_ = v;
    }
    double obliquingAngle() const { return oblique_; }
    void setObliquingAngle(double v) {
        assertWriteEnabled();
        oblique_ = v;
    }
    double priorSize() const { return priorSize_; }
    void setPriorSize(double v) {
        assertWriteEnabled();
        priorSize_ = v;
    }
    int flagBits() const { return genFlags_; }
    void setFlagBits(int v) {
        assertWriteEnabled();
        genFlags_ = v;
    }
    bool isShapeFile() const { return (flags_ & 1) != 0; }
    bool isVertical() const { return (flags_ & 4) != 0; }
    Acad::ErrorStatus fileName(const ACHAR*& f) const {
        f = fileName_.c_str();
        return Acad::eOk;
    }
    Acad::ErrorStatus setFileName(const ACHAR* f);
    Acad::ErrorStatus bigFontFileName(const ACHAR*& f) const {
        f = bigFont_.c_str();
        return Acad::eOk;
    }
    Acad::ErrorStatus setBigFontFileName(const ACHAR* f);

private:
    double textSize_ = 0, xScale_ = 1, oblique_ = 0, priorSize_ = 2.5;
    int genFlags_ = 0;
    std::wstring fileName_ = L"txt", bigFont_;
};

// Records of these tables keep their data as the file's tags (dxfExtraTags).
#define ACDB_PLAIN_RECORD(CLS)                 \
    class CLS : public AcDbSymbolTableRecord { \
        ACRX_DECLARE_MEMBERS(CLS)              \
    public:                                    \
        CLS() = default;                       \
        ACDB_CLONE_DATA(CLS)                   \
    };
ACDB_PLAIN_RECORD(AcDbRegAppTableRecord)
ACDB_PLAIN_RECORD(AcDbViewportTableRecord)
ACDB_PLAIN_RECORD(AcDbViewTableRecord)
ACDB_PLAIN_RECORD(AcDbUCSTableRecord)
ACDB_PLAIN_RECORD(AcDbDimStyleTableRecord)
