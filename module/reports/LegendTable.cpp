#include "reports/LegendTable.h"

#include <algorithm>

#include "core/Catch.h"
#include "core/Globals.h"
#include "core/HostApplication.h"
#include "core/KelmoExceptions.h"
#include "core/Utilities.h"
#include "drawing/AcadDrawing.h"
#include "drawing/Layers.h"
#include "model/Hatch.h"
#include "model/ModelSupport.h"
#include "reports/Categories.h"
#include "reports/ChartAreas.h"
#include "reports/Category.h"
#include "reports/GraphicReport.h"
#include "reports/ReportSupport.h"

KELMO_SOURCE_FILE(L"LegendTable");

using kelmo_model::OpenedObject;

namespace {

using kelmo_model::drawingName;

[[noreturn]] void fail(Acad::ErrorStatus status, const wchar_t* method, int line, CAcadDrawing* drawing) {
    throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, method, line, drawingName(drawing), nullptr);
}

CString legendName(const CString& reportTitle) {
    return kelmo_reports::blockName(L"[KELMO_LEGEND]_" + reportTitle);
}

// A category's swatch is named from these titles; a second title cleaned to the same name takes "_2".
CString swatchTitles(const CString& reportTitle, CCategory* category) {
    return L"[KELMO_LEGEND_HATCH]_" + reportTitle + L"_" + category->getTitle();
}

} // namespace

CLegendTable::CLegendTable() : m_textSize(500.0), m_rotation(0.0), m_precision(2), m_unitsLabel(L"units") {}

CLegendTable::CLegendTable(CAcadDrawing* drawing, double textSize, int precision, CString unitsLabel, int ignoreEmpty,
                           CGraphicReport* report, double rotation, AcGePoint3d* position)
    : m_textSize(textSize), m_rotation(rotation), m_precision(precision), m_unitsLabel(unitsLabel) {
    const CString name = legendName(report->getTitle());
    AcDbObjectId blockId;
    if (position && g_hostApplication.isFullVersion())
        insertLegendBlock(&blockId, drawing, name, ignoreEmpty, report, position);
    else
        createLegendBlockDefinition(&blockId, drawing, name, ignoreEmpty, report);
}

AcDbObjectId CLegendTable::insertLegendBlock(AcDbObjectId* blockId, CAcadDrawing* drawing, CString name,
                                             int ignoreEmpty, CGraphicReport* report, AcGePoint3d* position) {
    AcDbDatabase* database = drawing->getDatabase();
    createLegendBlockDefinition(blockId, drawing, name, ignoreEmpty, report);
    AcGeMatrix3d ucs;
    acdbUcsMatrix(ucs, database);
    auto* reference = new AcDbBlockReference();
    reference->setDatabaseDefaults(database);
    reference->setBlockTableRecord(*blockId);
    reference->setPosition(*position);
    reference->setRotation(m_rotation);
    reference->setScaleFactors(AcGeScale3d(1.0));
    reference->transformBy(ucs);
    reference->setNormal(ucs * AcGeVector3d::kZAxis);
    AcDbObjectId referenceId;
    const Acad::ErrorStatus status = drawing->postToDrawing(referenceId, reference);
    if (status != Acad::eOk) fail(status, L"CLegendTable::insertLegendBlock", 0, drawing);
    return referenceId;
}

AcDbObjectId CLegendTable::createLegendBlockDefinition(AcDbObjectId* blockId, CAcadDrawing* drawing, CString name,
                                                       int ignoreEmpty, CGraphicReport* report) {
    KELMO_TRY
        AcDbDatabase* database = drawing->getDatabase();
        const AcGeVector3d normal = kelmo_reports::ucsNormal(database);
        Acad::ErrorStatus status = Acad::eOk;
        // Rebuilt in place: legends inserted earlier show the new table.
        AcDbBlockTableRecord* record = kelmo_reports::emptiedDefinition(database, name, status);
        if (!record) fail(status, L"CLegendTable::createLegendBlockDefinition", 230, drawing);
        OpenedObject openedRecord(record);
        *blockId = record->objectId();
        AcDbTable* table = createLegendTableEntity(report, drawing, normal, ignoreEmpty);
        kelmo_reports::appendOrThrow(record, table, drawing, kelmoSourceFile,
                                     L"CLegendTable::createLegendBlockDefinition", 250);
        return *blockId;
    KELMO_CATCH(L"CLegendTable::createLegendBlockDefinition")
}

AcDbTable* CLegendTable::createLegendTableEntity(CGraphicReport* report, CAcadDrawing* drawing, AcGeVector3d normal,
                                                 int ignoreEmpty) {
    auto* table = new AcDbTable();
    try {
        AcDbDatabase* database = drawing->getDatabase();
        AcDbDictionary* styles = nullptr;
        if (database->getTableStyleDictionary(styles, AcDb::kForRead) == Acad::eOk) {
            AcDbObjectId standard;
            if (styles->getAt(L"Standard", standard) == Acad::eOk) table->setTableStyle(standard);
            styles->close();
        }
        table->setSize(2, 3);
        table->mergeCells(0, 0, 0, 2);
        table->setPosition(AcGePoint3d::kOrigin);
        table->setNormal(normal);
        const CString areaHeader = L"Area " + m_unitsLabel;
        table->setTextString(0, 0, report->getTitle());
        table->setTextString(1, 0, L"Description");
        table->setTextString(1, 1, L"Hatch");
        table->setTextString(1, 2, areaHeader);
        int widths[3] = {CString(L"Description").GetLength() + 1, CString(L"Hatch").GetLength() + 1,
                         areaHeader.GetLength() + 1};
        const double rowHeight = 1.5 * m_textSize;
        m_swatchNames.clear();
        int row = 2;
        CCategories* categories = report->getCategories();
        for (int i = 0; categories && i < categories->getCount(); ++i) {
            CCategory* category = categories->getAt(i);
            double area = 0.0;
            calculateCategoryArea(category, &area);
            const CString areaText = CUtilities::DoubleToCString(area, m_precision);
            if (area == 0.0 && ignoreEmpty != 0) continue;
            table->insertRows(row, rowHeight);
            table->setTextString(row, 2, areaText);
            widths[2] = std::max(widths[2], areaText.GetLength() + 1);
            CString title = category->getTitle();
            title.Replace(L"\\", L"\\\\");
            table->setTextString(row, 0, title);
            widths[0] = std::max(widths[0], title.GetLength() + 1);
            AcDbObjectId swatch;
            createHatchPattern(&swatch, drawing, normal, report->getTitle(), category);
            if (!swatch.isNull()) {
                table->setCellType(row, 1, AcDb::kBlockCell);
                table->setBlockTableRecordId(row, 1, swatch, false);
            }
            ++row;
        }
        for (int column = 0; column < 3; ++column) table->setColumnWidth(column, widths[column] * m_textSize);
        table->setRowHeight(rowHeight);
        table->setTextHeight(m_textSize, AcDb::kDataRow);
        table->setTextHeight(m_textSize, AcDb::kTitleRow);
        table->setTextHeight(m_textSize, AcDb::kHeaderRow);
        table->setAlignment(AcDb::kMiddleCenter, AcDb::kDataRow);
        table->setAlignment(AcDb::kMiddleCenter, AcDb::kTitleRow);
        table->setAlignment(AcDb::kMiddleCenter, AcDb::kHeaderRow);
        return table;
    } catch (...) {
        delete table;
        kelmo::rethrowWrapped(kelmoSourceFile, L"CLegendTable::createLegendTableEntity");
    }
}

AcDbObjectId CLegendTable::createHatchPattern(AcDbObjectId* blockId, CAcadDrawing* drawing, AcGeVector3d normal,
                                              CString reportTitle, CCategory* category) {
    KELMO_TRY
        blockId->setNull();
        const CHatch* look = category->getHatch();
        if (!look) return *blockId;
        const CString titles = swatchTitles(reportTitle, category);
        CString name = kelmo_reports::blockName(titles);
        // Titles that clean to one name still get a swatch each.
        for (int n = 2; std::find(m_swatchNames.begin(), m_swatchNames.end(), name) != m_swatchNames.end(); ++n)
            name = kelmo_reports::blockName(titles + L"_" + CUtilities::IntToCString(n));
        AcDbDatabase* database = drawing->getDatabase();
        if (acdbSNValid(name) != Acad::eOk)
            throw new CEXCustom(L"Invalid Block Name - '" + name + L"' - from Graphic Report and Category Names",
                                KELMO_BANNER, kelmoSourceFile, L"CLegendTable::createHatchPattern", 0, nullptr);
        Acad::ErrorStatus status = Acad::eOk;
        AcDbBlockTableRecord* record = kelmo_reports::emptiedDefinition(database, name, status);
        if (!record) fail(status, L"CLegendTable::createHatchPattern", 120, drawing);
        OpenedObject openedRecord(record);
        m_swatchNames.push_back(name);
        *blockId = record->objectId();

        const double t = m_textSize;
        auto* rectangle = new AcDbPolyline(4);
        rectangle->addVertexAt(0, AcGePoint2d(0, 0));
        rectangle->addVertexAt(1, AcGePoint2d(0, 2 * t));
        rectangle->addVertexAt(2, AcGePoint2d(3 * t, 2 * t));
        rectangle->addVertexAt(3, AcGePoint2d(3 * t, 0));
        rectangle->addVertexAt(4, AcGePoint2d(0, 0));
        rectangle->setClosed(true);
        rectangle->setColor(look->getColour());
        CLayers layers;
        layers.ensureLayerExists(drawing, look->getLayer(), look->getColour());
        rectangle->setLayer(look->getLayer());
        AcDbObjectId rectangleId;
        rectangleId = kelmo_reports::appendOrThrow(record, rectangle, drawing, kelmoSourceFile,
                                                   L"CLegendTable::createHatchPattern", 160);

        AcDbHatch* hatch = kelmo_reports::hatchOf(look, rectangleId, normal, status);
        if (!hatch && status == Acad::eUnknownPattern) {
            // The category's spaces get no fill and say why: the swatch shows its outline only.
            acutPrintf(L"\t\terror(s) occurred whilst drawing the legend swatch of %s.\n",
                       static_cast<const wchar_t*>(kelmo_reports::shownTitle(category->getTitle())));
            CKelmoExceptions warnings;
            warnings.add(new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CLegendTable::createHatchPattern", 0,
                                          drawingName(drawing), nullptr));
            warnings.reportToCommandLine();
            return *blockId;
        }
        if (!hatch) fail(status, L"CLegendTable::createHatchPattern", 180, drawing);
        status = hatch->evaluateHatch(true);
        const wchar_t* mark = nullptr;
        if (status == Acad::eHatchTooDense)
            mark = L"<!";
        else if (status == Acad::eAmbiguousOutput)
            mark = L">!";
        else if (status != Acad::eOk) {
            delete hatch;
            fail(status, L"CLegendTable::createHatchPattern", 200, drawing);
        }
        if (!mark) {
            kelmo_reports::appendOrThrow(record, hatch, drawing, kelmoSourceFile, L"CLegendTable::createHatchPattern",
                                         210);
            return *blockId;
        }
        // A pattern that cannot be drawn at its scale is marked instead.
        delete hatch;
        auto* sign = new AcDbAttributeDefinition();
        sign->setPosition(AcGePoint3d::kOrigin);
        sign->setHeight(t);
        sign->setNormal(normal);
        sign->setHorizontalMode(AcDb::kTextLeft);
        sign->setVerticalMode(AcDb::kTextBase);
        sign->setTag(mark);
        sign->setPrompt(mark);
        sign->setTextString(mark);
        sign->setInvisible(false);
        sign->setVerifiable(false);
        sign->setPreset(false);
        sign->setConstant(true);
        sign->setFieldLength(25);
        kelmo_reports::appendOrThrow(record, sign, drawing, kelmoSourceFile, L"CLegendTable::createHatchPattern", 230);
        return *blockId;
    KELMO_CATCH(L"CLegendTable::createHatchPattern")
}

std::vector<CString> CLegendTable::definitionNames(CGraphicReport* report) {
    std::vector<CString> names{legendName(report->getTitle())};
    CCategories* categories = report->getCategories();
    const int count = categories ? categories->getCount() : 0;
    for (int i = 0; i < count; ++i) {
        const CString titles = swatchTitles(report->getTitle(), categories->getAt(i));
        names.push_back(kelmo_reports::blockName(titles));
        for (int n = 2; n <= count; ++n)
            names.push_back(kelmo_reports::blockName(titles + L"_" + CUtilities::IntToCString(n)));
    }
    return names;
}

void CLegendTable::calculateCategoryArea(CCategory* category, double* area) {
    KELMO_TRY
        // In the units the area column's header names.
        *area = kelmo_reports::categoryArea(category, kelmo_reports::unitsNamed(m_unitsLabel));
    KELMO_CATCH(L"CLegendTable::calculateCategoryArea")
}
