#include "win/Win32.h"

#include <gtest/gtest.h>

#include <sstream>

TEST(Bstr, LengthPrefixedAndNullIsEmpty) {
    BSTR b = SysAllocStringLen(L"a\0b", 3); // embedded terminator kept
    EXPECT_EQ(SysStringLen(b), 3u);
    SysFreeString(b);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    _bstr_t none;
    _bstr_t empty(L"");
    EXPECT_TRUE(!none);
    EXPECT_FALSE(!empty);
    EXPECT_TRUE(none == empty);
    _bstr_t joined = _bstr_t(L"m") + "\xC2\xB2"; // narrow text is UTF-8
    EXPECT_EQ(joined.wstr(), L"m\u00B2");
    EXPECT_STREQ(joined.c_str(), "m\xC2\xB2");
    _bstr_t shared = joined; // copies share; detaching one leaves the other intact
    BSTR taken = shared.Detach();
    EXPECT_EQ(joined.length(), 2u);
    SysFreeString(taken);
}

TEST(Variant, ScalarKindsKeepTheirTypes) {
    EXPECT_EQ(_variant_t().vt, VT_EMPTY);
    EXPECT_EQ(_variant_t(short(7)).vt, VT_I2);
    EXPECT_EQ(_variant_t(7L).vt, VT_I4);
    EXPECT_EQ(_variant_t(7).vt, VT_INT);
    EXPECT_EQ(_variant_t(BYTE(7)).vt, VT_UI1);
    EXPECT_EQ(_variant_t(7.5).vt, VT_R8);
    EXPECT_EQ(_variant_t(45000.25, VT_DATE).vt, VT_DATE);
    EXPECT_EQ(_variant_t(true).boolVal, VARIANT_TRUE);
    EXPECT_EQ(_variant_t(short(1), VT_BOOL).boolVal, VARIANT_TRUE);
    EXPECT_EQ(vtMissing.vt, VT_ERROR);
    EXPECT_EQ(vtMissing.scode, DISP_E_PARAMNOTFOUND);
    EXPECT_THROW(_variant_t(7.0, VT_BSTR), _com_error);
}

TEST(Variant, ConversionsRoundHalfEvenAndReportFailures) {
    EXPECT_EQ(static_cast<long>(_variant_t(2.5)), 2);
    EXPECT_EQ(static_cast<long>(_variant_t(3.5)), 4);
    EXPECT_EQ(static_cast<double>(_variant_t(L" 12.25 ")), 12.25);
    EXPECT_EQ(static_cast<_bstr_t>(_variant_t(0.1)).wstr(), L"0.1");
    EXPECT_EQ(static_cast<_bstr_t>(_variant_t(42L)).wstr(), L"42");
    EXPECT_EQ(static_cast<_bstr_t>(_variant_t(1.0 + 1.0 / 24, VT_DATE)).wstr(), L"1899-12-31 01:00:00");
    EXPECT_TRUE(static_cast<bool>(_variant_t(L"True")));
    try {
        (void)static_cast<long>(_variant_t(L"12a"));
        FAIL() << "no exception";
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Error(), DISP_E_TYPEMISMATCH);
    }
    try {
        (void)static_cast<BYTE>(_variant_t(300L));
        FAIL() << "no exception";
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Error(), DISP_E_OVERFLOW);
    }
    _variant_t null;
    null.vt = VT_NULL;
    EXPECT_THROW((void)static_cast<long>(null), _com_error);
}

TEST(Variant, CopiesOwnTheirStringsAndArrays) {
    _variant_t a(L"text");
    _variant_t b = a;
    EXPECT_NE(a.bstrVal, b.bstrVal);
    EXPECT_TRUE(a == b);
    b = _variant_t(3L);
    EXPECT_EQ(std::wstring(a.bstrVal), L"text");
}

TEST(SafeArray, DoublesWithBoundsAndElements) {
    SAFEARRAY* sa = SafeArrayCreateVector(VT_R8, 0, 3);
    ASSERT_NE(sa, nullptr);
    for (LONG i = 0; i < 3; ++i) {
        double v = 1.5 * (i + 1);
        ASSERT_EQ(SafeArrayPutElement(sa, &i, &v), S_OK);
    }
    LONG bad = 3;
    double v = 0;
    EXPECT_EQ(SafeArrayPutElement(sa, &bad, &v), DISP_E_BADINDEX);
    bad = -1;
    EXPECT_EQ(SafeArrayGetElement(sa, &bad, &v), DISP_E_BADINDEX);
    LONG lo = -1, hi = -1;
    SafeArrayGetLBound(sa, 1, &lo);
    SafeArrayGetUBound(sa, 1, &hi);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 2);

    VARIANT var;
    VariantInit(&var);
    var.vt = VT_ARRAY | VT_R8;
    var.parray = sa;
    _variant_t copy(var); // deep copy
    VariantClear(&var);   // destroys the first array
    LONG i = 2;
    ASSERT_EQ(SafeArrayGetElement(copy.parray, &i, &v), S_OK);
    EXPECT_EQ(v, 4.5);
}

TEST(SafeArray, TwoDimensionsAndOwnedStrings) {
    SAFEARRAYBOUND b[2] = {{2, 1}, {3, 0}};
    SAFEARRAY* sa = SafeArrayCreate(VT_BSTR, 2, b);
    ASSERT_NE(sa, nullptr);
    LONG idx[2] = {2, 2};
    BSTR s = SysAllocString(L"corner");
    ASSERT_EQ(SafeArrayPutElement(sa, idx, s), S_OK);
    SysFreeString(s); // the array holds its own copy
    BSTR got = nullptr;
    ASSERT_EQ(SafeArrayGetElement(sa, idx, &got), S_OK);
    EXPECT_STREQ(got, L"corner");
    SysFreeString(got);
    LONG ub = 0;
    SafeArrayGetUBound(sa, 2, &ub);
    EXPECT_EQ(ub, 2);
    EXPECT_EQ(SafeArrayDestroy(sa), S_OK);
}

TEST(ComError, MessagesAndErrorInformation) {
    _com_error plain(E_POINTER);
    EXPECT_STREQ(plain.ErrorMessage(), L"Invalid pointer");
    EXPECT_FALSE(plain.HasErrorInfo());
    EXPECT_EQ(plain.ErrorInfo(), nullptr);
    EXPECT_TRUE(!plain.Description());
    EXPECT_STREQ(_com_error(static_cast<HRESULT>(0x80041234u)).ErrorMessage(), L"IDispatch error #4148");
    EXPECT_STREQ(_com_error(static_cast<HRESULT>(0x87654321u)).ErrorMessage(), L"Unknown error 0x87654321");
    EXPECT_STREQ(_com_error(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)).ErrorMessage(),
                 L"The system cannot find the file specified.");

    try {
        _com_raise_error(E_FAIL, win::makeErrorInfo(L"relation does not exist", L"PostgreSQL"));
    } catch (const _com_error& e) {
        EXPECT_TRUE(e.HasErrorInfo());
        EXPECT_EQ(e.Description().wstr(), L"relation does not exist");
        EXPECT_EQ(e.Source().wstr(), L"PostgreSQL");
        _com_error copy = e; // the information is shared, not lost
        EXPECT_EQ(copy.Source().wstr(), L"PostgreSQL");
    }
    EXPECT_THROW(_com_issue_error(E_OUTOFMEMORY), _com_error);
}

TEST(Com, InitialisationOnlyCounts) {
    const int before = win::comInitCount();
    EXPECT_EQ(CoInitialize(nullptr), before == 0 ? S_OK : S_FALSE);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(win::comInitCount(), before);
}

TEST(Bstr, ComparesWithWideLiterals) {
    const _bstr_t name(L"grTitle");
    EXPECT_TRUE(name == L"grTitle");
    EXPECT_TRUE(L"grTitle" == name);
    EXPECT_TRUE(name != L"grtitle");
    EXPECT_TRUE(_bstr_t() == L"");
    const wchar_t* wide = name; // the wide text converts implicitly, the narrow one only on request
    EXPECT_STREQ(wide, L"grTitle");
    EXPECT_STREQ(static_cast<const char*>(name), "grTitle");
}

TEST(Variant, DatesAsTextBothWays) {
    _variant_t text(L"2014-03-05 09:07:03");
    _variant_t date;
    ASSERT_EQ(VariantChangeType(&date, &text, 0, VT_DATE), S_OK);
    EXPECT_NEAR(date.date, 41703.379895833, 1e-8);
    EXPECT_EQ(static_cast<_bstr_t>(date).wstr(), L"2014-03-05 09:07:03");
    _variant_t before(-1.25, VT_DATE); // the day before day 0, a quarter into it
    EXPECT_EQ(static_cast<_bstr_t>(before).wstr(), L"1899-12-29 06:00:00");
    _variant_t back;
    _variant_t beforeText(L"1899-12-29 06:00:00");
    ASSERT_EQ(VariantChangeType(&back, &beforeText, 0, VT_DATE), S_OK);
    EXPECT_DOUBLE_EQ(back.date, -1.25);
    _variant_t bad(L"2014-02-30");
    EXPECT_EQ(VariantChangeType(&back, &bad, 0, VT_DATE), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(static_cast<_bstr_t>(_variant_t(1e20)).wstr(), L"1E+20");
    EXPECT_EQ(static_cast<_bstr_t>(_variant_t(true)).wstr(), L"-1");
    _variant_t alpha;
    _variant_t yes(true);
    ASSERT_EQ(VariantChangeType(&alpha, &yes, 0x02, VT_BSTR), S_OK);
    EXPECT_STREQ(alpha.bstrVal, L"True");
}

namespace {
// A small automation object: counts its references and answers one member.
class Counter : public win::ComObject<IDispatch> {
public:
    static int alive;
    Counter() { ++alive; }
    ~Counter() override { --alive; }
    HRESULT Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                   UINT*) override {
        if (member != 7) return DISP_E_MEMBERNOTFOUND;
        if (!(flags & DISPATCH_METHOD) || !params || params->cArgs != 2) return DISP_E_BADPARAMCOUNT;
        // Arguments arrive last first.
        const long first = _variant_t(params->rgvarg[1]);
        const long second = _variant_t(params->rgvarg[0]);
        if (result) {
            VariantInit(result);
            result->vt = VT_I4;
            result->lVal = first * 10 + second;
        }
        return S_OK;
    }
};
int Counter::alive = 0;
struct Unrelated : win::ComObject<IErrorInfo> {
    HRESULT GetGUID(GUID*) override { return E_NOTIMPL; }
    HRESULT GetSource(BSTR*) override { return E_NOTIMPL; }
    HRESULT GetDescription(BSTR*) override { return E_NOTIMPL; }
    HRESULT GetHelpFile(BSTR*) override { return E_NOTIMPL; }
    HRESULT GetHelpContext(DWORD*) override { return E_NOTIMPL; }
};
} // namespace

TEST(ComPtr, ReferencesAreBalancedAndConversionsCheckTheType) {
    {
        IDispatchPtr d;
        d.Attach(new Counter); // takes the creation reference
        IDispatchPtr copy = d;
        IUnknownPtr unknown = d; // converts by type
        EXPECT_TRUE(unknown == d);
        IErrorInfoPtr wrong = d; // not that interface: null
        EXPECT_FALSE(wrong);
        void* raw = nullptr;
        ASSERT_EQ(d->QueryInterface(IID_IDispatch, &raw), S_OK);
        static_cast<IDispatch*>(raw)->Release();
        EXPECT_EQ(d->QueryInterface(IID_NULL, &raw), E_NOINTERFACE);

        _variant_t args[2] = {_variant_t(4L), _variant_t(3L)}; // reverse order: 3 then 4
        DISPPARAMS params{args, nullptr, 2, 0};
        _variant_t result;
        ASSERT_EQ(d->Invoke(7, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr, nullptr),
                  S_OK);
        EXPECT_EQ(result.lVal, 34);
        EXPECT_EQ(d->Invoke(8, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
                  DISP_E_MEMBERNOTFOUND);
        _variant_t holder(static_cast<IDispatch*>(d)); // a variant holds its own reference
        d = nullptr;
        copy = nullptr;
        unknown = nullptr;
        EXPECT_EQ(Counter::alive, 1);
    }
    EXPECT_EQ(Counter::alive, 0);
    IErrorInfoPtr other;
    other.Attach(new Unrelated);
    IDispatchPtr none = other;
    EXPECT_FALSE(none);
    EXPECT_THROW(none->AddRef(), _com_error);
}

TEST(SafeArray, VariantElementsAndLocks) {
    SAFEARRAY* sa = SafeArrayCreateVector(VT_VARIANT, 1, 2);
    ASSERT_NE(sa, nullptr);
    LONG i = 1;
    _variant_t text(L"kept");
    ASSERT_EQ(SafeArrayPutElement(sa, &i, &text), S_OK);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(sa, &data), S_OK);
    EXPECT_STREQ(static_cast<VARIANT*>(data)[0].bstrVal, L"kept");
    EXPECT_NE(SafeArrayDestroy(sa), S_OK); // locked arrays stay
    ASSERT_EQ(SafeArrayUnaccessData(sa), S_OK);
    VARTYPE vt = VT_EMPTY;
    SafeArrayGetVartype(sa, &vt);
    EXPECT_EQ(vt, VT_VARIANT);
    EXPECT_EQ(SafeArrayDestroy(sa), S_OK);
    SAFEARRAYBOUND b{3, 0};
    EXPECT_EQ(SafeArrayCreate(VT_NULL, 1, &b), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_R8, 0, &b), nullptr);
}

TEST(Printing, TextAndVariantsPrintReadably) {
    std::ostringstream out;
    out << _bstr_t(L"m\u00B2") << ' ' << _variant_t(2.5) << ' ' << _variant_t(L"x");
    EXPECT_EQ(out.str(), "\"m\xC2\xB2\" VT_5:\"2.5\" VT_8:\"x\"");
}
