#include "classlib/FileDialog.h"

#include <algorithm>

#include "win/UiSink.h"

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt, LPCTSTR lpszFileName, DWORD dwFlags,
                         LPCTSTR lpszFilter, CWnd* pParentWnd, DWORD, BOOL)
    : CDialog(0, pParentWnd),
      m_bOpenFileDialog(bOpenFileDialog),
      m_filter(lpszFilter ? lpszFilter : L""),
      m_defExt(lpszDefExt ? lpszDefExt : L""),
      m_fileName(lpszFileName ? lpszFileName : L"") {
    m_ofn.Flags = dwFlags | OFN_EXPLORER | OFN_ENABLESIZING;
    m_ofn.lpstrFilter = m_filter.c_str();
    m_ofn.lpstrDefExt = m_defExt.empty() ? nullptr : m_defExt.c_str();
}

INT_PTR CFileDialog::DoModal() {
    win::FileDialogRequest request;
    request.open = m_bOpenFileDialog != FALSE;
    request.title = m_ofn.lpstrTitle ? m_ofn.lpstrTitle : L"";
    request.initialFolder = m_ofn.lpstrInitialDir ? m_ofn.lpstrInitialDir : L"";
    request.fileName = m_ofn.lpstrFile && *m_ofn.lpstrFile ? m_ofn.lpstrFile : m_fileName;
    request.defaultExtension = m_defExt;
    request.filter = m_filter;
    request.flags = m_ofn.Flags;
    std::wstring path;
    if (!win::uiSink().chooseFile(request, path) || path.empty()) {
        m_path.clear();
        return IDCANCEL;
    }
    m_path = path;
    if (m_ofn.lpstrFile && m_ofn.nMaxFile > 0) {
        const size_t n = std::min<size_t>(m_path.size(), m_ofn.nMaxFile - 1);
        std::copy_n(m_path.data(), n, m_ofn.lpstrFile);
        m_ofn.lpstrFile[n] = L'\0';
    }
    if (m_ofn.lpstrFileTitle && m_ofn.nMaxFileTitle > 0) {
        const std::wstring name = GetFileName().GetString();
        const size_t n = std::min<size_t>(name.size(), m_ofn.nMaxFileTitle - 1);
        std::copy_n(name.data(), n, m_ofn.lpstrFileTitle);
        m_ofn.lpstrFileTitle[n] = L'\0';
    }
    return IDOK;
}

CString CFileDialog::GetPathName() const {
    return CString(m_path.c_str());
}

CString CFileDialog::GetFileName() const {
    const size_t slash = m_path.find_last_of(L"\\/");
    return CString(slash == std::wstring::npos ? m_path.c_str() : m_path.c_str() + slash + 1);
}

CString CFileDialog::GetFileExt() const {
    const std::wstring name = GetFileName().GetString();
    const size_t dot = name.rfind(L'.');
    return CString(dot == std::wstring::npos ? L"" : name.c_str() + dot + 1);
}

CString CFileDialog::GetFileTitle() const {
    const std::wstring name = GetFileName().GetString();
    const size_t dot = name.rfind(L'.');
    return CString(name.substr(0, dot).c_str());
}

CString CFileDialog::GetFolderPath() const {
    const size_t slash = m_path.find_last_of(L"\\/");
    return CString(slash == std::wstring::npos ? L"" : m_path.substr(0, slash).c_str());
}
