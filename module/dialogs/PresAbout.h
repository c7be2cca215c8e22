#pragma once
// The about box: the module's version, its build date and the host release it was built for.
#include "classlib/AfxWin.h"
#include "resources/Resource.h"

class CPresAbout : public CDialog {
public:
    enum { IDD = IDD_ABOUT };

    explicit CPresAbout(CWnd* pParent = nullptr);

protected:
    void DoDataExchange(CDataExchange* pDX) override;

private:
    CString m_compileDate;
    CString m_version;
    CString m_hostVersion;
};
