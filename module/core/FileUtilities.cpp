#include "core/FileUtilities.h"

#include <algorithm>
#include <vector>

#include "classlib/FileDialog.h"
#include "core/Catch.h"
#include "core/HostCalls.h"
#include "core/Utilities.h"
#include "cad/app/DrawingLock.h"
#include "win/Encoding.h"
#include "win/Paths.h"
#include "win/TempNames.h"

KELMO_SOURCE_FILE(L"FileUtilities.cpp");

namespace {

bool endsWithBackslash(const CString& path) {
    return !path.IsEmpty() && path[path.GetLength() - 1] == L'\\';
}

CString withoutTrailingBackslash(const CString& path) {
    return endsWithBackslash(path) ? path.Left(path.GetLength() - 1) : path;
}

bool startsWithTwoBackslashes(const CString& path) {
    return path.GetLength() >= 2 && path[0] == L'\\' && path[1] == L'\\';
}

bool hasAttributes(const CString& path) {
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

int CFileUtilities::getPathType(CString& path) {
    KELMO_TRY
        if (path.IsEmpty()) {
            return pathOther;
        }
        // Windows takes "/" between folders as it takes "\": "Z:/plans/a.dxf" is the Z: drive's file.
        path.Replace(L'/', L'\\');
        const bool backslash = path.Find(L'\\') >= 0;
        // Only the last name tells a file from a folder: "Z:\Plans v1.2\" and "Z:\Floors.2024\3" are
        // folders, and a path that ends in a backslash names a folder.
        const bool point = path.Mid(path.ReverseFind(L'\\') + 1).Find(L'.') >= 0;
        const bool rooted = path.Find(L':') >= 0 || startsWithTwoBackslashes(path);
        if (!backslash) {
            CFileUtilities files;
            CString name = path;
            return point && files.checkFilenameSyntax(name, FALSE) ? pathFileName : pathOther;
        }
        if (point) {
            return rooted ? pathFile : pathOther;
        }
        if (rooted) {
            checkPathSyntax(path);
            return pathFolder;
        }
        return pathOther;
    KELMO_CATCH(L"CFileUtilities::getPathType")
}

BOOL CFileUtilities::checkFilenameSyntax(CString& name, BOOL repair) {
    KELMO_TRY
        const CString invalid = L"*?\"<>|";
        if (name.FindOneOf(invalid) >= 0) {
            if (!repair) {
                return FALSE;
            }
            CString repaired;
            for (int i = 0; i < name.GetLength(); ++i) {
                if (invalid.Find(name[i]) < 0) {
                    repaired += name[i];
                }
            }
            name = repaired;
            return TRUE;
        }
        if (CUtilities::occurrenceCount(L":", name) < 2) {
            if (!name.IsEmpty() && (name[0] == L'/' || name[0] == L'\\')) {
                if (!repair) {
                    return FALSE;
                }
                name = name.Mid(1);
            }
            return TRUE;
        }
        if (!repair) {
            return FALSE;
        }
        const int firstColon = name.Find(L':');
        CString rest = name.Mid(firstColon + 1);
        rest.Remove(L':');
        name = name.Left(firstColon + 1) + rest;
        return TRUE;
    KELMO_CATCH(L"CFileUtilities::checkFilenameSyntax")
}

void CFileUtilities::checkPathSyntax(CString& path) {
    KELMO_TRY
        if (path.IsEmpty()) {
            return;
        }
        const CString dropped = L":*?\"<>|";
        CString cleaned;
        for (int i = 0; i < path.GetLength(); ++i) {
            const wchar_t c = path[i];
            if (c == L':' && i == 1) {
                cleaned += c; // the drive's colon
            } else if (dropped.Find(c) < 0) {
                cleaned += c;
            }
        }
        if (!endsWithBackslash(cleaned)) {
            cleaned += L"\\";
        }
        path = cleaned;
    KELMO_CATCH_ALSO(L"CFileUtilities::checkPathSyntax", kelmo::catchClassLib)
}

BOOL CFileUtilities::fileExists(CString path) {
    CFileStatus status;
    return CFile::GetStatus(path, status) ? TRUE : FALSE;
}

COleDateTime CFileUtilities::getModifiedTime(CString path) {
    COleDateTime modified(0.0);
    CFileStatus status;
    if (fileExists(path) && CFile::GetStatus(path, status)) {
        const CTime& time = status.m_mtime;
        modified.SetDateTime(time.GetYear(), time.GetMonth(), time.GetDay(), time.GetHour(), time.GetMinute(),
                             time.GetSecond());
        if (modified.GetStatus() != COleDateTime::valid) {
            modified = COleDateTime::GetCurrentTime();
        }
    }
    return modified;
}

BOOL CFileUtilities::deleteFile(CString path) {
    try {
        CFile::Remove(path);
        return TRUE;
    } catch (CFileException* error) {
        // Missing, in use or not allowed: the file simply stays.
        error->Delete();
        return FALSE;
    } catch (...) {
        kelmo::rethrowWrapped(kelmoSourceFile, L"CFileUtilities::deleteFile", kelmo::catchClassLib);
    }
}

CString CFileUtilities::swapFileExtension(CString path, CString oldExtension, CString newExtension) {
    KELMO_TRY
        CString swapped = path;
        swapped.Trim();
        const int length = oldExtension.GetLength();
        if (swapped.GetLength() >= length && swapped.Right(length) == oldExtension) {
            swapped = swapped.Left(swapped.GetLength() - length);
        }
        return swapped + newExtension;
    KELMO_CATCH(L"CFileUtilities::swapFileExtension")
}

BOOL CFileUtilities::directoryExists(CString path) {
    KELMO_TRY
        return hasAttributes(withoutTrailingBackslash(path)) ? TRUE : FALSE;
    KELMO_CATCH_ALSO(L"CFileUtilities::directoryExists", kelmo::catchClassLib | kelmo::catchStd)
}

BOOL CFileUtilities::ensureDirectoryExists(CString path) {
    KELMO_TRY
        // Walk up to the nearest level that exists, then create the missing ones from the top down.
        std::vector<CString> missing;
        CString level = withoutTrailingBackslash(path);
        while (!hasAttributes(level)) {
            const int slash = level.ReverseFind(L'\\');
            if (slash < 0) {
                return FALSE;
            }
            missing.push_back(level);
            level = withoutTrailingBackslash(level.Left(slash));
        }
        for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
            if (!CreateDirectoryW(*it, nullptr)) {
                const DWORD error = GetLastError();
                // Another run (two batch runs share the host folders) may have just made it.
                const DWORD made = GetFileAttributesW(*it);
                if (error == ERROR_ALREADY_EXISTS && made != INVALID_FILE_ATTRIBUTES &&
                    (made & FILE_ATTRIBUTE_DIRECTORY))
                    continue;
                if (error == ERROR_ACCESS_DENIED) {
                    acutPrintf(L"Cannot create %s - Access denied\n", static_cast<const wchar_t*>(*it));
                } else {
                    acutPrintf(L"Cannot create %s\n", static_cast<const wchar_t*>(*it));
                }
                return FALSE;
            }
        }
        return TRUE;
    KELMO_CATCH_ALSO(L"CFileUtilities::ensureDirectoryExists", kelmo::catchClassLib | kelmo::catchStd)
}

CString CFileUtilities::getDirectoryString(CString path) {
    const CString trimmed = withoutTrailingBackslash(path);
    const int slash = trimmed.ReverseFind(L'\\');
    return slash < 0 ? CString() : trimmed.Left(slash + 1);
}

CString CFileUtilities::browseForFile(CString filter) {
    if (filter.GetLength() < 2 || filter.Right(2) != L"||") {
        filter += L"||";
    }
    CFileDialog dialog(TRUE, nullptr, nullptr, OFN_READONLY, filter, nullptr, 0, TRUE);
    return dialog.DoModal() == IDOK ? dialog.GetPathName() : CString();
}

CString CFileUtilities::browseForFile(CString title, CString initialFolder, CString& fileTitle, CString filter) {
    if (filter.GetLength() < 2 || filter.Right(2) != L"||") {
        filter += L"||";
    }
    CFileDialog dialog(TRUE, nullptr, nullptr, OFN_READONLY, filter, nullptr, 0, TRUE);
    dialog.m_ofn.lpstrTitle = title;
    dialog.m_ofn.lpstrInitialDir = initialFolder;
    // The dialog writes the chosen file's name into this field: a buffer of its own, never past its end.
    std::vector<wchar_t> titleBuffer(MAX_PATH + 1, L'\0');
    const int kept = std::min(fileTitle.GetLength(), MAX_PATH);
    std::copy(static_cast<const wchar_t*>(fileTitle), static_cast<const wchar_t*>(fileTitle) + kept,
              titleBuffer.begin());
    dialog.m_ofn.lpstrFileTitle = titleBuffer.data();
    dialog.m_ofn.nMaxFileTitle = static_cast<DWORD>(titleBuffer.size());
    if (dialog.DoModal() != IDOK) {
        return CString();
    }
    titleBuffer.back() = L'\0';
    fileTitle = titleBuffer.data();
    return dialog.GetPathName();
}

CString CFileUtilities::browseForFolder(CString title) {
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || allocator == nullptr) {
        return CString();
    }
    CString folder;
    wchar_t displayName[MAX_PATH + 1] = {0};
    BROWSEINFOW info = {};
    info.pszDisplayName = displayName;
    info.lpszTitle = title;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (chosen != nullptr) {
        wchar_t path[MAX_PATH + 1] = {0};
        if (SHGetPathFromIDListW(chosen, path)) {
            path[MAX_PATH] = 0;
            folder = path;
        }
        allocator->Free(chosen);
    }
    allocator->Release();
    return folder;
}

bool CFileUtilities::sameFile(const CString& path, const CString& other) {
    if (path.CompareNoCase(other) == 0) return true;
    const CString first = fileIdentity(path);
    return !first.IsEmpty() && first == fileIdentity(other);
}

CString CFileUtilities::fileIdentity(const CString& path) {
    if (path.IsEmpty()) return CString();
    return CString(win::fileIdentity(path).c_str());
}

CString CFileUtilities::fileLocation(const CString& path) {
    if (path.IsEmpty()) return CString();
    return CString(win::fileLocation(path).c_str());
}

CString CFileUtilities::writeRefusal(const CString& path) {
    std::string why = win::nameRefusal(static_cast<const wchar_t*>(path));
    std::string native;
    if (why.empty() && win::mapToNative(path, native, nullptr)) {
        int error = 0;
        const std::string file = win::linkedFile(native);
        if (!file.empty()) why = win::writeRefusal(file, error);
    }
    return CString(win::fromUtf8(why).c_str());
}

CString CFileUtilities::drawingHolder(const CString& path) {
    std::string native;
    if (path.IsEmpty() || !win::mapToNative(path, native, nullptr)) return CString();
    const std::optional<docfile::LockHolder> holder = docfile::lockHolder(native);
    return holder ? CString(win::fromUtf8(docfile::describe(*holder)).c_str()) : CString();
}
