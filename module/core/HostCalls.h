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

#if __has_include("cad/AcDbCore.h")
#include "cad/AcDbCore.h"
#define KELMO_HAVE_ACAD_STATUS 1
#endif

#if __has_include("cad/AcCmColor.h")
#include "cad/AcCmColor.h"
#else
#define KELMO_LOCAL_COLOUR 1
namespace Adesk {
using UInt8 = unsigned char;
}
// The host's colour object, as far as the colour texts use it: a true colour's components.
class AcCmColor {
public:
    void setRGB(Adesk::UInt8 r, Adesk::UInt8 g, Adesk::UInt8 b) { m_red = r; m_green = g; m_blue = b; }
    Adesk::UInt8 red() const { return m_red; }
    Adesk::UInt8 green() const { return m_green; }
    Adesk::UInt8 blue() const { return m_blue; }

private:
    Adesk::UInt8 m_red = 0;
    Adesk::UInt8 m_green = 0;
    Adesk::UInt8 m_blue = 0;
};
#endif

// The file-open dialog and the folder browser: a full path, or an empty text when cancelled.
CString hostBrowseForFile(const CString& title, const CString& initialFolder, CString& fileTitle,
                          const CString& filter);
CString hostBrowseForFolder(const CString& title);
