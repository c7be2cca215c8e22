#include "core/Preferences.h"

#include <cmath>

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

} // namespace

CPreferences::CPreferences()
    : m_units(defaultUnits),
      m_precision(defaultPrecision),
      m_textSize(defaultTextSize),
      m_textScale(defaultTextScale),
      m_textRotation(defaultTextRotation),
      m_inc(1),
      m_csvOpener(L"NONE"),
      m_zoomBorder(defaultZoomBorder) {}

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

int CPreferences::stringToInt(CString text) {
    return CUtilities::CStringToInt(trimString(text));
}

LONG CPreferences::stringToLong(CString text) {
    return CUtilities::CStringToLong(trimString(text));
}

double CPreferences::stringToDouble(CString text) {
    // A number written with a decimal comma or thousands ("1,50", "1.250,5") is read as it stands, not
    // from its leading digits; what reads as no number is taken as before.
    double value = 0.0;
    if (CUtilities::readWholeNumber(text, value)) return value;
    return CUtilities::CStringToDouble(trimString(text));
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
                // falls back to the default.
                if (key == &g_prefsKeyUnits) {
                    const int units = stringToInt(value);
                    m_units = units == 0 || units == 1 ? units : defaultUnits;
                } else if (key == &g_prefsKeyPrecision) {
                    const int precision = stringToInt(value);
                    m_precision = precision >= 0 && precision <= 9 ? precision : defaultPrecision;
                } else if (key == &g_prefsKeyTextSize) {
                    const double size = stringToDouble(value);
                    m_textSize = !std::isfinite(size) ? defaultTextSize : size <= 0.0 ? 0.1 : size;
                } else if (key == &g_prefsKeyTextScale) {
                    const double scale = stringToDouble(value);
                    // A scale outside what a label takes stays as written: the command that cannot use
                    // it says so, and only the person changes it.
                    m_textScale = !std::isfinite(scale) ? defaultTextScale : scale <= 0.0 ? 0.1 : scale;
                } else if (key == &g_prefsKeyTextRotation) {
                    double rotation = stringToDouble(value);
                    if (!std::isfinite(rotation)) {
                        rotation = defaultTextRotation;
                    } else if (rotation < -180.0) {
                        rotation = -180.0;
                    } else if (rotation > 180.0) {
                        rotation = 180.0;
                    }
                    m_textRotation = rotation;
                } else if (key == &g_prefsKeyCsvOpener) {
                    m_csvOpener = trimString(value);
                } else if (key == &g_prefsKeyZoomBorder) {
                    const double border = stringToDouble(value);
                    m_zoomBorder = border >= 0.0 && border <= 10000.0 ? border : defaultZoomBorder;
                } else if (key == &g_prefsKeyInc) {
                    const int inc = stringToInt(value);
                    if (inc >= 1 && inc <= 100) {
                        m_inc = inc;
                    }
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
