#pragma once
// A snapshot of which layout of a drawing is current and of every layer's state, changed by its
// caller and applied back: the layout made current, the layers written, the freezing optionally
// carried into the layout's viewports, the drawing regenerated.
#include "cad/AcDb.h"
#include "classlib/Afx.h"
#include "xml/MsXml.h"

class CAcadDrawing;
class CLayers;

class CAcadDrawingState {
public:
    CAcadDrawingState();
    explicit CAcadDrawingState(CAcadDrawing* drawing);
    ~CAcadDrawingState();
    CAcadDrawingState(const CAcadDrawingState&) = delete;
    CAcadDrawingState& operator=(const CAcadDrawingState&) = delete;

    void getState(CAcadDrawing* drawing);
    void applyState(CAcadDrawing* drawing, int perViewport);
    void applyLayersInAllLayoutViewports(AcDbObjectIdArray& thawed, AcDbObjectIdArray& frozen);
    void setAllLayerLineWeights(int lineWeight);
    void setStateAllOff(CAcadDrawing* drawing);
    void setStateForTakeOff(CAcadDrawing* drawing);
    void setKelmoLayersForOutput();
    void setLayerState(CString name, int frozen, int locked, int off, int plottable);

    CString getLayoutName() const { return m_layoutName; }
    void setLayoutName(CString name) { m_layoutName = name; }
    CLayers* getLayers() const { return m_layers; }
    // Replaces the list; the list held before stays with whoever holds it.
    void setLayers(CLayers* layers) { m_layers = layers; }

    IXMLDOMNodePtr serialize(CString namespaceURI);
    void deSerialize(IXMLDOMNodePtr node);

private:
    CString m_layoutName;
    CLayers* m_layers;
};
