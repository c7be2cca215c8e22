#pragma once
// Which CAD host loaded the module. Decided once, at load: a few operations differ by host (the
// legend and pie-chart markers need full AutoCAD or BricsCAD, plotting takes BricsCAD's own road,
// attributes are hyperlinked only on AutoCAD and AutoCAD LT).
#include "classlib/Afx.h"

class CHostApplication {
public:
    enum { hostUnknown = 0, hostAutoCADLT = 1, hostAutoCAD = 2, hostBricsCAD = 3 };

    // Asks the host application services for the product text.
    CHostApplication();

    int getHostType() const { return m_hostType; }
    CString getProductName() const { return m_productName; }
    CString getProductString() const { return m_productString; }
    // Full AutoCAD or BricsCAD: the host loaded with the module, whatever object it is asked of.
    bool isFullVersion() const;

    // The detection itself, on a product text.
    void detect(const CString& productText, const CString& productString);

private:
    int m_hostType;
    CString m_productName;
    CString m_productString;
};

extern CHostApplication g_hostApplication;
