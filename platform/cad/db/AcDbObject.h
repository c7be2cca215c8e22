#pragma once
// Database objects: the object base with its open state and extended data, dictionaries, xrecords,
// the draw-order table, plot settings, layouts, table styles and objects kept as read from a file.
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cad/db/AcDbCore.h"
#include "cad/db/AcGe.h"
#include "cad/db/AcResbuf.h"

// Drawing-format tags an object does not interpret: group code and value text, in file order.
using AcDbDxfTags = std::vector<std::pair<int, std::wstring>>;

// One value of a result-buffer chain as an object keeps it (extended data, xrecords).
struct AcDbRbValue {
    short code = 0;
    std::wstring str;         // strings; handle text for 1005
    double pt[3] = {0, 0, 0}; // points; pt[0] for reals
    Adesk::Int64 integer = 0; // shorts, longs, 64-bit integers
    std::vector<unsigned char> binary;
    AcDbObjectId id; // object references (xrecord codes 330-369)
    friend bool operator==(const AcDbRbValue& a, const AcDbRbValue& b);
};
using AcDbRbValues = std::vector<AcDbRbValue>;

// The extended data of one registered application (without its 1001 entry).
struct AcDbXDataApp {
    std::wstring app;
    AcDbRbValues items;
};

// Converts between result-buffer chains and stored values.
AcDbRbValues acdbRbToValues(const resbuf* rb);
resbuf* acdbValuesToRb(const AcDbRbValues& values);

constexpr int kMaxXDataBytes = 16383;
// A string item (code 1000) of extended data holds at most this many bytes, counted in UTF-8.
constexpr int kMaxXDataStringBytes = 255;

// Where a database keeps an object: its handle, the object once it exists, the owning database.
class AcDbObjectStub {
public:
    AcDbDatabase* database = nullptr;
    AcDbHandle handle;
    AcDbObject* object = nullptr; // owned by the database
};

class AcDbObject : public AcRxObject {
    ACRX_DECLARE_MEMBERS(AcDbObject)
public:
    AcDbObject();
    ~AcDbObject() override;

    AcDbObjectId objectId() const { return AcDbObjectId(stub_); }
    AcDbObjectId id() const { return objectId(); }
    AcDbObjectId ownerId() const { return owner_; }
    virtual Acad::ErrorStatus setOwnerId(AcDbObjectId owner);
    AcDbHandle handle() const;
    void getAcDbHandle(AcDbHandle& h) const { h = handle(); }
    AcDbDatabase* database() const;
    bool isDatabaseResident() const { return stub_ != nullptr; }

    // Open state. close() undoes one open; for an object not in a database it does nothing.
    Acad::ErrorStatus close();
    Acad::ErrorStatus upgradeOpen();
    Acad::ErrorStatus downgradeOpen();
    AcDb::OpenMode openMode() const { return static_cast<AcDb::OpenMode>(mode_); }
    int openCount() const { return openCount_; }
    bool isReadEnabled() const { return !stub_ || mode_ != AcDb::kNotOpen; }
    bool isWriteEnabled() const { return !stub_ || mode_ == AcDb::kForWrite || loading(); }
    // Records a change made while the object is not open for write (see AcDbDatabase::writeViolations).
    void assertWriteEnabled() const;
    void assertReadEnabled() const {}

    Acad::ErrorStatus erase(bool erasing = true);
    bool isErased() const { return erased_; }

    // Extended data. xData(nullptr) gives every application's data except hyperlinks ("PE_URL");
    // setXData replaces the data of each application the chain names; over 16 KB per object, or a
    // string item over 255 bytes, fails.
    resbuf* xData(const ACHAR* regappName = nullptr) const;
    Acad::ErrorStatus setXData(const resbuf* xdata);
    // Every application's data, hyperlinks included (a copy: the object keeps it packed).
    std::vector<AcDbXDataApp> xDataApps() const;
    bool hasXData() const { return extras_ && !extras_->xdata.empty(); }
    // Stores data as read from a file, unchecked.
    void setXDataApps(const std::vector<AcDbXDataApp>& apps);
    static int xDataSize(const std::vector<AcDbXDataApp>& apps);
    static int xDataSize(const AcDbXDataApp& app);

    AcDbObjectId extensionDictionary() const { return extDict_; }
    Acad::ErrorStatus createExtensionDictionary();
    Acad::ErrorStatus releaseExtensionDictionary();
    void setExtensionDictionary(AcDbObjectId id) { extDict_ = id; }

    void addPersistentReactor(AcDbObjectId id);
    Acad::ErrorStatus removePersistentReactor(AcDbObjectId id);
    const AcDbObjectIdArray& persistentReactors() const { return extras_ ? extras_->reactors : noExtras().reactors; }

    // Tags this model does not interpret, written back unchanged.
    AcDbDxfTags& dxfExtraTags() { return extras().extraTags; }
    const AcDbDxfTags& dxfExtraTags() const { return extras_ ? extras_->extraTags : noExtras().extraTags; }

    // A copy of the object's data (extended data included), not in any database.
    virtual AcDbObject* cloneData() const = 0;
    AcRxObject* clone() const { return cloneData(); }
    // The ids this object refers to that deep cloning must translate (owner excluded).
    virtual void collectReferences(std::vector<AcDbObjectId*>& refs);
    // The objects this one owns (attributes of an insert, entities of a block...), for cloning and erasing.
    virtual void ownedObjects(AcDbObjectIdArray& ids) const;

    // Database bookkeeping; called by AcDbDatabase.
    void attach(AcDbObjectStub* stub) { stub_ = stub; }
    void setOpen(AcDb::OpenMode mode, int count) {
        mode_ = static_cast<signed char>(mode);
        openCount_ = count;
    }
    void setErasedFlag(bool e) { erased_ = e; }
    // Called once the object is in a database (it may add objects it owns).
    virtual void onAddedToDatabase(AcDbDatabase* db);
    // Called before the erase flag changes; containers erase what they own.
    virtual void onErase(bool erasing);
    // Whether erase() may erase this object (the standard records may not be erased).
    virtual Acad::ErrorStatus canErase() const { return Acad::eOk; }

protected:
    AcDbObject(const AcDbObject& other);
    AcDbObject& operator=(const AcDbObject&) = delete;
    bool loading() const;

private:
    AcDbObjectStub* stub_ = nullptr;
    AcDbObjectId owner_;
    AcDbObjectId extDict_;
    // What few objects have, held apart: a drawing is mostly objects with none of it.
    struct Extras {
        AcDbObjectIdArray reactors;
        // Extended data packed into bytes (see AcDbObject.cpp): a plan holds thousands of entities'
        // data, and values unpacked take about 100 bytes each however short.
        std::string xdata;
        AcDbDxfTags extraTags;
    };
    static const Extras& noExtras();
    Extras& extras();
    std::unique_ptr<Extras> extras_;
    int openCount_ = 0;
    signed char mode_ = AcDb::kNotOpen; // an AcDb::OpenMode: a byte, so entities start 8 bytes sooner
    bool erased_ = false;
};

#define ACDB_CLONE_DATA(CLS)                 \
    AcDbObject* cloneData() const override { \
        return new CLS(*this);               \
    }

class AcDbDictionary;
class AcDbBlockTableRecord;

class AcDbDictionaryIterator {
public:
    bool done() const { return pos_ >= entries_.size(); }
    bool next() {
        ++pos_;
        return !done();
    }
    const ACHAR* name() const { return entries_[pos_].first.c_str(); }
    AcDbObjectId objectId() const { return entries_[pos_].second; }
    Acad::ErrorStatus getObject(AcDbObject*& obj, AcDb::OpenMode mode);
    explicit AcDbDictionaryIterator(std::vector<std::pair<std::wstring, AcDbObjectId>> e) : entries_(std::move(e)) {}

private:
    std::vector<std::pair<std::wstring, AcDbObjectId>> entries_;
    size_t pos_ = 0;
};

// Named entries, compared without regard to case, kept in name order.
class AcDbDictionary : public AcDbObject {
    ACRX_DECLARE_MEMBERS(AcDbDictionary)
public:
    AcDbDictionary() = default;
    ACDB_CLONE_DATA(AcDbDictionary)

    Acad::ErrorStatus getAt(const ACHAR* name, AcDbObject*& obj, AcDb::OpenMode mode) const;
    Acad::ErrorStatus getAt(const ACHAR* name, AcDbObjectId& id) const;
    // Opens the entry as the given class (eNotThatKindOfClass, closed again, when it is another).
    template <typename T>
    Acad::ErrorStatus getAt(const ACHAR* name, T*& obj, AcDb::OpenMode mode) const;
    Acad::ErrorStatus nameAt(AcDbObjectId id, ACHAR*& name) const; // name allocated with new[]
    bool nameAt(AcDbObjectId id, std::wstring& name) const;
    bool has(const ACHAR* name) const;
    bool has(AcDbObjectId id) const;
    Adesk::UInt32 numEntries() const { return Adesk::UInt32(entries_.size()); }
    // Adds a new object (it joins the database, owned by the dictionary) or replaces an entry.
    Acad::ErrorStatus setAt(const ACHAR* name, AcDbObject* value, AcDbObjectId& retId);
    // Adds an entry for an existing id (file reading: the object may come later).
    Acad::ErrorStatus setAtId(const ACHAR* name, AcDbObjectId id);
    Acad::ErrorStatus remove(const ACHAR* name);
    Acad::ErrorStatus remove(const ACHAR* name, AcDbObjectId& returnId);
    Acad::ErrorStatus remove(AcDbObjectId id);
    bool setName(const ACHAR* oldName, const ACHAR* newName);
    AcDbDictionaryIterator* newIterator() const;
    std::vector<std::pair<std::wstring, AcDbObjectId>> entries() const;

    bool isTreatElementsAsHard() const { return hardOwner_; }
    void setTreatElementsAsHard(bool v) { hardOwner_ = v; }
    int mergeStyle() const { return mergeStyle_; }
    void setMergeStyle(int v) { mergeStyle_ = v; }

    void collectReferences(std::vector<AcDbObjectId*>& refs) override;
    void ownedObjects(AcDbObjectIdArray& ids) const override;
    void onErase(bool erasing) override;

private:
    std::map<std::wstring, std::pair<std::wstring, AcDbObjectId>> entries_; // upper-case key -> (name, id)
    bool hardOwner_ = false;
    int mergeStyle_ = 1;
};

class AcDbXrecord : public AcDbObject {
    ACRX_DECLARE_MEMBERS(AcDbXrecord)
public:
    AcDbXrecord() = default;
    ACDB_CLONE_DATA(AcDbXrecord)
    Acad::ErrorStatus rbChain(resbuf** ppRb, AcDbDatabase* db = nullptr) const;
    Acad::ErrorStatus setFromRbChain(const resbuf& rb, AcDbDatabase* db = nullptr);
    const AcDbRbValues& values() const { return values_; }
    void setValues(AcDbRbValues v) { values_ = std::move(v); }
    int mergeStyle() const { return mergeStyle_; }
    void setMergeStyle(int v) { mergeStyle_ = v; }
    void collectReferences(std::vector<AcDbObjectId*>& refs) override;

private:
    AcDbRbValues values_;
    int mergeStyle_ = 1;
};

// An object of a type this model does not interpret, kept as its tags.
class AcDbRawObject : public AcDbObject {
    ACRX_DECLARE_MEMBERS(AcDbRawObject)
public:
    AcDbRawObject() = default;
    AcDbRawObject(std::wstring dxfName, AcDbDxfTags tags) : dxfName_(std::move(dxfName)), tags_(std::move(tags)) {}
    ACDB_CLONE_DATA(AcDbRawObject)
    const std::wstring& dxfName() const { return dxfName_; }
    void setDxfName(std::wstring n) { dxfName_ = std::move(n); }
    AcDbDxfTags& tags() { return tags_; }
    const AcDbDxfTags& tags() const { return tags_; }

private:
    std::wstring dxfName_;
    AcDbDxfTags tags_;
};

// The draw order of one block: entities sorted by their sort handle (their own handle when not listed).
// Moves to the bottom or the top are kept as ranks below or above every sort handle, so a move takes
// the same time however many entities the block holds; the sort handles are settled from them when
// they are read.
class AcDbSortentsTable : public AcDbObject {
    ACRX_DECLARE_MEMBERS(AcDbSortentsTable)
public:
    AcDbSortentsTable() = default;
    AcDbObject* cloneData() const override;
    AcDbObjectId blockId() const { return block_; }
    Acad::ErrorStatus setBlockId(AcDbObjectId id);
    Acad::ErrorStatus moveToBottom(const AcDbObjectIdArray& ar);
    Acad::ErrorStatus moveToTop(const AcDbObjectIdArray& ar);
    Acad::ErrorStatus moveBelow(const AcDbObjectIdArray& ar, AcDbObjectId target);
    Acad::ErrorStatus moveAbove(const AcDbObjectIdArray& ar, AcDbObjectId target);
    Acad::ErrorStatus swapOrder(AcDbObjectId a, AcDbObjectId b);
    // The block's live entities from bottom (drawn first) to top.
    Acad::ErrorStatus getFullDrawOrder(AcDbObjectIdArray& ents, Adesk::UInt8 honorSortentsMask = 0) const;
    Acad::ErrorStatus getSortHandle(AcDbObjectId id, AcDbHandle& h) const;
    // Entries as a file stores them: entity and its sort handle.
    const std::vector<std::pair<AcDbObjectId, AcDbHandle>>& entries() const;
    void setEntries(std::vector<std::pair<AcDbObjectId, AcDbHandle>> e);
    void collectReferences(std::vector<AcDbObjectId*>& refs) override;

private:
    // Where an entity stands: bands 0 (moved to the bottom), 1 (by sort handle), 2 (moved to the top),
    // then the rank within the band, bottom first.
    using Place = std::pair<int, std::uint64_t>;
    Acad::ErrorStatus reorder(const std::vector<AcDbObjectId>& order);
    void assignSortHandles(const std::vector<AcDbObjectId>& order) const;
    Acad::ErrorStatus moveToEnd(const AcDbObjectIdArray& ar, bool top);
    Acad::ErrorStatus moveNextTo(const AcDbObjectIdArray& ar, AcDbObjectId target, bool above);
    AcDbBlockTableRecord* block() const;
    bool holds(AcDbObjectId id) const;
    Place placeOf(AcDbObjectId id) const;
    // Turns the moves into sort handles, as a file stores them.
    void settle() const;
    AcDbObjectId block_;
    mutable std::vector<std::pair<AcDbObjectId, AcDbHandle>> entries_;
    mutable std::unordered_map<AcDbObjectId, AcDbHandle, AcDbObjectIdHash> sortHandles_; // entries_ by entity
    mutable bool indexed_ = false;
    mutable std::unordered_map<AcDbObjectId, Place, AcDbObjectIdHash> moved_;
    mutable std::uint64_t movedDown_ = 0;
    mutable std::uint64_t movedUp_ = 0;
};

// Page setup of a layout or a named page setup.
class AcDbPlotSettings : public AcDbObject {
    ACRX_DECLARE_MEMBERS(AcDbPlotSettings)
public:
    enum PlotPaperUnits { kInches = 0, kMillimeters = 1, kPixels = 2 };
    enum PlotRotation { k0degrees = 0, k90degrees = 1, k180degrees = 2, k270degrees = 3 };
    enum PlotType { kDisplay = 0, kExtents = 1, kLimits = 2, kView = 3, kWindow = 4, kLayout = 5 };
    enum StdScaleType {
        kScaleToFit = 0,
        k1_128in_1ft,
        k1_64in_1ft,
        k1_32in_1ft,
        k1_16in_1ft,
        k3_32in_1ft,
        k1_8in_1ft,
        k3_16in_1ft,
        k1_4in_1ft,
        k3_8in_1ft,
        k1_2in_1ft,
        k3_4in_1ft,
        k1in_1ft,
        k3in_1ft,
        k6in_1ft,
        k1ft_1ft,
        k1_1,
        k1_2,
        k1_4,
        k1_8,
        k1_10,
        k1_16,
        k1_20,
        k1_30,
        k1_40,
        k1_50,
        k1_100,
        k2_1,
        k4_1,
        k8_1,
        k10_1,
        k100_1,
        k1000_1,
        k1and1_2in_1ft
    };
    enum ShadePlotType { kAsDisplayed = 0, kWireframe = 1, kHidden = 2, kRendered = 3 };

    AcDbPlotSettings() = default;
    explicit AcDbPlotSettings(bool modelType) : modelType_(modelType) {}
    ACDB_CLONE_DATA(AcDbPlotSettings)

    Acad::ErrorStatus getPlotSettingsName(const ACHAR*& name) const {
        name = settingsName_.c_str();
        return Acad::eOk;
    }
    Acad::ErrorStatus setPlotSettingsName(const ACHAR* name);
    Acad::ErrorStatus getPlotCfgName(const ACHAR*& name) const {
        name = cfgName_.c_str();
        return Acad::eOk;
    }
    Acad::ErrorStatus setPlotCfgName(const ACHAR* name);
    Acad::ErrorStatus getCanonicalMediaName(const ACHAR*& name) const {
        name = mediaName_.c_str();
        return Acad::eOk;
    }
    Acad::ErrorStatus setCanonicalMediaName(const ACHAR* name);
    Acad::ErrorStatus getCurrentStyleSheet(const ACHAR*& name) const {
        name = styleSheet_.c_str();
        return Acad::eOk;
    }
    Acad::ErrorStatus setCurrentStyleSheet(const ACHAR* name);
    Acad::ErrorStatus getPlotViewName(const ACHAR*& name) const {
        name = viewName_.c_str();
        return Acad::eOk;
    }
    Acad::ErrorStatus setPlotViewName(const ACHAR* name);

    void getPlotPaperMargins(double& left, double& bottom, double& right, double& top) const;
    void setPlotPaperMargins(double left, double bottom, double right, double top);
    void getPlotPaperSize(double& width, double& height) const {
        width = paperW_;
        height = paperH_;
    }
    void setPlotPaperSize(double width, double height);
    void getPlotOrigin(double& x, double& y) const {
        x = origin_.x;
        y = origin_.y;
    }
    void setPlotOrigin(double x, double y);
    void getPlotWindowArea(double& xmin, double& ymin, double& xmax, double& ymax) const;
    void setPlotWindowArea(double xmin, double ymin, double xmax, double ymax);
    void getCustomPrintScale(double& numerator, double& denominator) const {
        numerator = scaleNum_;
        denominator = scaleDen_;
    }
    void setCustomPrintScale(double numerator, double denominator);
    double stdScale() const { return stdScale_; }
    void setStdScale(double s);

    PlotPaperUnits plotPaperUnits() const { return units_; }
    void setPlotPaperUnits(PlotPaperUnits u);
    PlotRotation plotRotation() const { return rotation_; }
    void setPlotRotation(PlotRotation r);
    PlotType plotType() const { return plotType_; }
    void setPlotType(PlotType t);
    StdScaleType stdScaleType() const { return stdScaleType_; }
    void setStdScaleType(StdScaleType t);
    bool useStandardScale() const { return useStdScale_; }
    void setUseStandardScale(bool v);
    bool plotCentered() const { return centered_; }
    void setPlotCentered(bool v);
    bool plotViewportBorders() const { return flags_ & 1; }
    void setPlotViewportBorders(bool v) { setFlag(1, v); }
    bool plotPlotStyles() const { return flags_ & 32; }
    void setPlotPlotStyles(bool v) { setFlag(32, v); }
    bool printLineweights() const { return flags_ & 128; }
    void setPrintLineweights(bool v) { setFlag(128, v); }
    bool scaleLineweights() const { return flags_ & 64; }
    void setScaleLineweights(bool v) { setFlag(64, v); }
    bool plotHidden() const { return flags_ & 2; }
    void setPlotHidden(bool v) { setFlag(2, v); }
    bool drawViewportsFirst() const { return flags_ & 512; }
    void setDrawViewportsFirst(bool v) { setFlag(512, v); }
    bool modelType() const { return modelType_; }
    void setModelType(bool v) { modelType_ = v; }
    ShadePlotType shadePlot() const { return shadePlot_; }
    void setShadePlot(ShadePlotType t) { shadePlot_ = t; }
    // The plot layout flags (group 70) as a file stores them.
    int plotLayoutFlags() const { return flags_; }
    void setPlotLayoutFlags(int f) { flags_ = f; }

protected:
    void setFlag(int bit, bool v) {
        assertWriteEnabled();
        flags_ = v ? (flags_ | bit) : (flags_ & ~bit);
    }

private:
    std::wstring settingsName_, cfgName_ = L"none_device", mediaName_, styleSheet_, viewName_;
    double margins_[4] = {0, 0, 0, 0};
    double paperW_ = 0, paperH_ = 0;
    AcGePoint2d origin_;
    double window_[4] = {0, 0, 0, 0};
    double scaleNum_ = 1, scaleDen_ = 1, stdScale_ = 1;
    PlotPaperUnits units_ = kMillimeters;
    PlotRotation rotation_ = k0degrees;
    PlotType plotType_ = kLayout;
    StdScaleType stdScaleType_ = kScaleToFit;
    bool useStdScale_ = false, centered_ = false, modelType_ = false;
    ShadePlotType shadePlot_ = kAsDisplayed;
    int flags_ = 688;
};

class AcDbLayout : public AcDbPlotSettings {
    ACRX_DECLARE_MEMBERS(AcDbLayout)
public:
    AcDbLayout() = default;
    ACDB_CLONE_DATA(AcDbLayout)

    Acad::ErrorStatus getLayoutName(const ACHAR*& name) const {
        name = name_.c_str();
        return Acad::eOk;
    }
    const ACHAR* getLayoutName() const { return name_.c_str(); }
    Acad::ErrorStatus setLayoutName(const ACHAR* name);
    AcDbObjectId getBlockTableRecordId() const { return block_; }
    Acad::ErrorStatus setBlockTableRecordId(AcDbObjectId id);
    int getTabOrder() const { return tabOrder_; }
    void setTabOrder(int order);
    bool getTabSelected() const { return tabSelected_; }
    void setTabSelected(bool v) { tabSelected_ = v; }
    // The viewports of the layout's block, the overall paper-space viewport first.
    AcDbObjectIdArray getViewportArray() const;

    // Fields a file stores with the layout.
    int layoutFlags() const { return layoutFlags_; }
    void setLayoutFlags(int f) { layoutFlags_ = f; }
    void getLimits(AcGePoint2d& mn, AcGePoint2d& mx) const {
        mn = limMin_;
        mx = limMax_;
    }
    void setLimits(const AcGePoint2d& mn, const AcGePoint2d& mx) {
        limMin_ = mn;
        limMax_ = mx;
    }
    void getExtents(AcGePoint3d& mn, AcGePoint3d& mx) const {
        mn = extMin_;
        mx = extMax_;
    }
    void setExtents(const AcGePoint3d& mn, const AcGePoint3d& mx) {
        extMin_ = mn;
        extMax_ = mx;
    }
    AcGePoint3d insertionBase() const { return insBase_; }
    void setInsertionBase(const AcGePoint3d& p) { insBase_ = p; }
    double elevation() const { return elevation_; }
    void setElevation(double e) { elevation_ = e; }
    void getUcs(AcGePoint3d& origin, AcGeVector3d& x, AcGeVector3d& y) const {
        origin = ucsOrigin_;
        x = ucsX_;
        y = ucsY_;
    }
    void setUcs(const AcGePoint3d& origin, const AcGeVector3d& x, const AcGeVector3d& y) {
        ucsOrigin_ = origin;
        ucsX_ = x;
        ucsY_ = y;
    }
    int ucsOrthographicType() const { return orthoType_; }
    void setUcsOrthographicType(int t) { orthoType_ = t; }
    AcDbObjectId lastActiveViewportId() const { return lastViewport_; }
    void setLastActiveViewportId(AcDbObjectId id) { lastViewport_ = id; }
    void collectReferences(std::vector<AcDbObjectId*>& refs) override;

private:
    std::wstring name_;
    AcDbObjectId block_, lastViewport_;
    int tabOrder_ = 0;
    bool tabSelected_ = false;
    int layoutFlags_ = 1;
    AcGePoint2d limMin_, limMax_{420, 297};
    AcGePoint3d extMin_{1e20, 1e20, 1e20}, extMax_{-1e20, -1e20, -1e20}, insBase_;
    double elevation_ = 0;
    AcGePoint3d ucsOrigin_;
    AcGeVector3d ucsX_{1, 0, 0}, ucsY_{0, 1, 0};
    int orthoType_ = 0;
};

class AcDbTableStyle : public AcDbObject {
    ACRX_DECLARE_MEMBERS(AcDbTableStyle)
public:
    AcDbTableStyle() = default;
    ACDB_CLONE_DATA(AcDbTableStyle)
    const ACHAR* description() const { return description_.c_str(); }
    Acad::ErrorStatus setDescription(const ACHAR* d);
    AcDb::FlowDirection flowDirection() const { return flow_; }
    Acad::ErrorStatus setFlowDirection(AcDb::FlowDirection f);
    double horzCellMargin() const { return horzMargin_; }
    Acad::ErrorStatus setHorzCellMargin(double v);
    double vertCellMargin() const { return vertMargin_; }
    Acad::ErrorStatus setVertCellMargin(double v);
    bool isTitleSuppressed() const { return titleSuppressed_; }
    Acad::ErrorStatus suppressTitleRow(bool v);
    bool isHeaderSuppressed() const { return headerSuppressed_; }
    Acad::ErrorStatus suppressHeaderRow(bool v);
    double textHeight(AcDb::RowType rowType = AcDb::kDataRow) const;
    Acad::ErrorStatus setTextHeight(double h, int rowTypes = AcDb::kDataRow | AcDb::kTitleRow | AcDb::kHeaderRow);
    AcDb::CellAlignment alignment(AcDb::RowType rowType = AcDb::kDataRow) const;
    Acad::ErrorStatus setAlignment(AcDb::CellAlignment a,
                                   int rowTypes = AcDb::kDataRow | AcDb::kTitleRow | AcDb::kHeaderRow);
    AcDbObjectId textStyle(AcDb::RowType rowType = AcDb::kDataRow) const;
    Acad::ErrorStatus setTextStyle(AcDbObjectId id, int rowTypes = AcDb::kDataRow | AcDb::kTitleRow | AcDb::kHeaderRow);
    void collectReferences(std::vector<AcDbObjectId*>& refs) override;

private:
    static int slot(AcDb::RowType t) { return t == AcDb::kTitleRow ? 1 : t == AcDb::kHeaderRow ? 2 : 0; }
    std::wstring description_;
    AcDb::FlowDirection flow_ = AcDb::kTtoB;
    double horzMargin_ = 1.5, vertMargin_ = 1.5;
    bool titleSuppressed_ = false, headerSuppressed_ = false;
    double textHeight_[3] = {4.5, 6.0, 4.5};
    AcDb::CellAlignment alignment_[3] = {AcDb::kTopCenter, AcDb::kMiddleCenter, AcDb::kMiddleCenter};
    AcDbObjectId textStyle_[3];
};

// Opens an object by id. A null id gives eNullObjectId, an unknown or erased one eUnknownHandle
// (unless openErased), a write open needs the document lock and an entity off locked layers.
Acad::ErrorStatus acdbOpenObject(AcDbObject*& obj, AcDbObjectId id, AcDb::OpenMode mode, bool openErased = false);
Acad::ErrorStatus acdbOpenAcDbObject(AcDbObject*& obj, AcDbObjectId id, AcDb::OpenMode mode, bool openErased = false);

template <typename T>
Acad::ErrorStatus acdbOpenObject(T*& obj, AcDbObjectId id, AcDb::OpenMode mode, bool openErased = false);

template <typename T>
Acad::ErrorStatus AcDbDictionary::getAt(const ACHAR* name, T*& obj, AcDb::OpenMode mode) const {
    obj = nullptr;
    AcDbObjectId id;
    Acad::ErrorStatus es = getAt(name, id);
    if (es != Acad::eOk) return es;
    return acdbOpenObject(obj, id, mode);
}

template <typename T>
Acad::ErrorStatus acdbOpenObject(T*& obj, AcDbObjectId id, AcDb::OpenMode mode, bool openErased) {
    obj = nullptr;
    AcDbObject* o = nullptr;
    Acad::ErrorStatus es = acdbOpenObject(o, id, mode, openErased);
    if (es != Acad::eOk) return es;
    obj = T::cast(o);
    if (!obj) {
        o->close();
        return Acad::eNotThatKindOfClass;
    }
    return Acad::eOk;
}
