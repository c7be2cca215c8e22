#include "reports/LinkLine.h"

#include "core/Catch.h"
#include "core/XMLUtilities.h"
#include "model/ModelSupport.h"

KELMO_SOURCE_FILE(L"LinkLine");

using kelmo_model::nodeName;
using kelmo_model::nodeText;

IXMLDOMNodePtr CLinkLine::serialize(CString namespaceURI) {
    KELMO_TRY
        CXMLUtilities xml;
        IXMLDOMNodePtr node = xml.createNode(L"linkLine", namespaceURI);
        node->appendChild(xml.createNode(L"linkStartHandle", m_startHandle, namespaceURI));
        node->appendChild(xml.createNode(L"linkEndHandle", m_endHandle, namespaceURI));
        node->appendChild(xml.createNode(L"linkLineLayer", m_layer, namespaceURI));
        if (!m_text.IsEmpty()) node->appendChild(xml.createNode(L"linkLineText", m_text, namespaceURI));
        return node;
    KELMO_CATCH(L"CLinkLine::serialize")
}

void CLinkLine::deSerialize(IXMLDOMNodePtr node) {
    KELMO_TRY
        if (node == nullptr || nodeName(node) != L"linkLine" || !node->hasChildNodes()) return;
        IXMLDOMNodeListPtr children = node->GetchildNodes();
        for (long i = 0; i < children->Getlength(); ++i) {
            IXMLDOMNodePtr child = children->Getitem(i);
            const CString name = nodeName(child);
            if (name == L"linkStartHandle")
                m_startHandle = nodeText(child);
            else if (name == L"linkEndHandle")
                m_endHandle = nodeText(child);
            else if (name == L"linkLineLayer")
                m_layer = nodeText(child);
            else if (name == L"linkLineText")
                m_text = nodeText(child);
        }
    KELMO_CATCH(L"CLinkLine::deSerialize")
}
