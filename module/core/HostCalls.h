#pragma once
// What the core services call in the host and in Windows, in one include. Where a host service
// is not yet part of the platform, the smallest stand-in of our own fills its place.
#include "classlib/Afx.h"
#include "win/Win32.h"

#if __has_include("cad/EdPrintf.h")
#include "cad/EdPrintf.h"
#else
#define KELMO_LOCAL_COMMAND_LINE 1
#include <string>
// The host's command line; what it printed is kept for tests.
int acutPrintf(const wchar_t* format, ...);
namespace kelmo {
std::wstring& localCommandLine();
}
#endif

#include "cad/AcCmColor.h"
#include "cad/AcDbCore.h"

// The file-open dialog and the folder browser: a full path, or an empty text when cancelled.
CString hostBrowseForFile(const CString& title, const CString& initialFolder, CString& fileTitle,
                          const CString& filter);
CString hostBrowseForFolder(const CString& title);
