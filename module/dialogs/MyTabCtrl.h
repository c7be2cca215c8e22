#pragma once
// The block dialog's tab control: it owns the "Space Data" and "Format" pages and shows the page of
// the tab the user clicks.
#include "classlib/AfxWin.h"

class CMyTabCtrl : public CTabCtrl {
public:
    CMyTabCtrl();
    ~CMyTabCtrl() override;
    CMyTabCtrl(const CMyTabCtrl&) = delete;
    CMyTabCtrl& operator=(const CMyTabCtrl&) = delete;

    // Creates the pages as children of the control and shows the first.
    void init();
    // Places every page below the tabs; only the current one is shown.
    void setRectangle();

    CDialog* m_tabPages[2];
    int m_tabCurrent;
    int m_nNumberOfPages;

protected:
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    DECLARE_MESSAGE_MAP()
};
