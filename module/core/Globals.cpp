#include "core/Globals.h"

#include "core/PreferencesOstrel.h"

// One translation unit, so they are built in this order and destroyed in reverse.
CPreferencesOstrel g_serverPreferences;
CString g_debugLogPath;
CString g_tempDirectory;
CString g_hostDirectory;
CString g_assetFilter;

const CString g_prefsHeader1 = L"//\tKelmo 2001\n";
const CString g_prefsHeader2 = L"//\tConfiguration file for Ostrel\n";
const CString g_prefsLineEnd = L"\n";
const CString g_prefsComment = L"//\n";
const CString g_prefsKeyUnits = L"units";
const CString g_prefsKeyPrecision = L"precison"; // spelled so in every file written
const CString g_prefsKeyTextSize = L"textSize";
const CString g_prefsKeyTextScale = L"textScale";
const CString g_prefsKeyTextRotation = L"textRotation";
const CString g_prefsKeyCsvOpener = L"csvOpener";
const CString g_prefsKeyZoomBorder = L"zoomBorder";
const CString g_prefsKeyInc = L"inc";
