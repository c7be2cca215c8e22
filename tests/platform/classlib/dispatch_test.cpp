#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "classlib/Afx.h"

namespace {

// An automation object with a numeric property (1), a text property (2), a method adding its two
// arguments (3), a method that raises an exception (4) and a child object (5).
class FakeApp : public win::ComObject<IDispatch> {
public:
    static FakeApp* make() { return new FakeApp(); }
    ULONG refs() {
        AddRef();
        return Release();
    }

    HRESULT Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                   UINT*) override {
        lastFlags = flags;
        lastArgCount = params ? params->cArgs : 0;
        lastNamed = params && params->cNamedArgs == 1 ? params->rgdispidNamedArgs[0] : 0;
        switch (member) {
            case 1:
                if (flags & DISPATCH_PROPERTYPUT) {
                    visible = params->rgvarg[0].vt == VT_BOOL && params->rgvarg[0].boolVal == VARIANT_TRUE;
                    return S_OK;
                }
                result->vt = VT_I4;
                result->lVal = visible ? 1 : 0;
                return S_OK;
            case 2:
                if (flags & DISPATCH_PROPERTYPUT) {
                    if (params->rgvarg[0].vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
                    name = params->rgvarg[0].bstrVal;
                    return S_OK;
                }
                result->vt = VT_BSTR;
                result->bstrVal = SysAllocString(name.c_str());
                return S_OK;
            case 3: {
                if (params->cArgs != 2 || params->rgvarg[1].vt != VT_I4 || params->rgvarg[0].vt != VT_R8)
                    return DISP_E_TYPEMISMATCH;
                result->vt = VT_R8;
                result->dblVal = params->rgvarg[1].lVal + params->rgvarg[0].dblVal; // arguments come last first
                return S_OK;
            }
            case 4:
                info->wCode = 1001;
                info->bstrSource = SysAllocString(L"FakeApp");
                info->bstrDescription = SysAllocString(L"Drawing is read-only");
                return DISP_E_EXCEPTION;
            case 5:
                result->vt = VT_DISPATCH;
                result->pdispVal = make();
                return S_OK;
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }

    bool visible = false;
    std::wstring name = L"host";
    WORD lastFlags = 0;
    UINT lastArgCount = 0;
    DISPID lastNamed = 0;
};

TEST(DispatchDriver, PropertiesAndMethods) {
    FakeApp* app = FakeApp::make();
    COleDispatchDriver driver;
    driver.AttachDispatch(app);

    driver.SetProperty(1, VT_BOOL, TRUE);
    EXPECT_TRUE(app->visible);
    EXPECT_EQ(app->lastFlags, DISPATCH_PROPERTYPUT);
    EXPECT_EQ(app->lastNamed, DISPID_PROPERTYPUT);
    BOOL visible = FALSE;
    driver.GetProperty(1, VT_BOOL, &visible); // a VT_I4 answer converted to the type asked for
    EXPECT_TRUE(visible);

    CString name;
    driver.GetProperty(2, VT_BSTR, &name);
    EXPECT_EQ(name, L"host");
    driver.SetProperty(2, VT_BSTR, CString(L"plan"));
    EXPECT_EQ(app->name, L"plan");

    double sum = 0;
    static BYTE parms[] = VTS_I4 VTS_R8;
    driver.InvokeHelper(3, DISPATCH_METHOD, VT_R8, &sum, parms, 2, 0.5);
    EXPECT_DOUBLE_EQ(sum, 2.5);
    LONG rounded = 0;
    driver.InvokeHelper(3, DISPATCH_METHOD, VT_I4, &rounded, VTS_I4 VTS_R8, 40L, 2.0);
    EXPECT_EQ(rounded, 42);

    driver.InvokeHelper(1, DISPATCH_PROPERTYGET, VT_EMPTY, nullptr, nullptr);
    EXPECT_EQ(app->lastArgCount, 0u);

    LPDISPATCH child = nullptr;
    driver.GetProperty(5, VT_DISPATCH, &child);
    ASSERT_NE(child, nullptr);
    COleDispatchDriver childDriver(child); // takes the reference the call handed over
}

TEST(DispatchDriver, FailuresThrowOleExceptions) {
    COleDispatchDriver driver(FakeApp::make());
    try {
        driver.InvokeHelper(99, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
        ADD_FAILURE() << "no exception";
    } catch (COleException* e) {
        EXPECT_EQ(e->m_sc, DISP_E_MEMBERNOTFOUND);
        e->Delete();
    }
    try {
        driver.InvokeHelper(4, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
        ADD_FAILURE() << "no exception";
    } catch (COleDispatchException* e) {
        EXPECT_EQ(e->m_wCode, 1001);
        EXPECT_EQ(e->m_strSource, L"FakeApp");
        wchar_t text[64];
        EXPECT_TRUE(e->GetErrorMessage(text, 64));
        EXPECT_STREQ(text, L"Drawing is read-only");
        e->Delete();
    }
    try {
        driver.SetProperty(2, VT_BSTR, 5); // a number where text is declared
        ADD_FAILURE() << "no exception";
    } catch (COleException* e) {
        EXPECT_EQ(e->m_sc, DISP_E_TYPEMISMATCH);
        e->Delete();
    }
    try {
        driver.InvokeHelper(3, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_I4, 1, 2.0); // more arguments than codes
        ADD_FAILURE() << "no exception";
    } catch (CInvalidArgException* e) {
        e->Delete();
    }
    COleDispatchDriver empty;
    try {
        empty.GetProperty(1, VT_I4, nullptr);
        ADD_FAILURE() << "no exception";
    } catch (COleException* e) {
        e->Delete();
    }
}

TEST(DispatchDriver, AttachDetachRelease) {
    FakeApp* app = FakeApp::make();
    app->AddRef(); // the test's own reference
    {
        COleDispatchDriver a(app);
        EXPECT_EQ(app->refs(), 2u);
        COleDispatchDriver b(a); // a copy holds its own reference
        EXPECT_EQ(app->refs(), 3u);
        b.ReleaseDispatch();
        EXPECT_EQ(b.m_lpDispatch, nullptr);
        EXPECT_EQ(app->refs(), 2u);
        LPDISPATCH raw = a.DetachDispatch();
        EXPECT_EQ(raw, app);
        EXPECT_EQ(app->refs(), 2u);
        a.AttachDispatch(raw, FALSE); // not released at the end
    }
    EXPECT_EQ(app->refs(), 2u);
    app->Release();
    app->Release();
}

} // namespace
