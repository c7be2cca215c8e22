#pragma once
// One server's settings in the server-preference XML: log paths, cached-plot settings, the database,
// how the host program is run and watched, the monitoring of six modules, debug switches.
#include "classlib/Afx.h"
#include "xml/MsXml.h"

class CServerPreferenceOstrel {
public:
    // The monitored modules; each has a switch, a wait period and a batch size.
    enum { monitoredModules = 6 };
    static const wchar_t* getMonitoredModuleName(int module);

    CServerPreferenceOstrel();
    ~CServerPreferenceOstrel() = default;

    // The server's settings from its element; `path` is the file named in the line said for a number
    // that cannot be used.
    void deSerialize(IXMLDOMNodePtr node, const CString& path);
    // Why a setting the batch cannot run with cannot be used (the register's time-out), empty when all can.
    CString getUnusableSetting() const { return m_unusable; }
    // The longest time-out the server takes, in seconds: its statement_timeout is a 32-bit count of ms.
    static constexpr int dbTimeoutMax = 2147483;

    CString getOstrelErrorLogFilePath() const { return m_ostrelErrorLogFilePath; }
    CString getAcadErrorLogFilePath() const { return m_acadErrorLogFilePath; }
    int getDeletePeriodSecs() const { return m_deletePeriodSecs; }
    CString getCacheOutPath() const { return m_cacheOutPath; }
    int getCachePlotPC3Device() const { return m_cachePlotTypeID; }
    int getApplyCachePlotSettings() const { return m_applyCachePlotSettings; }
    int getCachePlotCentred() const { return m_cachePlotCentred; }
    int getCachePlotScaleType() const { return m_cachePlotScaleTypeID; }
    int getCachePlotAreaType() const { return m_cachePlotAreaTypeID; }
    int getCachePlotMediaName() const { return m_cachePlotMediaNameID; }
    CString getGraphRepOutPath() const { return m_graphRepOutPath; }
    int getDbTimeout() const { return m_dbTimeout; }
    CString getDbDatasource() const { return m_dbDatasource; }
    CString getDbUserID() const { return m_dbUserID; }
    CString getDbPassword() const { return m_dbPassword; }
    int getRunAcadService() const { return m_runAcadService; }
    int getRunAcadOnlyWhenRequired() const { return m_runAcadOnlyWhenRequired; }
    int getAcadCheckPeriod() const { return m_acadCheckPeriod; }
    CString getAcadPath() const { return m_acadPath; }
    CString getAcadArguments() const { return m_acadArguments; }
    CString getAcadWorkingDirectory() const { return m_acadWorkingDirectory; }
    CString getAcadTempDirectory() const { return m_acadTempDirectory; }
    void setAcadTempDirectory(const CString& folder) { m_acadTempDirectory = folder; }
    int getAcadMaxSessionSecs() const { return m_acadMaxSessionSecs; }
    int getMonitor(int module) const { return m_monitor[clampModule(module)]; }
    int getWaitPeriodSecs(int module) const { return m_waitPeriodSecs[clampModule(module)]; }
    int getBatchSize(int module) const { return m_batchSize[clampModule(module)]; }
    CString getDebugAcad() const { return m_debugAcad; }
    CString getDebugOstrel() const { return m_debugOstrel; }

private:
    static int clampModule(int module) { return module < 0 || module >= monitoredModules ? 0 : module; }

    CString m_ostrelErrorLogFilePath;
    CString m_acadErrorLogFilePath;
    int m_deletePeriodSecs;
    CString m_cacheOutPath;
    int m_cachePlotTypeID;
    int m_applyCachePlotSettings;
    int m_cachePlotCentred;
    int m_cachePlotScaleTypeID;
    int m_cachePlotAreaTypeID;
    int m_cachePlotMediaNameID;
    CString m_graphRepOutPath;
    int m_dbTimeout;
    CString m_dbDatasource;
    CString m_dbUserID;
    CString m_dbPassword;
    int m_runAcadService;
    int m_runAcadOnlyWhenRequired;
    int m_acadCheckPeriod;
    CString m_acadPath;
    CString m_acadArguments;
    CString m_acadWorkingDirectory;
    CString m_acadTempDirectory;
    int m_acadMaxSessionSecs;
    int m_monitor[monitoredModules];
    int m_waitPeriodSecs[monitoredModules];
    int m_batchSize[monitoredModules];
    CString m_debugAcad;
    CString m_debugOstrel;
    CString m_unusable;
};
