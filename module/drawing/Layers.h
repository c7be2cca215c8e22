#pragma once
// The owning list of layer records: a drawing's layers, or the layers a graphic report switches on.
#include "cad/AcDb.h"
#include "classlib/Afx.h"
#include "xml/MsXml.h"

class CAcadDrawing;
class CLayer;
class CStoredProcedure;

class CLayers {
public:
    CLayers();
    virtual ~CLayers();
    CLayers(const CLayers&) = delete;
    CLayers& operator=(const CLayers&) = delete;

    CLayer* getAt(int index);
    int getCount() const { return m_count; }
    CLayer* getAtLayer(CString name);
    // TRUE when the list took the layer. A layer whose name is held already is refused and stays
    // the caller's.
    BOOL add(CLayer* layer);
    void setAllLayersOff(int off);
    void setAllLayersFrozen(int frozen);
    void getDWGLayers(CAcadDrawing* drawing);
    void applyToDWG(CAcadDrawing* drawing);
    // Needs the caller's lock on the drawing. 1 when the drawing has the layer afterwards.
    int ensureLayerExists(CAcadDrawing* drawing, CString name, AcCmColor colour);
    void getFrozenThawedIds(AcDbObjectIdArray& thawed, AcDbObjectIdArray& frozen);
    void setOnLayerToCurrent(CAcadDrawing* drawing);
    IXMLDOMNodePtr serialize(CString namespaceURI);
    void deSerialize(IXMLDOMNodeListPtr nodes);
    int addLayersToVXR(CStoredProcedure* procedure, int timeout, int attachID);
    void getGraphicReportLayersOn(CStoredProcedure* procedure, int graphicReportID, int timeout);
    void deleteObjects();

private:
    // Adds the layer, or deletes it when the list refuses it.
    void addOrDelete(CLayer* layer);

    CTypedPtrArray<CPtrArray, CLayer*> m_layers;
    int m_count;
};
