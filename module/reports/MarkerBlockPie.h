#pragma once
// The pie-chart marker: an insert of "MARKER-PIECHART" whose circle gives the chart's centre.
#include "reports/MarkerBlock.h"

class CMarkerBlockPie : public CMarkerBlock {
public:
    CMarkerBlockPie();
    // From an insert the caller holds open for read and closes afterwards.
    CMarkerBlockPie(AcDbBlockReference* reference, AcApDocument* document);
    ~CMarkerBlockPie() override = default;

    // Defines "MARKER-PIECHART" from the picked circle and inserts it at the circle's centre. The circle
    // comes open and already moved into the current UCS; it is closed here. The units are not used.
    Acad::ErrorStatus insertMarkerBlock(CAcadDrawing* drawing, AcDbCircle* outline, int units, int precision,
                                        double textSize, double rotation);
    Acad::ErrorStatus createMarkerBlockDefinition(AcDbObjectId* blockId, const AcDbObjectIdArray& entityIds,
                                                  AcGePoint3d* basePoint, CAcadDrawing* drawing, double radius,
                                                  int precision, double textSize, double rotation);

    // In the current UCS.
    AcGePoint3d getCentre() const { return m_centre; }
    void setCentre(AcGePoint3d centre) { m_centre = centre; }
    // The circle's centre carried by the matrix, then from the current UCS into the world system.
    void setCentreFromCircle(const AcGeMatrix3d& matrix, const AcDbCircle* circle);
    double getRadius() const { return m_radius; }
    void setRadius(double radius) { m_radius = radius; }
    // PIERADIUS as the insert holds it, for saying why no pie is drawn.
    const CString& getRadiusText() const { return m_radiusText; }

private:
    AcGePoint3d m_centre;
    double m_radius;
    CString m_radiusText;
};
