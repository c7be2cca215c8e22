#include "reports/MarkerBlockLegend.h"

#include "core/Catch.h"
#include "core/Utilities.h"

KELMO_SOURCE_FILE(L"MarkerBlockLegend");

CMarkerBlockLegend::CMarkerBlockLegend() : m_position(AcGePoint3d::kOrigin) {}

CMarkerBlockLegend::CMarkerBlockLegend(AcDbBlockReference* reference, AcApDocument* document)
    : m_position(AcGePoint3d::kOrigin) {
    KELMO_TRY
        readMarkerReference(reference, document);
        if (definitionHolds(reference, L"AcDbPolyline")) m_position = positionInUcs(reference, document);
        eachAttribute(reference, [this](const CString& tag, const CString& value) {
            if (tag == L"LEGENDTEXTSIZE")
                setTextSize(CUtilities::CStringToDouble(value));
            else if (tag == L"LEGENDPRECISION")
                setPrecision(CUtilities::CStringToInt(value));
            else if (tag == L"LEGENDUNITS")
                setUnits(CUtilities::CStringToInt(value));
        });
    KELMO_CATCH_ALSO(L"CMarkerBlockLegend::CMarkerBlockLegend", kelmo::catchClassLib)
}
