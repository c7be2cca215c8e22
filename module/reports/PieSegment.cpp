#include "reports/PieSegment.h"

#include <cmath>

#include "core/Catch.h"
#include "core/Globals.h"
#include "core/KelmoExceptions.h"
#include "core/Utilities.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadUtilities.h"
#include "drawing/Layers.h"
#include "model/Hatch.h"
#include "model/ModelSupport.h"
#include "reports/ReportSupport.h"

KELMO_SOURCE_FILE(L"PieSegment");

namespace {

constexpr double kPi = 3.141592653589793;

using kelmo_model::drawingName;

// A point on the bisector at that distance from the centre; angles run clockwise from 12 o'clock.
AcGePoint3d onBisector(double angle, double distance) {
    return AcGePoint3d(distance * std::sin(angle), distance * std::cos(angle), 0);
}

// A chart that lost a wedge is not left half drawn: everything in its definition goes, and the
// definition too unless inserts still show it.
void eraseDefinition(AcDbBlockTableRecord* definition) {
    for (const AcDbObjectId& id : definition->entityIds()) {
        AcDbEntity* entity = nullptr;
        if (acdbOpenAcDbEntity(entity, id, AcDb::kForWrite) != Acad::eOk) continue;
        entity->erase();
        entity->close();
    }
    AcDbObjectIdArray inserts;
    definition->getBlockReferenceIds(inserts);
    if (inserts.isEmpty()) definition->erase();
}

} // namespace

CPieSegment::CPieSegment(CString title, CHatch* hatch, double area, int precision, CString unitsLabel)
    : m_title(title), m_hatch(hatch), m_area(area), m_precision(precision), m_unitsLabel(unitsLabel) {}

void CPieSegment::addSegmentToBlock(CAcadDrawing* drawing, AcDbBlockTableRecord* definition, int /*ignoreEmpty*/,
                                    int showLabels, int showLabelLines, AcGeVector3d normal, double radius,
                                    double xyOffset, double totalArea, double startArea, double textSize,
                                    int precision) {
    KELMO_TRY
        const double toRadians = kPi / 180.0;
        const double sweepDegrees = m_area / totalArea * 360.0;
        const double start = startArea / totalArea * 360.0 * toRadians;
        const double sweep = sweepDegrees * toRadians;
        // A share of the whole is drawn as the full circle, whatever rounding made of 2 pi.
        AcDbPolyline* wedge = createSegment(normal, radius, sweepDegrees == 360.0 ? 2 * kPi : sweep);
        wedge->transformBy(AcGeMatrix3d::rotation(-start, normal, AcGePoint3d::kOrigin));
        const double mid = start + sweep / 2;
        wedge->transformBy(AcGeMatrix3d::translation(onBisector(mid, xyOffset) - AcGePoint3d::kOrigin));
        if (m_hatch) {
            CLayers layers;
            layers.ensureLayerExists(drawing, m_hatch->getLayer(), m_hatch->getColour());
            wedge->setLayer(m_hatch->getLayer());
        }
        AcDbObjectId wedgeId;
        const Acad::ErrorStatus appended = definition->appendAcDbEntity(wedgeId, wedge);
        if (appended != Acad::eOk) {
            delete wedge;
            eraseDefinition(definition);
            throw new CEXUnhandled(appended, KELMO_BANNER, kelmoSourceFile, L"CPieSegment::addSegmentToBlock", 168,
                                   drawingName(drawing), nullptr);
        }
        wedge->close();
        CKelmoExceptions warnings;
        hatchSegment(drawing, definition, wedgeId, &warnings);
        if (warnings.getCount() > 0) {
            // Named, as the spaces are: a chart of many wedges would leave the planner guessing.
            acutPrintf(L"\t\terror(s) occurred whilst drawing the pie chart segment %s.\n",
                       static_cast<const wchar_t*>(kelmo_reports::shownTitle(m_title)));
            warnings.reportToCommandLine();
        }
        if (showLabels) {
            const double labelRadius = 1.25 * radius;
            if (showLabelLines) addSegmentLine(drawing, definition, normal, mid, labelRadius, xyOffset);
            addSegmentLabel(drawing, definition, normal, mid, radius, labelRadius, xyOffset, textSize, precision);
        }
    KELMO_CATCH(L"CPieSegment::addSegmentToBlock")
}

AcDbPolyline* CPieSegment::createSegment(AcGeVector3d normal, double radius, double sweep) {
    KELMO_TRY
        auto* wedge = new AcDbPolyline();
        wedge->setNormal(normal);
        if (sweep != 2 * kPi) {
            wedge->addVertexAt(0, AcGePoint2d(0, 0), 0);
            wedge->addVertexAt(1, AcGePoint2d(0, radius), -std::tan(sweep / 4));
            wedge->addVertexAt(2, AcGePoint2d(radius * std::sin(sweep), radius * std::cos(sweep)), 0);
            wedge->addVertexAt(3, AcGePoint2d(0, 0), 0);
        } else {
            // Two clockwise half circles.
            wedge->addVertexAt(0, AcGePoint2d(0, radius), -std::tan(kPi / 4));
            wedge->addVertexAt(1, AcGePoint2d(0, -radius), -std::tan(kPi / 4));
            wedge->addVertexAt(2, AcGePoint2d(0, radius), 0);
        }
        wedge->setClosed(true);
        if (m_hatch) wedge->setColor(m_hatch->getColour());
        return wedge;
    KELMO_CATCH(L"CPieSegment::createSegment")
}

void CPieSegment::hatchSegment(CAcadDrawing* drawing, AcDbBlockTableRecord* definition, AcDbObjectId wedgeId,
                               CKelmoExceptions* warnings) {
    KELMO_TRY
        if (!m_hatch) return;
        AcDbDatabase* database = drawing->getDatabase();
        Acad::ErrorStatus status = Acad::eOk;
        AcDbHatch* hatch = kelmo_reports::hatchOf(m_hatch, wedgeId, kelmo_reports::ucsNormal(database), status);
        if (!hatch && status == Acad::eUnknownPattern) {
            // No fill, as the category's spaces have none.
            warnings->add(new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CPieSegment::hatchSegment", 0,
                                           drawingName(drawing), nullptr));
            return;
        }
        if (!hatch) {
            warnings->add(new CEXHatchPolylineNotClosed(L"Segment", m_title, KELMO_BANNER, kelmoSourceFile,
                                                        L"CPieSegment::hatchSegment"));
            return;
        }
        status = hatch->evaluateHatch(true);
        const CString subject = L"piechart segment";
        if (status == Acad::eHatchTooDense)
            warnings->add(new CEXHatchTooDense(subject, m_hatch->getPattern(), m_hatch->getScale(), KELMO_BANNER,
                                               kelmoSourceFile, L"CPieSegment::hatchSegment"));
        else if (status == Acad::eAmbiguousOutput)
            warnings->add(new CEXHatchNotDenseEnough(subject, m_hatch->getPattern(), m_hatch->getScale(), KELMO_BANNER,
                                                     kelmoSourceFile, L"CPieSegment::hatchSegment"));
        else if (status != Acad::eOk)
            warnings->add(new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CPieSegment::hatchSegment", 362,
                                           drawingName(drawing), nullptr));
        status = definition->appendAcDbEntity(hatch);
        if (status != Acad::eOk) {
            delete hatch;
            warnings->add(new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CPieSegment::hatchSegment", 373,
                                           drawingName(drawing), nullptr));
            return;
        }
        CAcadUtilities().moveToBottom(hatch);
        hatch->close();
    KELMO_CATCH(L"CPieSegment::hatchSegment")
}

void CPieSegment::addSegmentLine(CAcadDrawing* drawing, AcDbBlockTableRecord* definition, AcGeVector3d /*normal*/,
                                 double midAngle, double labelRadius, double xyOffset) {
    KELMO_TRY
        auto* line = new AcDbLine(onBisector(midAngle, xyOffset), onBisector(midAngle, 0.95 * labelRadius + xyOffset));
        if (m_hatch) {
            line->setColor(m_hatch->getColour());
            line->setLayer(m_hatch->getLayer());
        }
        kelmo_reports::appendOrThrow(definition, line, drawing, kelmoSourceFile, L"CPieSegment::addSegmentLine", 421);
    KELMO_CATCH(L"CPieSegment::addSegmentLine")
}

void CPieSegment::addSegmentLabel(CAcadDrawing* drawing, AcDbBlockTableRecord* definition, AcGeVector3d normal,
                                  double midAngle, double radius, double labelRadius, double xyOffset, double textSize,
                                  int precision) {
    KELMO_TRY
        const AcGePoint3d at = onBisector(midAngle, labelRadius + xyOffset);
        auto* label = new AcDbAttributeDefinition();
        label->setColorIndex(256);
        label->setPosition(at);
        label->setHeight(textSize);
        label->setNormal(normal);
        // Labels right of the centre line read away from the pie, those left of it towards it.
        label->setHorizontalMode(at.x > 0 ? AcDb::kTextLeft : at.x == 0 ? AcDb::kTextCenter : AcDb::kTextRight);
        label->setVerticalMode(at.y > radius / 2    ? AcDb::kTextBottom
                               : at.y == radius / 2 ? AcDb::kTextVertMid
                                                    : AcDb::kTextTop);
        label->setAlignmentPoint(at);
        m_title = m_title + L" (" + CUtilities::DoubleToCString(m_area, precision) + L" " + m_unitsLabel + L")";
        label->setPrompt(m_title);
        label->setTextString(m_title);
        label->setTag(m_title);
        label->setInvisible(false);
        label->setVerifiable(false);
        label->setPreset(false);
        label->setConstant(true);
        label->setFieldLength(25);
        if (m_hatch) label->setLayer(m_hatch->getLayer());
        kelmo_reports::appendOrThrow(definition, label, drawing, kelmoSourceFile, L"CPieSegment::addSegmentLabel", 524);
    KELMO_CATCH(L"CPieSegment::addSegmentLabel")
}
