#pragma once
// Reading the XML forms the database classes write.
#include "xml/MsXml.h"

#include <string>
#include <vector>

inline std::wstring xmlString(const _bstr_t& text) {
    const wchar_t* p = text;
    return p ? p : L"";
}
inline std::wstring xmlName(const IXMLDOMNodePtr& node) {
    return xmlString(node->GetnodeName());
}
inline std::wstring xmlNamespace(const IXMLDOMNodePtr& node) {
    return xmlString(node->GetnamespaceURI());
}
inline std::wstring xmlText(const IXMLDOMNodePtr& node) {
    return xmlString(node->Gettext());
}
inline std::vector<IXMLDOMNodePtr> xmlChildren(const IXMLDOMNodePtr& node) {
    std::vector<IXMLDOMNodePtr> children;
    IXMLDOMNodeListPtr list = node->GetchildNodes();
    for (long i = 0; i < list->Getlength(); ++i) children.push_back(list->Getitem(i));
    return children;
}
