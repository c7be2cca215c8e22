#pragma once
// Builds the module's XML: new files holding the declaration, an optional stylesheet instruction and
// an empty root, and namespaced element nodes for the caller to append wherever it likes. Made on
// the stack for one operation.
#include "classlib/Afx.h"
#include "xml/MsXml.h"

class CXMLUtilities {
public:
    CXMLUtilities();
    ~CXMLUtilities();
    CXMLUtilities(const CXMLUtilities&) = delete;
    CXMLUtilities& operator=(const CXMLUtilities&) = delete;

    void createXMLDoc(CString path, CString stylesheet, CString rootName, CString namespaceURI);
    // The same document in memory, for the caller to fill and save once.
    IXMLDOMDocumentPtr newXMLDoc(CString stylesheet, CString rootName, CString namespaceURI);
    IXMLDOMNodePtr createNode(CString name, CString namespaceURI);
    // A text node's characters that XML 1.0 cannot hold (control characters but tab and line ends,
    // U+FFFE, U+FFFF, lone surrogates) are written as U+FFFD, so the file stays well-formed.
    IXMLDOMNodePtr createNode(CString name, CString text, CString namespaceURI);
    static bool holdsNonXMLCharacters(const CString& text);
    IXMLDOMNodePtr createUniversalTimeNode(CString namespaceURI, COleDateTime time);

private:
    IXMLDOMDocumentPtr m_document; // the factory of the nodes; nothing is appended to it
};

namespace kelmo_xml {

// An element's name without its prefix, so that a file that writes "o:category" reads as one that
// writes "category".
inline CString nodeName(const IXMLDOMNodePtr& node) {
    return CString(static_cast<const wchar_t*>(node->GetbaseName()));
}

inline CString nodeText(const IXMLDOMNodePtr& node) {
    return CString(static_cast<const wchar_t*>(node->Gettext()));
}

// A value's text without the blanks a file laid out for reading puts around it (a handle, a layer).
inline CString valueText(const IXMLDOMNodePtr& node) {
    CString text = nodeText(node);
    text.Trim();
    return text;
}

} // namespace kelmo_xml
