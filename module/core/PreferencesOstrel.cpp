#include "core/PreferencesOstrel.h"

#include "core/Catch.h"
#include "core/HostCalls.h"
#include "core/ServerPreferenceOstrel.h"
#include "core/SystemUtilities.h"
#include "drawing/AcadUtilities.h"
#include "xml/MsXml.h"

KELMO_SOURCE_FILE(L"PreferencesOstrel.cpp");

CPreferencesOstrel::CPreferencesOstrel() : m_count(0) {}

CPreferencesOstrel::~CPreferencesOstrel() {
    // A destructor lets nothing out: a failure is shown and the list is dropped.
    try {
        deleteObjects();
    } catch (...) {
        kelmo::reportWrapped(kelmoSourceFile, L"CPreferencesOstrel::~CPreferencesOstrel");
    }
}

void CPreferencesOstrel::deSerialize(CString path) {
    KELMO_TRY
        m_path = path;
        CoInitialize(nullptr);
        try {
            IXMLDOMDocumentPtr document;
            document.CreateInstance(L"Msxml2.DOMDocument");
            // A file that does not load, has no root or has another root adds nothing.
            const bool loaded = document->load(_variant_t(path)) != VARIANT_FALSE;
            IXMLDOMNodePtr root = loaded ? document->selectSingleNode(L"/*") : IXMLDOMNodePtr();
            if (root != nullptr && CString(static_cast<const wchar_t*>(root->GetnodeName())) == L"ostrelPreferences") {
                IXMLDOMNodeListPtr servers = root->GetchildNodes();
                const long count = servers->Getlength();
                for (long i = 0; i < count; ++i) {
                    IXMLDOMNodePtr server = servers->Getitem(i);
                    if (server->hasChildNodes() == VARIANT_FALSE) {
                        continue;
                    }
                    CServerPreferenceOstrel* entry = new CServerPreferenceOstrel();
                    try {
                        entry->deSerialize(server, path);
                    } catch (...) {
                        delete entry;
                        throw;
                    }
                    add(entry);
                }
            }
        } catch (...) {
            CoUninitialize();
            throw;
        }
        CoUninitialize();
    KELMO_CATCH(L"CPreferencesOstrel::deSerialize")
}

void CPreferencesOstrel::dump(CString marker) {
    KELMO_TRY
        CAcadUtilities utilities;
        for (int i = 0; i < m_count; ++i) {
            CServerPreferenceOstrel* entry = m_entries[i];
            const int media = entry->getCachePlotMediaName();
            const int device = entry->getCachePlotPC3Device();
            acutPrintf(L"Marker                %s\n", static_cast<const wchar_t*>(marker));
            acutPrintf(L"Server                %s\n", static_cast<const wchar_t*>(entry->getDbDatasource()));
            acutPrintf(L"getCacheOutPath       %s\n", static_cast<const wchar_t*>(entry->getCacheOutPath()));
            acutPrintf(L"getCachePlotAreaType  %i\n", entry->getCachePlotAreaType());
            acutPrintf(L"getCachePlotCentred   %b\n", entry->getCachePlotCentred());
            acutPrintf(
                L"getCachePlotMediaName %i, %s\n", media,
                static_cast<const wchar_t*>(utilities.convertMediaSize(static_cast<CAcadUtilities::MediaSize>(media))));
            acutPrintf(L"getCachePlotPC3Device %i, %s\n", device,
                       static_cast<const wchar_t*>(
                           utilities.convertPlotDevice(static_cast<CAcadUtilities::PlotDevice>(device))));
            acutPrintf(L"getCachePlotScaleType %i\n", entry->getCachePlotScaleType());
            acutPrintf(L"\n\n");
            CSystemUtilities::wait(5); // the host keeps painting meanwhile
        }
    KELMO_CATCH(L"CPreferencesOstrel::dump")
}

CServerPreferenceOstrel* CPreferencesOstrel::getAt(int index) {
    return m_entries.GetAt(index);
}

void CPreferencesOstrel::add(CServerPreferenceOstrel* entry) {
    m_entries.Add(entry);
    ++m_count;
}

void CPreferencesOstrel::deleteObjects() {
    KELMO_TRY
        for (int i = 0; i < m_count; ++i) {
            delete m_entries[i];
            m_entries[i] = nullptr;
        }
        m_entries.RemoveAll();
        m_count = 0;
    KELMO_CATCH(L"CPreferencesOstrel::deleteObjects")
}
