#pragma once
// Windows-form paths, files and folders: "\" separates folders, a drive is a letter and ":", a
// network path starts with two backslashes.
#include "classlib/Afx.h"

class CFileUtilities {
public:
    // getPathType results.
    enum { pathFileName = 0, pathFolder = 1, pathFile = 2, pathOther = 3 };

    CFileUtilities() = default;
    virtual ~CFileUtilities() = default;

    // The kind of path `path` is; its "/" become "\\", as Windows reads them.
    static int getPathType(CString& path);
    static CString browseForFile(CString filter);
    static CString browseForFile(CString title, CString initialFolder, CString& fileTitle, CString filter);
    static BOOL fileExists(CString path);
    static COleDateTime getModifiedTime(CString path);
    BOOL checkFilenameSyntax(CString& name, BOOL repair);
    BOOL deleteFile(CString path);
    static CString swapFileExtension(CString path, CString oldExtension, CString newExtension);
    static CString browseForFolder(CString title);
    static BOOL directoryExists(CString path);
    static BOOL ensureDirectoryExists(CString path);
    static void checkPathSyntax(CString& path);
    static CString getDirectoryString(CString path);
    // Whether two paths reach one file, however they are written: through links in any part (a
    // linked folder, a linked file, a hard link), in any letter case. A file not there yet is the one
    // a write would make.
    static bool sameFile(const CString& path, const CString& other);
    // What a path reaches, for comparing with sameFile's rule; empty for a path that names nothing.
    static CString fileIdentity(const CString& path);
    // Where a write of the path puts its file, the same whether the file is there yet or not (and
    // after it is replaced); empty for a path that names nothing.
    static CString fileLocation(const CString& path);
    // Why no file may be written at the path, in the host's words ("it is a named pipe, not a file", "it
    // is the file of the open drawing X"); empty when it may be.
    static CString writeRefusal(const CString& path);
    // Who holds the drawing open in another session ("process 12 of ann on host1, since ..."); empty
    // when nobody does.
    static CString drawingHolder(const CString& path);
};
