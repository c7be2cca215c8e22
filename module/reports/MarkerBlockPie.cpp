#include "reports/MarkerBlockPie.h"

#include <cmath>

#include "core/Catch.h"
#include "core/Utilities.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadUtilities.h"

KELMO_SOURCE_FILE(L"MarkerBlockPie");

CMarkerBlockPie::CMarkerBlockPie() : m_centre(AcGePoint3d::kOrigin), m_radius(0.0) {}

CMarkerBlockPie::CMarkerBlockPie(AcDbBlockReference* reference, AcApDocument* document)
    : m_centre(AcGePoint3d::kOrigin), m_radius(0.0) {
    KELMO_TRY
        readMarkerReference(reference, document);
        if (definitionHolds(reference, L"AcDbCircle")) m_centre = positionInUcs(reference, document);
        takePreferenceUnits();
        ReadSettings read{L"pie chart marker", L"PIETEXTSIZE", CString(), L"PIEPRECISION", CString()};
        eachAttribute(reference, [this, &read](const CString& tag, const CString& value) {
            if (tag == L"PIETEXTSIZE") {
                read.textSize = value;
                setTextSize(numberIn(value));
            } else if (tag == L"PIEPRECISION") {
                read.precision = value;
                setPrecision(wholeNumberIn(value));
            } else if (tag == L"PIERADIUS") {
                m_radiusText = value;
                setRadius(numberIn(value));
            }
        });
        keepUsableSettings(read);
        if (!std::isfinite(m_radius) || m_radius < 0.0) m_radius = 0.0;
    KELMO_CATCH_ALSO(L"CMarkerBlockPie::CMarkerBlockPie", kelmo::catchClassLib)
}

void CMarkerBlockPie::setCentreFromCircle(const AcGeMatrix3d& matrix, const AcDbCircle* circle) {
    KELMO_TRY
        AcGePoint3d centre = circle->center();
        m_centre = CAcadUtilities().convertUCSToWCS(centre.transformBy(matrix));
    KELMO_CATCH(L"CMarkerBlockPie::setCentreFromCircle")
}

Acad::ErrorStatus CMarkerBlockPie::insertMarkerBlock(CAcadDrawing* drawing, AcDbCircle* outline, int /*units*/,
                                                     int precision, double textSize, double rotation) {
    KELMO_TRY
        const double radius = outline->radius();
        return insertAround(drawing, outline, outline->center(), rotation, L"KELMO_PIECHART_MARKER",
                            [&](AcDbObjectId* blockId, const AcDbObjectIdArray& ids, AcGePoint3d* basePoint) {
                                return createMarkerBlockDefinition(blockId, ids, basePoint, drawing, radius, precision,
                                                                   textSize, 0.0);
                            });
    KELMO_CATCH(L"CMarkerBlockPie::insertMarkerBlock")
}

Acad::ErrorStatus CMarkerBlockPie::createMarkerBlockDefinition(AcDbObjectId* blockId,
                                                               const AcDbObjectIdArray& entityIds,
                                                               AcGePoint3d* basePoint, CAcadDrawing* drawing,
                                                               double radius, int precision, double textSize,
                                                               double rotation) {
    const AttributeRow rows[5] = {
        {L"PIETITLE", L"", L"PIE BLOCK"},
        {L"PIETEXTSIZE", L"Enter pie text size", CUtilities::DoubleToCString(textSize, precision)},
        {L"PIEPRECISION", L"Enter precision", CUtilities::IntToCString(precision)},
        {L"PIERADIUS", L"Enter Radius", CUtilities::DoubleToCString(radius, precision)},
        {L"PIEXYOFFSETVALUE", L"Enter pie chart offset value", CUtilities::DoubleToCString(500.0, precision)},
    };
    return defineMarker(blockId, entityIds, *basePoint, drawing, L"MARKER-PIECHART", L"KELMO_PIECHART_MARKER", rows,
                        textSize, rotation);
}
