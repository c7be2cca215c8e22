#include "reports/MarkerBlockPie.h"

#include "core/Catch.h"
#include "core/Utilities.h"
#include "model/ModelSupport.h"

KELMO_SOURCE_FILE(L"MarkerBlockPie");

CMarkerBlockPie::CMarkerBlockPie() : m_centre(AcGePoint3d::kOrigin), m_radius(0.0) {}

CMarkerBlockPie::CMarkerBlockPie(AcDbBlockReference* reference, AcApDocument* document)
    : m_centre(AcGePoint3d::kOrigin), m_radius(0.0) {
    KELMO_TRY
        readMarkerReference(reference, document);
        AcDbBlockTableRecord* definition = nullptr;
        if (acdbOpenObject(definition, reference->blockTableRecord(), AcDb::kForRead) == Acad::eOk) {
            kelmo_model::OpenedObject openedDefinition(definition);
            for (const AcDbObjectId& id : definition->entityIds()) {
                AcDbEntity* member = nullptr;
                if (acdbOpenAcDbEntity(member, id, AcDb::kForRead) != Acad::eOk) continue;
                bool found = !member->isErased() && CString(member->isA()->name()) == L"AcDbCircle";
                member->close();
                if (!found) continue;
                m_centre = positionInUcs(reference, document);
                break;
            }
        }
        for (const AcDbObjectId& id : reference->attributeIds()) {
            AcDbAttribute* attribute = nullptr;
            if (acdbOpenObject(attribute, id, AcDb::kForRead) != Acad::eOk) continue;
            CString tag = attribute->tagConst();
            tag.MakeUpper();
            CString value = attribute->textStringConst();
            attribute->close();
            if (tag == L"PIETEXTSIZE") setTextSize(CUtilities::CStringToDouble(value));
            else if (tag == L"PIEPRECISION") setPrecision(CUtilities::CStringToInt(value));
            else if (tag == L"PIERADIUS") setRadius(CUtilities::CStringToDouble(value));
        }
    KELMO_CATCH_ALSO(L"CMarkerBlockPie::CMarkerBlockPie", kelmo::catchClassLib)
}
