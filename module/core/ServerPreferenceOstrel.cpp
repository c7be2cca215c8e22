#include "core/ServerPreferenceOstrel.h"

#include <climits>
#include <cmath>

#include "core/Catch.h"
#include "drawing/AcadUtilities.h"
#include "core/Utilities.h"

KELMO_SOURCE_FILE(L"ServerPreferenceOstrel.cpp");

namespace {

const wchar_t* const moduleNames[CServerPreferenceOstrel::monitoredModules] = {
    L"Plans", L"Reports", L"Registers", L"Plots", L"Assets", L"Exports",
};

// Stored plot ids as the plotting code reads them: an id out of its range means the first value.
int storedPlotDevice(int id) {
    CAcadUtilities utilities;
    return static_cast<int>(utilities.convertPlotDevice(id));
}
int storedScale(int id) {
    CAcadUtilities utilities;
    return utilities.convertScale(id);
}
int storedPlotArea(int id) {
    CAcadUtilities utilities;
    return utilities.convertPlotArea(id);
}
int storedMediaSize(int id) {
    CAcadUtilities utilities;
    return static_cast<int>(utilities.convertMediaSize(id));
}

// The text of a setting element: the value of its first child, empty when it has none.
CString settingText(const IXMLDOMNodePtr& setting) {
    IXMLDOMNodePtr first = setting->GetfirstChild();
    if (first == nullptr) {
        return CString();
    }
    const _variant_t value = first->GetnodeValue();
    if (value.vt == VT_NULL || value.vt == VT_EMPTY) {
        return CString();
    }
    return CString(static_cast<const wchar_t*>(_bstr_t(value)));
}

// A setting's whole text as a whole number from lowest to highest, as every other reader of numbers
// takes it: " 2" and "2e0" are 2; "2s", "1,500" and "-1" are none.
bool wholeSetting(const CString& text, int lowest, int highest, int& value) {
    double read = 0.0;
    if (!CUtilities::readWholeNumber(text, read) || read != std::floor(read) || read < lowest || read > highest)
        return false;
    value = static_cast<int>(read);
    return true;
}

// The default in place of a setting that cannot be used, with the line that says so.
int fallBack(const CString& path, const CString& key, const CString& value, const wchar_t* wanted, int fallback) {
    acutPrintf(L"\nThe server preferences file %s: %s \"%s\" is not %s - %d is used.\n",
               static_cast<const wchar_t*>(path), static_cast<const wchar_t*>(key), static_cast<const wchar_t*>(value),
               wanted, fallback);
    return fallback;
}

} // namespace

const wchar_t* CServerPreferenceOstrel::getMonitoredModuleName(int module) {
    return moduleNames[clampModule(module)];
}

CServerPreferenceOstrel::CServerPreferenceOstrel()
    : m_deletePeriodSecs(0),
      m_cachePlotTypeID(0),
      m_applyCachePlotSettings(0),
      m_cachePlotCentred(1),
      m_cachePlotScaleTypeID(0),
      m_cachePlotAreaTypeID(1),
      m_cachePlotMediaNameID(0),
      m_dbTimeout(0),
      m_runAcadService(0),
      m_runAcadOnlyWhenRequired(0),
      m_acadCheckPeriod(0),
      m_acadMaxSessionSecs(0) {
    for (int i = 0; i < monitoredModules; ++i) {
        m_monitor[i] = 0;
        m_waitPeriodSecs[i] = 10;
        m_batchSize[i] = 25;
    }
}

void CServerPreferenceOstrel::deSerialize(IXMLDOMNodePtr node, const CString& path) {
    KELMO_TRY
        struct TextField {
            const wchar_t* name;
            CString* field;
        };
        const TextField texts[] = {
            {L"ostrelErrorLogFilePath", &m_ostrelErrorLogFilePath},
            {L"acadErrorLogFilePath", &m_acadErrorLogFilePath},
            {L"cacheOutPath", &m_cacheOutPath},
            {L"graphRepOutPath", &m_graphRepOutPath},
            {L"dbDatasource", &m_dbDatasource},
            {L"dbUserID", &m_dbUserID},
            {L"dbPassword", &m_dbPassword},
            {L"acadPath", &m_acadPath},
            {L"acadArguments", &m_acadArguments},
            {L"acadWorkingDirectory", &m_acadWorkingDirectory},
            {L"acadTempDirectory", &m_acadTempDirectory},
            {L"debugAcad", &m_debugAcad},
            {L"debugOstrel", &m_debugOstrel},
        };
        // Counts, periods and ids: a whole number not below 0, or the default with a line naming it.
        struct IntField {
            const wchar_t* name;
            int* field;
            int (*convert)(int);
        };
        const IntField ints[] = {
            {L"deletePeriodSecs", &m_deletePeriodSecs, nullptr},
            {L"cachePlotTypeID", &m_cachePlotTypeID, storedPlotDevice},
            {L"cachePlotScaleTypeID", &m_cachePlotScaleTypeID, storedScale},
            {L"cachePlotAreaTypeID", &m_cachePlotAreaTypeID, storedPlotArea},
            {L"cachePlotMediaNameID", &m_cachePlotMediaNameID, storedMediaSize},
            {L"acadCheckPeriod", &m_acadCheckPeriod, nullptr},
            {L"acadMaxSessionSecs", &m_acadMaxSessionSecs, nullptr},
        };
        const wchar_t* const wholeWanted = L"a whole number from 0 to 2147483647";
        struct FlagField {
            const wchar_t* name;
            int* field;
        };
        const FlagField flags[] = {
            {L"applyCachePlotSettings", &m_applyCachePlotSettings},
            {L"cachePlotCentred", &m_cachePlotCentred},
            {L"runAcadService", &m_runAcadService},
            {L"runAcadOnlyWhenRequired", &m_runAcadOnlyWhenRequired},
        };

        IXMLDOMNodeListPtr children = node->GetchildNodes();
        const long count = children->Getlength();
        for (long i = 0; i < count; ++i) {
            IXMLDOMNodePtr child = children->Getitem(i);
            if (child->GetnodeType() != NODE_ELEMENT) {
                continue;
            }
            const CString name = static_cast<const wchar_t*>(child->GetnodeName());
            // An element without content reads as the empty text.
            const CString value = settingText(child);
            for (const TextField& text : texts) {
                if (name == text.name) {
                    *text.field = value;
                }
            }
            for (const IntField& number : ints) {
                if (name == number.name) {
                    int parsed = 0;
                    if (!wholeSetting(value, 0, INT_MAX, parsed))
                        parsed = fallBack(path, name, value, wholeWanted, *number.field);
                    *number.field = number.convert != nullptr ? number.convert(parsed) : parsed;
                }
            }
            // The register's time-out is not guessed: a batch without one waits for ever on a register
            // that never answers. The server counts it in milliseconds in a signed 32-bit number.
            if (name == L"dbTimeout" && !wholeSetting(value, 0, dbTimeoutMax, m_dbTimeout) && m_unusable.IsEmpty())
                m_unusable.Format(L"dbTimeout \"%s\" is not a whole number of seconds from 0 (no time-out) to %d",
                                  static_cast<const wchar_t*>(value), dbTimeoutMax);
            for (const FlagField& flag : flags) {
                if (name == flag.name) {
                    *flag.field = value == L"1" ? 1 : 0;
                }
            }
            for (int module = 0; module < monitoredModules; ++module) {
                const CString moduleName = moduleNames[module];
                if (name == L"monitor" + moduleName) {
                    m_monitor[module] = value == L"1" ? 1 : 0;
                } else if (name == moduleName + L"WaitPeriodSecs") {
                    if (!wholeSetting(value, 0, INT_MAX, m_waitPeriodSecs[module]))
                        m_waitPeriodSecs[module] = fallBack(path, name, value, wholeWanted, 10);
                } else if (name == moduleName + L"BatchSize") {
                    if (!wholeSetting(value, 1, INT_MAX, m_batchSize[module]))
                        m_batchSize[module] = fallBack(path, name, value, L"a whole number from 1 to 2147483647", 25);
                }
            }
        }
    KELMO_CATCH(L"CServerPreferenceOstrel::deSerialize")
}
