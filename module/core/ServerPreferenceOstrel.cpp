#include "core/ServerPreferenceOstrel.h"

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

void CServerPreferenceOstrel::deSerialize(IXMLDOMNodePtr node) {
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
            {L"dbTimeout", &m_dbTimeout, nullptr},
            {L"acadCheckPeriod", &m_acadCheckPeriod, nullptr},
            {L"acadMaxSessionSecs", &m_acadMaxSessionSecs, nullptr},
        };
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
                    const int parsed = CUtilities::CStringToInt(value);
                    *number.field = number.convert != nullptr ? number.convert(parsed) : parsed;
                }
            }
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
                    m_waitPeriodSecs[module] = CUtilities::CStringToInt(value);
                } else if (name == moduleName + L"BatchSize") {
                    m_batchSize[module] = CUtilities::CStringToInt(value);
                }
            }
        }
    KELMO_CATCH(L"CServerPreferenceOstrel::deSerialize")
}
