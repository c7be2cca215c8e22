#include "reports/MarkerBlockLegend.h"

#include "core/Catch.h"
#include "core/Utilities.h"
#include "model/ModelSupport.h"

KELMO_SOURCE_FILE(L"MarkerBlockLegend");

CMarkerBlockLegend::CMarkerBlockLegend() : m_position(AcGePoint3d::kOrigin) {}

CMarkerBlockLegend::CMarkerBlockLegend(AcDbBlockReference* reference, AcApDocument* document)
    : m_position(AcGePoint3d::kOrigin) {
    KELMO_TRY
        readMarkerReference(reference, document);
        AcDbBlockTableRecord* definition = nullptr;
        if (acdbOpenObject(definition, reference->blockTableRecord(), AcDb::kForRead) == Acad::eOk) {
            kelmo_model::OpenedObject openedDefinition(definition);
            for (const AcDbObjectId& id : definition->entityIds()) {
                AcDbEntity* member = nullptr;
                if (acdbOpenAcDbEntity(member, id, AcDb::kForRead) != Acad::eOk) continue;
                bool found = !member->isErased() && CString(member->isA()->name()) == L"AcDbPolyline";
                member->close();
                if (!found) continue;
                m_position = positionInUcs(reference, document);

            }
        }
        for (const AcDbObjectId& id : reference->attributeIds()) {
            AcDbAttribute* attribute = nullptr;
            if (acdbOpenObject(attribute, id, AcDb::kForRead) != Acad::eOk) continue;
            CString tag = attribute->tagConst();
            tag.MakeUpper();
            CString value = attribute->textStringConst();
            attribute->close();
            if (tag == L"LEGENDTEXTSIZE") setTextSize(CUtilities::CStringToDouble(value));
            else if (tag == L"LEGENDPRECISION") setPrecision(CUtilities::CStringToInt(value));
            else if (tag == L"LEGENDUNITS") setUnits(CUtilities::CStringToInt(value));
        }
    KELMO_CATCH_ALSO(L"CMarkerBlockLegend::CMarkerBlockLegend", kelmo::catchClassLib)
}
