#include "dialogs/PresAbout.h"

CPresAbout::CPresAbout(CWnd* pParent)
    : CDialog(IDD, pParent), m_compileDate(L"Oct  3 2014"), m_version(L"64.04.00.01"), m_hostVersion(L"64bit 14") {}

void CPresAbout::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_ABOUT_COMPILE_DATE, m_compileDate);
    DDX_Text(pDX, IDC_ABOUT_VERSION, m_version);
    DDX_Text(pDX, IDC_ABOUT_HOST_VERSION, m_hostVersion);
}
