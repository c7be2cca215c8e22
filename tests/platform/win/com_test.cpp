#include "win/Win32.h"

#include <gtest/gtest.h>

TEST(Bstr, LengthPrefixedAndNullIsEmpty) {
  BSTR b = SysAllocStringLen(L"a\0b", 3);  // embedded terminator kept
  EXPECT_EQ(SysStringLen(b), 3u);
  SysFreeString(b);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  _bstr_t none;
  _bstr_t empty(L"");
  EXPECT_TRUE(!none);
  EXPECT_FALSE(!empty);
  EXPECT_TRUE(none == empty);
  _bstr_t joined = _bstr_t(L"m") + "\xC2\xB2";  // narrow text is UTF-8
  EXPECT_EQ(joined.wstr(), L"m\u00B2");
  EXPECT_STREQ(joined.c_str(), "m\xC2\xB2");
  _bstr_t shared = joined;  // copies share; detaching one leaves the other intact
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
  _variant_t copy(var);  // deep copy
  VariantClear(&var);    // destroys the first array
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
  SysFreeString(s);  // the array holds its own copy
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
    _com_error copy = e;  // the information is shared, not lost
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
