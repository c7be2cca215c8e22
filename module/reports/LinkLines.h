#pragma once
// The owning list of a graphic report's link lines.
#include "classlib/Afx.h"
#include "xml/MsXml.h"

class CAcadDrawing;
class CAcadDrawingState;
class CLinkLine;
class CStoredProcedure;

class CLinkLines {
public:
    CLinkLines();
    ~CLinkLines();
    CLinkLines(const CLinkLines&) = delete;
    CLinkLines& operator=(const CLinkLines&) = delete;

    // TRUE when the list took the line. A line with the same start and end handles as one held is
    // refused and stays the caller's.
    BOOL add(CLinkLine* linkLine);
    int getCount() const { return m_count; }
    CLinkLine* getAt(int index);
    void deleteObjects();

    // Each line in order; the caller holds the drawing's lock.
    void applyToDrawing(CAcadDrawing* drawing, CAcadDrawingState* state);

    IXMLDOMNodePtr serialize(CString namespaceURI);
    void deSerialize(IXMLDOMNodePtr node);
    // Adds the report's link lines from the register.
    void getGraphicReportLinkLines(CStoredProcedure* procedure, int graphicReportID, int timeout);

private:
    CTypedPtrArray<CPtrArray, CLinkLine*> m_linkLines;
    int m_count;
};
