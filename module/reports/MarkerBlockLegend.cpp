#include "reports/MarkerBlockLegend.h"

#include <cmath>

#include "core/Catch.h"
#include "core/Utilities.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadUtilities.h"

KELMO_SOURCE_FILE(L"MarkerBlockLegend");

CMarkerBlockLegend::CMarkerBlockLegend() : m_position(AcGePoint3d::kOrigin) {}

CMarkerBlockLegend::CMarkerBlockLegend(AcDbBlockReference* reference, AcApDocument* document)
    : m_position(AcGePoint3d::kOrigin) {
    KELMO_TRY
        readMarkerReference(reference, document);
        if (definitionHolds(reference, L"AcDbPolyline")) m_position = positionInUcs(reference, document);
        takePreferenceUnits();
        ReadSettings read{L"legend marker", L"LEGENDTEXTSIZE", CString(), L"LEGENDPRECISION", CString()};
        eachAttribute(reference, [this, &read](const CString& tag, const CString& value) {
            if (tag == L"LEGENDTEXTSIZE") {
                read.textSize = value;
                setTextSize(numberIn(value));
            } else if (tag == L"LEGENDPRECISION") {
                read.precision = value;
                setPrecision(wholeNumberIn(value));
            } else if (tag == L"LEGENDUNITS") {
                // Any whole number but 1 is metric; text that is none keeps the preferences' units.
                const double units = numberIn(value);
                if (units == std::floor(units))
                    setUnits(units == 1.0 ? 1 : 0);
                else
                    addFallback(
                        L"legend marker: LEGENDUNITS " + value +
                        (getUnits() == 1 ? L" is no units - feet are used.\n" : L" is no units - metres are used.\n"));
            }
        });
        keepUsableSettings(read);
    KELMO_CATCH_ALSO(L"CMarkerBlockLegend::CMarkerBlockLegend", kelmo::catchClassLib)
}

void CMarkerBlockLegend::setPositionFromPolyline(const AcGeMatrix3d& matrix, const AcDbPolyline* polyline) {
    KELMO_TRY
        m_position = CAcadUtilities().getPolylineTopLeft(polyline).transformBy(matrix);
    KELMO_CATCH(L"CMarkerBlockLegend::setPositionFromPolyline")
}

Acad::ErrorStatus CMarkerBlockLegend::insertMarkerBlock(CAcadDrawing* drawing, AcDbPolyline* outline, int units,
                                                        int precision, double textSize, double rotation) {
    KELMO_TRY
        const AcGePoint3d corner = CAcadUtilities().getPolylineTopLeft(outline);
        return insertAround(drawing, outline, corner, rotation, L"KELMO_LEGEND_MARKER",
                            [&](AcDbObjectId* blockId, const AcDbObjectIdArray& ids, AcGePoint3d* basePoint) {
                                return createMarkerBlockDefinition(blockId, ids, basePoint, drawing, units, precision,
                                                                   textSize, 0.0);
                            });
    KELMO_CATCH(L"CMarkerBlockLegend::insertMarkerBlock")
}

Acad::ErrorStatus CMarkerBlockLegend::createMarkerBlockDefinition(AcDbObjectId* blockId,
                                                                  const AcDbObjectIdArray& entityIds,
                                                                  AcGePoint3d* basePoint, CAcadDrawing* drawing,
                                                                  int units, int precision, double textSize,
                                                                  double rotation) {
    const AttributeRow rows[5] = {
        {L"LEGENDTITLE", L"", L"LEGEND BLOCK"},
        {L"LEGENDTEXTSIZE", L"Enter legend text size", CUtilities::DoubleToCString(textSize, precision)},
        {L"LEGENDPRECISION", L"Enter precision", CUtilities::IntToCString(precision)},
        {L"LEGENDROTATION", L"Enter Rotation", CUtilities::DoubleToCString(rotation, precision)},
        {L"LEGENDUNITS", L"Enter legend units", CUtilities::IntToCString(units)},
    };
    return defineMarker(blockId, entityIds, *basePoint, drawing, L"MARKER-LEGEND", L"KELMO_LEGEND_MARKER", rows,
                        textSize, rotation);
}
