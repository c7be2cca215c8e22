#pragma once
// The settings of one drawing layer as plain values the module changes and writes back.
#include "cad/AcDb.h"
#include "classlib/Afx.h"
#include "xml/MsXml.h"

class CAcadDrawing;
class CStoredProcedure;

class CLayer {
public:
    CLayer();
    explicit CLayer(AcDbLayerTableRecord* record);
    virtual ~CLayer();
    CLayer(const CLayer&) = delete;
    CLayer& operator=(const CLayer&) = delete;

    AcDbObjectId getObjectId() const { return m_objectId; }
    void setObjectId(AcDbObjectId id) { m_objectId = id; }
    CString getName() const { return m_name; }
    void setName(CString name);
    CString getDescription() const { return m_description; }
    void setDescription(CString description);
    AcCmColor getColour() const { return m_colour; }
    int getColourIndex() const { return m_colourIndex; }
    void setColourIndex(int index);
    int getFrozen() const { return m_frozen; }
    void setFrozen(int frozen);
    int getLocked() const { return m_locked; }
    void setLocked(int locked);
    int getOff() const { return m_off; }
    void setOff(int off);
    int getPlottable() const { return m_plottable; }
    void setPlottable(int plottable);
    int getLineWeight() const { return m_lineWeight; }
    void setLineWeight(int lineWeight);
    int getModified() const { return m_modified; }

    void getDWGLayer(AcDbLayerTableRecord* record);
    // 1 when the drawing has the named layer (then read into this record), else 0.
    int getDWGLayer(CAcadDrawing* drawing, CString name);
    void applyToDWG(CAcadDrawing* drawing);

    static CString validateLayerName(CString name);
    // 1 when the drawing has the layer afterwards, 0 when it could not be made.
    static int ensureLayerExists(CString name, CAcadDrawing* drawing);
    // Gives the drawing database the named layer (name cleaned) when it lacks it, in the colour
    // when one is given; 1 when the drawing has the layer afterwards. The caller holds the lock.
    static int addMissingLayer(AcDbDatabase* database, CString name, const AcCmColor* colour);

    IXMLDOMNodePtr serialize(CString namespaceURI);
    void deSerialize(IXMLDOMNodePtr node);

    void addLayerToVXR(CStoredProcedure* procedure, int timeout, int attachID);

private:
    // The record's state written to a record open for write.
    void writeState(AcDbLayerTableRecord* record);

    AcDbObjectId m_objectId;
    CString m_name;
    CString m_description;
    int m_colourIndex;
    AcCmColor m_colour;
    int m_frozen;
    int m_locked;
    int m_off;
    int m_plottable;
    int m_lineWeight;
    int m_modified;
};
