#include "reports/LinkLines.h"

#include "core/Catch.h"
#include "core/XMLUtilities.h"
#include "model/ModelSupport.h"
#include "reports/LinkLine.h"

KELMO_SOURCE_FILE(L"LinkLines");

CLinkLines::CLinkLines() : m_count(0) {}

CLinkLines::~CLinkLines() {
    try {
        deleteObjects();
    } catch (...) {
        kelmo::reportWrapped(kelmoSourceFile, L"CLinkLines::~CLinkLines");
    }
}

BOOL CLinkLines::add(CLinkLine* linkLine) {
    KELMO_TRY
        if (!linkLine) return FALSE;
        for (int i = 0; i < m_count; ++i) {
            CLinkLine* held = m_linkLines.GetAt(i);
            if (held->getStartHandle() == linkLine->getStartHandle() &&
                held->getEndHandle() == linkLine->getEndHandle())
                return FALSE;
        }
        m_linkLines.Add(linkLine);
        ++m_count;
        return TRUE;
    KELMO_CATCH_ALSO(L"CLinkLines::add", kelmo::catchClassLib)
}

CLinkLine* CLinkLines::getAt(int index) {
    KELMO_TRY
        return m_linkLines.GetAt(index);
    KELMO_CATCH_ALSO(L"CLinkLines::getAt", kelmo::catchClassLib)
}

void CLinkLines::deleteObjects() {
    KELMO_TRY
        for (int i = 0; i < m_linkLines.GetSize(); ++i) delete m_linkLines.GetAt(i);
        m_linkLines.RemoveAll();
        m_count = 0;
    KELMO_CATCH(L"CLinkLines::deleteObjects")
}

void CLinkLines::applyToDrawing(CAcadDrawing* drawing, CAcadDrawingState* state) {
    KELMO_TRY
        for (int i = 0; i < m_count; ++i) m_linkLines.GetAt(i)->applyToDrawing(drawing, state);
    KELMO_CATCH(L"CLinkLines::applyToDrawing")
}

IXMLDOMNodePtr CLinkLines::serialize(CString namespaceURI) {
    KELMO_TRY
        CXMLUtilities xml;
        IXMLDOMNodePtr node = xml.createNode(L"linkLines", namespaceURI);
        for (int i = 0; i < m_count; ++i) node->appendChild(m_linkLines.GetAt(i)->serialize(namespaceURI));
        return node;
    KELMO_CATCH(L"CLinkLines::serialize")
}

void CLinkLines::deSerialize(IXMLDOMNodePtr node) {
    KELMO_TRY
        if (node == nullptr) return;
        IXMLDOMNodeListPtr children = node->GetchildNodes();
        for (long i = 0; i < children->Getlength(); ++i) {
            IXMLDOMNodePtr child = children->Getitem(i);
            if (kelmo_model::nodeName(child) != L"linkLine") continue;
            CLinkLine* linkLine = new CLinkLine();
            try {
                linkLine->deSerialize(child);
            } catch (...) {
                delete linkLine;
                throw;
            }
            if (!add(linkLine)) delete linkLine;
        }
    KELMO_CATCH(L"CLinkLines::deSerialize")
}
