#include "dialogs/MyTabCtrl.h"

#include "dialogs/TabData.h"
#include "dialogs/TabFormat.h"

BEGIN_MESSAGE_MAP(CMyTabCtrl, CTabCtrl)
ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

CMyTabCtrl::CMyTabCtrl() : m_tabCurrent(0), m_nNumberOfPages(2) {
    m_tabPages[0] = new CTabData(nullptr);
    m_tabPages[1] = new CTabFormat(nullptr);
}

CMyTabCtrl::~CMyTabCtrl() {
    for (int i = 0; i < m_nNumberOfPages; ++i) delete m_tabPages[i];
}

void CMyTabCtrl::init() {
    m_tabCurrent = 0;
    m_tabPages[0]->Create(CTabData::IDD, this);
    m_tabPages[1]->Create(CTabFormat::IDD, this);
    m_tabPages[0]->ShowWindow(SW_SHOW);
    m_tabPages[1]->ShowWindow(SW_HIDE);
    setRectangle();
}

void CMyTabCtrl::setRectangle() {
    CRect client;
    CRect item;
    GetClientRect(&client);
    GetItemRect(0, &item);
    const int left = item.left;
    const int top = item.bottom + 1;
    const int width = client.right - left - 1;
    const int height = client.bottom - top - 1;
    m_tabPages[0]->SetWindowPos(&wndTop, left, top, width, height, SWP_SHOWWINDOW);
    for (int i = 1; i < m_nNumberOfPages; ++i)
        m_tabPages[i]->SetWindowPos(&wndTop, left, top, width, height, SWP_HIDEWINDOW);
}

void CMyTabCtrl::OnLButtonDown(UINT nFlags, CPoint point) {
    CTabCtrl::OnLButtonDown(nFlags, point);
    const int focus = GetCurFocus();
    if (focus < 0 || focus >= m_nNumberOfPages || focus == m_tabCurrent) return;
    m_tabPages[m_tabCurrent]->ShowWindow(SW_HIDE);
    m_tabCurrent = focus;
    m_tabPages[m_tabCurrent]->ShowWindow(SW_SHOW);
    m_tabPages[m_tabCurrent]->SetFocus();
}
