#include "classlib/DataExchange.h"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <stdexcept>
#include <string>

#include "classlib/Controls.h"
#include "win/UiSink.h"

using classlib::detail::WndKind;
using classlib::detail::WndState;

namespace {

// The class library's own prompts.
constexpr const wchar_t* kParseInt = L"Please enter an integer.";
constexpr const wchar_t* kParseUInt = L"Please enter a positive integer.";
constexpr const wchar_t* kParseReal = L"Please enter a number.";
constexpr const wchar_t* kIntRange = L"Please enter an integer between %1 and %2.";
constexpr const wchar_t* kRealRange = L"Please enter a number between %1 and %2.";
constexpr const wchar_t* kStringSize = L"Please enter no more than %1 characters.";

std::wstring fill(const wchar_t* pattern, const std::wstring& a, const std::wstring& b = std::wstring()) {
    std::wstring out;
    for (const wchar_t* p = pattern; *p; ++p) {
        if (p[0] == L'%' && (p[1] == L'1' || p[1] == L'2')) {
            out += p[1] == L'1' ? a : b;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

void failWith(CDataExchange* pDX, const std::wstring& message) {
    AfxMessageBox(message.c_str(), MB_ICONEXCLAMATION);
    pDX->Fail();
}

WndState* controlState(CDataExchange* pDX, int nIDC) {
    CWnd* item = pDX->m_pDlgWnd ? pDX->m_pDlgWnd->GetDlgItem(nIDC) : nullptr;
    if (!item) throw std::logic_error("data exchange with a control the dialog does not have: " + std::to_string(nIDC));
    return item->state();
}

std::wstring windowText(CDataExchange* pDX, int nIDC) {
    return controlState(pDX, nIDC)->text;
}

// Sets a control's text only when it changes, so that no change notification is raised for nothing.
void setWindowTextIfChanged(CDataExchange* pDX, int nIDC, const std::wstring& text) {
    WndState* s = controlState(pDX, nIDC);
    if (s->text != text) pDX->m_pDlgWnd->GetDlgItem(nIDC)->SetWindowText(text.c_str());
}

std::wstring intText(long long v) {
    return std::to_wstring(v);
}

template <class T>
void exchangeInteger(CDataExchange* pDX, int nIDC, T& value, long long lo, long long hi, const wchar_t* prompt) {
    pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        long long v = 0;
        if (!classlib::detail::parseInt(windowText(pDX, nIDC), v) || v < lo || v > hi) failWith(pDX, prompt);
        value = static_cast<T>(v);
    } else {
        setWindowTextIfChanged(pDX, nIDC, intText(static_cast<long long>(value)));
    }
}

template <class T>
void exchangeReal(CDataExchange* pDX, int nIDC, T& value, int digits) {
    pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        double v = 0;
        if (!classlib::detail::parseDouble(windowText(pDX, nIDC), v)) failWith(pDX, kParseReal);
        value = static_cast<T>(v);
    } else {
        setWindowTextIfChanged(pDX, nIDC, classlib::detail::formatDouble(static_cast<double>(value), digits));
    }
}

} // namespace

namespace classlib::detail {

std::wstring formatDouble(double value, int digits) {
    wchar_t buf[64];
    std::swprintf(buf, 64, L"%.*g", digits, value);
    return buf;
}

bool parseInt(const std::wstring& text, long long& value) {
    const wchar_t* p = text.c_str();
    while (*p == L' ' || *p == L'\t') ++p;
    const wchar_t first = *p;
    wchar_t* end = nullptr;
    errno = 0;
    const long long v = std::wcstoll(p, &end, 10);
    // A zero read from anything but a leading "0" is no number, as the class library has it.
    if (end == p || (v == 0 && first != L'0') || errno == ERANGE) return false;
    while (*end == L' ' || *end == L'\t') ++end;
    if (*end != L'\0') return false;
    value = v;
    return true;
}

bool parseDouble(const std::wstring& text, double& value) {
    const wchar_t* p = text.c_str();
    while (*p == L' ' || *p == L'\t') ++p;
    if (*p == L'\0') return false;
    // Only the decimal forms: no hexadecimal, infinity or NaN texts.
    for (const wchar_t* q = p; *q; ++q)
        if (!(std::wcschr(L"0123456789+-.eE \t", *q))) return false;
    const wchar_t first = *p;
    wchar_t* end = nullptr;
    const double v = std::wcstod(p, &end);
    // As with integers, a zero counts only when the text starts with "0".
    if (end == p || !std::isfinite(v) || (v == 0.0 && first != L'0')) return false;
    while (*end == L' ' || *end == L'\t') ++end;
    if (*end != L'\0') return false;
    value = v;
    return true;
}

} // namespace classlib::detail

CDataExchange::CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

HWND CDataExchange::PrepareCtrl(int nIDC) {
    m_idLastControl = nIDC;
    m_bEditLastControl = FALSE;
    CWnd* item = m_pDlgWnd ? m_pDlgWnd->GetDlgItem(nIDC) : nullptr;
    return item ? item->m_hWnd : nullptr;
}

HWND CDataExchange::PrepareEditCtrl(int nIDC) {
    HWND h = PrepareCtrl(nIDC);
    m_bEditLastControl = TRUE;
    return h;
}

void CDataExchange::Fail() {
    if (m_bSaveAndValidate) win::uiSink().valueRefused();
    if (m_bSaveAndValidate && m_pDlgWnd) {
        if (CWnd* item = m_pDlgWnd->GetDlgItem(m_idLastControl)) {
            item->SetFocus();
            if (m_bEditLastControl) item->SendMessage(EM_SETSEL, 0, -1);
        }
    }
    throw classlib::detail::DataExchangeFailure{};
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
    pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        value = windowText(pDX, nIDC).c_str();
    else
        setWindowTextIfChanged(pDX, nIDC, value.GetString());
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value) {
    exchangeInteger(pDX, nIDC, value, INT_MIN, INT_MAX, kParseInt);
}

void DDX_Text(CDataExchange* pDX, int nIDC, long& value) {
    exchangeInteger(pDX, nIDC, value, INT_MIN, INT_MAX, kParseInt);
}

void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value) {
    exchangeInteger(pDX, nIDC, value, 0, UINT_MAX, kParseUInt);
}

void DDX_Text(CDataExchange* pDX, int nIDC, double& value) {
    exchangeReal(pDX, nIDC, value, DBL_DIG);
}

void DDX_Text(CDataExchange* pDX, int nIDC, float& value) {
    exchangeReal(pDX, nIDC, value, FLT_DIG);
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
    pDX->PrepareCtrl(nIDC);
    WndState* s = controlState(pDX, nIDC);
    if (pDX->m_bSaveAndValidate)
        value = s->check;
    else
        s->check = (value >= 0 && value <= 2) ? value : 0;
}

void DDX_Radio(CDataExchange* pDX, int nIDC, int& value) {
    pDX->PrepareCtrl(nIDC);
    WndState* first = controlState(pDX, nIDC);
    if (pDX->m_bSaveAndValidate) value = -1;
    int index = 0;
    auto& siblings = first->parent->children;
    bool started = false;
    for (WndState* c : siblings) {
        if (c == first)
            started = true;
        else if (!started)
            continue;
        else if (c->style & WS_GROUP)
            break;
        const DWORD type = c->style & BS_TYPEMASK;
        if (c->kind != WndKind::Button || (type != BS_RADIOBUTTON && type != BS_AUTORADIOBUTTON)) continue;
        if (pDX->m_bSaveAndValidate) {
            if (c->check == BST_CHECKED) value = index;
        } else {
            c->check = index == value ? BST_CHECKED : BST_UNCHECKED;
        }
        ++index;
    }
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (rControl.m_hWnd) return;
    if (!rControl.SubclassDlgItem(static_cast<UINT>(nIDC), pDX->m_pDlgWnd))
        throw std::logic_error("control cannot be bound: " + std::to_string(nIDC));
}

void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index) {
    pDX->PrepareCtrl(nIDC);
    WndState* s = controlState(pDX, nIDC);
    if (pDX->m_bSaveAndValidate)
        index = s->curSel;
    else
        pDX->m_pDlgWnd->SendDlgItemMessage(nIDC, CB_SETCURSEL, static_cast<WPARAM>(static_cast<INT_PTR>(index)));
}

void DDX_LBIndex(CDataExchange* pDX, int nIDC, int& index) {
    pDX->PrepareCtrl(nIDC);
    WndState* s = controlState(pDX, nIDC);
    if (pDX->m_bSaveAndValidate)
        index = s->curSel;
    else
        pDX->m_pDlgWnd->SendDlgItemMessage(nIDC, LB_SETCURSEL, static_cast<WPARAM>(static_cast<INT_PTR>(index)));
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal) {
    if (pDX->m_bSaveAndValidate && (value < minVal || value > maxVal))
        failWith(pDX, fill(kIntRange, intText(minVal), intText(maxVal)));
}

void DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minVal, UINT maxVal) {
    if (pDX->m_bSaveAndValidate && (value < minVal || value > maxVal))
        failWith(pDX, fill(kIntRange, intText(minVal), intText(maxVal)));
}

void DDV_MinMaxLong(CDataExchange* pDX, long value, long minVal, long maxVal) {
    if (pDX->m_bSaveAndValidate && (value < minVal || value > maxVal))
        failWith(pDX, fill(kIntRange, intText(minVal), intText(maxVal)));
}

void DDV_MinMaxDouble(CDataExchange* pDX, double const& value, double minVal, double maxVal) {
    if (pDX->m_bSaveAndValidate && (value < minVal || value > maxVal))
        failWith(pDX, fill(kRealRange, classlib::detail::formatDouble(minVal, DBL_DIG),
                           classlib::detail::formatDouble(maxVal, DBL_DIG)));
}

void DDV_MinMaxFloat(CDataExchange* pDX, float const& value, float minVal, float maxVal) {
    if (pDX->m_bSaveAndValidate && (value < minVal || value > maxVal))
        failWith(pDX, fill(kRealRange, classlib::detail::formatDouble(minVal, FLT_DIG),
                           classlib::detail::formatDouble(maxVal, FLT_DIG)));
}

void DDV_MaxChars(CDataExchange* pDX, CString const& value, int nChars) {
    if (pDX->m_bSaveAndValidate) {
        if (value.GetLength() > nChars) failWith(pDX, fill(kStringSize, intText(nChars)));
    } else if (pDX->m_idLastControl != 0 && pDX->m_bEditLastControl) {
        pDX->m_pDlgWnd->SendDlgItemMessage(pDX->m_idLastControl, EM_LIMITTEXT, static_cast<WPARAM>(nChars));
    }
}
