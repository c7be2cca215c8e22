#pragma once
// The temporary copies a working drawing makes; deleted when the list is cleared or destroyed.
#include "classlib/Afx.h"

class CTempFiles {
public:
    CTempFiles();
    ~CTempFiles();
    CTempFiles(const CTempFiles&) = delete;
    CTempFiles& operator=(const CTempFiles&) = delete;

    void add(CString path);
    void deleteTempFiles();
    int getCount() const { return m_count; }

private:
    CStringArray m_paths;
    int m_count;
};
