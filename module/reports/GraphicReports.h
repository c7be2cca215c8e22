#pragma once
// The batch side's list of graphic reports: every report of one status loaded from the register, then
// prepared one after the other (applied, plotted, copied, written as XML, its status recorded).
#include <map>
#include <set>

#include "classlib/Afx.h"
#include "core/KelmoExceptions.h"
#include "database/StoredProcedure.h"

class CGraphicReport;
class CServerPreferenceOstrel;

// The run's claim on the report it prepares went with a lost register session, and another run took
// the report meanwhile: it is that run's to prepare.
class CEXClaimTakenOver : public CEXCustom {
public:
    CEXClaimTakenOver(int reportID, CString file, CString function);
};

namespace kelmo_reports {

// Holds the run's claim on the report in preparation: on each new register session that replaces a
// lost one, the claim is taken again at once, before the call that found the session lost runs again;
// a report another run took meanwhile raises CEXClaimTakenOver instead.
class ClaimHold : public CSessionHold {
public:
    ClaimHold(CGraphicReport& report, CStoredProcedure* procedure, int timeout);
    ~ClaimHold() override;
    ClaimHold(const ClaimHold&) = delete;
    ClaimHold& operator=(const ClaimHold&) = delete;
    void takeAgain(CStoredProcedure* procedure) override;

private:
    CGraphicReport& m_report;
    CStoredProcedure* m_procedure;
    int m_timeout;
};

// Writes a batch failure of the report (0: of no report) to the error log of each server and deletes
// it. A log that cannot be written is named on standard error, once in the run, with the reason and the
// report whose entry it lost, and the batch goes on without it.
void reportToBatchLogs(CEXKelmo* failure, int reportID = 0) noexcept;
// Whether the failure is the register's connection, lost and not made again: the batch cannot go on.
bool registerLost(const CEXKelmo* failure);
// Whether the failure is the run's claim on its report, taken by another run (CEXClaimTakenOver).
bool claimTakenOver(const CEXKelmo* failure);
// Says on the command line that the report is left to the run that took it, and deletes the failure.
void leaveToOtherRun(CEXKelmo* failure);
// Whether the register refused the procedure's last call for what the register itself is, not for
// the report: a right the batch's role lacks, a register that takes no changes, a routine, table or
// column it does not have.
bool registerFault(CStoredProcedure* procedure);
// The failure that stops the batch, raised by the method, for a register fault of the procedure's
// last call: what the register refused, or what it lacks. The failure given is deleted.
CEXKelmo* registerFaultStop(CEXKelmo* failure, CStoredProcedure* procedure, const wchar_t* method);
// The register's reason in one line: its first, without the server's label.
CString reasonInALine(CString reason);
// Whether the register gave text that is not UTF-8 (a register in SQL_ASCII another program wrote to).
bool textNotUtf8(const _com_error& error);
// A folder of the register with "/" written as "\": the register may hold either.
CString backslashed(CString folder);
// The innermost description of a failure's chain: what went wrong in the end.
CString rootCause(const CEXKelmo* failure);
// Asks the batch to stop once the report in progress is finished: the reports after it keep their
// status. Safe in a signal handler.
void requestStop() noexcept;
bool stopRequested() noexcept;

} // namespace kelmo_reports

class CGraphicReports {
public:
    CGraphicReports();
    ~CGraphicReports();
    CGraphicReports(const CGraphicReports&) = delete;
    CGraphicReports& operator=(const CGraphicReports&) = delete;

    // Adds every report the register holds at that status, each remembering the status it was listed
    // under so that preparing it claims it only from that status. A report that cannot be loaded is
    // reported to the error logs and left out; the others are loaded.
    void getGraphicReports(CStoredProcedure* procedure, CServerPreferenceOstrel* serverPreferences, int status,
                           int timeout);
    void addGraphicReport(CGraphicReport* report);
    // Prepares each report in turn. A report that fails has its failure recorded and reported to the
    // error logs; the batch goes on with the next, unless a stop was asked for or the register refused
    // a claim, status or layout in a way that trying again does not cure.
    void prepareReports(CStoredProcedure* procedure, int timeout);

    CGraphicReport* getAt(int index) { return m_reports[index]; }
    int getCount() const { return m_count; }
    void deleteObjects();

    // What the run has written, and the drawings it prepares: one run never writes a file twice, and
    // no report's plot, copy or XML replaces a drawing of the run. The report that wrote the file, or 0.
    // Files are compared by what their paths reach (CFileUtilities::sameFile).
    int writtenBy(const CString& path) const;
    void noteWritten(const CString& path, int reportID);
    bool isDrawingOfRun(const CString& path) const;
    // The report of the register, in this run or not, whose drawing the path reaches, or 0.
    int drawingOfRegister(const CString& path) const;
    // The report that writes the file the path reaches: of every report in the register waiting or in
    // preparation that names it as its plot, copy or XML, the one with the lowest identifier; 0 when none.
    int targetOwner(const CString& path) const;
    // The reports whose final status the register refused, as "7, 9"; empty when every one was recorded.
    CString unrecordedReports() const;
    // The reports whose claim the register refused, as "7, 9": they keep their status, unprepared.
    CString unclaimedReports() const;
    // The reports whose plotted layout the register refused to record, as "7, 9".
    CString unrecordedLayouts() const;
    // The register's refusal that stopped the preparation ("NAME: REASON"), one that trying again does
    // not cure; empty when none did. The reports after it, as "7, 9", were not claimed.
    CString lastingRefusal() const;
    CString reportsNotClaimed() const;

private:
    // Reads the register's drawings, and stops the batch with a line saying what the register lacks
    // when it was made before this batch's calls.
    void checkRegister(CStoredProcedure* procedure, CServerPreferenceOstrel* serverPreferences, int status,
                       int timeout);
    // The drawing of every report the register holds, whatever its status.
    void getRegisterDrawings(CStoredProcedure* procedure, int timeout);
    // What every report of the register waiting or in preparation would write, with the report that
    // writes each file; one finished or failed names its files to no one.
    void getRegisterTargets(CStoredProcedure* procedure, CServerPreferenceOstrel* serverPreferences, int status,
                            int timeout);
    void noteTarget(const CString& path, int reportID);
    void noteUnrecorded(int reportID);
    // A row of another report whose text the register does not hold as UTF-8 (a register in SQL_ASCII
    // another program wrote to): named once, and the run goes on without what it held. A report of the
    // run is named by its loading, which fails.
    void noteUnreadableRow(int reportID, const _com_error& error);

    CTypedPtrArray<CPtrArray, CGraphicReport*> m_reports;
    int m_count;
    CStringArray m_written; // file identities
    CArray<int, int> m_writtenBy;
    CStringArray m_drawings;         // file identities
    CStringArray m_registerDrawings; // file identities
    CArray<int, int> m_registerDrawingOf;
    std::map<CString, int> m_targetOwner; // by file location
    CString m_unrecorded;
    CString m_unclaimed;
    CString m_unrecordedLayouts;
    CString m_lastingRefusal;
    CString m_notClaimed;
    std::set<int> m_runReports;     // the identifiers of the reports this run prepares
    std::set<int> m_unreadableRows; // reports named for text the register does not hold as UTF-8
};
