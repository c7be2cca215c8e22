#pragma once
// A link line: a red dashed line between two block references of a drawing, given by their handles,
// with an optional label at its middle.
#include "cad/AcDb.h"
#include "classlib/Afx.h"
#include "xml/MsXml.h"

class CAcadDrawing;
class CAcadDrawingState;

class CLinkLine {
public:
    CLinkLine() = default;
    ~CLinkLine() = default;
    CLinkLine(const CLinkLine&) = delete;
    CLinkLine& operator=(const CLinkLine&) = delete;

    CString getStartHandle() const { return m_startHandle; }
    void setStartHandle(CString handle) { m_startHandle = handle; }
    CString getEndHandle() const { return m_endHandle; }
    void setEndHandle(CString handle) { m_endHandle = handle; }
    // Empty means the default layer "_KELMO".
    CString getLayer() const { return m_layer; }
    void setLayer(CString layer) { m_layer = layer; }
    // Empty means no label.
    CString getText() const { return m_text; }
    void setText(CString text) { m_text = text; }

    // Draws the line (and its label) in model space and records the layers to switch on. A line with
    // an end that names no block reference is skipped with a message; false then.
    bool applyToDrawing(CAcadDrawing* drawing, CAcadDrawingState* state);
    // The insertion point of the block reference with that handle, whose layer is recorded as on;
    // false when the handle names no block reference.
    bool getAssetCurrentCoord(CAcadDrawing* drawing, CString handle, CAcadDrawingState* state, AcGePoint3d& point);
    AcDbObjectId createLine(AcGePoint3d start, AcGePoint3d end, AcCmColor colour, CString text, double textHeight,
                            int align, CString layer, AcDbBlockTableRecord* modelSpace);
    AcDbObjectId createText(AcGePoint3d position, AcCmColor colour, double height, double rotation, CString text,
                            CString layer, AcDbBlockTableRecord* modelSpace);
    int createLinetype(AcDbObjectId* linetypeId, AcDbDatabase* database);
    // The label's angle: along the line, never upside down, in (-pi/2, pi/2]; 0 for coincident ends.
    static double labelAngle(const AcGePoint3d& start, const AcGePoint3d& end);

    IXMLDOMNodePtr serialize(CString namespaceURI);
    void deSerialize(IXMLDOMNodePtr node);

private:
    CString m_startHandle;
    CString m_endHandle;
    CString m_layer;
    CString m_text;
};
