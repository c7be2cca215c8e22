#include <gtest/gtest.h>

#include "classlib/Afx.h"

namespace {

template <class F>
bool throwsInvalidArg(F f) {
    try {
        f();
    } catch (CInvalidArgException* e) {
        e->Delete();
        return true;
    }
    return false;
}

TEST(Arrays, OutOfRangeThrowsInvalidArgByPointer) {
    CArray<int, int> a;
    a.Add(1);
    EXPECT_TRUE(throwsInvalidArg([&] { (void)a.GetAt(1); }));
    EXPECT_TRUE(throwsInvalidArg([&] { a.SetAt(-1, 0); }));
    EXPECT_TRUE(throwsInvalidArg([&] { (void)a[5]; }));
    EXPECT_TRUE(throwsInvalidArg([&] { a.RemoveAt(0, 2); }));
    EXPECT_TRUE(throwsInvalidArg([&] { a.SetSize(-1); }));
    EXPECT_TRUE(throwsInvalidArg([&] { a.InsertAt(-1, 3); }));
    EXPECT_EQ(a.GetSize(), 1); // nothing changed by the refused calls
    CStringArray s;
    EXPECT_TRUE(throwsInvalidArg([&] { (void)s.ElementAt(0); }));
}

TEST(Arrays, InsertRemoveAndGrowth) {
    CArray<int, int> a;
    a.SetSize(0, 16);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(a.Add(i), i);
    a.InsertAt(1, 9, 2);
    a.RemoveAt(0);
    ASSERT_EQ(a.GetCount(), 6);
    EXPECT_EQ(a[0], 9);
    EXPECT_EQ(a[1], 9);
    EXPECT_EQ(a[2], 1);
    a.InsertAt(8, 7); // beyond the end: the gap is filled with default values
    ASSERT_EQ(a.GetSize(), 9);
    EXPECT_EQ(a[6], 0);
    EXPECT_EQ(a[8], 7);
    a.ElementAt(0) = 3;
    EXPECT_EQ(a.GetAt(0), 3);
    a.SetSize(2);
    EXPECT_EQ(a.GetUpperBound(), 1);
    a.RemoveAll();
    EXPECT_TRUE(a.IsEmpty());

    CArray<CString, const CString&> names;
    names.Add(L"one");
    names.Add(names[0]); // an element of the array itself, while the array grows
    for (int i = 0; i < 20; ++i) names.Add(names[names.GetSize() - 1]);
    EXPECT_EQ(names[21], L"one");
}

TEST(Exceptions, GetErrorMessageNeverOverflows) {
    CFileException* e = new CFileException(CFileException::fileNotFound, 2, L"C:\\plans\\a.dxf");
    wchar_t big[256];
    UINT help = 99;
    EXPECT_TRUE(e->GetErrorMessage(big, 256, &help));
    EXPECT_STREQ(big, L"C:\\plans\\a.dxf was not found.");
    EXPECT_EQ(help, 0u);

    wchar_t small[6] = {L'#', L'#', L'#', L'#', L'#', L'#'};
    wchar_t guard = L'G';
    EXPECT_TRUE(e->GetErrorMessage(small, 5));
    EXPECT_STREQ(small, L"C:\\p");
    EXPECT_EQ(small[5], L'#');
    EXPECT_EQ(guard, L'G');
    EXPECT_TRUE(e->GetErrorMessage(nullptr, 0)); // no buffer: only tells whether there is a message
    e->Delete();

    CFileException unnamed(CFileException::fileNotFound);
    unnamed.m_bAutoDelete = FALSE;
    EXPECT_TRUE(unnamed.GetErrorMessage(big, 256));
    EXPECT_STREQ(big, L"An unnamed file was not found.");
    unnamed.Delete(); // a stack exception is not deleted

    CMemoryException memory;
    EXPECT_TRUE(memory.GetErrorMessage(big, 256));
    EXPECT_STREQ(big, L"Out of memory.");
    CNotSupportedException unsupported;
    EXPECT_TRUE(unsupported.GetErrorMessage(big, 256));
    EXPECT_GT(wcslen(big), 0u);

    CException plain;
    big[0] = L'x';
    EXPECT_FALSE(plain.GetErrorMessage(big, 256));
    EXPECT_STREQ(big, L"");
}

TEST(Exceptions, FileCausesFromOsErrors) {
    EXPECT_EQ(CFileException::OsErrorToException(2), CFileException::fileNotFound);
    EXPECT_EQ(CFileException::OsErrorToException(3), CFileException::badPath);
    EXPECT_EQ(CFileException::OsErrorToException(5), CFileException::accessDenied);
    EXPECT_EQ(CFileException::OsErrorToException(32), CFileException::sharingViolation);
    EXPECT_EQ(CFileException::OsErrorToException(12345), CFileException::genericException);
    try {
        CFileException::ThrowOsError(32, L"x.txt");
        FAIL() << "no exception";
    } catch (CFileException* e) {
        EXPECT_EQ(e->m_cause, CFileException::sharingViolation);
        EXPECT_EQ(e->m_lOsError, 32);
        EXPECT_EQ(e->m_strFileName, L"x.txt");
        e->Delete();
    }
    try {
        AfxThrowFileException(CFileException::diskFull);
    } catch (CException* e) { // caught as the base, as the module does
        wchar_t text[100];
        e->GetErrorMessage(text, 100);
        EXPECT_STREQ(text, L"Disk full while accessing an unnamed file.");
        e->Delete();
    }
}

} // namespace
