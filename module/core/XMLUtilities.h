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
    IXMLDOMNodePtr createNode(CString name, CString namespaceURI);
    IXMLDOMNodePtr createNode(CString name, CString text, CString namespaceURI);
    IXMLDOMNodePtr createUniversalTimeNode(CString namespaceURI, COleDateTime time);

private:
    IXMLDOMDocumentPtr m_document; // the factory of the nodes; nothing is appended to it
};
