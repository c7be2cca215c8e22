#include "reports/PieChart.h"

#include <cmath>

#include "core/Catch.h"
#include "core/Globals.h"
#include "core/HostApplication.h"
#include "core/Utilities.h"
#include "drawing/AcadDrawing.h"
#include "model/ModelSupport.h"
#include "reports/Categories.h"
#include "reports/ChartAreas.h"
#include "reports/Category.h"
#include "reports/GraphicReport.h"
#include "reports/PieSegment.h"
#include "reports/PieSegments.h"
#include "reports/ReportSupport.h"

KELMO_SOURCE_FILE(L"PieChart");

using kelmo_model::HeldLock;
using kelmo_model::OpenedObject;

namespace {

using kelmo_model::drawingName;

// Areas summed from rounded values may pass the total by a hair; anything more is refused.
bool overTotal(double sum, double total) {
    return sum - total > 1e-6 * std::fabs(total);
}

// A constant text of the chart's own, centred and hanging from the point.
AcDbAttributeDefinition* chartText(const CString& tag, const CString& text, const AcGePoint3d& at, double height,
                                   const AcGeVector3d& normal) {
    auto* definition = new AcDbAttributeDefinition();
    definition->setColorIndex(256);
    definition->setPosition(at);
    definition->setHeight(height);
    definition->setNormal(normal);
    definition->setHorizontalMode(AcDb::kTextCenter);
    definition->setVerticalMode(AcDb::kTextTop);
    definition->setAlignmentPoint(at);
    definition->setTag(tag);
    definition->setTextString(text);
    definition->setFieldLength(25);
    definition->setInvisible(false);
    definition->setVerifiable(false);
    definition->setPreset(false);
    definition->setConstant(true);
    return definition;
}

// A step of rebuilding the definition that the host refused, as the source line it is reported at.
[[noreturn]] void refused(Acad::ErrorStatus status, int line, CAcadDrawing* drawing) {
    throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CPieChart::createPieChartBlockDefinition", line,
                           drawingName(drawing), nullptr);
}

// The chart's definition open for write: the drawing's own emptied, so that the inserts and legends
// that show it stay valid, or a new one added. A step the host refuses is thrown with its line.
AcDbBlockTableRecord* rebuiltDefinition(CAcadDrawing* drawing, const CString& name) {
    AcDbBlockTable* table = nullptr;
    Acad::ErrorStatus status = drawing->getDatabase()->getBlockTable(table, AcDb::kForRead);
    if (status != Acad::eOk) refused(status, 183, drawing);
    OpenedObject openedTable(table);
    AcDbBlockTableRecord* record = nullptr;
    if (table->has(name)) {
        status = table->getAt(name, record, AcDb::kForWrite);
        if (status != Acad::eOk) refused(status, 195, drawing);
        OpenedObject openedRecord(record);
        // Every old entity goes, or the new wedges would lie over those left.
        for (const AcDbObjectId& id : record->entityIds()) {
            AcDbEntity* entity = nullptr;
            status = acdbOpenAcDbEntity(entity, id, AcDb::kForWrite, true);
            if (status == Acad::eOk && !entity->isErased()) status = entity->erase();
            if (entity) entity->close();
            if (status != Acad::eOk) refused(status, 195, drawing);
        }
        return static_cast<AcDbBlockTableRecord*>(openedRecord.release());
    }
    status = table->upgradeOpen();
    if (status != Acad::eOk) refused(status, 220, drawing);
    record = new AcDbBlockTableRecord();
    status = record->setName(name);
    if (status == Acad::eOk) status = record->setOrigin(AcGePoint3d::kOrigin);
    AcDbObjectId id;
    if (status == Acad::eOk) status = table->add(id, record);
    if (status != Acad::eOk) {
        delete record;
        refused(status, 230, drawing);
    }
    return record;
}

} // namespace

CPieChart::CPieChart(CAcadDrawing* drawing, CGraphicReport* report, double radius, double xyOffset, double textSize,
                     int precision, CString unitsLabel, int ignoreEmptySegments, int showLabels, int showLabelLines,
                     double rotation, AcGePoint3d* centre)
    : m_segments(nullptr),
      m_totalArea(0.0),
      m_textSize(0.0),
      m_radius(0.0),
      m_xyOffset(0.0),
      m_rotation(rotation),
      m_precision(precision),
      m_ignoreEmptySegments(ignoreEmptySegments),
      m_showLabels(showLabels),
      m_showLabelLines(showLabelLines) {
    if (!report->getCategories()) return;
    if (!(report->getTotalChildAreas() > 0.0)) return;
    try {
        // The total and the wedges in the units the labels name.
        initialise(report->getTitle(), kelmo_reports::totalArea(report, kelmo_reports::unitsNamed(unitsLabel)), radius,
                   xyOffset, textSize, precision, unitsLabel, ignoreEmptySegments, showLabels, showLabelLines,
                   rotation);
        pieChartFromGraphicReport(report);
        if (centre && g_hostApplication.isFullVersion())
            insertPieChartBlock(drawing, centre);
        else
            createPieChartBlockDefinition(drawing);
    } catch (...) {
        // A chart that fails is never destroyed: what it made so far goes now.
        delete m_segments;
        m_segments = nullptr;
        throw;
    }
}

CPieChart::CPieChart(CString title, double totalArea, double radius, double xyOffset, double textSize, int precision,
                     CString unitsLabel, int ignoreEmptySegments, int showLabels, int showLabelLines, double rotation)
    : m_segments(nullptr),
      m_totalArea(0.0),
      m_textSize(0.0),
      m_radius(0.0),
      m_xyOffset(0.0),
      m_rotation(0.0),
      m_precision(precision),
      m_ignoreEmptySegments(ignoreEmptySegments),
      m_showLabels(showLabels),
      m_showLabelLines(showLabelLines) {
    initialise(title, totalArea, radius, xyOffset, textSize, precision, unitsLabel, ignoreEmptySegments, showLabels,
               showLabelLines, rotation);
}

CString CPieChart::definitionName(const CString& title) {
    return kelmo_reports::blockName(L"[KELMO_PIECHART]_" + title);
}

CPieChart::~CPieChart() {
    delete m_segments;
}

void CPieChart::initialise(CString title, double totalArea, double radius, double xyOffset, double textSize,
                           int precision, CString unitsLabel, int ignoreEmptySegments, int showLabels,
                           int showLabelLines, double rotation) {
    KELMO_TRY
        delete m_segments;
        m_segments = nullptr;
        m_segments = new CPieSegments();
        m_blockName = definitionName(title);
        m_title = title;
        m_totalArea = totalArea;
        m_radius = radius;
        m_xyOffset = xyOffset;
        m_textSize = textSize;
        m_precision = precision;
        m_unitsLabel = unitsLabel;
        m_ignoreEmptySegments = ignoreEmptySegments;
        m_showLabels = showLabels;
        m_showLabelLines = showLabelLines;
        m_rotation = rotation;
    KELMO_CATCH(L"CPieChart::initialise")
}

void CPieChart::pieChartFromGraphicReport(CGraphicReport* report) {
    KELMO_TRY
        CCategories* categories = report->getCategories();
        for (int i = 0; categories && i < categories->getCount(); ++i) {
            CCategory* category = categories->getAt(i);
            const double area = kelmo_reports::categoryArea(category, kelmo_reports::unitsNamed(m_unitsLabel));
            if (area == 0.0 && m_ignoreEmptySegments) continue;
            m_segments->add(
                new CPieSegment(category->getTitle(), category->getHatch(), area, m_precision, m_unitsLabel));
        }
    KELMO_CATCH(L"CPieChart::pieChartFromGraphicReport")
}

AcDbObjectId CPieChart::createPieChartBlockDefinition(CAcadDrawing* drawing) {
    KELMO_TRY
        m_definitionId.setNull();
        if (!m_segments || m_segments->getCount() == 0) return m_definitionId;
        if (overTotal(m_segments->getTotalArea(), m_totalArea))
            throw new CEXSegmentAreaOverTotal(KELMO_BANNER, kelmoSourceFile,
                                              L"CPieChart::createPieChartBlockDefinition", m_segments->getTotalArea(),
                                              m_totalArea);
        if (drawing->lock() != Acad::eOk) return m_definitionId;
        HeldLock held(drawing);
        AcDbDatabase* database = drawing->getDatabase();
        const AcGeVector3d normal = kelmo_reports::ucsNormal(database);
        // Rebuilt in place: charts inserted earlier show the new wedges.
        AcDbBlockTableRecord* definition = rebuiltDefinition(drawing, m_blockName);
        OpenedObject openedDefinition(definition);
        m_segments->addSegmentsToBlock(drawing, definition, m_ignoreEmptySegments, m_showLabels, m_showLabelLines,
                                       normal, m_radius, m_totalArea, m_xyOffset, m_textSize, m_precision);
        addTitleToPieChart(drawing, definition, normal, m_textSize, m_radius);
        addFooterToPieChart(drawing, definition, normal, m_textSize, m_radius);
        m_definitionId = definition->objectId();
        return m_definitionId;
    KELMO_CATCH(L"CPieChart::createPieChartBlockDefinition")
}

AcDbObjectId CPieChart::insertPieChartBlock(CAcadDrawing* drawing, AcGePoint3d* centre) {
    KELMO_TRY
        AcDbObjectId definitionId = createPieChartBlockDefinition(drawing);
        if (definitionId.isNull()) return definitionId;
        AcDbDatabase* database = drawing->getDatabase();
        AcGeMatrix3d ucs;
        acdbUcsMatrix(ucs, database);
        auto* reference = new AcDbBlockReference();
        reference->setDatabaseDefaults(database);
        reference->setBlockTableRecord(definitionId);
        reference->setPosition(*centre);
        reference->setRotation(m_rotation);
        reference->setScaleFactors(AcGeScale3d(1.0));
        reference->transformBy(ucs);
        reference->setNormal(ucs * AcGeVector3d::kZAxis);
        AcDbObjectId referenceId;
        const Acad::ErrorStatus status = drawing->postToDrawing(referenceId, reference);
        if (status != Acad::eOk)
            throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CPieChart::insertPieChartBlock", 0,
                                   drawingName(drawing), nullptr);
        return referenceId;
    KELMO_CATCH(L"CPieChart::insertPieChartBlock")
}

void CPieChart::addTitleToPieChart(CAcadDrawing* drawing, AcDbBlockTableRecord* definition, AcGeVector3d normal,
                                   double textSize, double radius) {
    KELMO_TRY
        AcDbAttributeDefinition* title =
            chartText(m_title, m_title, AcGePoint3d(0, 1.5 * radius + textSize, 0), textSize, normal);
        kelmo_reports::appendOrThrow(definition, title, drawing, kelmoSourceFile, L"CPieChart::addTitleToPieChart",
                                     378);
    KELMO_CATCH(L"CPieChart::addTitleToPieChart")
}

void CPieChart::addFooterToPieChart(CAcadDrawing* drawing, AcDbBlockTableRecord* definition, AcGeVector3d normal,
                                    double textSize, double radius) {
    KELMO_TRY
        const CString text = m_totalArea == 0.0
                                 ? CString(L"total unspecified or zero")
                                 : L"Total: " + CUtilities::DoubleToCString(m_totalArea, m_precision) + m_unitsLabel;
        AcDbAttributeDefinition* footer =
            chartText(m_title, text, AcGePoint3d(0, textSize - 1.5 * radius, 0), textSize, normal);
        kelmo_reports::appendOrThrow(definition, footer, drawing, kelmoSourceFile, L"CPieChart::addFooterToPieChart",
                                     460);
    KELMO_CATCH(L"CPieChart::addFooterToPieChart")
}
