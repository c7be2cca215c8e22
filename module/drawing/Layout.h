#pragma once
// The name of one layout of a drawing.
#include "classlib/Afx.h"

class CStoredProcedure;

class CLayout {
public:
    CLayout() = default;
    virtual ~CLayout() = default;
    CLayout(const CLayout&) = delete;
    CLayout& operator=(const CLayout&) = delete;

    CString getName() const { return m_name; }
    void setName(CString name) { m_name = name; }
    void addLayoutToVXR(CStoredProcedure* procedure, int timeout, int attachID);

private:
    CString m_name;
};
