#pragma once
// The legend marker: an insert of "MARKER-LEGEND" whose outline says where the legend table goes.
#include "reports/MarkerBlock.h"

class CMarkerBlockLegend : public CMarkerBlock {
public:
    CMarkerBlockLegend();
    // From an insert the caller holds open for read and closes afterwards.
    CMarkerBlockLegend(AcDbBlockReference* reference, AcApDocument* document);
    ~CMarkerBlockLegend() override = default;

    // In the current UCS.
    AcGePoint3d getPosition() const { return m_position; }
    void setPosition(AcGePoint3d position) { m_position = position; }

private:
    AcGePoint3d m_position;
};
