#pragma once
// The pie-chart marker: an insert of "MARKER-PIECHART" whose circle gives the chart's centre.
#include "reports/MarkerBlock.h"

class CMarkerBlockPie : public CMarkerBlock {
public:
    CMarkerBlockPie();
    // From an insert the caller holds open for read and closes afterwards.
    CMarkerBlockPie(AcDbBlockReference* reference, AcApDocument* document);
    ~CMarkerBlockPie() override = default;

    // In the current UCS.
    AcGePoint3d getCentre() const { return m_centre; }
    void setCentre(AcGePoint3d centre) { m_centre = centre; }
    double getRadius() const { return m_radius; }
    void setRadius(double radius) { m_radius = radius; }

private:
    AcGePoint3d m_centre;
    double m_radius;
};
