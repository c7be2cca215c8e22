#pragma once
// The text log and the XML error and debug logs. The XML logs are created on first use and then
// loaded, extended and saved again on every entry, the file locked meanwhile against other processes.
#include "classlib/Afx.h"
#include "xml/MsXml.h"

class CEXKelmo;

class CLog {
public:
    CLog() = default;
    virtual ~CLog() = default;

    void outputToFile(CString path, CString text);
    void writeToXMLErrorLogs(CEXKelmo* exception);
    // TRUE when the chain was appended and the log saved.
    BOOL writeToXMLErrorLog(CString path, CEXKelmo* exception);
    void writeToXMLDebugLog(CString path, CString description, IXMLDOMNodePtr node);
    void createXMLDocument(CString path, CString rootName, CString namespaceURI, CString stylesheet);
    void appendDebug(IXMLDOMDocumentPtr document, IXMLDOMNodePtr parent, CString description, IXMLDOMNodePtr node);
};
