#include "reports/GraphicReports.h"

#include <csignal>
#include <cstdio>

#include "core/Catch.h"
#include "core/FileUtilities.h"
#include "core/Globals.h"
#include "core/PreferencesOstrel.h"
#include "core/ServerPreferenceOstrel.h"
#include "core/SystemUtilities.h"
#include "database/ParameterTinyInt.h"
#include "model/RegisterSupport.h"
#include "reports/GraphicReport.h"

KELMO_SOURCE_FILE(L"GraphicReports");

namespace {

// Names a log that cannot be written on standard error, once in the process.
void unwritableLog(const CString& path, const CString& reason, int reportID) {
    static CStringArray named;
    for (int i = 0; i < named.GetSize(); ++i)
        if (named[i].CompareNoCase(path) == 0) return;
    named.Add(path);
    CString text = L"The error log " + path + L" cannot be written";
    CString why = reason;
    why.Trim(); // system messages end with a line break
    if (!why.IsEmpty()) text += L": " + why;
    if (reportID != 0) {
        CString lost;
        lost.Format(L" - the entry for graphic report %i is lost", reportID);
        text += lost;
    }
    std::fprintf(stderr, "%s\n", text.ToUtf8().c_str());
    std::fflush(stderr);
}

void reportAndDelete(CEXKelmo* failure, int reportID) {
    kelmo_reports::reportToBatchLogs(failure, reportID);
}

// A report that cannot be loaded is claimed like any other and recorded as failed, so that it does not
// wait at its status for ever; the log and the command line name it and its drawing.
void recordLoadFailure(CGraphicReport& report, CStoredProcedure* procedure, int timeout, CEXKelmo* failure) {
    const int failed = 14;
    CString what;
    what.Format(L"Graphic report %i (drawing %s) could not be loaded", report.getID(),
                static_cast<const wchar_t*>(report.getDrawingPath() + report.getDrawingFilename()));
    CEXKelmo* named =
        new CEXCustom(what, KELMO_BANNER, kelmoSourceFile, L"CGraphicReports::getGraphicReports", 0, failure);
    try {
        if (!report.claimGraphicReport(procedure, timeout)) {
            named->deleteException();
            acutPrintf(L"Graphic report %i is taken by another batch run - skipped\n", report.getID());
            return;
        }
    } catch (...) {
        named->deleteException();
        throw;
    }
    acutPrintf(L"%s\n", static_cast<const wchar_t*>(what));
    // Why, in the reader's words: the first line of the innermost failure.
    CString why = kelmo_reports::rootCause(failure);
    if (const int end = why.FindOneOf(L"\r\n"); end >= 0) why = why.Left(end);
    if (!why.IsEmpty()) acutPrintf(L"Graphic report %i: %s\n", report.getID(), static_cast<const wchar_t*>(why));
    reportAndDelete(named, report.getID());
    kelmo_reports::ClaimHold hold(report, procedure, timeout);
    try {
        report.recordStatus(procedure, timeout, failed);
    } catch (CEXKelmo* unrecorded) {
        if (!kelmo_reports::claimTakenOver(unrecorded)) throw;
        kelmo_reports::leaveToOtherRun(unrecorded);
    }
}

// Where the file the path reaches stands among the file identities; -1 when it is not among them or
// the path reaches nothing.
int indexOfFile(const CStringArray& files, const CString& path) {
    const CString file = CFileUtilities::fileIdentity(path);
    for (int i = 0; !file.IsEmpty() && i < files.GetSize(); ++i)
        if (files[i] == file) return i;
    return -1;
}

volatile std::sig_atomic_t g_stop = 0;

// Adds the report to a list of reports written "7, 9".
void appendID(CString& list, int reportID) {
    CString id;
    id.Format(L"%i", reportID);
    list += (list.IsEmpty() ? L"" : L", ") + id;
}

// The first failure of the kind in the chain, the failure itself first; null when there is none.
template <typename Kind>
const Kind* inChain(const CEXKelmo* failure) {
    for (; failure != nullptr; failure = failure->getInnerException())
        if (const Kind* found = dynamic_cast<const Kind*>(failure)) return found;
    return nullptr;
}

} // namespace

void kelmo_reports::requestStop() noexcept {
    g_stop = 1;
}

bool kelmo_reports::stopRequested() noexcept {
    return g_stop != 0;
}

CString kelmo_reports::rootCause(const CEXKelmo* failure) {
    while (failure->getInnerException() != nullptr) failure = failure->getInnerException();
    return failure->getDescription();
}

bool kelmo_reports::registerLost(const CEXKelmo* failure) {
    return inChain<CEXConnection>(failure) != nullptr;
}

bool kelmo_reports::claimTakenOver(const CEXKelmo* failure) {
    return inChain<CEXClaimTakenOver>(failure) != nullptr;
}

void kelmo_reports::leaveToOtherRun(CEXKelmo* failure) {
    if (const CEXClaimTakenOver* taken = inChain<CEXClaimTakenOver>(failure))
        acutPrintf(L"%s - left to it\n", static_cast<const wchar_t*>(taken->getDescription()));
    failure->deleteException();
}

namespace {

// A right the batch's role lacks, or a register that takes no changes.
bool refusedRight(const CString& state) {
    return state == L"42501" || state == L"25006";
}

} // namespace

bool kelmo_reports::registerFault(CStoredProcedure* procedure) {
    const CString state = procedure->getFailedState();
    return state.Left(2) == L"42" || refusedRight(state);
}

CEXKelmo* kelmo_reports::registerFaultStop(CEXKelmo* failure, CStoredProcedure* procedure, const wchar_t* method) {
    CString reason = kelmo_reports::rootCause(failure);
    CString what;
    if (refusedRight(procedure->getFailedState())) {
        what = L"The register refused this batch's call of " +
               CString(static_cast<const wchar_t*>(procedure->getName())) + L": " + reasonInALine(reason);
    } else {
        // The server's first line: a hint and the statement's position say nothing more.
        reason = reasonInALine(reason);
        reason.TrimRight(L'.');
        what = L"The register lacks what this batch calls (" + reason +
               L"): a register made before needs __gr_getGraphicReportDrawings, the claimed_by column of "
               L"graphic_report, __gr_claimGraphicReport with \"runID\", __gr_getGraphicReportTargets and "
               L"__gr_markRunLive from "
               L"sql/vxr.sql (a function whose columns changed, as __gr_getGraphicReportTargets did, is dropped "
               L"first: DROP FUNCTION \"__gr_getGraphicReportTargets\"())";
    }
    failure->deleteException();
    return new CEXCustom(what, KELMO_BANNER, kelmoSourceFile, method, 0, nullptr);
}

bool kelmo_reports::textNotUtf8(const _com_error& error) {
    return error.Error() == adErrCantConvertValue;
}

CString kelmo_reports::reasonInALine(CString reason) {
    const int end = reason.FindOneOf(L"\r\n");
    if (end >= 0) reason = reason.Left(end);
    if (reason.Left(6) == L"ERROR:" || reason.Left(6) == L"FATAL:") reason = reason.Mid(6);
    reason.Trim();
    return reason;
}

CEXClaimTakenOver::CEXClaimTakenOver(int reportID, CString file, CString function)
    : CEXCustom(CString(), KELMO_BANNER, file, function, 0, nullptr) {
    CString what;
    what.Format(L"Graphic report %i was taken by another batch run while this run's register session was lost",
                reportID);
    setDescription(what);
}

kelmo_reports::ClaimHold::ClaimHold(CGraphicReport& report, CStoredProcedure* procedure, int timeout)
    : m_report(report), m_procedure(procedure), m_timeout(timeout) {
    m_procedure->setSessionHold(this);
}

kelmo_reports::ClaimHold::~ClaimHold() {
    m_procedure->setSessionHold(nullptr);
}

void kelmo_reports::ClaimHold::takeAgain(CStoredProcedure* procedure) {
    // The claim names this run: on a new session it finds the run's own claim and takes its lock again,
    // unless another run took the report while no session held it.
    if (!m_report.claimGraphicReport(procedure, m_timeout))
        throw new CEXClaimTakenOver(m_report.getID(), kelmoSourceFile, L"ClaimHold::takeAgain");
}

void kelmo_reports::reportToBatchLogs(CEXKelmo* failure, int reportID) noexcept {
    if (failure == nullptr) return;
    try {
        acutPrintf(L"An error has been detected please consult the error log\n");
        for (int i = 0; i < g_serverPreferences.getCount(); ++i) {
            const CString path = g_serverPreferences.getAt(i)->getAcadErrorLogFilePath();
            if (path.IsEmpty()) continue;
            try {
                failure->reportToErrorLog(path);
            } catch (CEXKelmo* unwritten) {
                const CString folder = path.Left(path.ReverseFind(L'\\') + 1);
                unwritableLog(path,
                              CFileUtilities::directoryExists(folder) ? kelmo_reports::rootCause(unwritten)
                                                                      : CString(L"its folder does not exist"),
                              reportID);
                unwritten->deleteException();
            } catch (...) {
                unwritableLog(path, CString(), reportID);
            }
        }
    } catch (...) {
        // Nothing about one failure's report may stop the batch.
    }
    failure->deleteException();
}

CString kelmo_reports::backslashed(CString folder) {
    folder.Replace(L'/', L'\\');
    return folder;
}

CGraphicReports::CGraphicReports() : m_count(0) {}

CGraphicReports::~CGraphicReports() {
    try {
        deleteObjects();
    } catch (...) {
        kelmo::reportWrapped(kelmoSourceFile, L"CGraphicReports::~CGraphicReports");
    }
}

void CGraphicReports::getGraphicReports(CStoredProcedure* procedure, CServerPreferenceOstrel* serverPreferences,
                                        int status, int timeout) {
    const wchar_t* method = L"CGraphicReports::getGraphicReports";
    KELMO_TRY
        kelmo_model::RegisterCall call(procedure);
        CParameterTinyInt* statusID = new CParameterTinyInt();
        statusID->setName(L"@statusID");
        statusID->setDirection(1);
        statusID->setValue(static_cast<unsigned char>(status));
        call.parameters().add(statusID);
        call.prepare(L"__gr_getGraphicReports", timeout);
        kelmo_model::RegisterRows rows(procedure->execSPReturnParas());
        if (rows.empty()) return;
        // The identifiers first: each report then runs its own calls on the same procedure.
        CArray<int, int> ids;
        for (; !rows.atEnd(); rows.next()) {
            if (!rows.isNull(L"grID")) {
                int id = 0;
                rows.readInt(L"grID", id);
                ids.Add(id);
            }
        }
        rows.close();
        for (int i = 0; i < ids.GetSize(); ++i) m_runReports.insert(ids[i]);
        checkRegister(procedure, serverPreferences, status, timeout);
        for (int i = 0; i < ids.GetSize(); ++i) {
            CGraphicReport* report = new CGraphicReport();
            try {
                report->getGraphicReport(procedure, serverPreferences, ids[i], timeout);
            } catch (CEXKelmo* failure) {
                if (kelmo_reports::registerLost(failure)) {
                    delete report;
                    throw failure;
                }
                // The register's own fault fails every report alike: the batch stops before preparing any.
                if (kelmo_reports::registerFault(procedure)) {
                    delete report;
                    throw kelmo_reports::registerFaultStop(failure, procedure, method);
                }
                report->setListedStatus(status);
                // Its drawing is still one of the run's, which no other report may write over.
                if (!report->getDrawingFilename().IsEmpty())
                    m_drawings.Add(
                        CFileUtilities::fileIdentity(report->getDrawingPath() + report->getDrawingFilename()));
                try {
                    recordLoadFailure(*report, procedure, timeout, failure);
                } catch (CEXKelmo* unrecorded) {
                    if (report->getUnrecordedStatus() == 0) {
                        delete report;
                        throw unrecorded;
                    }
                    noteUnrecorded(report->getID());
                    reportAndDelete(unrecorded, report->getID());
                } catch (...) {
                    delete report;
                    throw;
                }
                delete report;
                continue;
            } catch (...) {
                delete report;
                throw;
            }
            report->setListedStatus(status);
            addGraphicReport(report);
        }
    KELMO_REGISTER_CATCH(procedure, method)
}

void CGraphicReports::addGraphicReport(CGraphicReport* report) {
    KELMO_TRY
        m_reports.Add(report);
        ++m_count;
    KELMO_CATCH_ALSO(L"CGraphicReports::addGraphicReport", kelmo::catchClassLib)
}

int CGraphicReports::writtenBy(const CString& path) const {
    const int at = indexOfFile(m_written, path);
    return at < 0 ? 0 : m_writtenBy[at];
}

void CGraphicReports::noteWritten(const CString& path, int reportID) {
    m_written.Add(CFileUtilities::fileIdentity(path));
    m_writtenBy.Add(reportID);
}

bool CGraphicReports::isDrawingOfRun(const CString& path) const {
    return indexOfFile(m_drawings, path) >= 0;
}

int CGraphicReports::drawingOfRegister(const CString& path) const {
    const int at = indexOfFile(m_registerDrawings, path);
    return at < 0 ? 0 : m_registerDrawingOf[at];
}

void CGraphicReports::getRegisterDrawings(CStoredProcedure* procedure, int timeout) {
    const wchar_t* method = L"CGraphicReports::getRegisterDrawings";
    KELMO_TRY
        kelmo_model::RegisterCall call(procedure);
        call.prepare(L"__gr_getGraphicReportDrawings", timeout);
        kelmo_model::RegisterRows rows(procedure->execSPReturnParas());
        if (rows.empty()) return;
        for (; !rows.atEnd(); rows.next()) {
            if (rows.isNull(L"grID")) continue;
            int id = 0;
            rows.readInt(L"grID", id);
            CString name, folder;
            try {
                if (rows.isNull(L"grDrawingFilename")) continue;
                name = rows.text(L"grDrawingFilename");
                if (!rows.isNull(L"grDrawingPath")) folder = kelmo_reports::backslashed(rows.text(L"grDrawingPath"));
            } catch (const _com_error& error) {
                if (!kelmo_reports::textNotUtf8(error)) throw;
                noteUnreadableRow(id, error);
                continue;
            }
            if (name.IsEmpty()) continue;
            // The folder cleaned as a report's own is when the report is loaded.
            CFileUtilities::checkPathSyntax(folder);
            const CString file = CFileUtilities::fileIdentity(folder + name);
            if (file.IsEmpty()) continue;
            m_registerDrawings.Add(file);
            m_registerDrawingOf.Add(id);
        }
        rows.close();
    KELMO_REGISTER_CATCH(procedure, method)
}

void CGraphicReports::noteUnreadableRow(int reportID, const _com_error& error) {
    if (m_runReports.count(reportID) || !m_unreadableRows.insert(reportID).second) return;
    acutPrintf(
        L"Graphic report %i: the register holds text that is not UTF-8 (%s) - its drawing and outputs "
        L"are not known to this run\n",
        reportID,
        static_cast<const wchar_t*>(
            kelmo_reports::reasonInALine(CString(static_cast<const wchar_t*>(error.Description())))));
}

int CGraphicReports::targetOwner(const CString& path) const {
    const CString file = CFileUtilities::fileLocation(path);
    const auto owner = file.IsEmpty() ? m_targetOwner.end() : m_targetOwner.find(file);
    return owner == m_targetOwner.end() ? 0 : owner->second;
}

void CGraphicReports::noteTarget(const CString& path, int reportID) {
    // Known by where it is written, which stays the same when the file is made or replaced.
    const CString file = CFileUtilities::fileLocation(path);
    if (file.IsEmpty()) return;
    const auto [owner, added] = m_targetOwner.emplace(file, reportID);
    if (!added && reportID < owner->second) owner->second = reportID;
}

void CGraphicReports::getRegisterTargets(CStoredProcedure* procedure, CServerPreferenceOstrel* serverPreferences,
                                         int status, int timeout) {
    const wchar_t* method = L"CGraphicReports::getRegisterTargets";
    KELMO_TRY
        kelmo_model::RegisterCall call(procedure);
        call.prepare(L"__gr_getGraphicReportTargets", timeout);
        kelmo_model::RegisterRows rows(procedure->execSPReturnParas());
        if (rows.empty()) return;
        // An earlier function left beside the run marks (a register brought up to date by hand, in part)
        // would have every report ever finished block its files for good: the batch stops instead.
        const bool statusGiven = rows.hasColumn(L"grStatusID") && rows.hasColumn(L"grRunLive");
        if (!statusGiven)
            throw new CEXCustom(L"__gr_getGraphicReportTargets gives no grStatusID or grRunLive: it is an earlier one",
                                KELMO_BANNER, kelmoSourceFile, method, 0, nullptr);
        for (; !rows.atEnd(); rows.next()) {
            if (rows.isNull(L"grID")) continue;
            // Only a report waiting (at the run's status or any other no preparation ends with), in
            // preparation, or finished by a run still at work competes for a file: one that an earlier
            // run finished or failed has done its writing, and a newer report may write its files again.
            int reportStatus = status;
            int runLive = 1;
            rows.readInt(L"grStatusID", reportStatus);
            rows.readInt(L"grRunLive", runLive);
            if (reportStatus != status && CGraphicReport::preparationEnded(reportStatus) && runLive == 0) continue;
            CGraphicReport report;
            int id = 0;
            rows.readInt(L"grID", id);
            report.setID(id);
            try {
                report.readRecord(rows, serverPreferences);
            } catch (const _com_error& error) {
                if (!kelmo_reports::textNotUtf8(error)) throw;
                noteUnreadableRow(id, error);
                continue;
            }
            CString plot, copy, xml;
            report.getTargets(plot, copy, xml);
            noteTarget(plot, id);
            noteTarget(copy, id);
            noteTarget(xml, id);
        }
        rows.close();
    KELMO_REGISTER_CATCH(procedure, method)
}

void CGraphicReports::checkRegister(CStoredProcedure* procedure, CServerPreferenceOstrel* serverPreferences, int status,
                                    int timeout) {
    // A register made before runs knew their own claims would refuse every report's claim, one by one,
    // and one that refuses the batch's role a write would refuse it report by report, after the plot:
    // the batch stops here instead, before any report is claimed.
    try {
        getRegisterDrawings(procedure, timeout);
        CGraphicReport probe; // no report has identifier 0: nothing is claimed or written
        probe.claimGraphicReport(procedure, timeout);
        probe.setGraphicReportStatus(procedure, timeout, 2);
        probe.setGraphicReportLayout(procedure, timeout, CString());
        // Reports this run finishes stay the files' writers for the runs at work beside it; marked just
        // before the targets are read, so that no run sharing the register misses both.
        procedure->markSessions(L"__gr_markRunLive", CGraphicReport::batchRun());
        getRegisterTargets(procedure, serverPreferences, status, timeout);
    } catch (CEXKelmo* failure) {
        if (kelmo_reports::registerLost(failure)) throw;
        throw kelmo_reports::registerFaultStop(failure, procedure, L"CGraphicReports::checkRegister");
    }
}

void CGraphicReports::prepareReports(CStoredProcedure* procedure, int timeout) {
    KELMO_TRY
        for (int i = 0; i < m_count; ++i) {
            const CString drawing = m_reports[i]->getDrawingPath() + m_reports[i]->getDrawingFilename();
            if (!m_reports[i]->getDrawingFilename().IsEmpty()) m_drawings.Add(CFileUtilities::fileIdentity(drawing));
        }
        for (int i = 0; i < m_count && !kelmo_reports::stopRequested(); ++i) {
            try {
                m_reports[i]->prepareReport(procedure, timeout, this);
            } catch (CEXKelmo* failure) {
                // Without its register the batch stops at once: nothing more can be claimed or recorded.
                if (kelmo_reports::registerLost(failure)) throw failure;
                reportAndDelete(failure, m_reports[i]->getID());
            }
            if (m_reports[i]->getUnrecordedStatus() != 0) noteUnrecorded(m_reports[i]->getID());
            if (m_reports[i]->layoutUnrecorded()) appendID(m_unrecordedLayouts, m_reports[i]->getID());
            if (m_reports[i]->claimRefused()) appendID(m_unclaimed, m_reports[i]->getID());
            if (!m_reports[i]->lastingRefusal().IsEmpty()) {
                // The register would refuse every later report alike: none is claimed, each keeps its status.
                m_lastingRefusal = m_reports[i]->lastingRefusal();
                for (int later = i + 1; later < m_count; ++later) appendID(m_notClaimed, m_reports[later]->getID());
                break;
            }
            CSystemUtilities::doEvents();
        }
    KELMO_CATCH(L"CGraphicReports::prepareReports")
}

void CGraphicReports::noteUnrecorded(int reportID) {
    appendID(m_unrecorded, reportID);
}

CString CGraphicReports::unrecordedReports() const {
    return m_unrecorded;
}

CString CGraphicReports::unclaimedReports() const {
    return m_unclaimed;
}

CString CGraphicReports::unrecordedLayouts() const {
    return m_unrecordedLayouts;
}

CString CGraphicReports::lastingRefusal() const {
    return m_lastingRefusal;
}

CString CGraphicReports::reportsNotClaimed() const {
    return m_notClaimed;
}

void CGraphicReports::deleteObjects() {
    KELMO_TRY
        for (int i = 0; i < m_reports.GetSize(); ++i) delete m_reports[i];
        m_reports.RemoveAll();
        m_count = 0;
    KELMO_CATCH(L"CGraphicReports::deleteObjects")
}
