#include "reports/MarkerBlockPie.h"

#include "core/Catch.h"
#include "core/Utilities.h"

KELMO_SOURCE_FILE(L"MarkerBlockPie");

CMarkerBlockPie::CMarkerBlockPie() : m_centre(AcGePoint3d::kOrigin), m_radius(0.0) {}

CMarkerBlockPie::CMarkerBlockPie(AcDbBlockReference* reference, AcApDocument* document)
    : m_centre(AcGePoint3d::kOrigin), m_radius(0.0) {
    KELMO_TRY
        readMarkerReference(reference, document);
        if (definitionHolds(reference, L"AcDbCircle")) m_centre = positionInUcs(reference, document);
        eachAttribute(reference, [this](const CString& tag, const CString& value) {
            if (tag == L"PIETEXTSIZE")
                setTextSize(CUtilities::CStringToDouble(value));
            else if (tag == L"PIEPRECISION")
                setPrecision(CUtilities::CStringToInt(value));
            else if (tag == L"PIERADIUS")
                setRadius(CUtilities::CStringToDouble(value));
        });
    KELMO_CATCH_ALSO(L"CMarkerBlockPie::CMarkerBlockPie", kelmo::catchClassLib)
}
