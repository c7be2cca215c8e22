#pragma once
// Windows-form paths over the Linux file system: Z:\ is the root, C:\ the host's C-drive folder.
#include <string>
#include <string_view>
#include <vector>

#include "win/WinTypes.h"

namespace win {

// File names in the module's wide strings. A name is UTF-8 to the file system, but any bytes may stand in
// one (Latin-1 names on old shared drives, names from unpacked archives): a byte that is no part of a
// well-formed character is kept as U+DC80..U+DCFF, a lone surrogate no text decodes to, and becomes that
// byte again on the way back, so every name comes back to its own bytes.
std::wstring fromNative(std::string_view name);
std::string toNative(std::wstring_view name);
// Text for a terminal (UTF-8): a byte kept as above is shown "\xE9", and so is a control character, so
// that a name never moves the cursor, clears the screen or sets the title. `lines`: line ends and tabs
// are kept (output of several lines); else they are shown so too (a name, a one-line message).
std::string shown(std::wstring_view text, bool lines = false);

// Turns a Windows path into the native path it names. "\" and "/" both separate; "." and ".."
// are resolved; a relative path is taken from the current folder, a rooted one ("\x") from the
// current folder's drive. Existing entries are matched without regard to case. On failure returns
// false and stores the Windows error: 3 for an unknown drive or an empty path, 53 for a network
// path, 123 for a character no Windows name may hold.
bool mapToNative(const wchar_t* windowsPath, std::string& nativeOut, DWORD* error);

// What a path reaches, the same for every way of writing it: a file or folder that exists is known by
// its device and inode (through any links, and as any hard link), one that does not by where it would
// be made, its folder's links and a dangling link followed; unmatched letter case counts as equal.
// Empty when the path cannot be mapped (or its links go round in a circle).
std::wstring fileIdentity(const wchar_t* windowsPath);
// Where a write of the path puts its file, the same before and after the file is made or replaced:
// its folder's links and a link at its name followed, letter case unmatched as above (hard links are
// not seen). Empty as above. `anyCase` false: names that differ in letter case are two places, as they
// are two files on Linux.
std::wstring fileLocation(const wchar_t* windowsPath, bool anyCase = true);

// The Windows form of a native path (made absolute from the current folder first).
std::wstring nativeToWindows(const std::string& nativePath);

// The names in a native folder that begin with `prefix` (exactly). Folders asked about are watched,
// so asking again costs nothing like reading a large folder again.
std::vector<std::string> namesStartingWith(const std::string& nativeFolder, const std::string& prefix);

// The folder that plays the C: drive. It is created, with its CadHost folder, when first used.
void setCDrive(const std::string& nativeDir);
std::string cDrive();

} // namespace win
