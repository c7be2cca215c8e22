#pragma once
// Data exchange between a dialog's members and its controls, with the class library's conversions, checks and
// messages.
#include "classlib/Wnd.h"

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate);

    BOOL m_bSaveAndValidate; // TRUE: controls to members
    CWnd* m_pDlgWnd;
    int m_idLastControl = 0;
    BOOL m_bEditLastControl = FALSE;

    // The control about to be exchanged (remembered for the focus on a failure).
    HWND PrepareCtrl(int nIDC);
    HWND PrepareEditCtrl(int nIDC);
    // Gives the last prepared control the focus (an edit also gets its text selected) and abandons the
    // exchange; the message has been shown already.
    [[noreturn]] void Fail();
};

namespace classlib::detail {
// Thrown by Fail and caught by UpdateData.
struct DataExchangeFailure {};
} // namespace classlib::detail

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value);
void DDX_Text(CDataExchange* pDX, int nIDC, long& value);
void DDX_Text(CDataExchange* pDX, int nIDC, double& value);
void DDX_Text(CDataExchange* pDX, int nIDC, float& value);
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
void DDX_Radio(CDataExchange* pDX, int nIDC, int& value);
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index);
void DDX_LBIndex(CDataExchange* pDX, int nIDC, int& index);

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal);
void DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minVal, UINT maxVal);
void DDV_MinMaxLong(CDataExchange* pDX, long value, long minVal, long maxVal);
void DDV_MinMaxDouble(CDataExchange* pDX, double const& value, double minVal, double maxVal);
void DDV_MinMaxFloat(CDataExchange* pDX, float const& value, float minVal, float maxVal);
void DDV_MaxChars(CDataExchange* pDX, CString const& value, int nChars);

namespace classlib::detail {
// The class library's number texts: integers as "%d", doubles with 15 significant digits ("%.15g").
std::wstring formatDouble(double value, int digits = 15);
// The class library's number reading: blanks around, nothing else after the number; false when it fails.
bool parseInt(const std::wstring& text, long long& value);
bool parseDouble(const std::wstring& text, double& value);
} // namespace classlib::detail
