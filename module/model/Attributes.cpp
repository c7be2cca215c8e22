#include "model/Attributes.h"

#include <cmath>
#include <vector>

#include "core/Catch.h"
#include "model/KelmoAttribute.h"
#include "model/ModelSupport.h"
#include "model/RegisterSupport.h"

KELMO_SOURCE_FILE(L"Attributes");

using kelmo_model::OpenedObject;
using kelmo_model::upper;

namespace {

constexpr double kPi = 3.141592653589793;

std::vector<AcDbObjectId> attributeIdsOf(const AcDbBlockReference* reference) {
    std::vector<AcDbObjectId> ids;
    AcDbObjectIterator* iterator = reference->attributeIterator();
    for (iterator->start(); !iterator->done(); iterator->step()) ids.push_back(iterator->objectId());
    delete iterator;
    return ids;
}

bool inWorldPlane(const AcGeVector3d& normal) {
    return normal.x == 0.0 && normal.y == 0.0 && normal.z == 1.0;
}

// The turn in a text's own plane that points it along the angle of the world plane: a text turned over
// (an extrusion other than +Z, as in a space inserted face down) reads the other way round in its plane.
double turnInPlane(const AcGeVector3d& normal, double angle) {
    if (inWorldPlane(normal)) return angle;
    const AcGeVector3d along = AcGeMatrix3d::worldToPlane(normal) * AcGeVector3d(std::cos(angle), std::sin(angle), 0);
    const double turn = std::atan2(along.y, along.x);
    return turn < 0 ? turn + 2 * kPi : turn;
}

} // namespace

// ---- CAttribute

// Made by hand, not read from anywhere: it does not exist until someone says so.
CAttribute::CAttribute() : m_exists(0) {}

CAttribute::CAttribute(CString tag, CString value, int exists) : m_tag(tag), m_value(value), m_exists(exists) {}

CAttribute* CAttribute::clone() {
    try {
        return new CAttribute(m_tag, m_value, m_exists);
    } catch (...) {
        kelmo::rethrowWrapped(L"Attribute", L"CAttribute::clone");
    }
}

// ---- CAttributes

CAttributes::CAttributes() : m_count(0), m_height(250.0), m_widthFactor(1.0), m_rotation(0.0) {}

CAttributes::~CAttributes() {
    deleteObjects();
}

int CAttributes::add(CAttribute* element, int allowDuplicate) {
    KELMO_TRY
        if (!element) return m_count;
        if (allowDuplicate == 0 && getAtAttribute(element->getTag()) != nullptr) return m_count;
        m_attributes.Add(element);
        return ++m_count;
    KELMO_CATCH(L"CAttributes::add")
}

CAttribute* CAttributes::getAt(int index) {
    KELMO_TRY
        return m_attributes.GetAt(index);
    KELMO_CATCH_ALSO(L"CAttributes::getAt", kelmo::catchClassLib)
}

CAttribute* CAttributes::getAtAttribute(CString tag) {
    KELMO_TRY
        for (int i = 0; i < m_count; ++i) {
            if (m_attributes[i]->getTag() == tag) return m_attributes[i];
        }
        return nullptr;
    KELMO_CATCH(L"CAttributes::getAtAttribute")
}

CAttribute* CAttributes::getAtAttribute(int swapType) {
    KELMO_TRY
        for (int i = 0; i < m_count; ++i) {
            // An asset's plain attribute plays no role.
            CKelmoAttribute* attribute = dynamic_cast<CKelmoAttribute*>(m_attributes[i]);
            if (attribute && attribute->getSwapType() == swapType) return attribute;
        }
        return nullptr;
    KELMO_CATCH(L"CAttributes::getAtAttribute")
}

void CAttributes::copyKelmoAttributesTo(CAttributes* target) {
    KELMO_TRY
        if (!target) return;
        target->setHeight(m_height);
        target->setRotation(m_rotation);
        target->setWidthFactor(m_widthFactor);
        for (int i = 0; i < m_count; ++i) {
            CAttribute* copy = nullptr;
            if (dynamic_cast<CKelmoAttribute*>(m_attributes[i])) {
                copy = m_attributes[i]->clone();
            } else {
                CKelmoAttribute* role = new CKelmoAttribute();
                role->setTag(m_attributes[i]->getTag());
                role->setValue(m_attributes[i]->getValue());
                role->setExists(m_attributes[i]->getExists());
                copy = role;
            }
            int before = target->getCount();
            if (target->add(copy, 0) == before) delete copy;
        }
    KELMO_CATCH(L"CAttributes::copyKelmoAttributesTo")
}

void CAttributes::copyAttributesTo(CAttributes* target) {
    KELMO_TRY
        if (!target) return;
        target->setHeight(m_height);
        target->setRotation(m_rotation);
        target->setWidthFactor(m_widthFactor);
        for (int i = 0; i < m_count; ++i) {
            CAttribute* copy =
                new CAttribute(m_attributes[i]->getTag(), m_attributes[i]->getValue(), m_attributes[i]->getExists());
            int before = target->getCount();
            if (target->add(copy, 0) == before) delete copy;
        }
    KELMO_CATCH(L"CAttributes::copyAttributesTo")
}

void CAttributes::extractAttributeValues(AcDbBlockReference* reference) {
    KELMO_TRY
        deleteObjects();
        if (!reference) return;
        for (const AcDbObjectId& id : attributeIdsOf(reference)) {
            // Read only: an attribute on a locked layer is still read.
            AcDbAttribute* attribute = nullptr;
            if (acdbOpenObject(attribute, id, AcDb::kForRead) != Acad::eOk) continue;
            OpenedObject opened(attribute);
            CAttribute* element = new CAttribute(attribute->tagConst(), attribute->textStringConst(), 1);
            element->setLayer(attribute->layerName().c_str());
            int before = m_count;
            if (add(element, 0) == before) delete element;
        }
    KELMO_CATCH_ALSO(L"CAttributes::extractAttributeValues", kelmo::catchClassLib)
}

double CAttributes::rotationInUcs(const AcDbText* text, const AcGeMatrix3d& ucs) {
    AcGeVector3d normal = text->normal();
    AcGeVector3d xAxis = acgeArbitraryXAxis(normal);
    AcGeVector3d yAxis = normal.crossProduct(xAxis);
    double r = text->rotation();
    AcGeVector3d direction = xAxis * std::cos(r) + yAxis * std::sin(r);
    AcGeVector3d inUcs = ucs.inverse() * direction;
    double angle = std::atan2(inUcs.y, inUcs.x);
    if (angle < 0) angle += 2 * kPi;
    if (angle > 2 * kPi - 1e-12) angle = 0.0;
    return angle;
}

void CAttributes::extractSpaceBlockAttributeValues(AcDbBlockReference* reference, AcGeMatrix3d ucs) {
    KELMO_TRY
        deleteObjects();
        if (!reference) return;
        bool placed = false;
        for (const AcDbObjectId& id : attributeIdsOf(reference)) {
            // Read only, and the rotation worked out rather than by moving the attribute: a space on a
            // locked layer keeps its NAME.
            AcDbAttribute* attribute = nullptr;
            if (acdbOpenObject(attribute, id, AcDb::kForRead) != Acad::eOk) continue;
            OpenedObject opened(attribute);
            if (!placed) {
                m_height = attribute->height();
                m_widthFactor = attribute->widthFactor();
                m_rotation = rotationInUcs(attribute, ucs) * 180.0 / kPi;
                placed = true;
            }
            CString tag = upper(attribute->tagConst());
            int swapType = tag == L"NAME" ? 0 : tag == L"AREA" ? 1 : tag == L"AUX" ? 2 : -1;
            if (swapType < 0) continue;
            CKelmoAttribute* element = new CKelmoAttribute();
            element->setSwapType(swapType);
            element->setValue(attribute->textStringConst());
            element->setLayer(attribute->layerName().c_str());
            element->setExists(1);
            int before = m_count;
            if (add(element, 0) == before) delete element;
            if (swapType == 1) m_position = attribute->position();
        }
    KELMO_CATCH(L"CAttributes::extractSpaceBlockAttributeValues")
}

void CAttributes::applyToDWG(AcDbEntity* entity) {
    KELMO_TRY
        AcDbBlockReference* reference = AcDbBlockReference::cast(entity);
        if (!reference) return;
        for (const AcDbObjectId& id : attributeIdsOf(reference)) {
            AcDbAttribute* attribute = nullptr;
            if (acdbOpenObject(attribute, id, AcDb::kForWrite) != Acad::eOk) continue;
            OpenedObject opened(attribute);
            CAttribute* element = getAtAttribute(CString(attribute->tagConst()));
            if (!element) continue;
            if (!element->getLayer().IsEmpty()) attribute->setLayer(element->getLayer(), true, false);
            attribute->setTextString(element->getValue());
        }
    KELMO_CATCH_ALSO(L"CAttributes::applyToDWG", kelmo::catchClassLib)
}

namespace {

// The point the labels are laid out around: the given one, else the last AREA label's position.
bool layoutAnchor(const std::vector<AcDbObjectId>& ids, const AcGePoint3d* anchor, AcGePoint3d& where) {
    if (anchor) {
        where = *anchor;
        return true;
    }
    bool found = false;
    for (const AcDbObjectId& id : ids) {
        AcDbAttribute* attribute = nullptr;
        if (acdbOpenObject(attribute, id, AcDb::kForRead) != Acad::eOk) continue;
        if (upper(attribute->tagConst()) == L"AREA") {
            where = attribute->position();
            found = true;
        }
        attribute->close();
    }
    return found;
}

} // namespace

void CAttributes::applyToDWG(AcDbEntity* entity, AcGeMatrix3d ucs, const AcGePoint3d* anchor) {
    KELMO_TRY
        AcDbBlockReference* reference = AcDbBlockReference::cast(entity);
        if (!reference) return;
        std::vector<AcDbObjectId> ids = attributeIdsOf(reference);
        AcGePoint3d where;
        const bool haveAnchor = layoutAnchor(ids, anchor, where);
        const AcGeMatrix3d toUcs = ucs.inverse();
        for (const AcDbObjectId& id : ids) {
            AcDbAttribute* attribute = nullptr;
            if (acdbOpenObject(attribute, id, AcDb::kForWrite) != Acad::eOk) continue;
            OpenedObject opened(attribute);
            attribute->setHeight(m_height);
            attribute->setWidthFactor(m_widthFactor);
            attribute->transformBy(toUcs);
            attribute->setRotation(turnInPlane(attribute->normal(), m_rotation / 180.0 * kPi));
            attribute->transformBy(ucs);
            double r = attribute->rotation();
            double a = std::sin(r) * m_height * 1.5;
            double b = std::cos(r) * m_height * 1.5;
            // A line and a half up the text's own y axis, in its plane.
            AcGeVector3d up(-a, b, 0);
            if (!inWorldPlane(attribute->normal())) up = AcGeMatrix3d::planeToWorld(attribute->normal()) * up;
            CString tag = upper(attribute->tagConst());
            int swapType = tag == L"NAME" ? 0 : tag == L"AREA" ? 1 : tag == L"AUX" ? 2 : -1;
            if (swapType < 0) continue;
            CAttribute* element = getAtAttribute(swapType);
            if (!element) continue;
            attribute->setTextString(element->getValue());
            // Without an anchor there is nowhere to lay the lines out: they keep their places.
            if (!haveAnchor) continue;
            if (swapType == 0)
                attribute->setPosition(AcGePoint3d(where.x + up.x, where.y + up.y, where.z + up.z));
            else if (swapType == 1)
                attribute->setPosition(where);
            else
                attribute->setPosition(AcGePoint3d(where.x - up.x, where.y - up.y, where.z - up.z));
        }
    KELMO_CATCH_ALSO(L"CAttributes::applyToDWG", kelmo::catchClassLib)
}

namespace {

// Where the layout puts a label of the role (0 NAME, 1 AREA, 2 AUX) around the anchor, for a text
// turned r radians in its own plane: NAME a line and a half up the text's y axis, AUX as far down.
AcGePoint3d laidOut(int swapType, const AcGePoint3d& where, const AcDbText* text, double height) {
    const double r = text->rotation();
    AcGeVector3d up(-std::sin(r) * height * 1.5, std::cos(r) * height * 1.5, 0);
    if (text->normal() != AcGeVector3d::kZAxis) up = AcGeMatrix3d::planeToWorld(text->normal()) * up;
    return swapType == 0 ? where + up : swapType == 1 ? where : where - up;
}

// Far enough apart to be a change a label shows, in drawing units, radians or as a factor: a file
// written with fewer digits does not move a label.
constexpr double kLabelTolerance = 1e-6;

bool sameAngle(double a, double b) {
    const double apart = std::fmod(std::fabs(a - b), 2 * kPi);
    return apart <= kLabelTolerance || 2 * kPi - apart <= kLabelTolerance;
}

} // namespace

bool CAttributes::findLockedChange(AcDbEntity* entity, const AcGeMatrix3d& ucs, const AcGePoint3d* anchor, CString& tag,
                                   CString& layer) {
    KELMO_TRY
        AcDbBlockReference* reference = AcDbBlockReference::cast(entity);
        if (!reference) return false;
        const std::vector<AcDbObjectId> ids = attributeIdsOf(reference);
        AcGePoint3d where;
        const bool haveAnchor = layoutAnchor(ids, anchor, where);
        for (const AcDbObjectId& id : ids) {
            AcDbAttribute* attribute = nullptr;
            if (acdbOpenObject(attribute, id, AcDb::kForRead) != Acad::eOk) continue;
            OpenedObject opened(attribute);
            const CString locked = kelmo_model::lockedLayerName(attribute->layerId());
            if (locked.IsEmpty()) continue;
            // What the layout would do to it, worked out without touching it.
            bool changes = std::fabs(attribute->height() - m_height) > kLabelTolerance ||
                           std::fabs(attribute->widthFactor() - m_widthFactor) > kLabelTolerance ||
                           !sameAngle(rotationInUcs(attribute, ucs), m_rotation / 180.0 * kPi);
            const CString upperTag = upper(attribute->tagConst());
            const int swapType = upperTag == L"NAME" ? 0 : upperTag == L"AREA" ? 1 : upperTag == L"AUX" ? 2 : -1;
            CAttribute* element = swapType < 0 ? nullptr : getAtAttribute(swapType);
            if (!changes && element) {
                changes = element->getValue() != CString(attribute->textStringConst()) ||
                          (haveAnchor && attribute->position().distanceTo(
                                             laidOut(swapType, where, attribute, m_height)) > kLabelTolerance);
            }
            if (!changes) continue;
            tag = attribute->tagConst();
            layer = locked;
            return true;
        }
        return false;
    KELMO_CATCH(L"CAttributes::findLockedChange")
}

void CAttributes::applyToDWG(AcDbObjectId id, AcGeMatrix3d ucs, const AcGePoint3d* anchor) {
    KELMO_TRY
        AcDbEntity* entity = nullptr;
        if (acdbOpenAcDbEntity(entity, id, AcDb::kForWrite) != Acad::eOk) return;
        OpenedObject opened(entity);
        applyToDWG(entity, AcGeMatrix3d(ucs), anchor);
    KELMO_CATCH_ALSO(L"CAttributes::applyToDWG", kelmo::catchClassLib)
}

void CAttributes::setAttributesIDsInvisible(AcDbBlockReference* reference) {
    KELMO_TRY
        if (!reference) return;
        for (const AcDbObjectId& id : attributeIdsOf(reference)) {
            AcDbAttribute* attribute = nullptr;
            if (acdbOpenObject(attribute, id, AcDb::kForWrite) != Acad::eOk) continue;
            OpenedObject opened(attribute);
            if (attribute->visibility() != AcDb::kVisible) continue;
            CAttribute* element = new CAttribute();
            element->setObjectId(id);
            add(element, 1);
            attribute->setVisibility(AcDb::kInvisible, true);
        }
    KELMO_CATCH_ALSO(L"CAttributes::setAttributesIDsInvisible", kelmo::catchClassLib)
}

void CAttributes::setAttributesIDsVisible() {
    KELMO_TRY
        for (int i = 0; i < m_count; ++i) {
            AcDbEntity* entity = nullptr;
            if (acdbOpenAcDbEntity(entity, m_attributes[i]->getObjectId(), AcDb::kForWrite) != Acad::eOk) continue;
            OpenedObject opened(entity);
            if (CString(entity->isA()->name()) == L"AcDbAttribute") entity->setVisibility(AcDb::kVisible, true);
        }
    KELMO_CATCH(L"CAttributes::setAttributesIDsVisible")
}

void CAttributes::deleteObjects() {
    for (INT_PTR i = 0; i < m_attributes.GetSize(); ++i) delete m_attributes[i];
    m_attributes.RemoveAll();
    m_count = 0;
}

// ---------------------------------------------------------------------------------------------------------
// Register

void CAttribute::applyToVXR(CStoredProcedure* procedure, int drawingID, CString handle, int timeout) {
    const wchar_t* method = L"CAttribute::applyToVXR";
    kelmo_model::RegisterCall call(procedure);
    try {
        call.addInt(L"@drawingID", 1, drawingID);
        call.addVarChar(L"@handle", 255, handle);
        call.addVarChar(L"@tag", 255, m_tag);
        call.addVarChar(L"@value", 255, m_value);
        call.addBoolean(L"@exists", 1, m_exists);
        call.prepare(L"__to_applyAssetAttributeToVXR", timeout);
        procedure->execSPNoReturnParas();
KELMO_REGISTER_CATCH_IN
(L"Attribute", procedure, method)
}

void CAttributes::applyToVXR(CStoredProcedure* procedure, int drawingID, CString handle, int timeout) {
    KELMO_TRY
        for (int i = 0; i < m_count; ++i) m_attributes[i]->applyToVXR(procedure, drawingID, handle, timeout);
    KELMO_CATCH_ALSO(L"CAttributes::applyToVXR", kelmo::catchClassLib)
}

void CAttributes::getAssetAttributes(CStoredProcedure* procedure, int drawingID, CString handle, int timeout) {
    const wchar_t* method = L"CAttributes::getAssetAttributes";
    kelmo_model::RegisterCall call(procedure);
    KELMO_TRY
        call.addInt(L"@drawingID", 1, drawingID);
        call.addVarChar(L"@handle", 50, handle);
        call.prepare(L"[idr]..[getAssetAttributes]", timeout);
        kelmo_model::RegisterRows rows(procedure->execSPReturnParas());
        if (!rows.empty()) {
            while (!rows.atEnd()) {
                CAttribute* attribute = new CAttribute(rows.text(L"aTag"), rows.text(L"aValue"), 1);
                int before = m_count;
                if (add(attribute, 0) == before) delete attribute;
                rows.next();
            }
        }
        rows.close();
    KELMO_REGISTER_CATCH(procedure, method)
}
