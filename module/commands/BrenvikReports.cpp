// The graphic-report commands: placing the legend and pie-chart markers on a picked outline, and
// bringing a report file into a drawing. All of them wrap the current document (or the report's
// own drawing), give its lock back on every way out, and delete what they made.
#include "commands/BrenvikReports.h"

#include <cmath>
#include <memory>

#include "cad/app/ApDocument.h"
#include "commands/Brenvik.h"
#include "commands/CommandFrame.h"
#include "core/Catch.h"
#include "core/Failures.h"
#include "core/Globals.h"
#include "core/HostApplication.h"
#include "core/HostCalls.h"
#include "core/FileUtilities.h"
#include "core/Utilities.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadUtilities.h"
#include "model/Blocks.h"
#include "model/ModelSupport.h"
#include "reports/Categories.h"
#include "reports/Category.h"
#include "reports/GraphicReport.h"
#include "reports/LegendTable.h"
#include "reports/MarkerBlockLegend.h"
#include "reports/MarkerBlockPie.h"
#include "reports/PieChart.h"
#include "reports/ReportSupport.h"

KELMO_SOURCE_FILE(L"Brenvik");

namespace {

constexpr double radiansPerDegree = 0.017453292519943295;

// The typed values take what the preferences dialog and the Format page take: the decimals and text
// sizes a marker holds (0 to 9, above 0 up to 1000000), a rotation of up to a whole turn either way.
constexpr int precisionMax = CMarkerBlock::precisionMax;
constexpr double textSizeMax = CMarkerBlock::textSizeMax;
constexpr double rotationLimit = 360.0;

// Letter case counts: a definition named otherwise is not the marker's.
bool definitionExists(CAcadDrawing* drawing, const wchar_t* name) {
    return blockDefinitionExists(drawing, name) != 0;
}

AcGeMatrix3d ucsOf(CAcadDrawing* drawing) {
    AcGeMatrix3d ucs;
    acdbUcsMatrix(ucs, drawing->getDatabase());
    return ucs;
}

// Puts a picked outline back into world coordinates unless the marker took it: a failed marker
// must leave the drawing as it was.
class OutlineInUcs {
public:
    OutlineInUcs(AcDbObjectId id, const AcGeMatrix3d& ucs, AcDbObjectId modelSpace)
        : m_id(id), m_ucs(ucs), m_modelSpace(modelSpace) {}
    ~OutlineInUcs() {
        if (!m_armed) return;
        AcDbEntity* outline = nullptr;
        if (acdbOpenAcDbEntity(outline, m_id, AcDb::kForWrite) != Acad::eOk) return;
        if (outline->ownerId() == m_modelSpace) outline->transformBy(m_ucs);
        outline->close();
    }
    OutlineInUcs(const OutlineInUcs&) = delete;
    OutlineInUcs& operator=(const OutlineInUcs&) = delete;
    void keep() { m_armed = false; }

private:
    AcDbObjectId m_id;
    AcGeMatrix3d m_ucs;
    AcDbObjectId m_modelSpace;
    bool m_armed = true;
};

// The words that tell one marker command from the other.
struct MarkerKind {
    const wchar_t* title;
    const wchar_t* definition;
    const wchar_t* alreadyExists;
    const wchar_t* pickPrompt;
    const wchar_t* className;
    const wchar_t* entityWord;
    const wchar_t* lockedLayer;
    const wchar_t* otherFailure;
    const wchar_t* precisionPrompt;
    const wchar_t* textSizePrompt;
    const wchar_t* rotationPrompt;
};

const MarkerKind legendKind = {L"Create Legend Marker Block",
                               L"MARKER-LEGEND",
                               L"\n\nLegend Marker Block Already Exists\n",
                               L"\nPlease select a polyline:\n",
                               L"AcDbPolyline",
                               L"Polyline",
                               L"\nPolyline On Locked Layer - Legend Block Marker Creation Failed\n",
                               L"\nUnable to get Polyline - Error %s - Legend Block Marker Creation Failed\n",
                               L"enter legend precision",
                               L"enter legend text size",
                               L"specify legend rotation (in degrees)"};

const MarkerKind pieKind = {L"Create Pie Chart Marker Block",
                            L"MARKER-PIECHART",
                            L"\n\n Pie Chart Marker Block Already Exists\n",
                            L"\nPlease select a circle:\n",
                            L"AcDbCircle",
                            L"Circle",
                            L"\nCircle On Locked Layer - Pie Chart Marker Block Creation Failed\n",
                            L"\nUnable to get Circle - Error %s - Pie Chart Marker Block Creation Failed\n",
                            L"enter pie chart precision",
                            L"enter pie chart text size",
                            L"specify pie chart rotation (in degrees)"};

// The command: the title, the one-marker rule, the pick under the lock, then the create step.
void markerCommand(const MarkerKind& kind, void (*create)(CAcadDrawing*, AcDbObjectId)) {
    kelmo::CommandResources resources;
    if (!g_hostApplication.isFullVersion()) return;
    kelmo::printTitle(kind.title);
    std::unique_ptr<CAcadDrawing> drawing = kelmo::workingDrawing();
    if (definitionExists(drawing.get(), kind.definition)) {
        kelmo::sayFailed(kind.alreadyExists);
        return;
    }
    if (drawing->lock() != Acad::eOk) return;
    kelmo_model::HeldLock held(drawing.get());
    std::unique_ptr<CPreferences> preferences = kelmo::loadedPreferences();
    AcDbObjectId picked;
    if (CAcadUtilities().selectObjectId(picked, kind.pickPrompt, kind.className) != 0) return;
    if (!CAcadUtilities().liesInModelSpace(picked, kind.entityWord)) return;
    AcDbEntity* entity = nullptr;
    const Acad::ErrorStatus status = acdbOpenAcDbEntity(entity, picked, AcDb::kForWrite);
    if (status == Acad::eOnLockedLayer) {
        kelmo::sayFailed(kind.lockedLayer);
        return;
    }
    if (status != Acad::eOk) {
        CString line;
        line.Format(kind.otherFailure, static_cast<const wchar_t*>(CUtilities::IntToCString(status)));
        kelmo::sayFailed(line);
        return;
    }
    const AcDbPolyline* polyline = AcDbPolyline::cast(entity);
    const bool open = polyline && !polyline->isClosed();
    entity->close();
    if (open) {
        kelmo::sayFailed(L"\nInvalid Selection - Polyline is not closed\n\n");
        return;
    }
    create(drawing.get(), picked);
}

// The create step: the typed values, the outline moved into the UCS, and the marker inserted.
template <class Marker, class Outline>
void createMarker(const MarkerKind& kind, CAcadDrawing* drawing, AcDbObjectId outlineId) {
    std::unique_ptr<CPreferences> preferences = kelmo::loadedPreferences();
    CAcadUtilities utilities;
    const int shown = preferences->getPrecision();
    int precision = preferences->getPrecision();
    double textSize = preferences->getTextSize();
    double degrees = preferences->getTextRotation();
    if (!utilities.getInteger(kind.precisionPrompt, preferences->getPrecision(), 0, precisionMax, precision) ||
        !utilities.getDouble(kind.textSizePrompt, preferences->getTextSize(), shown, 0.0, textSizeMax, TRUE,
                             textSize) ||
        !utilities.getDouble(kind.rotationPrompt, preferences->getTextRotation(), shown, -rotationLimit, rotationLimit,
                             FALSE, degrees))
        return;
    const double rotation = degrees * radiansPerDegree;

    AcDbEntity* entity = nullptr;
    if (acdbOpenAcDbEntity(entity, outlineId, AcDb::kForWrite) != Acad::eOk) {
        kelmo::sayFailed(L"\nInvalid Selection\n\n");
        return;
    }
    const AcGeMatrix3d ucs = ucsOf(drawing);
    Outline* outline = Outline::cast(entity);
    if (!outline || CString(entity->isA()->name()) != kind.className) {
        entity->close();
        kelmo::sayFailed(L"\nInvalid Selection\n\n");
        return;
    }
    // A marker made meanwhile (the prompts let other work run) is refused before the outline moves.
    if (definitionExists(drawing, kind.definition)) {
        entity->close();
        kelmo::sayFailed(kind.alreadyExists);
        return;
    }
    OutlineInUcs restore(outlineId, ucs, drawing->getDatabase()->modelSpaceId());
    outline->transformBy(ucs.inverse());
    Marker marker;
    const Acad::ErrorStatus status =
        marker.insertMarkerBlock(drawing, outline, preferences->getUnits(), precision, textSize, rotation);
    if (status == Acad::eOk) {
        restore.keep();
        acutPrintf(L"Block Created Successfully\n");
    } else {
        kelmo::sayFailed(L"Block Creation Failed - Error Code " + CUtilities::IntToCString(status) + L"\n");
    }
}

// ---------------------------------------------------------------------------------------------------------
// Reports

constexpr unsigned everyKind = kelmo::catchClassLib | kelmo::catchStd;

// The report file the user picks, read; null when the dialog is cancelled.
std::unique_ptr<CGraphicReport> chosenReport() {
    const CString path = CFileUtilities::browseForFile(L"XML Graphic Reports (*.xml)|*.xml");
    if (path.IsEmpty()) return nullptr;
    auto report = std::make_unique<CGraphicReport>();
    report->deSerialize(path);
    const CStringArray& problems = report->getReadProblems();
    for (INT_PTR i = 0; i < problems.GetSize(); ++i)
        acutPrintf(L"graphic report %s: %s.\n", static_cast<const wchar_t*>(path),
                   static_cast<const wchar_t*>(problems[i]));
    return report;
}

// A report made for another drawing is applied to the current one as asked, and the planner hears so.
void sayOtherDrawing(CAcadDrawing* drawing, const CGraphicReport& report) {
    CString path = report.getDrawingPath();
    const CString name = report.getDrawingFilename();
    if (name.IsEmpty() && path.IsEmpty()) return;
    if (!path.IsEmpty() && path.Right(1) != L"\\") path += L"\\";
    const CString current = drawing->getDocument()->fileName();
    const CString folder = current.Left(current.ReverseFind(L'\\') + 1);
    bool same = false;
    if (name.IsEmpty())
        same = CFileUtilities::sameFile(path, folder);
    else if (path.IsEmpty())
        same = name.CompareNoCase(current.Mid(folder.GetLength())) == 0;
    else
        same = CFileUtilities::sameFile(path + name, current);
    if (!same)
        acutPrintf(L"the report names the drawing %s - it is applied to the current drawing %s.\n",
                   static_cast<const wchar_t*>(path + name), static_cast<const wchar_t*>(current));
}

// What the categories of a report held that they could not take, said where no category is applied.
void sayCategoryProblems(const CGraphicReport& report) {
    CCategories* categories = report.getCategories();
    for (int i = 0; categories && i < categories->getCount(); ++i)
        kelmo_reports::sayReadProblems(*categories->getAt(i), L"");
}

// The work under the lock: a module failure is shown and the command goes on to unlock.
template <class F>
void underLock(CAcadDrawing* drawing, F&& work) {
    if (drawing->lock() != Acad::eOk) return;
    kelmo_model::HeldLock held(drawing);
    try {
        work();
    } catch (CEXKelmo* failure) {
        failure->reportToMessageBox();
        failure->deleteException();
    }
}

// Applies the report, then defines the legend and pie chart that no marker will show.
void applyAndDefine(CAcadDrawing* drawing, CGraphicReport* report) {
    underLock(drawing, [&] {
        report->applyToDrawing(drawing);
        acutPrintf(L"graphic report successfully applied.\n");
        if (!g_hostApplication.isFullVersion()) {
            defineLegacyLegendAndPie(drawing, report, 1, 1);
            return;
        }
        CBlocks legends;
        legends.getLegendBlock_SS(drawing);
        CBlocks pies;
        pies.getPieBlock_SS(drawing);
        const int legend = legends.getCount() == 0 ? 1 : 0;
        const int pie = pies.getCount() == 0 ? 1 : 0;
        if (legend || pie) defineLegacyLegendAndPie(drawing, report, legend, pie);
    });
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// Markers

void createLegendMarkerBlock(CAcadDrawing* drawing, AcDbObjectId polylineId) {
    KELMO_TRY
        createMarker<CMarkerBlockLegend, AcDbPolyline>(legendKind, drawing, polylineId);
    KELMO_CATCH_REPORT(L"createLegendMarkerBlock", kelmo::catchClassLib)
}

void createPieMarkerBlock(CAcadDrawing* drawing, AcDbObjectId circleId) {
    KELMO_TRY
        createMarker<CMarkerBlockPie, AcDbCircle>(pieKind, drawing, circleId);
    KELMO_CATCH_REPORT(L"createPieMarkerBlock", kelmo::catchClassLib)
}

void legendMarkerBlockCreate() {
    KELMO_TRY
        markerCommand(legendKind, createLegendMarkerBlock);
        KELMO_COMMAND_CATCH_LINE(L"legendMarkerBlockCreate", L"\nUnhandled Error - Marker Block Creation Failed\n")
}

void pieMarkerBlockCreate() {
    KELMO_TRY
        markerCommand(pieKind, createPieMarkerBlock);
        KELMO_COMMAND_CATCH_LINE(L"pieMarkerBlockCreate", L"\nUnhandled Error - Marker Block Creation Failed\n")
}

// ---------------------------------------------------------------------------------------------------------
// Reports

void defineLegacyLegendAndPie(CAcadDrawing* drawing, CGraphicReport* report, int legend, int pie) {
    try {
        std::unique_ptr<CPreferences> preferences = kelmo::loadedPreferences();
        CAcadUtilities utilities;
        const int shown = preferences->getPrecision();
        double textSize = 0.0;
        if (!utilities.getDouble(L"specify text size", preferences->getTextSize(), shown, 0.0, textSizeMax, TRUE,
                                 textSize))
            return;
        double radius = 0.0;
        if (pie) utilities.getDouble(L"specify pie chart radius", textSize * 10.0, shown, radius);
        double degrees = 0.0;
        if (!utilities.getDouble(L"specify rotation (in degrees)", preferences->getTextRotation(), shown,
                                 -rotationLimit, rotationLimit, FALSE, degrees))
            return;
        BOOL ignoreEmpty = TRUE;
        utilities.getBoolean(L"ignore empty categories and pie chart segments?", TRUE, ignoreEmpty);
        CString units = preferences->getUnits() == 1 ? L"sq.ft." : L"sq.m.";
        utilities.getString(L"specify units", units, units);
        int precision = 0;
        if (!utilities.getInteger(L"specify precision", preferences->getPrecision(), 0, precisionMax, precision))
            return;
        const double rotation = degrees * radiansPerDegree;

        if (drawing->lock() != Acad::eOk) return;
        kelmo_model::HeldLock held(drawing);
        // A definition with a part on a locked layer cannot be built again without that part under it.
        const auto oldKept = [&](const wchar_t* what, const wchar_t* kind, const std::vector<CString>& rebuilt) {
            const CString kept = kelmo_reports::oldChartKept(drawing->getDatabase(), kind, rebuilt, nullptr);
            if (!kept.IsEmpty())
                kelmo::sayFailed(CString(what) + L" definition not created - the earlier " + what + L" " + kept +
                                 L".\n");
            return !kept.IsEmpty();
        };
        if (legend && !oldKept(L"legend", L"[KELMO_LEGEND]_", CLegendTable::definitionNames(report))) {
            CLegendTable table(drawing, textSize, precision, units, ignoreEmpty ? 1 : 0, report, rotation, nullptr);
            acutPrintf(L"legend definition successfully created.\n");
        }
        if (pie && (!(radius > 0.0) || !std::isfinite(radius))) {
            kelmo::sayFailed(L"pie chart definition not created - the radius must be above 0.\n");
        } else if (pie &&
                   !oldKept(L"pie chart", L"[KELMO_PIECHART]_", {CPieChart::definitionName(report->getTitle())})) {
            CPieChart chart(drawing, report, radius, 0.0, textSize, precision, units, ignoreEmpty ? 1 : 0, 1, 1,
                            rotation, nullptr);
            if (chart.isBuilt())
                acutPrintf(L"pie chart definition successfully created.\n");
            else
                acutPrintf(
                    L"pie chart definition not created - the report has no category areas or no total "
                    L"area.\n");
        }
    } catch (...) {
        kelmo::reportWrapped(kelmoSourceFile, L"defineLegacyLegendAndPie", everyKind);
    }
}

void graphicReport() {
    KELMO_TRY
        kelmo::CommandResources resources;
        std::unique_ptr<CPreferences> preferences = kelmo::loadedPreferences();
        std::unique_ptr<CGraphicReport> report = chosenReport();
        if (report) {
            // The report's own drawing, opened and left open, unsaved, after the command.
            auto drawing = std::make_unique<CAcadDrawing>(report->getDrawingPath(), report->getDrawingFilename());
            drawing->setLeaveOpen(1);
            if (!drawing->getOpenedHere())
                acutPrintf(L"%s is open already: the report is applied to it.\n",
                           static_cast<const wchar_t*>(drawing->getDocument()->fileName()));
            applyAndDefine(drawing.get(), report.get());
        }
    KELMO_CATCH_REPORT(L"graphicReport", everyKind)
    acutPrintf(L"\n");
}

void applyGraphicReport() {
    KELMO_TRY
        kelmo::CommandResources resources;
        std::unique_ptr<CPreferences> preferences = kelmo::loadedPreferences();
        std::unique_ptr<CGraphicReport> report = chosenReport();
        if (report) {
            std::unique_ptr<CAcadDrawing> drawing = kelmo::workingDrawing();
            sayOtherDrawing(drawing.get(), *report);
            applyAndDefine(drawing.get(), report.get());
        }
    KELMO_CATCH_REPORT(L"applyGraphicReport", everyKind)
    acutPrintf(L"\n");
}

void legendBlockDefine() {
    KELMO_TRY
        kelmo::CommandResources resources;
        kelmo::printTitle(L"Legend Block Define");
        std::unique_ptr<CPreferences> preferences = kelmo::loadedPreferences();
        std::unique_ptr<CGraphicReport> report = chosenReport();
        if (!report) return;
        sayCategoryProblems(*report);
        std::unique_ptr<CAcadDrawing> drawing = kelmo::workingDrawing();
        underLock(drawing.get(), [&] { defineLegacyLegendAndPie(drawing.get(), report.get(), 1, 0); });
    KELMO_CATCH_REPORT(L"legendBlockDefine", everyKind)
}

void pieBlockDefine() {
    KELMO_TRY
        kelmo::CommandResources resources;
        kelmo::printTitle(L"Pie Chart Block Define");
        std::unique_ptr<CPreferences> preferences = kelmo::loadedPreferences();
        std::unique_ptr<CGraphicReport> report = chosenReport();
        if (!report) return;
        sayCategoryProblems(*report);
        std::unique_ptr<CAcadDrawing> drawing = kelmo::workingDrawing();
        underLock(drawing.get(), [&] { defineLegacyLegendAndPie(drawing.get(), report.get(), 0, 1); });
    KELMO_CATCH_REPORT(L"pieBlockDefine", everyKind)
}
