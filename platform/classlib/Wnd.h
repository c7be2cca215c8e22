#pragma once
// Headless windows: every window has real state (text, style, visibility, focus, rectangle, children) kept
// under its handle; CWnd objects wrap handles as the class library's do, and messages go through the object's
// message map and then the window class's own handling.
#include <memory>
#include <string>
#include <vector>

#include "classlib/CString.h"
#include "classlib/Object.h"
#include "classlib/Resources.h"
#include "win/WinTypes.h"

// ---- geometry ----------------------------------------------------------------------------------------------
class CPoint : public POINT {
public:
    CPoint() : POINT{0, 0} {}
    CPoint(int x_, int y_) : POINT{x_, y_} {}
    CPoint(POINT p) : POINT(p) {}
    bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
};

class CSize : public SIZE {
public:
    CSize() : SIZE{0, 0} {}
    CSize(int cx_, int cy_) : SIZE{cx_, cy_} {}
};

class CRect : public RECT {
public:
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    CRect(const RECT& r) : RECT(r) {}
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    CPoint TopLeft() const { return CPoint(left, top); }
    CPoint BottomRight() const { return CPoint(right, bottom); }
    CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }
    BOOL PtInRect(POINT p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    BOOL IsRectEmpty() const { return right <= left || bottom <= top; }
    void OffsetRect(int dx, int dy) {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
    }
    void SetRect(int l, int t, int r, int b) {
        left = l;
        top = t;
        right = r;
        bottom = b;
    }
    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }
    bool operator==(const CRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// ---- messages -----------------------------------------------------------------------------------------------
constexpr UINT DM_GETDEFID = WM_USER + 0;
constexpr UINT DM_SETDEFID = WM_USER + 1;
constexpr WORD DC_HASDEFID = 0x534B;

constexpr UINT SC_CLOSE = 0xF060;
constexpr UINT SC_MINIMIZE = 0xF020;
constexpr UINT SC_RESTORE = 0xF120;

constexpr UINT VK_BACK = 0x08;
constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_ESCAPE = 0x1B;

// The host's query whether a dialog keeps the focus.
constexpr UINT WM_ACAD_KEEPFOCUS = 0x7101;

// Notification codes.
constexpr UINT CN_COMMAND = 0;
constexpr UINT BN_CLICKED = 0;
constexpr UINT BN_DOUBLECLICKED = 5;
constexpr UINT EN_SETFOCUS = 0x0100;
constexpr UINT EN_KILLFOCUS = 0x0200;
constexpr UINT EN_CHANGE = 0x0300;
constexpr UINT EN_UPDATE = 0x0400;
constexpr UINT EN_MAXTEXT = 0x0501;
constexpr UINT CBN_SELCHANGE = 1;
constexpr UINT CBN_DBLCLK = 2;
constexpr UINT CBN_EDITCHANGE = 5;
constexpr UINT CBN_EDITUPDATE = 6;
constexpr UINT CBN_SELENDOK = 9;
constexpr UINT LBN_SELCHANGE = 1;
constexpr UINT LBN_DBLCLK = 2;

// SetWindowPos.
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOREDRAW = 0x0008;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;

class CWnd;
// Insert-after markers of SetWindowPos.
extern const CWnd wndTop;
extern const CWnd wndBottom;
extern const CWnd wndTopMost;
extern const CWnd wndNoTopMost;

#define GET_X_LPARAM(lp) (static_cast<int>(static_cast<short>(LOWORD(lp))))
#define GET_Y_LPARAM(lp) (static_cast<int>(static_cast<short>(HIWORD(lp))))

// Windows API over the headless windows.
LRESULT SendMessageW(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostMessageW(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL IsWindow(HWND hWnd);
UINT RegisterWindowMessageW(LPCWSTR name);
HWND GetActiveWindow();
HWND GetFocus();
#define SendMessage SendMessageW
#define PostMessage PostMessageW
#define RegisterWindowMessage RegisterWindowMessageW

// ---- message maps --------------------------------------------------------------------------------------------
class CCmdTarget;
using AFX_PMSG_THUNK = LRESULT (*)(CCmdTarget* target, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;           // window message, or 0xC000 with pRegistered for a registered message
    UINT nCode;              // notification code of WM_COMMAND entries
    UINT nID;                // first command id
    UINT nLastID;            // last command id of a range
    const UINT* pRegistered; // registered message number
    AFX_PMSG_THUNK pfn;      // calls the handler with its own signature
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define afx_msg

#define DECLARE_MESSAGE_MAP()                        \
public:                                              \
    virtual const AFX_MSGMAP* GetMessageMap() const; \
                                                     \
protected:                                           \
    static const AFX_MSGMAP* GetThisMessageMap();

#define BEGIN_MESSAGE_MAP(theClass, baseClass)          \
    const AFX_MSGMAP* theClass::GetMessageMap() const { \
        return GetThisMessageMap();                     \
    }                                                   \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {   \
        typedef theClass ThisClass;                     \
        typedef baseClass TheBaseClass;                 \
        static_assert(sizeof(ThisClass) > 0);           \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {
#define END_MESSAGE_MAP()                                                                         \
    { 0, 0, 0, 0, nullptr, nullptr }                                                              \
    }                                                                                             \
    ;                                                                                             \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
    return &messageMap;                                                                           \
    }

#define ON_COMMAND(id, memberFxn)                      \
    {WM_COMMAND,                                       \
     CN_COMMAND,                                       \
     static_cast<UINT>(id),                            \
     static_cast<UINT>(id),                            \
     nullptr,                                          \
     [](CCmdTarget* t, WPARAM, LPARAM) -> LRESULT {    \
         (static_cast<ThisClass*>(t)->*(memberFxn))(); \
         return 0;                                     \
     }},
#define ON_COMMAND_RANGE(id, idLast, memberFxn)                                    \
    {WM_COMMAND,                                                                   \
     CN_COMMAND,                                                                   \
     static_cast<UINT>(id),                                                        \
     static_cast<UINT>(idLast),                                                    \
     nullptr,                                                                      \
     [](CCmdTarget* t, WPARAM w, LPARAM) -> LRESULT {                              \
         (static_cast<ThisClass*>(t)->*(memberFxn))(static_cast<UINT>(LOWORD(w))); \
         return 0;                                                                 \
     }},
#define ON_CONTROL(code, id, memberFxn)                \
    {WM_COMMAND,                                       \
     static_cast<UINT>(code),                          \
     static_cast<UINT>(id),                            \
     static_cast<UINT>(id),                            \
     nullptr,                                          \
     [](CCmdTarget* t, WPARAM, LPARAM) -> LRESULT {    \
         (static_cast<ThisClass*>(t)->*(memberFxn))(); \
         return 0;                                     \
     }},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_BN_DOUBLECLICKED(id, memberFxn) ON_CONTROL(BN_DOUBLECLICKED, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
#define ON_EN_KILLFOCUS(id, memberFxn) ON_CONTROL(EN_KILLFOCUS, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)
#define ON_CBN_EDITCHANGE(id, memberFxn) ON_CONTROL(CBN_EDITCHANGE, id, memberFxn)
#define ON_LBN_SELCHANGE(id, memberFxn) ON_CONTROL(LBN_SELCHANGE, id, memberFxn)
#define ON_LBN_DBLCLK(id, memberFxn) ON_CONTROL(LBN_DBLCLK, id, memberFxn)

#define ON_MESSAGE(message, memberFxn)                                                                \
    {static_cast<UINT>(message), 0, 0, 0, nullptr, [](CCmdTarget* t, WPARAM w, LPARAM l) -> LRESULT { \
         return (static_cast<ThisClass*>(t)->*(memberFxn))(w, l);                                     \
     }},
#define ON_REGISTERED_MESSAGE(nMessageVariable, memberFxn)                                    \
    {0xC000, 0, 0, 0, &(nMessageVariable), [](CCmdTarget* t, WPARAM w, LPARAM l) -> LRESULT { \
         return (static_cast<ThisClass*>(t)->*(memberFxn))(w, l);                             \
     }},
#define ON_WM_CLOSE()                                                           \
    {WM_CLOSE, 0, 0, 0, nullptr, [](CCmdTarget* t, WPARAM, LPARAM) -> LRESULT { \
         static_cast<ThisClass*>(t)->OnClose();                                 \
         return 0;                                                              \
     }},
#define ON_WM_SHOWWINDOW()                                                                     \
    {WM_SHOWWINDOW, 0, 0, 0, nullptr, [](CCmdTarget* t, WPARAM w, LPARAM l) -> LRESULT {       \
         static_cast<ThisClass*>(t)->OnShowWindow(static_cast<BOOL>(w), static_cast<UINT>(l)); \
         return 0;                                                                             \
     }},
#define AFX_MOUSE_ENTRY(msg, fn)                                                                         \
    {msg, 0, 0, 0, nullptr, [](CCmdTarget* t, WPARAM w, LPARAM l) -> LRESULT {                           \
         static_cast<ThisClass*>(t)->fn(static_cast<UINT>(w), CPoint(GET_X_LPARAM(l), GET_Y_LPARAM(l))); \
         return 0;                                                                                       \
     }},
#define ON_WM_LBUTTONDOWN() AFX_MOUSE_ENTRY(WM_LBUTTONDOWN, OnLButtonDown)
#define ON_WM_LBUTTONUP() AFX_MOUSE_ENTRY(WM_LBUTTONUP, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() AFX_MOUSE_ENTRY(WM_LBUTTONDBLCLK, OnLButtonDblClk)
#define ON_WM_RBUTTONDOWN() AFX_MOUSE_ENTRY(WM_RBUTTONDOWN, OnRButtonDown)
#define ON_WM_RBUTTONUP() AFX_MOUSE_ENTRY(WM_RBUTTONUP, OnRButtonUp)

class CCmdTarget : public CObject {
public:
    virtual const AFX_MSGMAP* GetMessageMap() const;

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
};

class CDataExchange;

namespace classlib::detail {
struct WndState;
}

// ---- CWnd ------------------------------------------------------------------------------------------------------
class CWnd : public CCmdTarget {
public:
    CWnd();
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    operator HWND() const { return m_hWnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The object attached to a window; for a window without one, a wrapper of the window's own class that
    // lives as long as the window.
    static CWnd* FromHandle(HWND hWnd);
    static CWnd* FromHandlePermanent(HWND hWnd);
    BOOL Attach(HWND hWnd);
    HWND Detach();
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    HWND UnsubclassWindow() { return Detach(); }

    // A plain child window (a container for pages, say).
    BOOL Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                UINT nID);
    virtual BOOL DestroyWindow();

    // State.
    BOOL ShowWindow(int nCmdShow);
    BOOL IsWindowVisible() const;
    BOOL IsIconic() const;
    BOOL IsZoomed() const;
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    CWnd* SetFocus();
    static CWnd* GetFocus();
    CWnd* SetActiveWindow();
    static CWnd* GetActiveWindow();
    BOOL SetForegroundWindow();
    static CWnd* GetForegroundWindow();
    BOOL BringWindowToTop();
    void SetWindowText(LPCTSTR lpszString);
    int GetWindowText(LPTSTR lpszStringBuf, int nMaxCount) const;
    void GetWindowText(CString& rString) const;
    int GetWindowTextLength() const;
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    int GetDlgCtrlID() const;
    int SetDlgCtrlID(int nID);
    CWnd* GetParent() const;
    CWnd* GetDlgItem(int nID) const;
    void SetDlgItemText(int nID, LPCTSTR lpszString);
    int GetDlgItemText(int nID, CString& rString) const;
    void CheckDlgButton(int nIDButton, UINT nCheck);
    UINT IsDlgButtonChecked(int nIDButton) const;
    void CheckRadioButton(int nIDFirstButton, int nIDLastButton, int nIDCheckButton);
    int GetCheckedRadioButton(int nIDFirstButton, int nIDLastButton) const;

    // Geometry in pixels; a child's rectangle is relative to its parent's client area, which starts at 0,0.
    void GetClientRect(LPRECT lpRect) const;
    void GetWindowRect(LPRECT lpRect) const;
    void ClientToScreen(LPRECT lpRect) const;
    void ScreenToClient(LPRECT lpRect) const;
    void ClientToScreen(LPPOINT lpPoint) const;
    void ScreenToClient(LPPOINT lpPoint) const;
    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
    void MoveWindow(LPCRECT lpRect, BOOL bRepaint = TRUE);
    BOOL SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags);
    void MapDialogRect(LPRECT lpRect) const;
    void Invalidate(BOOL = TRUE) {}
    void UpdateWindow() {}
    BOOL RedrawWindow() { return TRUE; }

    // A message box owned by this window; without a caption it shows the application's name.
    int MessageBox(LPCTSTR lpszText, LPCTSTR lpszCaption = nullptr, UINT nType = MB_OK);

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT SendDlgItemMessage(int nID, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // Data exchange between the members and the controls; FALSE when a conversion or check failed (the
    // message was shown and the failing control has the focus).
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    virtual void DoDataExchange(CDataExchange* pDX);

    // Messages.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnCmdMsg(UINT nID, int nCode);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The window's own handling of the message being handled now.
    LRESULT Default();

    DECLARE_MESSAGE_MAP()

    afx_msg void OnClose();
    afx_msg void OnShowWindow(BOOL bShow, UINT nStatus);
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnLButtonUp(UINT nFlags, CPoint point);
    afx_msg void OnLButtonDblClk(UINT nFlags, CPoint point);
    afx_msg void OnRButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnRButtonUp(UINT nFlags, CPoint point);

public:
    // The state behind the handle; null once the window is gone.
    classlib::detail::WndState* state() const;
};

// The host's main window: the window activated while the user works in the drawing.
CWnd* AfxGetMainWnd();

// The main thread's message pump.
class CWinThread : public CCmdTarget {
public:
    // Handles one waiting message or dialog action, else lets the host's UI sink pump; FALSE for the quit
    // message.
    virtual BOOL PumpMessage();
};
CWinThread* AfxGetThread();

namespace classlib::detail {

enum class WndKind { Frame, Dialog, Static, Edit, Button, ComboBox, ListBox, Tab, Other };

struct ListItem {
    std::wstring text;
    DWORD_PTR data = 0;
};

struct TabItem {
    std::wstring text;
    LPARAM param = 0;
};

// The state behind one window handle.
struct WndState {
    HWND handle = nullptr;
    WndKind kind = WndKind::Other;
    std::wstring className;
    int id = 0;
    std::wstring text;
    DWORD style = 0;
    DWORD exStyle = 0;
    WndState* parent = nullptr;
    std::vector<WndState*> children; // z-order: first is top
    RECT rect{0, 0, 0, 0};           // in the parent's client coordinates
    CWnd* object = nullptr;          // attached object
    std::unique_ptr<CWnd> wrapper;   // made by FromHandle when nothing is attached
    bool destroyed = false;

    // Edit: text limit and selection (the caret is at its end).
    int limit = 0x7FFFFFFE;
    int selStart = 0;
    int selEnd = 0;
    // Button.
    int check = 0;
    // Combo and list boxes.
    std::vector<ListItem> items;
    int curSel = -1;
    // Tab control.
    std::vector<TabItem> tabs;
    int curTab = -1;
    int focusTab = -1;
    // Dialog.
    UINT templateId = 0;
    HINSTANCE resourceInstance = nullptr;
    UINT menuId = 0;
    bool modal = false;
    bool endRequested = false;
    INT_PTR result = 0;
    HWND focusChild = nullptr; // the control that had the focus when the dialog lost it
    int defId = IDOK;

    bool isTopLevel() const { return !(style & WS_CHILD); }
};

WndState* stateOf(HWND hWnd);
WndState* createWindow(WndKind kind, const std::wstring& className, const std::wstring& text, DWORD style, int id,
                       const RECT& rect, WndState* parent);
// Sends a notification to the parent as WM_COMMAND.
void notifyParent(WndState* s, UINT code);
WndKind kindOfClass(const std::wstring& className);
// Top-level windows, top of the z-order first.
std::vector<WndState*> topLevelWindows();
// Whether the window and every ancestor are visible, and enabled.
bool reallyVisible(const WndState* s);
bool reallyEnabled(const WndState* s);
// Observers of dialogs opening, closing and changing visibility (the driver prints dumps on them).
using WindowEventHook = void (*)(HWND hWnd, const char* event);
void setWindowEventHook(WindowEventHook hook);
void raiseWindowEvent(HWND hWnd, const char* event);
// Posted messages.
bool hasPostedMessages();
bool dispatchOnePostedMessage();

} // namespace classlib::detail
