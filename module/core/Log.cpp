#include "core/Log.h"

#include "core/Catch.h"
#include "core/FileUtilities.h"
#include "core/Globals.h"
#include "core/KelmoExceptions.h"
#include "core/PreferencesOstrel.h"
#include "core/ServerPreferenceOstrel.h"
#include "core/XMLUtilities.h"
#include "win/Files.h"

KELMO_SOURCE_FILE(L"Log.cpp");

namespace {

// COM is initialised for the length of one log write, however it ends.
struct ComScope {
    ComScope() { CoInitialize(nullptr); }
    ~ComScope() { CoUninitialize(); }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
};

CString logNamespace(const wchar_t* path) {
    return CString(KELMO_NAMESPACE_URI) + path;
}

// The root element of a log that loads; null when the file does not load or has no root.
IXMLDOMNodePtr loadRoot(IXMLDOMDocumentPtr& document, const CString& path) {
    document.CreateInstance(L"Msxml2.DOMDocument");
    if (document->load(_variant_t(path)) == VARIANT_FALSE) {
        return IXMLDOMNodePtr();
    }
    return document->selectSingleNode(L"/*");
}

// Saves the log; a file system that refuses it (a full disk, say) gives its own reason.
void saveLog(IXMLDOMDocumentPtr& document, const CString& path, const wchar_t* method) {
    try {
        document->save(_variant_t(path));
    } catch (const _com_error& refused) {
        throw new CEXUnhandled(refused, KELMO_BANNER, kelmoSourceFile, method, 2);
    }
}

// A log not written yet: missing, or the empty file its lock made.
bool notStarted(const CString& path) {
    CFileStatus status;
    return !CFileUtilities::fileExists(path) || (CFile::GetStatus(path, status) && status.m_size == 0);
}

// A new log in memory, its root element and nothing in it yet; the root.
IXMLDOMNodePtr newLog(IXMLDOMDocumentPtr& document, const CString& rootName, const CString& namespaceURI,
                      const CString& stylesheet) {
    document.CreateInstance(L"Msxml2.DOMDocument");
    document->appendChild(document->createProcessingInstruction(L"xml", L"version=\"1.0\" encoding=\"UTF-8\""));
    if (!stylesheet.IsEmpty()) {
        const CString data = L"type=\"text/xsl\" href=\"" + stylesheet + L"\"";
        document->appendChild(document->createProcessingInstruction(L"xml-stylesheet", data.GetString()));
    }
    document->appendChild(document->createNode(_variant_t(static_cast<short>(NODE_ELEMENT)),
                                               _bstr_t(rootName.GetString()), _bstr_t(namespaceURI.GetString())));
    return document->selectSingleNode(L"/*");
}

// The log to add an entry to: read from its file, or made new for a log not written yet, so that the
// entry's save is the log's only one while it is locked (the lock holds the file that save replaces,
// and a second save would let another process in meanwhile). Null root when the file does not load.
IXMLDOMNodePtr openLog(IXMLDOMDocumentPtr& document, const CString& path, const wchar_t* rootName,
                       const wchar_t* stylesheet) {
    if (notStarted(path)) return newLog(document, rootName, logNamespace(L"/") + rootName, stylesheet);
    return loadRoot(document, path);
}

} // namespace

void CLog::outputToFile(CString path, CString text) {
    KELMO_TRY
        CStdioFile file;
        CFileException error;
        if (!file.Open(
                path,
                CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite | CFile::shareDenyNone | CFile::typeText,
                &error)) {
            throw new CFileException(error.m_cause, error.m_lOsError, path);
        }
        file.SeekToEnd();
        file.WriteString(COleDateTime::GetCurrentTime().Format(L"%d %b %Y %H:%M:%S") + L"\t" + text + L"\n");
        file.Close();
    KELMO_CATCH(L"CLog::outputToFile")
}

void CLog::writeToXMLErrorLogs(CEXKelmo* exception) {
    KELMO_TRY
        for (int i = 0; i < g_serverPreferences.getCount(); ++i) {
            writeToXMLErrorLog(g_serverPreferences.getAt(i)->getAcadErrorLogFilePath(), exception);
        }
    KELMO_CATCH(L"CLog::writeToXMLErrorLogs")
}

BOOL CLog::writeToXMLErrorLog(CString path, CEXKelmo* exception) {
    KELMO_TRY
        // Runs that share the log each add their entry to what the others wrote.
        win::FileUpdateLock lock(path);
        ComScope com;
        IXMLDOMDocumentPtr document;
        IXMLDOMNodePtr root = openLog(document, path, L"errors", L"errorLog.xsl");
        // A log that does not load, or whose root is another, is left as it is.
        if (root == nullptr || CString(static_cast<const wchar_t*>(root->GetnodeName())) != L"errors") {
            return FALSE;
        }
        root->appendChild(exception->serialize());
        saveLog(document, path, L"CLog::writeToXMLErrorLog");
        return TRUE;
    KELMO_CATCH(L"CLog::writeToXMLErrorLog")
}

void CLog::writeToXMLDebugLog(CString path, CString description, IXMLDOMNodePtr node) {
    KELMO_TRY
        win::FileUpdateLock lock(path);
        ComScope com;
        IXMLDOMDocumentPtr document;
        IXMLDOMNodePtr root = openLog(document, path, L"debugging", L"debugLog.xsl");
        if (root == nullptr) {
            throw new CEXInvalidXMLFile(L"", kelmoSourceFile, L"CLog::writeToXMLDebugLog", path);
        }
        if (CString(static_cast<const wchar_t*>(root->GetnodeName())) != L"debugging") {
            return;
        }
        appendDebug(document, root, description, node);
        saveLog(document, path, L"CLog::writeToXMLDebugLog");
    KELMO_CATCH(L"CLog::writeToXMLDebugLog")
}

void CLog::createXMLDocument(CString path, CString rootName, CString namespaceURI, CString stylesheet) {
    KELMO_TRY
        ComScope com;
        IXMLDOMDocumentPtr document;
        newLog(document, rootName, namespaceURI, stylesheet);
        saveLog(document, path, L"CLog::createXMLDocument");
    KELMO_CATCH(L"CLog::createXMLDocument")
}

void CLog::appendDebug(IXMLDOMDocumentPtr document, IXMLDOMNodePtr parent, CString description, IXMLDOMNodePtr node) {
    KELMO_TRY
        const CString ns = logNamespace(L"/errors");
        IXMLDOMNodePtr entry = document->createNode(_variant_t(static_cast<short>(NODE_ELEMENT)), _bstr_t(L"error"),
                                                    _bstr_t(ns.GetString()));
        parent->appendChild(entry);
        CXMLUtilities xml;
        entry->appendChild(xml.createUniversalTimeNode(ns, COleDateTime::GetCurrentTime()));
        entry->appendChild(xml.createNode(L"description", description, ns));
        if (node != nullptr) {
            entry->appendChild(node);
        }
    KELMO_CATCH(L"CLog::appendDebug")
}
