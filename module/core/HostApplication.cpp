#include "core/HostApplication.h"

#include "cad/app/HostApplicationServices.h"

CHostApplication::CHostApplication() : m_hostType(hostUnknown) {
    AcDbHostApplicationServices* services = acdbHostApplicationServices();
    if (services == nullptr) {
        detect(CString(), CString());
        return;
    }
    detect(CString(services->product()), CString(services->versionString()));
}

void CHostApplication::detect(const CString& productText, const CString& productString) {
    m_productName = productText;
    m_productName.MakeLower();
    m_productString = productString;
    // "autocad" first: a text naming both hosts counts as AutoCAD.
    if (m_productName.Find(L"autocad") >= 0) {
        if (m_productName.Find(L"tocad lt") >= 0) {
            m_hostType = hostAutoCADLT;
            m_productName = L"AutoCADLT";
        } else {
            m_hostType = hostAutoCAD;
            m_productName = L"AutoCAD";
        }
    } else if (m_productName.Find(L"bricscad") >= 0) {
        m_hostType = hostBricsCAD;
        m_productName = L"BricsCAD";
    } else {
        m_hostType = hostUnknown;
        m_productName = L"unknown <" + m_productName + L">";
    }
}

bool CHostApplication::isFullVersion() const {
    return g_hostApplication.getHostType() > hostAutoCADLT;
}
