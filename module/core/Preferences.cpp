#include "core/Preferences.h"

#include <cmath>
#include <set>
#include <string>

#include "core/Catch.h"
#include "core/FileUtilities.h"
#include "core/Globals.h"
#include "core/HostCalls.h"
#include "core/KelmoExceptions.h"
#include "core/Utilities.h"
#include "win/Files.h"

KELMO_SOURCE_FILE(L"Preferences.cpp");

namespace {

const wchar_t* const notSavedCaption = L"Error - Configuration Not Saved";
const wchar_t* const notSavedText = L"Unable to Write Configuration File - ";

constexpr int defaultUnits = 0;
constexpr int defaultPrecision = 2;
constexpr double defaultTextSize = 250.0;
constexpr double defaultTextScale = 1.0;
constexpr double defaultTextRotation = 0.0;
constexpr double defaultZoomBorder = 1000.0;
constexpr int defaultInc = 1;

// The file the user knows by name, then why it could not be written.
void showNotSaved(const CString& path, const CString& reason) {
    MessageBoxW(nullptr, CString(notSavedText) + path + L"\n" + reason, notSavedCaption, MB_ICONERROR | MB_OK);
}

// The file library's own text for a failure, naming the file the user knows.
CString fileErrorText(CFileException& error, const CString& path) {
    error.m_strFileName = path;
    wchar_t buffer[1025] = {0};
    error.GetErrorMessage(buffer, 1024);
    buffer[1024] = 0;
    return buffer;
}

// A real with two decimals, or with as many more as it takes to read back as it is: a stored text
// scale of 0.005 is not saved as 0.01.
CString realText(double value) {
    for (int decimals = 2; decimals < 15; ++decimals) {
        const CString text = CUtilities::DoubleToCString(value, decimals);
        if (CUtilities::CStringToDouble(text) == value) return text;
    }
    return CUtilities::DoubleToCString(value, 15);
}

// A setting's whole text as a number, as every other reader of numbers takes it.
bool readSetting(const CString& text, double& value) {
    return CUtilities::readWholeNumber(text, value);
}

// The default in place of a value that cannot be used, with the line that says so: once a session for
// each file, key and value, as every command reads the file again.
double fallBack(const CString& path, const CString& key, const CString& value, const wchar_t* wanted, double fallback) {
    static std::set<std::wstring> said;
    CString line;
    line.Format(L"\nThe preferences file %s: %s \"%s\" is not %s - %s is used.\n", static_cast<const wchar_t*>(path),
                static_cast<const wchar_t*>(key), static_cast<const wchar_t*>(value), wanted,
                static_cast<const wchar_t*>(CUtilities::DoubleToCString(fallback, -1)));
    if (said.insert(static_cast<const wchar_t*>(line)).second) acutPrintf(L"%s", static_cast<const wchar_t*>(line));
    return fallback;
}

// A whole number from lowest to highest, or the default with its line.
int wholeSetting(const CString& path, const CString& key, const CString& value, int lowest, int highest, int fallback,
                 const wchar_t* wanted) {
    double read = 0.0;
    if (readSetting(value, read) && read == std::floor(read) && read >= lowest && read <= highest)
        return static_cast<int>(read);
    return static_cast<int>(fallBack(path, key, value, wanted, fallback));
}

} // namespace

CPreferences::CPreferences()
    : m_units(defaultUnits),
      m_precision(defaultPrecision),
      m_textSize(defaultTextSize),
      m_textScale(defaultTextScale),
      m_textRotation(defaultTextRotation),
      m_inc(defaultInc),
      m_csvOpener(L"NONE"),
      m_zoomBorder(defaultZoomBorder) {}

double CPreferences::angleMeant(double degrees) {
    // 400 is 40 and -200 is 160: the same direction, within half a turn either way.
    return std::isfinite(degrees) && std::fabs(degrees) > 180.0 ? std::remainder(degrees, 360.0) : degrees;
}

double CPreferences::labelTextScale() const {
    if (labelsTake(m_textScale)) return m_textScale;
    acutPrintf(L"\nThe Text Scale in the preferences, %s, is not one a label takes: labels are made at 1\n",
               static_cast<const wchar_t*>(CUtilities::DoubleToCString(m_textScale, -1)));
    return 1.0;
}

CString CPreferences::trimString(CString text) {
    text.Trim();
    return text;
}

BOOL CPreferences::loadPreferences(CString path) {
    KELMO_TRY
        CStdioFile file;
        if (!file.Open(path, CFile::modeRead | CFile::typeText)) {
            return FALSE;
        }
        const CString* keys[] = {&g_prefsKeyUnits,      &g_prefsKeyPrecision,    &g_prefsKeyTextSize,
                                 &g_prefsKeyTextScale,  &g_prefsKeyTextRotation, &g_prefsKeyCsvOpener,
                                 &g_prefsKeyZoomBorder, &g_prefsKeyInc};
        CString line;
        // An empty line or the end of the file ends the settings.
        while (file.ReadString(line) && !line.IsEmpty()) {
            if (line.Left(2) == L"//") {
                continue;
            }
            for (const CString* key : keys) {
                if (line.Left(key->GetLength()) != *key) {
                    continue;
                }
                CString value;
                if (!file.ReadString(value)) {
                    value.Empty();
                }
                // A damaged file gives no value the preferences dialog would refuse: such a value
                // falls back to the default, and the line naming it is said.
                if (key == &g_prefsKeyUnits) {
                    m_units = wholeSetting(path, *key, value, 0, 1, defaultUnits, L"units 0 or 1");
                } else if (key == &g_prefsKeyPrecision) {
                    m_precision = wholeSetting(path, *key, value, 0, 9, defaultPrecision, L"a precision from 0 to 9");
                } else if (key == &g_prefsKeyTextSize) {
                    // A size or scale beyond what a label takes stays as written: the command that
                    // cannot use it says so, and only the person changes it.
                    double size = 0.0;
                    if (!readSetting(value, size) || size <= 0.0)
                        size = fallBack(path, *key, value, L"a text size above 0", defaultTextSize);
                    m_textSize = size;
                } else if (key == &g_prefsKeyTextScale) {
                    double scale = 0.0;
                    if (!readSetting(value, scale) || scale <= 0.0)
                        scale = fallBack(path, *key, value, L"a text scale above 0", defaultTextScale);
                    m_textScale = scale;
                } else if (key == &g_prefsKeyTextRotation) {
                    double rotation = 0.0;
                    m_textRotation = readSetting(value, rotation)
                                         ? angleMeant(rotation)
                                         : fallBack(path, *key, value, L"an angle", defaultTextRotation);
                } else if (key == &g_prefsKeyCsvOpener) {
                    m_csvOpener = trimString(value);
                } else if (key == &g_prefsKeyZoomBorder) {
                    double border = 0.0;
                    if (!readSetting(value, border) || border < 0.0 || border > 10000.0)
                        border = fallBack(path, *key, value, L"a zoom border from 0 to 10000", defaultZoomBorder);
                    m_zoomBorder = border;
                } else if (key == &g_prefsKeyInc) {
                    m_inc = wholeSetting(path, *key, value, 1, 100, defaultInc, L"an increment from 1 to 100");
                }
            }
        }
        file.Close();
        return TRUE;
    KELMO_CATCH_REPORT(L"CPreferences::loadPreferences", kelmo::catchClassLib)
    return FALSE;
}

void CPreferences::writeFile(const CString& path) {
    CStdioFile file;
    CFileException error;
    if (!file.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::typeText, &error)) {
        throw new CFileException(error.m_cause, error.m_lOsError, path);
    }
    file.WriteString(g_prefsHeader1 + g_prefsComment + g_prefsHeader2 + g_prefsComment);
    const struct {
        const CString& key;
        CString value;
    } settings[] = {
        {g_prefsKeyUnits, CUtilities::IntToCString(m_units)},
        {g_prefsKeyPrecision, CUtilities::IntToCString(m_precision)},
        {g_prefsKeyTextSize, CUtilities::DoubleToCString(m_textSize, 2)},
        {g_prefsKeyTextScale, realText(m_textScale)},
        {g_prefsKeyTextRotation, CUtilities::DoubleToCString(m_textRotation, 2)},
        {g_prefsKeyCsvOpener, m_csvOpener},
        {g_prefsKeyZoomBorder, CUtilities::DoubleToCString(m_zoomBorder, 0)},
        {g_prefsKeyInc, CUtilities::IntToCString(m_inc)},
    };
    for (const auto& setting : settings) {
        file.WriteString(setting.key + g_prefsLineEnd);
        file.WriteString(setting.value + g_prefsLineEnd);
    }
    file.Close();
}

BOOL CPreferences::savePreferences(CString path) {
    // The new file is written whole through the staged temporary every writer uses and replaces the old
    // one only once it is complete: a save that fails keeps the user's settings, and nothing standing
    // at a name beside it is written through.
    KELMO_TRY
        if (!CFileUtilities::ensureDirectoryExists(CFileUtilities::getDirectoryString(path))) {
            return FALSE;
        }
        win::StagedFile staged(path);
        if (!staged.made()) {
            showNotSaved(path, staged.why().c_str());
            return FALSE;
        }
        try {
            writeFile(staged.path().c_str());
        } catch (CFileException* error) {
            showNotSaved(path, fileErrorText(*error, path));
            error->Delete();
            return FALSE;
        }
        if (!staged.place()) {
            showNotSaved(path, staged.why().c_str());
            return FALSE;
        }
        return TRUE;
    KELMO_CATCH_REPORT(L"CPreferences::savePreferences", kelmo::catchClassLib)
    return FALSE;
}
