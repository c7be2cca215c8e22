#pragma once
// The legend marker: an insert of "MARKER-LEGEND" whose outline says where the legend table goes.
#include "reports/MarkerBlock.h"

class CMarkerBlockLegend : public CMarkerBlock {
public:
    CMarkerBlockLegend();
    // From an insert the caller holds open for read and closes afterwards.
    CMarkerBlockLegend(AcDbBlockReference* reference, AcApDocument* document);
    ~CMarkerBlockLegend() override = default;

    // Defines "MARKER-LEGEND" from the picked closed polyline and inserts it. The outline comes open
    // and already moved into the current UCS; it is closed here. 0 when the marker stands in model space.
    Acad::ErrorStatus insertMarkerBlock(CAcadDrawing* drawing, AcDbPolyline* outline, int units, int precision,
                                        double textSize, double rotation);
    Acad::ErrorStatus createMarkerBlockDefinition(AcDbObjectId* blockId, const AcDbObjectIdArray& entityIds,
                                                  AcGePoint3d* basePoint, CAcadDrawing* drawing, int units,
                                                  int precision, double textSize, double rotation);

    // In the current UCS.
    AcGePoint3d getPosition() const { return m_position; }
    void setPosition(AcGePoint3d position) { m_position = position; }
    // The outline's top-left corner (smallest x, largest y of its vertices), then carried by the matrix.
    void setPositionFromPolyline(const AcGeMatrix3d& matrix, const AcDbPolyline* polyline);

private:
    AcGePoint3d m_position;
};
