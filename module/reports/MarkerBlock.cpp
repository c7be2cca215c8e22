#include "reports/MarkerBlock.h"

#include <cmath>

#include "cad/app/ApDocument.h"
#include "model/ModelSupport.h"

namespace {

AcGeMatrix3d ucsOf(AcDbBlockReference* reference, AcApDocument* document) {
    AcGeMatrix3d ucs;
    acdbUcsMatrix(ucs, document ? document->database() : reference->database());
    return ucs;
}

} // namespace

// Values no insert has given yet: metric, two decimals, no text size, no rotation.
CMarkerBlock::CMarkerBlock() : m_units(0), m_precision(2), m_textSize(0.0), m_rotation(0.0) {}

void CMarkerBlock::readMarkerReference(AcDbBlockReference* reference, AcApDocument* document) {
    readReference(reference);
    // The rotation is read off the insert's x axis in the UCS: the insert itself is never moved.
    AcGeVector3d xAxis = reference->blockTransform() * AcGeVector3d::kXAxis;
    AcGeVector3d inUcs = ucsOf(reference, document).inverse() * xAxis;
    double angle = std::atan2(inUcs.y, inUcs.x);
    if (angle < 0) angle += 2 * 3.141592653589793;
    if (angle > 2 * 3.141592653589793 - 1e-12) angle = 0.0;
    m_rotation = angle;
}

AcGePoint3d CMarkerBlock::positionInUcs(AcDbBlockReference* reference, AcApDocument* document) {
    return ucsOf(reference, document).inverse() * reference->position();
}

bool CMarkerBlock::definitionHolds(AcDbBlockReference* reference, const CString& className) {
    AcDbBlockTableRecord* definition = nullptr;
    if (acdbOpenObject(definition, reference->blockTableRecord(), AcDb::kForRead) != Acad::eOk) return false;
    kelmo_model::OpenedObject openedDefinition(definition);
    for (const AcDbObjectId& id : definition->entityIds()) {
        AcDbEntity* member = nullptr;
        if (acdbOpenAcDbEntity(member, id, AcDb::kForRead) != Acad::eOk) continue;
        bool found = !member->isErased() && CString(member->isA()->name()) == className;
        member->close();
        if (found) return true;
    }
    return false;
}

void CMarkerBlock::eachAttribute(AcDbBlockReference* reference,
                                 const std::function<void(const CString& tag, const CString& value)>& handle) {
    for (const AcDbObjectId& id : reference->attributeIds()) {
        AcDbAttribute* attribute = nullptr;
        if (acdbOpenObject(attribute, id, AcDb::kForRead) != Acad::eOk) continue;
        CString tag = attribute->tagConst();
        tag.MakeUpper();
        CString value = attribute->textStringConst();
        attribute->close();
        handle(tag, value);
    }
}
