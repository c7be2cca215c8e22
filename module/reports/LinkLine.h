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

    IXMLDOMNodePtr serialize(CString namespaceURI);
    void deSerialize(IXMLDOMNodePtr node);

private:
    CString m_startHandle;
    CString m_endHandle;
    CString m_layer;
    CString m_text;
};
