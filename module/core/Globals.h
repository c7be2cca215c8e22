#pragma once
// Module-wide objects, built at load in this order and destroyed at exit in reverse.
#include "classlib/Afx.h"

class CPreferencesOstrel;

// Text every exception of the module records as its source.
inline constexpr const wchar_t* KELMO_BANNER = L"KELMO Dorvane compatible with 64bit AutoCAD 2015";
// Our namespace URI; each XML form adds its own path ("/errors", "/debugging", "/Ostrel").
inline constexpr const wchar_t* KELMO_NAMESPACE_URI = L"http://schemas.kelmo.net";

extern CPreferencesOstrel g_serverPreferences; // server entries; nothing loads it in the module itself
extern CString g_debugLogPath;                 // XML debug log of stored-procedure calls; empty: none
extern CString g_tempDirectory;                // host folder + "\kelmo\temp\", set by the first-run check
extern CString g_hostDirectory;                // folder of the host executable, no trailing backslash
extern CString g_assetFilter;                  // block names that count as assets; empty: all

// Texts of the preferences file "prefs.cfg".
extern const CString g_prefsHeader1;
extern const CString g_prefsHeader2;
extern const CString g_prefsLineEnd;
extern const CString g_prefsComment;
extern const CString g_prefsKeyUnits;
extern const CString g_prefsKeyPrecision;
extern const CString g_prefsKeyTextSize;
extern const CString g_prefsKeyTextScale;
extern const CString g_prefsKeyTextRotation;
extern const CString g_prefsKeyCsvOpener;
extern const CString g_prefsKeyZoomBorder;
extern const CString g_prefsKeyInc;
