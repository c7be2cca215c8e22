#include "win/Win32.h"

#include <gtest/gtest.h>

#include <deque>

namespace {

struct Recorder : win::UiSink {
    std::vector<std::wstring> shown;
    std::deque<int> answers;
    std::wstring folder;
    int pending = 0;
    int pumped = 0;
    int messageBox(HWND, const std::wstring& text, const std::wstring& caption, UINT type) override {
        shown.push_back(L"[" + caption + L"] " + text);
        if (answers.empty()) return win::defaultButton(type);
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    bool browseForFolder(const std::wstring& title, std::wstring& path) override {
        shown.push_back(L"folder: " + title);
        if (folder.empty()) return false;
        path = folder;
        return true;
    }
    bool hasPendingMessage() override { return pending > 0; }
    bool pumpMessage() override {
        --pending;
        ++pumped;
        return true;
    }
};

} // namespace

TEST(UiSink, DefaultButtons) {
    EXPECT_EQ(win::defaultButton(MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(win::defaultButton(MB_YESNO), IDYES);
    EXPECT_EQ(win::defaultButton(MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(win::defaultButton(MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
    EXPECT_EQ(win::defaultButton(MB_OKCANCEL | MB_DEFBUTTON4), IDOK);
    // The default sink prints and answers without anyone at the keyboard.
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "caf\xC3\xA9", "Error Detected.", MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[Error Detected.] caf\xC3\xA9\n");
}

TEST(UiSink, RecorderGetsEveryBoxAndItsAnswers) {
    Recorder rec;
    win::UiSinkScope installed(&rec);
    rec.answers = {IDNO};
    EXPECT_EQ(MessageBoxW(nullptr, L"Replace?", L"Kelmo", MB_YESNO), IDNO);
    win::setApplicationName(L"cadhost");
    HMODULE m = win::registerModule(L"C:\\CadHost\\uisinktest.arx", {{7, L"Invalid number."}});
    win::setResourceModule(m);
    EXPECT_EQ(AfxMessageBox(7, MB_OK), IDOK);
    EXPECT_EQ(AfxMessageBox(L"Plain", MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
    win::unregisterModule(m);
    ASSERT_EQ(rec.shown.size(), 3u);
    EXPECT_EQ(rec.shown[0], L"[Kelmo] Replace?");
    EXPECT_EQ(rec.shown[1], L"[cadhost] Invalid number.");
    EXPECT_EQ(rec.shown[2], L"[cadhost] Plain");
}

TEST(UiSink, FolderBrowserAndPump) {
    Recorder rec;
    win::UiSinkScope installed(&rec);
    IMalloc* shellAlloc = nullptr;
    ASSERT_EQ(SHGetMalloc(&shellAlloc), S_OK);
    wchar_t display[MAX_PATH];
    BROWSEINFOW bi{};
    bi.pszDisplayName = display;
    bi.lpszTitle = L"Choose";
    EXPECT_EQ(SHBrowseForFolderW(&bi), nullptr); // cancelled
    rec.folder = L"C:\\plots\\";
    PIDLIST_ABSOLUTE pidl = SHBrowseForFolderW(&bi);
    ASSERT_NE(pidl, nullptr);
    wchar_t path[MAX_PATH];
    EXPECT_TRUE(SHGetPathFromIDListW(pidl, path));
    EXPECT_STREQ(path, L"C:\\plots");
    EXPECT_STREQ(display, L"plots");
    shellAlloc->Free(pidl);
    shellAlloc->Release();

    rec.pending = 2;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
        if (!win::pumpMessage()) break;
    EXPECT_EQ(rec.pumped, 2);
}

TEST(UiSink, ScopePutsThePreviousSinkBack) {
    Recorder outer, inner;
    {
        win::UiSinkScope a(&outer);
        {
            win::UiSinkScope b(&inner);
            MessageBoxW(nullptr, L"one", L"c", MB_OK);
        }
        MessageBoxW(nullptr, L"two", L"c", MB_OK);
    }
    EXPECT_EQ(inner.shown, std::vector<std::wstring>{L"[c] one"});
    EXPECT_EQ(outer.shown, std::vector<std::wstring>{L"[c] two"});
    EXPECT_EQ(&win::uiSink(), &win::defaultUiSink());
}
