#include "model/Hyperlink.h"

#include "core/Catch.h"
#include "core/Utilities.h"
#include "core/XMLUtilities.h"

KELMO_SOURCE_FILE(L"Hyperlink");

CHyperlink::CHyperlink() = default;

CHyperlink::CHyperlink(CString href, CString description) {
    setHref(href);
    setDescription(description);
}

void CHyperlink::copyTo(CHyperlink* target) {
    KELMO_TRY
        if (!target) return;
        target->setHref(m_href);
        target->setDescription(m_description);
    KELMO_CATCH(L"CHyperlink::copyTo")
}

void CHyperlink::setHyperlink(CString base, int id) {
    KELMO_TRY
        m_href = base + L"?pb=10&page=1" + L"&id=" + CUtilities::IntToCString(id);
    KELMO_CATCH(L"CHyperlink::setHyperlink")
}

IXMLDOMNodePtr CHyperlink::serialize(CString namespaceURI) {
    KELMO_TRY
        CXMLUtilities xml;
        IXMLDOMNodePtr element = xml.createNode(L"hyperlink", namespaceURI);
        element->appendChild(xml.createNode(L"bhHref", m_href, namespaceURI));
        if (!m_description.IsEmpty())
            element->appendChild(xml.createNode(L"bhDescription", m_description, namespaceURI));
        return element;
    KELMO_CATCH_ALSO(L"CHyperlink::serialize", kelmo::catchClassLib)
}

void CHyperlink::deSerialize(IXMLDOMNodePtr node) {
    KELMO_TRY
        if (node == nullptr || kelmo_xml::nodeName(node) != L"hyperlink") return;
        if (!node->hasChildNodes()) return;
        IXMLDOMNodeListPtr children = node->GetchildNodes();
        for (long i = 0; i < children->Getlength(); ++i) {
            IXMLDOMNodePtr child = children->Getitem(i);
            const CString name = kelmo_xml::nodeName(child);
            if (name == L"bhHref")
                m_href = static_cast<const wchar_t*>(child->Gettext());
            else if (name == L"bhDescription")
                m_description = static_cast<const wchar_t*>(child->Gettext());
        }
    KELMO_CATCH_ALSO(L"CHyperlink::deSerialize", kelmo::catchClassLib)
}
