#include "core/TempFiles.h"

#include "core/Catch.h"
#include "core/FileUtilities.h"

KELMO_SOURCE_FILE(L"TempFiles.cpp");

CTempFiles::CTempFiles() : m_count(0) {}

CTempFiles::~CTempFiles() {
    // A destructor lets nothing out: a failure is shown and the list is dropped.
    try {
        deleteTempFiles();
    } catch (...) {
        kelmo::reportWrapped(kelmoSourceFile, L"CTempFiles::~CTempFiles");
    }
}

void CTempFiles::add(CString path) {
    KELMO_TRY
        m_paths.Add(path);
        ++m_count;
    KELMO_CATCH(L"CTempFiles::add")
}

void CTempFiles::deleteTempFiles() {
    KELMO_TRY
        CFileUtilities files;
        for (int i = 0; i < m_paths.GetSize(); ++i) {
            files.deleteFile(m_paths[i]); // a file that cannot go stays; nothing is reported
        }
        m_paths.RemoveAll();
        m_count = 0;
    KELMO_CATCH(L"CTempFiles::deleteTempFiles")
}
