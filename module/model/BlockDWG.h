#pragma once
// A space block as placed in the drawing: the space record bound to a "ROOM-" block reference, its
// extended entity data, attributes, areas to add and subtract, hatch, hyperlinks and assets.
#include "cad/AcDb.h"
#include "classlib/Afx.h"
#include "model/Block.h"
#include "xml/MsXml.h"

class AcApDocument;
class CAcadDrawing;
class CAssets;
class CAttributes;
class CHatch;
class CKelmoExceptions;
class CStoredProcedure;
namespace kelmo_model {
class RegisterCall;
}

class CBlockDWG : public CBlock {
public:
    using HandleArray = CArray<AcDbHandle, AcDbHandle>;

    CBlockDWG();
    // From a block reference the caller holds open (any mode) and closes afterwards.
    CBlockDWG(AcDbBlockReference* reference, AcApDocument* document);
    ~CBlockDWG() override;

    void initialise();

    AcDbObjectId getObjectId() const { return m_objectId; }
    void setObjectId(AcDbObjectId objectId) { m_objectId = objectId; }
    AcDbHandle getHandle() const { return m_dwgHandle; }
    // Both set the record's handle text and the handle.
    void setHandle(AcDbHandle handle);
    void setHandle(CString handle);
    CString getBlockIdentifier() const { return m_blockIdentifier; }
    void setBlockIdentifier(CString blockIdentifier) { m_blockIdentifier = blockIdentifier; }
    CString getXDataAppName() const { return m_xDataAppName; }
    void setXDataAppName(CString xDataAppName) { m_xDataAppName = xDataAppName; }
    // The setters of owned objects take ownership and do not delete what was held before.
    CHatch* getHatch() const { return m_hatch; }
    void setHatch(CHatch* hatch) { m_hatch = hatch; }
    CAttributes* getAttributes() const { return m_attributes; }
    void setAttributes(CAttributes* attributes) { m_attributes = attributes; }
    CAssets* getAssets() const { return m_assets; }
    void setAssets(CAssets* assets) { m_assets = assets; }
    int getZoomOnApply() const { return m_zoomOnApply; }
    void setZoomOnApply(int zoomOnApply) { m_zoomOnApply = zoomOnApply; }
    double getZoomMargin() const { return m_zoomMargin; }
    void setZoomMargin(double zoomMargin) { m_zoomMargin = zoomMargin; }
    int getColorIndex() const { return m_colorIndex; }
    void setColorIndex(int colorIndex) { m_colorIndex = colorIndex; }
    int getLineWeight() const { return m_lineWeight; }
    void setLineWeight(int lineWeight) { m_lineWeight = lineWeight; }
    CString getLayer() const { return m_layer; }
    void setLayer(CString layer) { m_layer = layer; }
    // The units flag only; no value is converted.
    int getUnits() const { return CBlock::getUnits(); }
    void setUnits(int units) { CBlock::setUnits(units); }

    // Units not yet known (-1) count as the preference units; the flag itself is left as it is.
    int getKnownUnits() const;
    // Units not yet known become the preference units, without converting any value: done before a
    // block is measured, converted or written.
    void takePreferenceUnitsWhenUnknown();

    CString getAreaUnitText() const;
    CString getLengthUnitText() const;
    // The room height and the volume as the record writes them: the number at the block's precision
    // and the unit text of its units. A stored text that no command can read ("n/a", nothing) is
    // written as it stands while the block holds no value for it.
    CString getRoomHeightText() const;
    // The stored area could not be read and nothing measured it since: its text stands, label and record.
    bool keepsUnreadArea() const { return m_areaUnread && getArea() == 0.0; }
    // The same for the stored perimeter, which the record then writes as it stands (getPerimeterText).
    bool keepsUnreadPerimeter() const { return m_perimeterUnread && getPerimeter() == 0.0; }
    CString getPerimeterText() const;
    bool keepsUnreadHeight() const { return m_heightUnread && getRoomHeight() == 0.0; }
    bool keepsUnreadVolume() const { return m_volumeUnread && getVolume() == 0.0; }
    CString getVolumeText() const;
    // The text after a value's key as the record held it when the block was read; empty when it held
    // none. A label showing it showed the stored value, at whatever precision it was written.
    enum StoredValue { storedArea = 0, storedPerimeter, storedHeight, storedVolume, storedValues };
    CString getStoredText(StoredValue value) const { return m_storedTexts[value]; }
    // Whether the space has been named for a stored height or volume it keeps as it stands; a block
    // read again for the same edit takes it, so that the space is named once.
    bool getUnreadNamed() const { return m_unreadNamed; }
    void setUnreadNamed(bool named) { m_unreadNamed = named; }
    // A stored perimeter, room height or volume as its text gave it, in the units the text named or else
    // the record's (-1 when neither is known); one written in millimetres or centimetres also keeps how
    // many of them make a metre and the unit as written.
    struct AsWritten {
        double value = 0.0;
        int units = -1;
        double perWhole = 1.0;
        const wchar_t* unit = nullptr;
    };

    // Extended entity data.
    void readXData(resbuf* list, AcApDocument* document);
    void writeXData(AcDbObject* object);
    // When set, writing keeps the record the reference holds and writes anew only the values this
    // block changes: keys it does not know stay in their place, other values keep their text.
    void setKeepsStoredRecord(bool keeps) { m_keepsStoredRecord = keeps; }
    // Whether the space holds a record: read from its reference, or written since.
    bool holdsStoredRecord() const;
    // Whether the area can be written as this block's stored AREA text: a number of 0 or more whose
    // text fits one extended-data string.
    bool recordCanHoldArea(double area) const;
    // The area a report gave as text that is no number ("1,092" or "12 sq.m."); empty when it gave a
    // number or none. Such an area is not read.
    CString getUnreadArea() const { return m_unreadArea; }
    // Empty when every string of the record the block would write on the reference fits the drawing;
    // else what does not, as in "its NAME takes 6005 bytes".
    CString whatDoesNotFit(AcDbBlockReference* reference);

    // Writing back. False when the reference or a label it would change could not be written (a locked
    // layer, said on the command line; another failure, added to the warnings): nothing of the block
    // changed in the drawing.
    bool applyToDWG(CAcadDrawing* drawing, CKelmoExceptions* warnings);
    // Says on the command line that the space stays as it is, for its reference lies on a locked layer.
    void reportLockedReference(AcApDocument* document);
    void updateBlockIdentifier(AcDbEntity* entity);
    // Lays the labels out again; false, said on the command line, when a locked layer holds the space
    // or a label that would change.
    bool updateAttributes(const AcGeMatrix3d& ucs, const AcGePoint3d* anchor);
    void zoomToBlock(CAcadDrawing* drawing, AcDbEntity* entity);
    void copyInto(CBlockDWG* target);
    void copyFormatting(CBlockDWG* target);
    void highlightAreasSubtracted(CAcadDrawing* drawing, int highlight, int printCount);
    void highlightAreasAdded(CAcadDrawing* drawing, int highlight, int printCount);

    // Creating and deleting.
    Acad::ErrorStatus createBlock(CAcadDrawing* drawing, AcDbEntity* boundary, const AcGePoint3d* insertionPoint,
                                  double textHeight, double widthFactor, double rotationDegrees);
    Acad::ErrorStatus createBlockDefinition(AcDbObjectId& definitionId, AcDbObjectIdArray* entities,
                                            const AcGePoint3d* basePoint, double textHeight, double widthFactor,
                                            double rotationDegrees, CAcadDrawing* drawing);
    int deleteBlock(CAcadDrawing* drawing);
    void deleteBlockDefinition(CAcadDrawing* drawing, AcDbBlockTableRecord* definition);

    // Areas to subtract and to add.
    void setHandlesToMinus(CString handles, AcDbDatabase* database);
    void setHandlesToMinus(const AcDbObjectIdArray& ids);
    void setHandlesToAdd(CString handles, AcDbDatabase* database);
    void setHandlesToAdd(const AcDbObjectIdArray& ids);
    CString getHandlesToMinusAsString() const;
    CString getHandlesToAddAsString() const;
    void addHandleToMinus(AcDbHandle handle, AcDbDatabase* database);
    void addHandleToAdd(AcDbHandle handle, AcDbDatabase* database);
    AcDbHandle getHandleToMinusAt(int index) const;
    AcDbHandle getHandleToAddAt(int index) const;
    void removeHandleToMinusAt(int index);
    void removeHandleToAddAt(int index);
    int getHandlesToMinusCount() const { return static_cast<int>(m_handlesToMinus.GetSize()); }
    int getHandlesToAddCount() const { return static_cast<int>(m_handlesToAdd.GetSize()); }
    int convertHandlesToObjectIds(const HandleArray& handles, AcDbDatabase* database, AcDbObjectIdArray* ids);
    double calcSubArea(AcApDocument* document);
    double calcAddArea(AcApDocument* document);
    double calcSubAreaPerimeters(AcApDocument* document);
    double calcAddAreaPerimeters(AcApDocument* document);
    // A boundary that cannot be measured (none, one that crosses itself for the area, a block
    // scaled unevenly for the perimeter) leaves the stored value, and the command line says why.
    void recalculateArea(AcApDocument* document);
    void recalculatePerimeter(AcApDocument* document);
    // True when the boundary the area is measured from (the definition's first polyline, lightweight or
    // 2D) crosses itself: its lobes offset each other, so no area measured from it is the space's.
    bool boundaryCrossesItself() const;
    void convertUnits(int units);

    // XML form.
    IXMLDOMNodePtr serialize(CString namespaceURI);
    void deSerialize(IXMLDOMNodePtr node, CHatch* hatch);

    // Hatching and hyperlinks.
    void hatchBlock(CAcadDrawing* drawing, AcDbEntity* reference, AcDbObjectId* hatchId, CKelmoExceptions* warnings);
    void hatchObject(CAcadDrawing* drawing, AcDbEntity* reference, AcDbObjectId boundary, AcDbObjectIdArray subtractIds,
                     AcDbObjectIdArray addIds, AcDbObjectId* hatchId, CKelmoExceptions* warnings);
    void hyperlinkHatch(const AcDbObjectId* hatchId);
    void hyperlinkEntity(AcDbEntity* entity);
    void hyperlinkBlock(AcDbEntity* reference, int fromDefinition);

protected:
    // Level classes and marker blocks fix their own code.
    void setType(int blockType) { setBlockType(blockType); }
    // The reference's definition name, handle, layer, colour and line weight.
    void readReference(AcDbBlockReference* reference);
    // The export of the level blocks to the planning tables: rooms and buildings under their parent,
    // floors and sites by their own location.
    void exportSpaceToTP(kelmo_model::RegisterCall& call, int timeout, int parentID, const CString& exportParameters);
    void exportGrossAreaToTP(kelmo_model::RegisterCall& call, int timeout, int locationID,
                             const CString& exportParameters);
    // Appends the insert to model space; on failure it is deleted and the status says why.
    static Acad::ErrorStatus appendToModelSpace(AcDbDatabase* database, AcDbBlockReference* reference);
    // A new attribute for an insert from one of its definition's attribute definitions, moved by the
    // insert's transform; not yet appended.
    static AcDbAttribute* attributeFromDefinition(const AcDbAttributeDefinition* definition,
                                                  const AcGeMatrix3d& blockTransform);

private:
    static CString handlesToString(const HandleArray& handles);
    static void fillHandles(HandleArray& handles, CString text, AcDbDatabase* database);
    // Sum of the areas (or perimeters) of the listed polylines; handles of erased entities are dropped.
    double sumListed(HandleArray& handles, AcApDocument* document, bool perimeters);
    void highlightAreas(HandleArray& handles, CAcadDrawing* drawing, int highlight, int printCount, bool subtracted);
    // The first polyline of the reference's definition, lightweight or 2D; null id when there is none.
    static AcDbObjectId findBoundary(const AcDbBlockReference* reference);
    // False, said on the command line, when writing the labels would change one on a locked layer: the
    // space is then left whole.
    bool labelsWritable(AcDbEntity* reference, const AcGeMatrix3d& ucs, const AcGePoint3d* anchor,
                        AcApDocument* document);
    // Says on the command line that the value stays as stored, and why.
    void keepStored(const wchar_t* reason, const wchar_t* value);
    // Names the space once when a stored room height or volume it writes back could not be read.
    void nameUnreadValues();
    // The reference's record with the given strings put in place of the values that changed; null
    // when the reference holds no record.
    resbuf* keptRecord(AcDbBlockReference* reference, const CString* texts);
    // Whether the stored string of the key gives the value this block holds, so it is kept as read.
    bool storedValueStands(int key, const wchar_t* stored, const CString& fresh, AcDbDatabase* database);
    // The record as written on the reference, for the caller to release.
    resbuf* recordData(AcDbBlockReference* reference);

    AcDbObjectId m_objectId;
    AcDbHandle m_dwgHandle;
    CString m_blockIdentifier;
    CString m_xDataAppName;
    HandleArray m_handlesToMinus;
    HandleArray m_handlesToAdd;
    CHatch* m_hatch;
    CAttributes* m_attributes;
    CAssets* m_assets;
    int m_zoomOnApply;
    double m_zoomMargin;
    int m_colorIndex;
    int m_lineWeight;
    CString m_layer;
    // Set when the block has no NAME label and took its definition's name: its stored name stands
    // until something renames it.
    bool m_nameFromDefinition = false;
    bool m_keepsStoredRecord = false;
    CString m_storedTexts[storedValues];
    // The stored area, perimeter, room height or volume could not be read: its text stands, and the space is
    // named once.
    bool m_areaUnread = false;
    bool m_perimeterUnread = false;
    // The stored area has more decimals than a record is written with: its text stands while the space
    // holds the value it gave.
    bool m_areaPastPrecision = false;
    AsWritten m_areaAsWritten;
    bool m_heightUnread = false;
    bool m_volumeUnread = false;
    CString m_unreadArea;
    bool m_unreadNamed = false;
    AsWritten m_perimeterAsWritten;
    AsWritten m_heightAsWritten;
    AsWritten m_volumeAsWritten;
};
