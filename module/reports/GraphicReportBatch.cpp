// The batch side of a graphic report: loading it from the register by identifier, and preparing it
// (claimed, applied to its drawing, plotted, a copy of the drawing saved, the report written as XML,
// its status recorded in the register).
#include "reports/GraphicReport.h"

#include <optional>
#include <string_view>

#include "core/Catch.h"
#include "core/FileUtilities.h"
#include "core/Globals.h"
#include "core/PreferencesOstrel.h"
#include "core/ServerPreferenceOstrel.h"
#include "core/XMLUtilities.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadUtilities.h"
#include "drawing/Layers.h"
#include "model/RegisterSupport.h"
#include "model/Hatch.h"
#include "reports/Categories.h"
#include "reports/Category.h"
#include "reports/GraphicReports.h"
#include "reports/LinkLines.h"
#include "reports/RegisterLists.h"
#include "reports/ReportSupport.h"
#include "win/Encoding.h"
#include "win/Files.h"
#include "win/Process.h"

KELMO_SOURCE_FILE(L"GraphicReport");

namespace {

// Where a copy of the drawing goes.
struct Target {
    CString folder;
    CString name;
};

// What a copy or the XML must never replace: the drawing itself and the plot just written.
struct Kept {
    CString drawing;
    CString plot;
};

bool replacesKept(const CString& path, const Kept& kept) {
    return CFileUtilities::sameFile(path, kept.drawing) || CFileUtilities::sameFile(path, kept.plot);
}

// A file name as the host platform keeps it: the blanks and dots at its end are dropped, so "c.dxf " and
// "c.dxf." name c.dxf.
CString keptName(CString name) {
    return name.TrimRight(L" .");
}

// Splits a folder-and-file path at its last backslash.
Target split(const CString& path) {
    const int cut = path.ReverseFind(L'\\');
    return {path.Left(cut + 1), keptName(path.Mid(cut + 1))};
}

// The drawing's name with its own extension swapped for another.
CString drawingNameAs(const CString& drawingFilename, const wchar_t* extension) {
    CString lower = drawingFilename;
    lower.MakeLower();
    if (lower.Right(4) == L".dwg" || lower.Right(4) == L".dxf")
        return drawingFilename.Left(drawingFilename.GetLength() - 4) + extension;
    return drawingFilename + extension;
}

// A drawing is a file: no name, or a name that is a folder, is no drawing.
bool drawingFileExists(const CString& folder, const CString& name) {
    CFileStatus status;
    return !name.IsEmpty() && CFile::GetStatus(folder + name, status) && !(status.m_attribute & CFile::directory);
}

bool fileWritten(const CString& path) {
    CFileStatus status;
    return CFile::GetStatus(path, status) && !(status.m_attribute & CFile::directory) && status.m_size > 0;
}

// Writes the failure to the error logs and lets it go.
void reportAndDelete(CEXKelmo* failure, int reportID) {
    kelmo_reports::reportToBatchLogs(failure, reportID);
}

// What the reader found wrong in the drawing's file, "; " between; empty when it read clean.
CString readerWarnings(CAcadDrawing* drawing) {
    CString text;
    const AcDbDatabase* database = drawing->getDatabase();
    if (database == nullptr) return text;
    for (const std::string& problem : database->fileProblems()) {
        if (!text.IsEmpty()) text += L"; ";
        text += CString(win::fromUtf8(problem).c_str());
    }
    return text;
}

// A register that is gone, or a claim another run took: no trying again and no fallback answers it, and
// it goes to the caller as it is.
bool goesToCaller(const CEXKelmo* failure) {
    return kelmo_reports::registerLost(failure) || kelmo_reports::claimTakenOver(failure);
}

// Why the failure happened, in the register's words and one line.
CString reasonOf(const CEXKelmo* failure) {
    return kelmo_reports::reasonInALine(kelmo_reports::rootCause(failure));
}

// Runs a register call again, a quarter and then half a second later, while the register refuses it (a
// row another session holds, an update past the statement timeout): either may pass a moment later. A
// register that is gone, or a claim another run took, is not waited for; the last refusal is the caller's.
template <typename Call>
auto triedAgain(Call call) -> decltype(call()) {
    const int tries = 3;
    for (int attempt = 1;; ++attempt) {
        try {
            return call();
        } catch (CEXKelmo* refused) {
            if (goesToCaller(refused) || attempt == tries) throw;
            refused->deleteException();
            Sleep(static_cast<DWORD>(250) << (attempt - 1));
        }
    }
}

// A claim made again on a new session after its answer was lost is known by the run's name as this
// run's.
CString runName() {
    static const CString run = [] {
        wchar_t machine[256] = {};
        DWORD size = 256;
        if (!GetComputerNameW(machine, &size)) machine[0] = L'\0';
        CString text;
        text.Format(L"%s:%lu:%s", machine, static_cast<unsigned long>(GetCurrentProcessId()),
                    static_cast<const wchar_t*>(COleDateTime::GetCurrentTime().Format(L"%Y%m%d%H%M%S")));
        return text;
    }();
    return run;
}

// Statuses a preparation records in the register; the plot's own results stand beside them.
enum {
    statusPlotted = 3, // the plot file was written, and the copy and the XML with it
    statusNoDrawing = 4,
    statusNoOutputFolder = 10,
    statusBadOutputName = 11,
    statusCopyFailed = 12,
    statusXMLRefused = 13,
    statusFailed = 14, // the preparation ended in an error: the error logs tell which
};

// Applying the report is the one step that belongs to the report road; the batch only calls it.
void applyReport(CGraphicReport& report, CAcadDrawing* drawing) {
    report.applyToDrawing(drawing);
}

// The categories whose hatch pattern the host does not know, as "the hatch pattern X of category Y is
// unknown"; empty when every pattern is known. Such a category's spaces would plot uncoloured.
CString unknownPatterns(const CGraphicReport& report) {
    CString unknown;
    CCategories* categories = report.getCategories();
    for (int i = 0; categories != nullptr && i < categories->getCount(); ++i) {
        const CCategory* category = categories->getAt(i);
        const CHatch* hatch = category->getHatch();
        if (hatch == nullptr || acdbFindHatchPattern(hatch->getPattern()) != nullptr) continue;
        if (!unknown.IsEmpty()) unknown += L"; ";
        unknown += L"the hatch pattern " + hatch->getPattern() + L" of category " +
                   kelmo_reports::shownTitle(category->getTitle()) + L" is unknown";
    }
    return unknown;
}

// Says that a file another report of the run wrote is left as it is.
void writtenBefore(const CGraphicReport& report, const CString& path, int writer) {
    acutPrintf(L"Graphic report %i: %s was written by graphic report %i - not written again\n", report.getID(),
               static_cast<const wchar_t*>(path), writer);
}

// Whether the target is the batch's own server preferences or an error log it writes, or the module's
// preferences on the run's C: drive; says so.
bool replacesBatchFile(const CGraphicReport& report, const CString& path) {
    bool own = CFileUtilities::sameFile(path, g_serverPreferences.getPath());
    for (int i = 0; !own && i < g_serverPreferences.getCount(); ++i) {
        const CString log = g_serverPreferences.getAt(i)->getAcadErrorLogFilePath();
        own = !log.IsEmpty() && CFileUtilities::sameFile(path, log);
    }
    if (own)
        acutPrintf(L"Graphic report %i: %s is the batch's server preferences or error log - not written over\n",
                   report.getID(), static_cast<const wchar_t*>(path));
    if (!own && CFileUtilities::sameFile(path, g_hostDirectory + L"\\kelmo\\prefs\\prefs.cfg")) {
        own = true;
        acutPrintf(L"Graphic report %i: %s is the module's preferences - not written over\n", report.getID(),
                   static_cast<const wchar_t*>(path));
    }
    return own;
}

// Whether the target would replace a drawing of the run or of the register, a file the run has written,
// or the batch's own files; says which.
bool replacesRunFile(const CGraphicReport& report, const CString& path, const CGraphicReports* run) {
    if (replacesBatchFile(report, path)) return true;
    // A drawing a session holds open is as much in use as one of the run's own.
    if (const CString holder = CFileUtilities::drawingHolder(path); !holder.IsEmpty()) {
        acutPrintf(L"Graphic report %i: %s is a drawing open in another session (%s) - not written over\n",
                   report.getID(), static_cast<const wchar_t*>(path), static_cast<const wchar_t*>(holder));
        return true;
    }
    if (run == nullptr) return false;
    if (run->isDrawingOfRun(path)) {
        acutPrintf(L"Graphic report %i: %s is a drawing of this batch - not written over\n", report.getID(),
                   static_cast<const wchar_t*>(path));
        return true;
    }
    if (const int owner = run->drawingOfRegister(path); owner != 0) {
        acutPrintf(L"Graphic report %i: %s is the drawing of graphic report %i - not written over\n", report.getID(),
                   static_cast<const wchar_t*>(path), owner);
        return true;
    }
    const int writer = run->writtenBy(path);
    if (writer != 0) {
        writtenBefore(report, path, writer);
        return true;
    }
    // Of the reports in the register that name one file, the lowest-numbered writes it, whichever run
    // prepares it and whenever.
    const int owner = run->targetOwner(path);
    if (owner != 0 && owner != report.getID()) {
        acutPrintf(
            L"Graphic report %i: %s is graphic report %i's to write, the first in the register to name it - "
            L"not written\n",
            report.getID(), static_cast<const wchar_t*>(path), owner);
        return true;
    }
    return false;
}

bool namesDrawingFile(const CString& path) {
    CString lower = path;
    lower.MakeLower();
    return lower.Right(4) == L".dxf" || lower.Right(4) == L".dwg";
}

// A folder given with its drive or as a network path; anything else would depend on where the batch
// was started.
bool absoluteFolder(const CString& path) {
    return (path.GetLength() >= 3 && path[1] == L':' && path[2] == L'\\') || path.Left(2) == L"\\\\";
}

// The longest file name the file systems take, in bytes.
constexpr std::size_t longestFileName = 255;

// The plot's file name after the plot type's extension rule; empty when the name is refused: one that
// holds a folder or a drive, characters no file name may hold, nothing but dots before the extension,
// or one that the extension makes too long.
CString plotFileName(const CGraphicReport& report) {
    CString name = report.getOutputFilename();
    CFileUtilities files;
    if (name.IsEmpty() || name.FindOneOf(L"\\/:") >= 0 || !files.checkFilenameSyntax(name, FALSE)) return CString();
    CAcadUtilities utilities;
    utilities.checkPlotFileExtension(name, report.getPlotTypeID());
    CString stem = name.Left(name.GetLength() - utilities.plotExtension(report.getPlotTypeID()).GetLength());
    stem.Trim();
    stem.Trim(L'.');
    return stem.IsEmpty() || name.ToUtf8().size() > longestFileName ? CString() : name;
}

// Says why a copy or the XML is not written: the status that follows is 12 or 13.
void notWritten(const CGraphicReport& report, const CString& why) {
    acutPrintf(L"Graphic report %i: %s - not written\n", report.getID(), static_cast<const wchar_t*>(why));
}

// Where the copy of the drawing goes, by the kind of path the report gives; false with why when it
// names no file or folder.
bool copyTarget(const CGraphicReport& report, Target& target, CString& why) {
    CString copyTo = report.getSaveCopyTo();
    switch (CFileUtilities::getPathType(copyTo)) {
        case CFileUtilities::pathFileName:
            target = {report.getDrawingPath(), keptName(copyTo)};
            break;
        case CFileUtilities::pathFolder:
            target = {copyTo, report.getDrawingFilename()};
            break;
        case CFileUtilities::pathFile:
            target = split(copyTo);
            break;
        default:
            target = {};
            break;
    }
    if (target.name.IsEmpty())
        why = L"the copy target \"" + report.getSaveCopyTo() +
              L"\" names no file or folder with a drive or a network path";
    return !target.name.IsEmpty();
}

// Where the report's XML goes: beside the plot unless the report names a file, a folder or a folder
// and file; false with why when it names none of them.
bool xmlPath(const CGraphicReport& report, const CString& plotName, CString& target, CString& why) {
    CString xmlTo = report.getXMLOutputTo();
    target.Empty();
    if (xmlTo.IsEmpty()) {
        // Named as the plot is, to the letter: a name's leading blanks are part of it for both.
        CAcadUtilities utilities;
        const int extension = utilities.plotExtension(report.getPlotTypeID()).GetLength();
        if (!plotName.IsEmpty())
            target = report.getOutputPath() + plotName.Left(plotName.GetLength() - extension) + L".xml";
        return !target.IsEmpty();
    }
    switch (CFileUtilities::getPathType(xmlTo)) {
        case CFileUtilities::pathFileName:
            target = report.getOutputPath() + keptName(xmlTo);
            break;
        case CFileUtilities::pathFolder:
            target = xmlTo + drawingNameAs(report.getDrawingFilename(), L".xml");
            break;
        case CFileUtilities::pathFile: {
            const Target file = split(xmlTo);
            target = file.folder + file.name;
            break;
        }
        default:
            break;
    }
    // A name of nothing but blanks and dots names no file.
    if (target.IsEmpty() || target.Right(1) == L"\\") {
        target.Empty();
        why = L"the XML target \"" + report.getXMLOutputTo() +
              L"\" names no file or folder with a drive or a network path";
        return false;
    }
    return true;
}

// Saves the copy of the drawing the report asks for, put in place only once `beforePlacing` passed; the
// status the copy leaves, and where it went.
int saveCopy(CGraphicReport& report, CAcadDrawing* drawing, const Kept& kept, CGraphicReports* run,
             const CAcadDrawing::BeforePlacing& beforePlacing, CString& saved) {
    Target target;
    CString why;
    if (!copyTarget(report, target, why)) {
        notWritten(report, why);
        return statusCopyFailed;
    }
    const CString path = target.folder + target.name;
    if (!CFileUtilities::directoryExists(target.folder)) {
        notWritten(report, L"the copy's folder " + target.folder + L" does not exist");
        return statusCopyFailed;
    }
    if (replacesKept(path, kept)) {
        notWritten(report, L"the copy " + path + L" would replace the report's drawing or its plot");
        return statusCopyFailed;
    }
    if (replacesRunFile(report, path, run)) return statusCopyFailed;
    drawing->saveAs(target.folder, target.name, beforePlacing);
    saved = path;
    return statusPlotted;
}

// Where the report's XML goes; false when the target is refused (and a line says why): it would
// replace the drawing, the plot, the copy just saved, a drawing or an output of the run, or it names
// a drawing file.
bool xmlTarget(CGraphicReport& report, const CString& plotName, const Kept& kept, const CString& copy,
               CGraphicReports* run, CString& target) {
    CString why;
    if (!xmlPath(report, plotName, target, why)) {
        notWritten(report, why);
        return false;
    }
    CString xmlTo = report.getXMLOutputTo();
    if (!xmlTo.IsEmpty() && CFileUtilities::getPathType(xmlTo) == CFileUtilities::pathFolder &&
        !CFileUtilities::directoryExists(xmlTo)) {
        notWritten(report, L"the XML's folder " + xmlTo + L" does not exist");
        return false;
    }
    if (namesDrawingFile(target)) {
        notWritten(report, L"the XML " + target + L" names a drawing file");
        return false;
    }
    if (replacesKept(target, kept)) {
        notWritten(report, L"the XML " + target + L" would replace the report's drawing or its plot");
        return false;
    }
    if (!copy.IsEmpty() && CFileUtilities::sameFile(target, copy)) {
        notWritten(report, L"the XML " + target + L" would replace the report's copy");
        return false;
    }
    return !replacesRunFile(report, target, run);
}

// Writes the failure to the error logs, says why on the command line, and leaves the status to say
// what failed.
int failedStep(CGraphicReport& report, int status, const CString& what) {
    CEXUnhandled* failure = kelmo::wrapCurrent(kelmoSourceFile, L"CGraphicReport::prepareReport", kelmo::catchClassLib);
    // A claim lost to another run, or a register gone, ends the preparation, not just this step.
    if (goesToCaller(failure)) throw failure;
    CString reason = reasonOf(failure);
    notWritten(report, what + L" failed: " + reason);
    reportAndDelete(failure, report.getID());
    return status;
}

// Before an output is started, and again just before it is put in place: the run still holds the
// report's claim. A register session lost since the claim was made has been made again with the claim
// taken again, or the report raises CEXClaimTakenOver when another run took it meanwhile. The session's
// locks are asked first, which writes nothing; only a claim found gone is made again.
void stillClaimed(CGraphicReport& report, CStoredProcedure* procedure, int timeout) {
    if (triedAgain([&] { return report.claimHeld(procedure, timeout); })) return;
    if (!triedAgain([&] { return report.claimGraphicReport(procedure, timeout); }))
        throw new CEXClaimTakenOver(report.getID(), kelmoSourceFile, L"CGraphicReport::prepareReport");
}

// Whether the file at the XML target may be replaced: none there, or one that holds XML (an earlier
// XML output, say) and not a script or a document of someone else's.
bool replacesOnlyXML(const CString& path) {
    if (!CFileUtilities::fileExists(path)) return true;
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone)) return false;
    char head[256] = {};
    const UINT got = file.Read(head, sizeof head);
    file.Close();
    UINT at = got >= 3 && std::string_view(head, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    while (at < got && (head[at] == ' ' || head[at] == '\t' || head[at] == '\r' || head[at] == '\n')) ++at;
    return at < got && head[at] == '<';
}

// Writes the report's XML whole beside its target and puts it in place once the claim is found held;
// the status it leaves, with a line saying why when the target is not written.
int writeXML(CGraphicReport& report, const CString& target, CStoredProcedure* procedure, int timeout) {
    win::StagedFile staged(target);
    if (!staged.made()) {
        notWritten(report, L"the XML " + target + L" cannot be written: " + staged.why().c_str());
        return statusXMLRefused;
    }
    // Only now is the target known to be a file, not a pipe whose reading would wait.
    if (!replacesOnlyXML(target)) {
        notWritten(report, L"the XML " + target + L" would replace a file that holds no XML");
        return statusXMLRefused;
    }
    try {
        report.serialize(staged.path().c_str());
        staged.holdWritten();
    } catch (...) {
        return failedStep(report, statusXMLRefused, L"writing the XML " + target);
    }
    stillClaimed(report, procedure, timeout);
    if (!staged.place()) {
        notWritten(report, L"the XML " + target + L" cannot be written: " + staged.why().c_str());
        return statusXMLRefused;
    }
    return statusPlotted;
}

// Applies, plots, copies and writes the XML on the open, locked drawing; the status it ends with, and
// why the plot wrote nothing when it did not.
int prepareOpenDrawing(CGraphicReport& report, CStoredProcedure* procedure, int timeout, CAcadDrawing* drawing,
                       CGraphicReports* run, CString& why) {
    applyReport(report, drawing);
    // Each output goes in place only while the claim holds: never over one another run placed.
    const auto placeWhileClaimed = [&] { stillClaimed(report, procedure, timeout); };

    int status = statusPlotted;
    const CString plotName = plotFileName(report);
    const CString plotPath = report.getOutputPath() + plotName;
    if (!absoluteFolder(report.getOutputPath()) || !CFileUtilities::directoryExists(report.getOutputPath())) {
        status = statusNoOutputFolder;
    } else if (plotName.IsEmpty()) {
        status = statusBadOutputName;
    } else if (CFileUtilities::sameFile(plotPath, drawing->getDrawingPath() + drawing->getDrawingFilename())) {
        acutPrintf(L"Graphic report %i: %s is its drawing - not written over\n", report.getID(),
                   static_cast<const wchar_t*>(plotPath));
        status = statusBadOutputName;
    } else if (replacesRunFile(report, plotPath, run)) {
        status = statusBadOutputName;
    } else {
        stillClaimed(report, procedure, timeout);
        const CString noted = report.getPlotLayout();
        CString layout = noted;
        status = drawing->plot(layout, report.getOutputPath(), plotName, report.getPlotTypeID(),
                               report.getPlotOptionID(), report.getPlotCentred(), report.getPlotScaleTypeID(),
                               report.getPlotAreaTypeID(), report.getPlotMediaSizeID(), 1, placeWhileClaimed);
        // Written means a file with something in it, whatever the plot said.
        if (status == statusPlotted && !fileWritten(plotPath)) status = CAcadDrawing::plotFailed;
        if (status == statusPlotted && run != nullptr) run->noteWritten(plotPath, report.getID());
        if (status != statusPlotted) {
            why = drawing->getPlotFailure();
            if (why.IsEmpty()) why = L"nothing was written to " + plotPath;
            CString failed;
            failed.Format(L"Graphic report %i: the plot %s was not written: %s", report.getID(),
                          static_cast<const wchar_t*>(plotPath), static_cast<const wchar_t*>(why));
            reportAndDelete(
                new CEXCustom(failed, KELMO_BANNER, kelmoSourceFile, L"CGraphicReport::prepareReport", 0, nullptr),
                report.getID());
        }
        if (layout != noted) {
            report.setPlotLayout(layout);
            report.recordLayout(procedure, timeout, layout);
        }
    }
    const Kept kept{drawing->getDrawingPath() + drawing->getDrawingFilename(), plotPath};

    CString copy;
    if (status == statusPlotted && !report.getSaveCopyTo().IsEmpty()) {
        try {
            status = saveCopy(report, drawing, kept, run, placeWhileClaimed, copy);
            if (status == statusPlotted && run != nullptr) run->noteWritten(copy, report.getID());
        } catch (...) {
            status = failedStep(report, statusCopyFailed, L"the copy of the drawing");
        }
    }

    if (status == statusPlotted) {
        CString target;
        if (!xmlTarget(report, plotName, kept, copy, run, target)) {
            status = statusXMLRefused;
        } else {
            try {
                if ((status = writeXML(report, target, procedure, timeout)) != statusPlotted) return status;
                if (run != nullptr) run->noteWritten(target, report.getID());
                if (CXMLUtilities::holdsNonXMLCharacters(report.getTitle()))
                    acutPrintf(L"Graphic report %i: the title holds characters XML cannot hold - written as U+FFFD\n",
                               report.getID());
            } catch (...) {
                status = failedStep(report, statusXMLRefused, L"writing the XML");
            }
        }
    }
    return status;
}

} // namespace

void CGraphicReport::getGraphicReport(CStoredProcedure* procedure, CServerPreferenceOstrel* serverPreferences, int id,
                                      int timeout) {
    const wchar_t* method = L"CGraphicReport::getGraphicReport";
    KELMO_TRY
        m_id = id;
        {
            kelmo_model::RegisterCall call(procedure);
            call.addInt(L"@graphicReportID", 1, id);
            call.prepare(L"__gr_getGraphicReport", timeout);
            kelmo_model::RegisterRows rows(procedure->execSPReturnParas());
            if (rows.empty()) return;
            readRecord(rows, serverPreferences);
            rows.close();
        }
        const int listTimeout = serverPreferences ? serverPreferences->getDbTimeout() : timeout;

        using kelmo_reports::keepLoaded;
        using kelmo_reports::loadedList;
        keepLoaded(m_categories, loadedList<CCategories>([&](CCategories* list) {
                       list->getReportCategories(procedure, id, listTimeout);
                   }));
        keepLoaded(m_layersOn, loadedList<CLayers>(
                                   [&](CLayers* list) { list->getGraphicReportLayersOn(procedure, id, listTimeout); }));
        keepLoaded(m_linkLines, loadedList<CLinkLines>([&](CLinkLines* list) {
                       list->getGraphicReportLinkLines(procedure, id, listTimeout);
                   }));
    KELMO_REGISTER_CATCH(procedure, method)
}

void CGraphicReport::readRecord(kelmo_model::RegisterRows& rows, CServerPreferenceOstrel* serverPreferences) {
    CAcadUtilities utilities;
    if (!rows.isNull(L"grTitle")) m_title = rows.text(L"grTitle");
    if (!rows.isNull(L"grDrawingPath")) setDrawingPath(kelmo_reports::backslashed(rows.text(L"grDrawingPath")));
    if (!rows.isNull(L"grDrawingFilename")) setDrawingFilename(rows.text(L"grDrawingFilename"));
    if (!rows.isNull(L"grPlotLayout")) m_plotLayout = rows.text(L"grPlotLayout");
    // The register's plot settings are its own identifiers, each converted to the host's; a NULL one
    // leaves the setting as it was.
    const auto stored = [&rows](const wchar_t* column, int& id) {
        if (rows.isNull(column)) return false;
        rows.readInt(column, id);
        return true;
    };
    // One the host has no setting for is named: a plot type would plot to a device that writes no file
    // here, the others would plot with the host's first setting in its place.
    m_plotSettingsUnknown.Empty();
    m_plotTypeUnknown = false;
    const auto unknown = [this](const wchar_t* what, int value) {
        CString named;
        named.Format(L"the %s %i in the register is none the plot knows", what, value);
        m_plotSettingsUnknown += (m_plotSettingsUnknown.IsEmpty() ? L"" : L"; ") + named;
    };
    int id = 0;
    if (stored(L"grPlotTypeID", id)) {
        m_plotTypeID = utilities.convertPlotDevice(id);
        if (m_plotTypeID != id) {
            unknown(L"plot type", id);
            m_plotTypeUnknown = true;
        }
    }
    if (stored(L"grPlotAreaTypeID", id)) {
        m_plotAreaTypeID = utilities.convertPlotArea(id);
        if (utilities.convertToAreaTypeID(m_plotAreaTypeID) != id) unknown(L"plot area", id);
    }
    if (stored(L"grPlotMediaSizeID", id)) {
        m_plotMediaSizeID = utilities.convertMediaSize(id);
        if (utilities.convertToMediaSizeID(static_cast<CAcadUtilities::MediaSize>(m_plotMediaSizeID)) != id)
            unknown(L"media size", id);
    }
    if (stored(L"grPlotScaleTypeID", id)) {
        m_plotScaleTypeID = utilities.convertScale(id);
        if (utilities.convertToScaleTypeID(m_plotScaleTypeID) != id) unknown(L"plot scale", id);
    }
    rows.readInt(L"grPlotCentred", m_plotCentred);
    // No output folder of its own: the server's graphic-report folder.
    CString outputPath = rows.text(L"grOutputPath");
    if (outputPath.IsEmpty() && serverPreferences) outputPath = serverPreferences->getGraphRepOutPath();
    setOutputPath(kelmo_reports::backslashed(outputPath));
    if (!rows.isNull(L"grOutputFilename")) setOutputFilename(rows.text(L"grOutputFilename"));
    if (!rows.isNull(L"grSaveCopyTo")) setSaveCopyTo(rows.text(L"grSaveCopyTo"));
    // Kept as given: it may name a file, which the folder cleaning would spoil.
    if (!rows.isNull(L"grXMLOutputTo")) m_XMLOutputTo = rows.text(L"grXMLOutputTo");
    rows.readDouble(L"grTotalChildAreas", m_totalChildAreas);
}

void CGraphicReport::getTargets(CString& plot, CString& copy, CString& xml) const {
    plot.Empty();
    copy.Empty();
    xml.Empty();
    const CString plotName = plotFileName(*this);
    CString why;
    if (!plotName.IsEmpty() && absoluteFolder(m_outputPath)) {
        plot = m_outputPath + plotName;
        xmlPath(*this, plotName, xml, why);
    } else if (!m_XMLOutputTo.IsEmpty()) {
        xmlPath(*this, CString(), xml, why);
    }
    Target target;
    if (!m_saveCopyTo.IsEmpty() && copyTarget(*this, target, why)) copy = target.folder + target.name;
    // Only a path with its drive or network path names one file wherever the batch runs.
    if (!absoluteFolder(copy)) copy.Empty();
    if (!absoluteFolder(xml)) xml.Empty();
}

CString CGraphicReport::batchRun() {
    return runName();
}

bool CGraphicReport::preparationEnded(int status) {
    switch (status) {
        case statusPlotted:
        case statusNoDrawing:
        case CAcadDrawing::plotNoFolder:
        case CAcadDrawing::plotFailed:
        case statusNoOutputFolder:
        case statusBadOutputName:
        case statusCopyFailed:
        case statusXMLRefused:
        case statusFailed:
            return true;
        default:
            return false;
    }
}

void CGraphicReport::setGraphicReportStatus(CStoredProcedure* procedure, int timeout, int status) {
    const wchar_t* method = L"CGraphicReport::setGraphicReportStatus";
    KELMO_TRY
        kelmo_model::RegisterCall call(procedure);
        call.addInt(L"@graphicReportID", 1, m_id);
        call.addInt(L"@statusID", 1, status);
        call.prepare(L"__gr_setGraphicReportStatus", timeout);
        procedure->execSPNoReturnParas();
    KELMO_REGISTER_CATCH(procedure, method)
}

void CGraphicReport::noteRefusal(CStoredProcedure* procedure, const CEXKelmo* refused) {
    if (!m_lastingRefusal.IsEmpty() || !kelmo_reports::registerFault(procedure)) return;
    m_lastingRefusal = CString(static_cast<const wchar_t*>(procedure->getName())) + L": " + reasonOf(refused);
}

void CGraphicReport::recordStatus(CStoredProcedure* procedure, int timeout, int status, const CString& why) {
    try {
        triedAgain([&] { setGraphicReportStatus(procedure, timeout, status); });
        m_unrecordedStatus = 0;
    } catch (CEXKelmo* refused) {
        if (goesToCaller(refused)) throw;
        noteRefusal(procedure, refused);
        m_unrecordedStatus = status;
        CString what;
        what.Format(L"Graphic report %i: status %i could not be recorded in the register", m_id, status);
        acutPrintf(L"%s: %s\n", static_cast<const wchar_t*>(what), static_cast<const wchar_t*>(reasonOf(refused)));
        throw new CEXCustom(what, KELMO_BANNER, kelmoSourceFile, L"CGraphicReport::recordStatus", 0, refused);
    }
    if (why.IsEmpty())
        acutPrintf(L"Graphic report %i: status %i\n", m_id, status);
    else
        acutPrintf(L"Graphic report %i: status %i - %s\n", m_id, status, static_cast<const wchar_t*>(why));
}

void CGraphicReport::setGraphicReportLayout(CStoredProcedure* procedure, int timeout, CString layout) {
    const wchar_t* method = L"CGraphicReport::setGraphicReportLayout";
    KELMO_TRY
        kelmo_model::RegisterCall call(procedure);
        call.addInt(L"@graphicReportID", 1, m_id);
        call.addVarChar(L"@layout", 255, layout);
        call.prepare(L"__gr_setGraphicReportLayout", timeout);
        procedure->execSPNoReturnParas();
    KELMO_REGISTER_CATCH(procedure, method)
}

void CGraphicReport::recordLayout(CStoredProcedure* procedure, int timeout, const CString& layout) {
    try {
        triedAgain([&] { setGraphicReportLayout(procedure, timeout, layout); });
    } catch (CEXKelmo* refused) {
        if (goesToCaller(refused)) throw;
        noteRefusal(procedure, refused);
        m_layoutUnrecorded = true;
        CString what;
        what.Format(L"Graphic report %i: the plotted layout %s could not be recorded in the register", m_id,
                    static_cast<const wchar_t*>(layout));
        acutPrintf(L"%s: %s\n", static_cast<const wchar_t*>(what), static_cast<const wchar_t*>(reasonOf(refused)));
        reportAndDelete(new CEXCustom(what, KELMO_BANNER, kelmoSourceFile, L"CGraphicReport::recordLayout", 0, refused),
                        m_id);
    }
}

bool CGraphicReport::claimGraphicReport(CStoredProcedure* procedure, int timeout) {
    const wchar_t* method = L"CGraphicReport::claimGraphicReport";
    KELMO_TRY
        kelmo_model::RegisterCall call(procedure);
        call.addInt(L"@graphicReportID", 1, m_id);
        call.addInt(L"@statusID", 1, m_listedStatus);
        call.addOutputBoolean(L"@claimed");
        call.addOutputBoolean(L"@takenOver");
        call.addVarChar(L"@runID", 255, runName());
        call.prepare(L"__gr_claimGraphicReport", timeout);
        procedure->execSPNoReturnParasReturn();
        if (call.outputInt(L"@takenOver") != 0)
            acutPrintf(L"Graphic report %i was left at 2 by a batch run that is gone - taken over\n", m_id);
        return call.outputInt(L"@claimed") != 0;
    KELMO_REGISTER_CATCH(procedure, method)
}

bool CGraphicReport::claimHeld(CStoredProcedure* procedure, int timeout) {
    const wchar_t* method = L"CGraphicReport::claimHeld";
    KELMO_TRY
        kelmo_model::RegisterCall call(procedure);
        call.addInt(L"@graphicReportID", 1, m_id);
        call.prepare(L"gr_claim_held", timeout);
        kelmo_model::RegisterRows rows(procedure->execSPReturnParas());
        int held = 0;
        if (!rows.empty()) rows.readInt(L"gr_claim_held", held);
        return held != 0;
    KELMO_REGISTER_CATCH(procedure, method)
}

bool CGraphicReport::claimForRun(CStoredProcedure* procedure, int timeout) {
    // A claim refused changed nothing, so it may run again.
    try {
        return triedAgain([&] { return claimGraphicReport(procedure, timeout); });
    } catch (CEXKelmo* refused) {
        if (kelmo_reports::registerLost(refused)) throw;
        noteRefusal(procedure, refused);
        m_claimRefused = true;
        CString what;
        what.Format(L"Graphic report %i could not be claimed in the register", m_id);
        acutPrintf(L"%s: %s - skipped\n", static_cast<const wchar_t*>(what),
                   static_cast<const wchar_t*>(reasonOf(refused)));
        throw new CEXCustom(what, KELMO_BANNER, kelmoSourceFile, L"CGraphicReport::claimForRun", 0, refused);
    }
}

void CGraphicReport::prepareReport(CStoredProcedure* procedure, int timeout) {
    prepareReport(procedure, timeout, nullptr);
}

void CGraphicReport::prepareReport(CStoredProcedure* procedure, int timeout, CGraphicReports* run) {
    const wchar_t* method = L"CGraphicReport::prepareReport";
    bool claimed = false;
    std::optional<kelmo_reports::ClaimHold> hold; // while the report is this run's
    CAcadDrawing* drawing = nullptr;
    try {
        try {
            if (!claimForRun(procedure, timeout)) {
                acutPrintf(L"Graphic report %i is taken by another batch run - skipped\n", m_id);
                return;
            }
            claimed = true;
            hold.emplace(*this, procedure, timeout);
            if (!drawingFileExists(m_drawingPath, m_drawingFilename)) {
                recordStatus(procedure, timeout, statusNoDrawing);
                return;
            }
            // Nothing is opened or written: the error logs and the status say why.
            const auto notPrepared = [&](const CString& why) {
                CString refused;
                refused.Format(L"Graphic report %i (drawing %s) was not prepared: %s", m_id,
                               static_cast<const wchar_t*>(m_drawingPath + m_drawingFilename),
                               static_cast<const wchar_t*>(why));
                reportAndDelete(new CEXCustom(refused, KELMO_BANNER, kelmoSourceFile, method, 0, nullptr), m_id);
                recordStatus(procedure, timeout, statusFailed, why);
            };
            if (m_plotTypeUnknown) {
                // No file could be plotted.
                notPrepared(m_plotSettingsUnknown);
                return;
            }
            if (!m_plotSettingsUnknown.IsEmpty())
                acutPrintf(L"Graphic report %i: %s - the first the plot knows is used\n", m_id,
                           static_cast<const wchar_t*>(m_plotSettingsUnknown));
            if (const CString unknown = unknownPatterns(*this); !unknown.IsEmpty()) {
                // Its spaces would plot uncoloured.
                notPrepared(unknown);
                return;
            }
            drawing = new CAcadDrawing(m_drawingPath, m_drawingFilename);
            const CString warnings = readerWarnings(drawing);
            if (!warnings.IsEmpty()) {
                CString read;
                read.Format(L"Graphic report %i: the drawing %s was read with warnings: %s", m_id,
                            static_cast<const wchar_t*>(m_drawingPath + m_drawingFilename),
                            static_cast<const wchar_t*>(warnings));
                reportAndDelete(new CEXCustom(read, KELMO_BANNER, kelmoSourceFile, method, 0, nullptr), m_id);
            }
            if (drawing->getDatabase() != nullptr && drawing->getDatabase()->fileCutShort()) {
                // A copy still in progress, or one broken off: only a part of the drawing could be read.
                recordStatus(procedure, timeout, statusFailed, L"the drawing is cut short: " + warnings);
            } else if (drawing->lock() != Acad::eOk) {
                // Nothing was done: the report must not stay "preparation started".
                recordStatus(procedure, timeout, statusFailed);
            } else {
                CString why;
                const int status = prepareOpenDrawing(*this, procedure, timeout, drawing, run, why);
                recordStatus(procedure, timeout, status, why);
                drawing->unlock(0);
            }
        } catch (Acad::ErrorStatus status) {
            throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, method, 0, m_drawingPath + m_drawingFilename,
                                   nullptr);
        }
    } catch (...) {
        // A claimed report records its failure, its drawing is unlocked and closed; then the failure
        // goes to the caller.
        CEXUnhandled* failure = kelmo::wrapCurrent(kelmoSourceFile, method, kelmo::catchClassLib);
        if (kelmo_reports::claimTakenOver(failure)) {
            // Nothing more is written for it, its status least of all: the other run prepares it.
            kelmo_reports::leaveToOtherRun(failure);
            delete drawing;
            return;
        }
        if (claimed && !kelmo_reports::registerLost(failure)) {
            try {
                recordStatus(procedure, timeout, statusFailed, reasonOf(failure));
            } catch (CEXKelmo* unrecorded) {
                reportAndDelete(unrecorded, m_id);
            }
        }
        delete drawing; // unlocks by force and closes the drawing unsaved
        throw failure;
    }
    delete drawing;
}
