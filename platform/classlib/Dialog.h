#pragma once
// Dialogs built from templates: modeless (Create) or modal (DoModal, a nested loop that runs the actions the
// host or a test queues through the dialog driver; when none is left the dialog is cancelled).
#include "classlib/Controls.h"
#include "classlib/DataExchange.h"
#include "classlib/Wnd.h"

class CDialog : public CWnd {
public:
    CDialog();
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Modeless: the window from the template, initialised, shown when the template says visible.
    virtual BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    BOOL Create(LPCTSTR lpszTemplateName, CWnd* pParentWnd = nullptr);
    // Modal: IDOK, IDCANCEL or the value given to EndDialog; -1 when the template cannot be found.
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);

    virtual BOOL OnInitDialog();
    void SetDefID(UINT nID);
    DWORD GetDefID() const;
    void NextDlgCtrl() const;
    void PrevDlgCtrl() const;
    void GotoDlgCtrl(CWnd* pWndCtrl);

    UINT m_nIDHelp = 0;
    UINT m_nIDTemplate = 0;
    CWnd* m_pParentWnd = nullptr;

    DECLARE_MESSAGE_MAP()

    virtual void OnOK();
    virtual void OnCancel();
    afx_msg LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);
    // Adds each combo and list box's initialisation strings from the template's module.
    BOOL ExecuteDlgInit();

private:
    BOOL createFromTemplate(UINT nIDTemplate, CWnd* pParentWnd, bool modal);
};

namespace classlib::detail {
// Converts a template rectangle from dialog units to pixels.
RECT dialogUnitsToPixels(int x, int y, int cx, int cy);
// One step of a modal loop: a posted message or one pending driver action; false when nothing is left.
bool runOneModalStep();
} // namespace classlib::detail
