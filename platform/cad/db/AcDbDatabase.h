#pragma once
// The drawing database: objects by handle, header variables, tables and dictionaries, open rules,
// deep cloning, and the global open and look-up functions.
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "cad/db/AcDbEntity.h"
#include "cad/db/AcDbSymbolTable.h"

class AcDbIdPair {
public:
    AcDbIdPair() = default;
    AcDbIdPair(AcDbObjectId key, AcDbObjectId value, bool isCloned, bool isPrimary = false, bool isOwnerXlated = true)
        : key_(key), value_(value), cloned_(isCloned), primary_(isPrimary), ownerXlated_(isOwnerXlated) {}
    AcDbObjectId key() const { return key_; }
    AcDbObjectId value() const { return value_; }
    bool isCloned() const { return cloned_; }
    bool isPrimary() const { return primary_; }
    bool isOwnerXlated() const { return ownerXlated_; }
    void setKey(AcDbObjectId k) { key_ = k; }
    void setValue(AcDbObjectId v) { value_ = v; }
    void setIsCloned(bool v) { cloned_ = v; }
    void setIsPrimary(bool v) { primary_ = v; }

private:
    AcDbObjectId key_, value_;
    bool cloned_ = false, primary_ = false, ownerXlated_ = true;
};

class AcDbIdMappingIter;

// The map a deep clone fills: source id -> clone id.
class AcDbIdMapping {
public:
    AcDbIdMapping() = default;
    Acad::ErrorStatus assign(const AcDbIdPair& pair);
    bool compute(AcDbIdPair& pair) const; // fills the value for the pair's key
    bool del(AcDbObjectId key);
    AcDbDatabase* destDb() const { return dest_; }
    AcDbDatabase* origDb() const { return orig_; }
    void setDestDb(AcDbDatabase* db) { dest_ = db; }
    void setOrigDb(AcDbDatabase* db) { orig_ = db; }
    int size() const { return int(pairs_.size()); }
    const std::vector<AcDbIdPair>& pairs() const { return pairs_; }

private:
    std::vector<AcDbIdPair> pairs_;
    std::unordered_map<AcDbObjectId, size_t, AcDbObjectIdHash> index_;
    AcDbDatabase *dest_ = nullptr, *orig_ = nullptr;
};

class AcDbIdMappingIter {
public:
    explicit AcDbIdMappingIter(const AcDbIdMapping& map) : map_(map) {}
    Acad::ErrorStatus iterateOn(const AcDbIdMapping&) {
        pos_ = 0;
        return Acad::eOk;
    }
    void start() { pos_ = 0; }
    bool done() const { return pos_ >= size_t(map_.size()); }
    bool next() {
        ++pos_;
        return !done();
    }
    bool getMap(AcDbIdPair& pair) const;

private:
    const AcDbIdMapping& map_;
    size_t pos_ = 0;
};

class AcDbDatabase {
public:
    // With buildDefaultDrawing the standard tables, records, dictionaries and layouts are made.
    explicit AcDbDatabase(bool buildDefaultDrawing = true, bool noDocument = false);
    virtual ~AcDbDatabase();
    AcDbDatabase(const AcDbDatabase&) = delete;
    AcDbDatabase& operator=(const AcDbDatabase&) = delete;

    // Creates whatever standard part is missing: tables, layer "0", linetypes ByBlock, ByLayer and
    // Continuous, text style and dimension style "Standard", application "ACAD", "*Model_Space" and
    // "*Paper_Space" with their layouts, the named-object dictionary with its standard dictionaries.
    void completeDefaults();

    // ---- Files (reading and writing live in the drawing-file part).
    Acad::ErrorStatus readDxfFile(const ACHAR* fileName);
    Acad::ErrorStatus saveAs(const ACHAR* fileName);
    Acad::ErrorStatus dxfOut(const ACHAR* fileName, int precision = 16);
    Acad::ErrorStatus getFilename(const ACHAR*& name) const {
        name = fileName_.c_str();
        return Acad::eOk;
    }
    void setFilename(const std::wstring& name) { fileName_ = name; }
    // The format version of the file last read ("AC1032" ...), empty for a new drawing.
    const std::wstring& originalFileVersion() const { return fileVersion_; }
    void setOriginalFileVersion(const std::wstring& v) { fileVersion_ = v; }
    // What the last read or save of a file found wrong, as the drawing-file part words it: notes about
    // the drawing, not part of it, so they can be set on a drawing open for read.
    std::vector<std::string>& fileProblems() const { return fileProblems_; }
    std::string& saveProblem() const { return saveProblem_; }
    // Whether the file last read ends inside a section or without its EOF marker: a copy cut short,
    // of which only a part could be read.
    bool& fileCutShort() const { return fileCutShort_; }

    // ---- Objects and handles.
    // Adds a new object (not in any database yet). With a handle (file reading) the object takes it;
    // eHandleInUse when another object has it.
    Acad::ErrorStatus addAcDbObject(AcDbObjectId& id, AcDbObject* obj);
    Acad::ErrorStatus addAcDbObject(AcDbObjectId& id, AcDbObject* obj, AcDbHandle handle);
    // The id for a handle; with createIfNotFound an id is made for an object that comes later.
    Acad::ErrorStatus getAcDbObjectId(AcDbObjectId& id, bool createIfNotFound, const AcDbHandle& handle,
                                      Adesk::UInt32 xRefId = 0);
    AcDbHandle handseed() const { return seed_; }
    // The next handle to give; never at or below a handle in use.
    Acad::ErrorStatus setHandseed(const AcDbHandle& h);
    // Every id that has an object, erased ones included, in handle order.
    std::vector<AcDbObjectId> allObjectIds() const;
    // The same, of the objects `keep` takes only: a drawing has hundreds of thousands of objects, and
    // a save looks for a few kinds among them.
    std::vector<AcDbObjectId> objectIdsWhere(const std::function<bool(const AcDbObject*)>& keep) const;
    size_t objectCount() const { return objectCount_; }
    // Makes room for so many objects in all (a file reader knows how many are coming).
    void reserveObjects(size_t n) { stubs_.reserve(n); }

    // ---- Open rules.
    // The document lock hook: when set and answering false, write opens give eLockViolation.
    void setLockCheck(std::function<bool()> isLocked) { lockCheck_ = std::move(isLocked); }
    bool isWriteAllowed() const { return loading_ || !lockCheck_ || lockCheck_(); }
    // While loading, locks, locked layers, names and extended-data checks are not applied.
    void setLoading(bool v) { loading_ = v; }
    bool isLoading() const { return loading_; }
    // Whether the drawing changed since it was read or last saved: every write open, new object and
    // header variable set outside loading marks it; the host's save of the document clears it.
    // Once changes are tracked, a write open marks it only while the object differs from how it was.
    bool isModified() const { return modified_ || headerChanged_ || !differing_.empty() || !writing_.empty(); }
    void setModified(bool v);
    // From now on an object opened for write is taken for changed only when its fingerprint (what a
    // save writes of it) differs from the one it had before its first write since the last save: a
    // value set to what it was, or an object opened for write and left, is no change, and the check
    // costs what was written, not what the drawing holds. A fingerprint of nothing means unknown:
    // the object counts as changed. New objects always change the drawing.
    void trackChanges(std::function<std::optional<std::uint64_t>(const AcDbObject*)> fingerprint);
    Acad::ErrorStatus openObject(AcDbObject*& obj, AcDbObjectId id, AcDb::OpenMode mode, bool openErased = false);
    Acad::ErrorStatus closeObject(AcDbObject* obj);
    Acad::ErrorStatus upgradeObject(AcDbObject* obj);
    // Objects currently open (each once, whatever its count).
    std::vector<AcDbObjectId> openedObjects() const;
    int openObjectCount() const { return int(open_.size()); }
    // Changes made to resident objects not open for write.
    int writeViolations() const { return writeViolations_; }
    const std::wstring& lastWriteViolation() const { return lastViolation_; }
    void noteWriteViolation(const AcDbObject* obj);

    // ---- Tables and dictionaries.
    Acad::ErrorStatus getBlockTable(AcDbBlockTable*& t, AcDb::OpenMode mode);
    Acad::ErrorStatus getLayerTable(AcDbLayerTable*& t, AcDb::OpenMode mode);
    Acad::ErrorStatus getLinetypeTable(AcDbLinetypeTable*& t, AcDb::OpenMode mode);
    Acad::ErrorStatus getTextStyleTable(AcDbTextStyleTable*& t, AcDb::OpenMode mode);
    Acad::ErrorStatus getRegAppTable(AcDbRegAppTable*& t, AcDb::OpenMode mode);
    Acad::ErrorStatus getViewportTable(AcDbViewportTable*& t, AcDb::OpenMode mode);
    Acad::ErrorStatus getViewTable(AcDbViewTable*& t, AcDb::OpenMode mode);
    Acad::ErrorStatus getUCSTable(AcDbUCSTable*& t, AcDb::OpenMode mode);
    Acad::ErrorStatus getDimStyleTable(AcDbDimStyleTable*& t, AcDb::OpenMode mode);
    Acad::ErrorStatus getSymbolTable(AcDbBlockTable*& t, AcDb::OpenMode mode) { return getBlockTable(t, mode); }
    Acad::ErrorStatus getSymbolTable(AcDbLayerTable*& t, AcDb::OpenMode mode) { return getLayerTable(t, mode); }
    Acad::ErrorStatus getSymbolTable(AcDbLinetypeTable*& t, AcDb::OpenMode mode) { return getLinetypeTable(t, mode); }
    Acad::ErrorStatus getSymbolTable(AcDbTextStyleTable*& t, AcDb::OpenMode mode) { return getTextStyleTable(t, mode); }
    Acad::ErrorStatus getSymbolTable(AcDbRegAppTable*& t, AcDb::OpenMode mode) { return getRegAppTable(t, mode); }
    Acad::ErrorStatus getNamedObjectsDictionary(AcDbDictionary*& d, AcDb::OpenMode mode);
    Acad::ErrorStatus getLayoutDictionary(AcDbDictionary*& d, AcDb::OpenMode mode);
    Acad::ErrorStatus getTableStyleDictionary(AcDbDictionary*& d, AcDb::OpenMode mode);
    Acad::ErrorStatus getGroupDictionary(AcDbDictionary*& d, AcDb::OpenMode mode);
    Acad::ErrorStatus getPlotSettingsDictionary(AcDbDictionary*& d, AcDb::OpenMode mode);

    AcDbObjectId blockTableId() const { return blockTable_; }
    AcDbObjectId layerTableId() const { return layerTable_; }
    AcDbObjectId linetypeTableId() const { return linetypeTable_; }
    AcDbObjectId textStyleTableId() const { return textStyleTable_; }
    AcDbObjectId regAppTableId() const { return regAppTable_; }
    AcDbObjectId viewportTableId() const { return viewportTable_; }
    AcDbObjectId viewTableId() const { return viewTable_; }
    AcDbObjectId UCSTableId() const { return ucsTable_; }
    AcDbObjectId dimStyleTableId() const { return dimStyleTable_; }
    AcDbObjectId namedObjectsDictionaryId() const { return nod_; }
    AcDbObjectId layoutDictionaryId() const { return nodEntry(L"ACAD_LAYOUT"); }
    AcDbObjectId tableStyleDictionaryId() const { return nodEntry(L"ACAD_TABLESTYLE"); }
    AcDbObjectId groupDictionaryId() const { return nodEntry(L"ACAD_GROUP"); }
    AcDbObjectId plotSettingsDictionaryId() const { return nodEntry(L"ACAD_PLOTSETTINGS"); }
    // File reading names the tables and the root dictionary it built.
    void setBlockTableId(AcDbObjectId id) { blockTable_ = id; }
    void setLayerTableId(AcDbObjectId id) { layerTable_ = id; }
    void setLinetypeTableId(AcDbObjectId id) { linetypeTable_ = id; }
    void setTextStyleTableId(AcDbObjectId id) { textStyleTable_ = id; }
    void setRegAppTableId(AcDbObjectId id) { regAppTable_ = id; }
    void setViewportTableId(AcDbObjectId id) { viewportTable_ = id; }
    void setViewTableId(AcDbObjectId id) { viewTable_ = id; }
    void setUCSTableId(AcDbObjectId id) { ucsTable_ = id; }
    void setDimStyleTableId(AcDbObjectId id) { dimStyleTable_ = id; }
    void setNamedObjectsDictionaryId(AcDbObjectId id) { nod_ = id; }

    // Shortcuts: records by name (null when missing).
    AcDbObjectId modelSpaceId() const;
    AcDbObjectId paperSpaceId() const;
    AcDbObjectId layerId(const std::wstring& name) const;
    AcDbObjectId linetypeId(const std::wstring& name) const;
    AcDbObjectId textStyleId(const std::wstring& name) const;
    AcDbObjectId blockId(const std::wstring& name) const;
    // The object of an id without opening it (null when missing); for this stand-in's own code and tests.
    AcDbObject* peek(AcDbObjectId id) const;

    // ---- Header variables.
    Adesk::Int16 lunits() const { return lunits_; }
    Acad::ErrorStatus setLunits(Adesk::Int16 v);
    Adesk::Int16 luprec() const { return luprec_; }
    Acad::ErrorStatus setLuprec(Adesk::Int16 v);
    AcDb::UnitsValue insunits() const { return insunits_; }
    Acad::ErrorStatus setInsunits(AcDb::UnitsValue v);
    int measurement() const { return measurement_; } // 0 imperial, 1 metric
    Acad::ErrorStatus setMeasurement(int v);
    AcDbObjectId clayer() const { return clayer_; }
    Acad::ErrorStatus setClayer(AcDbObjectId id);
    AcDbObjectId celtype() const { return celtype_; }
    Acad::ErrorStatus setCeltype(AcDbObjectId id);
    AcCmColor cecolor() const { return cecolor_; }
    Acad::ErrorStatus setCecolor(const AcCmColor& c);
    AcDb::LineWeight celweight() const { return celweight_; }
    Acad::ErrorStatus setCelweight(AcDb::LineWeight w);
    AcDbObjectId textstyle() const { return textstyle_; }
    Acad::ErrorStatus setTextstyle(AcDbObjectId id);
    AcDbObjectId tablestyle() const { return tablestyle_; }
    Acad::ErrorStatus setTablestyle(AcDbObjectId id);
    double textsize() const { return textsize_; }
    Acad::ErrorStatus setTextsize(double v);
    Adesk::UInt8 sortents() const { return sortents_; }
    Acad::ErrorStatus setSortents(Adesk::UInt8 v);
    bool tilemode() const { return tilemode_; }
    Acad::ErrorStatus setTilemode(bool v);
    AcGePoint3d ucsorg() const { return ucsOrg_; }
    AcGeVector3d ucsxdir() const { return ucsX_; }
    AcGeVector3d ucsydir() const { return ucsY_; }
    // The current UCS: origin and axes in world coordinates.
    Acad::ErrorStatus setUcs(const AcGePoint3d& origin, const AcGeVector3d& xAxis, const AcGeVector3d& yAxis);
    AcGePoint3d extmin() const { return extMin_; }
    AcGePoint3d extmax() const { return extMax_; }
    void setExtents(const AcGePoint3d& mn, const AcGePoint3d& mx) {
        extMin_ = mn;
        extMax_ = mx;
    }
    AcGePoint2d limmin() const { return limMin_; }
    AcGePoint2d limmax() const { return limMax_; }
    void setLimits(const AcGePoint2d& mn, const AcGePoint2d& mx) {
        limMin_ = mn;
        limMax_ = mx;
    }
    // Extents of every live model-space entity (empty extents when there is none).
    AcDbExtents modelSpaceExtents() const;
    // Header variables the model does not interpret, by name ("$ACADVER" ...) with their tags, in file order.
    std::vector<std::pair<std::wstring, AcDbDxfTags>>& headerExtra() { return headerExtra_; }
    const std::vector<std::pair<std::wstring, AcDbDxfTags>>& headerExtra() const { return headerExtra_; }

    // ---- Cloning.
    // Clones the objects (with what they own: attributes, extension dictionaries) into owner, a block
    // table record of this database; references among the clones are translated.
    Acad::ErrorStatus deepCloneObjects(const AcDbObjectIdArray& ids, AcDbObjectId owner, AcDbIdMapping& idMap,
                                       bool deferXlation = false);

    // ---- Internal bookkeeping used by objects and containers.
    void objectErased(AcDbObject* obj, bool erasing);
    void forgetObject(AcDbObject* obj);
    Adesk::UInt32 nextAnonymousNumber(wchar_t kind) { return ++anonymous_[kind]; }

private:
    AcDbObjectStub* stubFor(AcDbHandle h, bool create);
    AcDbObjectId nodEntry(const wchar_t* key) const;
    // A header variable set by a command, not by reading the file, changes the drawing (once changes
    // are tracked, while it differs from what it was).
    void noteChange();
    // Change tracking: the header as read or saved, and the objects written since.
    struct HeaderState {
        Adesk::Int16 lunits = 0, luprec = 0;
        AcDb::UnitsValue insunits = AcDb::kUnitsUndefined;
        int measurement = 0;
        AcDbObjectId clayer, celtype, textstyle, tablestyle;
        AcCmColor cecolor;
        AcDb::LineWeight celweight = AcDb::kLnWtByLayer;
        double textsize = 0;
        Adesk::UInt8 sortents = 0;
        bool tilemode = true;
        double ucs[9] = {};
        bool operator==(const HeaderState&) const = default;
    };
    HeaderState headerState() const;
    // Before an object's first write since the last save: its fingerprint, taken once.
    void noteWriting(AcDbObject* obj);
    // At an object's last close after a write: whether it is as it was.
    void noteWritten(AcDbObject* obj);
    AcDbObjectId addDefault(AcDbObject* obj);
    template <typename T>
    Acad::ErrorStatus getTable(AcDbObjectId id, T*& t, AcDb::OpenMode mode);
    Acad::ErrorStatus cloneOne(AcDbObjectId src, AcDbObjectId owner, AcDbIdMapping& map, bool primary,
                               std::vector<AcDbObject*>& clones);

    // Stubs by handle: kept in a deque, where they never move (ids point at them), and found through a
    // table of pointers probed from the handle's hash; a hash map's node per object took half as much again.
    class StubIndex {
    public:
        AcDbObjectStub* find(std::uint64_t handle) const;
        // A new stub for a handle that has none.
        AcDbObjectStub& add(std::uint64_t handle);
        void reserve(std::size_t n);
        std::deque<AcDbObjectStub>::iterator begin() { return stubs_.begin(); }
        std::deque<AcDbObjectStub>::iterator end() { return stubs_.end(); }
        std::deque<AcDbObjectStub>::const_iterator begin() const { return stubs_.begin(); }
        std::deque<AcDbObjectStub>::const_iterator end() const { return stubs_.end(); }

    private:
        std::size_t slotOf(std::uint64_t handle) const;
        void rehash(std::size_t slots);
        std::deque<AcDbObjectStub> stubs_;
        std::vector<AcDbObjectStub*> slots_; // a power of two, at most three quarters used
    };
    StubIndex stubs_;
    std::unordered_set<AcDbObject*> open_;
    size_t objectCount_ = 0;
    AcDbHandle seed_{1};
    std::function<bool()> lockCheck_;
    bool loading_ = false;
    bool modified_ = false;
    std::function<std::optional<std::uint64_t>(const AcDbObject*)> fingerprint_;
    std::optional<HeaderState> header_;
    bool headerChanged_ = false;
    std::unordered_map<const AcDbObject*, std::optional<std::uint64_t>> before_; // as read or saved
    std::unordered_set<const AcDbObject*> writing_, differing_;
    int writeViolations_ = 0;
    std::wstring lastViolation_, fileName_, fileVersion_;
    mutable std::vector<std::string> fileProblems_;
    mutable bool fileCutShort_ = false;
    mutable std::string saveProblem_;
    std::map<wchar_t, Adesk::UInt32> anonymous_;

    AcDbObjectId blockTable_, layerTable_, linetypeTable_, textStyleTable_, regAppTable_, viewportTable_, viewTable_,
        ucsTable_, dimStyleTable_, nod_;
    Adesk::Int16 lunits_ = 2, luprec_ = 4;
    AcDb::UnitsValue insunits_ = AcDb::kUnitsUndefined;
    int measurement_ = 0;
    AcDbObjectId clayer_, celtype_, textstyle_, tablestyle_;
    AcCmColor cecolor_;
    AcDb::LineWeight celweight_ = AcDb::kLnWtByLayer;
    double textsize_ = 2.5;
    Adesk::UInt8 sortents_ = 127;
    bool tilemode_ = true;
    AcGePoint3d ucsOrg_;
    AcGeVector3d ucsX_{1, 0, 0}, ucsY_{0, 1, 0};
    AcGePoint3d extMin_{1e20, 1e20, 1e20}, extMax_{-1e20, -1e20, -1e20};
    AcGePoint2d limMin_, limMax_{420, 297};
    std::vector<std::pair<std::wstring, AcDbDxfTags>> headerExtra_;
};

// The database new objects take their defaults from (the current document's).
AcDbDatabase* acdbWorkingDatabase();
void acdbSetWorkingDatabase(AcDbDatabase* db);

Acad::ErrorStatus acdbOpenAcDbEntity(AcDbEntity*& ent, AcDbObjectId id, AcDb::OpenMode mode, bool openErased = false);
// Entity names of the editor's calls: ads_name[0] holds the id.
Acad::ErrorStatus acdbGetObjectId(AcDbObjectId& id, const ads_name name);
Acad::ErrorStatus acdbGetAdsName(ads_name& name, AcDbObjectId id);
// The entity name of a handle text in the working database: RTNORM, or RTERROR when nothing has it.
int acdbHandEnt(const ACHAR* handle, ads_name name);
// Registers an application in the working database: RTNORM (also when already there) or RTERROR.
int acdbRegApp(const ACHAR* appName);
// The matrix from the current UCS to world coordinates.
bool acdbUcsMatrix(AcGeMatrix3d& mat, AcDbDatabase* db = nullptr);
