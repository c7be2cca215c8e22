#pragma once
// The server entries of the server-preference XML file "ostrelPreferences"; owns them.
#include "classlib/Afx.h"

class CServerPreferenceOstrel;

class CPreferencesOstrel {
public:
    CPreferencesOstrel();
    virtual ~CPreferencesOstrel();
    CPreferencesOstrel(const CPreferencesOstrel&) = delete;
    CPreferencesOstrel& operator=(const CPreferencesOstrel&) = delete;

    void deSerialize(CString path);
    CServerPreferenceOstrel* getAt(int index);
    void add(CServerPreferenceOstrel* entry);
    int getCount() const { return m_count; }
    // The file the entries were read from; empty until one was read.
    const CString& getPath() const { return m_path; }
    // Prints each entry's server and cached-plot settings, waiting five seconds after each.
    void dump(CString marker);
    void deleteObjects();

private:
    CArray<CServerPreferenceOstrel*, CServerPreferenceOstrel*> m_entries;
    int m_count;
    CString m_path;
};
