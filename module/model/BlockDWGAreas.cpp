// The areas a space subtracts and adds, and measuring the space with them.
#include "model/BlockDWG.h"

#include <cmath>
#include <memory>

#include "cad/app/ApDocument.h"
#include "core/Catch.h"
#include "core/Utilities.h"
#include "drawing/AcadUtilities.h"
#include "model/BlockDWGInternal.h"
#include "model/ModelSupport.h"
#include "model/UnitChange.h"

KELMO_SOURCE_FILE(L"BlockDWG");

using kelmo_model::OpenedObject;
using kelmo_model::block_dwg::handleText;

CString CBlockDWG::handlesToString(const HandleArray& handles) {
    CString text;
    for (INT_PTR i = 0; i < handles.GetSize(); ++i) text += handleText(handles[i]) + L",";
    return text;
}

void CBlockDWG::fillHandles(HandleArray& handles, CString text, AcDbDatabase* database) {
    handles.RemoveAll();
    int start = 0;
    for (;;) {
        // Text after the last comma is no handle.
        int comma = text.Find(L',', start);
        if (comma < 0) break;
        AcDbHandle handle(static_cast<const wchar_t*>(text.Mid(start, comma - start)));
        AcDbObjectId id;
        if (database && !handle.isNull() && database->getAcDbObjectId(id, false, handle) == Acad::eOk)
            handles.Add(handle);
        start = comma + 1;
    }
}

void CBlockDWG::setHandlesToMinus(CString handles, AcDbDatabase* database) {
    KELMO_TRY
        fillHandles(m_handlesToMinus, handles, database);
    KELMO_CATCH(L"CBlockDWG::setHandlesToMinus")
}

void CBlockDWG::setHandlesToAdd(CString handles, AcDbDatabase* database) {
    KELMO_TRY
        fillHandles(m_handlesToAdd, handles, database);
    KELMO_CATCH(L"CBlockDWG::setHandlesToAdd")
}

void CBlockDWG::setHandlesToMinus(const AcDbObjectIdArray& ids) {
    KELMO_TRY
        m_handlesToMinus.RemoveAll();
        for (const AcDbObjectId& id : ids) {
            AcDbEntity* entity = nullptr;
            if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk) continue;
            m_handlesToMinus.Add(entity->handle());
            entity->close();
        }
    KELMO_CATCH(L"CBlockDWG::setHandlesToMinus")
}

void CBlockDWG::setHandlesToAdd(const AcDbObjectIdArray& ids) {
    KELMO_TRY
        m_handlesToAdd.RemoveAll();
        for (const AcDbObjectId& id : ids) {
            AcDbEntity* entity = nullptr;
            if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk) continue;
            if (CString(entity->isA()->name()) == L"AcDbPolyline") m_handlesToAdd.Add(entity->handle());
            entity->close();
        }
    KELMO_CATCH(L"CBlockDWG::setHandlesToAdd")
}

CString CBlockDWG::getHandlesToMinusAsString() const {
    return handlesToString(m_handlesToMinus);
}

CString CBlockDWG::getHandlesToAddAsString() const {
    return handlesToString(m_handlesToAdd);
}

void CBlockDWG::addHandleToMinus(AcDbHandle handle, AcDbDatabase* database) {
    KELMO_TRY
        AcDbObjectId id;
        if (database && database->getAcDbObjectId(id, false, handle) != Acad::eOk) return;
        m_handlesToMinus.Add(handle);
    KELMO_CATCH(L"CBlockDWG::addHandleToMinus")
}

void CBlockDWG::addHandleToAdd(AcDbHandle handle, AcDbDatabase* database) {
    KELMO_TRY
        AcDbObjectId id;
        if (database && database->getAcDbObjectId(id, false, handle) != Acad::eOk) return;
        m_handlesToAdd.Add(handle);
    KELMO_CATCH(L"CBlockDWG::addHandleToAdd")
}

AcDbHandle CBlockDWG::getHandleToMinusAt(int index) const {
    return m_handlesToMinus.GetAt(index);
}

AcDbHandle CBlockDWG::getHandleToAddAt(int index) const {
    return m_handlesToAdd.GetAt(index);
}

void CBlockDWG::removeHandleToMinusAt(int index) {
    KELMO_TRY
        m_handlesToMinus.RemoveAt(index);
    KELMO_CATCH_ALSO(L"CBlockDWG::removeHandleToMinusAt", kelmo::catchClassLib)
}

void CBlockDWG::removeHandleToAddAt(int index) {
    KELMO_TRY
        m_handlesToAdd.RemoveAt(index);
    KELMO_CATCH_ALSO(L"CBlockDWG::removeHandleToAddAt", kelmo::catchClassLib)
}

int CBlockDWG::convertHandlesToObjectIds(const HandleArray& handles, AcDbDatabase* database, AcDbObjectIdArray* ids) {
    KELMO_TRY
        if (!ids) return 0;
        for (INT_PTR i = 0; i < handles.GetSize(); ++i) {
            AcDbObjectId id;
            if (!database || database->getAcDbObjectId(id, false, handles[i]) != Acad::eOk) id.setNull();
            ids->append(id);
        }
        return 0;
    KELMO_CATCH(L"CBlockDWG::convertHandlesToObjectIds")
}

double CBlockDWG::sumListed(HandleArray& handles, AcApDocument* document, bool perimeters) {
    takePreferenceUnitsWhenUnknown();
    AcDbDatabase* database = document ? document->database() : nullptr;
    if (!database) return 0.0;
    CAcadUtilities utilities;
    const CDrawingUnit unit(database);
    double sum = 0.0;
    INT_PTR i = 0;
    while (i < handles.GetSize()) {
        AcDbObjectId id;
        if (database->getAcDbObjectId(id, false, handles[i]) != Acad::eOk) {
            ++i;
            continue;
        }
        AcDbEntity* entity = nullptr;
        Acad::ErrorStatus status = acdbOpenAcDbEntity(entity, id, AcDb::kForRead);
        if (status == Acad::eUnknownHandle) {
            // The entity is gone: it no longer counts, and the next one moves into this place.
            handles.RemoveAt(i);
            continue;
        }
        if (status != Acad::eOk) {
            ++i;
            continue;
        }
        OpenedObject opened(entity);
        AcDbPolyline form;
        if (const AcDbPolyline* polyline = CAcadUtilities::asLightweight(entity, form)) {
            sum += perimeters ? utilities.calculatePolylinePerimeter(polyline, unit, getUnits())
                              : utilities.calculatePolylineArea(polyline, unit, getUnits());
        }
        ++i;
    }
    return sum;
}

double CBlockDWG::calcSubArea(AcApDocument* document) {
    KELMO_TRY
        return sumListed(m_handlesToMinus, document, false);
    KELMO_CATCH(L"CBlockDWG::calcSubArea")
}

double CBlockDWG::calcAddArea(AcApDocument* document) {
    KELMO_TRY
        return sumListed(m_handlesToAdd, document, false);
    KELMO_CATCH(L"CBlockDWG::calcAddArea")
}

double CBlockDWG::calcSubAreaPerimeters(AcApDocument* document) {
    KELMO_TRY
        return sumListed(m_handlesToMinus, document, true);
    KELMO_CATCH(L"CBlockDWG::calcSubAreaPerimeters")
}

double CBlockDWG::calcAddAreaPerimeters(AcApDocument* document) {
    KELMO_TRY
        return sumListed(m_handlesToAdd, document, true);
    KELMO_CATCH(L"CBlockDWG::calcAddAreaPerimeters")
}

AcDbObjectId CBlockDWG::findBoundary(const AcDbBlockReference* reference) {
    AcDbObjectId boundary;
    AcDbBlockTableRecord* definition = nullptr;
    if (acdbOpenObject(definition, reference->blockTableRecord(), AcDb::kForRead) != Acad::eOk) return boundary;
    OpenedObject openedDefinition(definition);
    AcDbBlockTableRecordIterator* iterator = nullptr;
    if (definition->newIterator(iterator) != Acad::eOk) return boundary;
    for (iterator->start(); !iterator->done() && boundary.isNull(); iterator->step()) {
        AcDbEntity* member = nullptr;
        if (iterator->getEntity(member, AcDb::kForRead) != Acad::eOk) continue;
        AcDbPolyline form;
        if (CAcadUtilities::asLightweight(member, form)) boundary = member->objectId();
        member->close();
    }
    delete iterator;
    return boundary;
}

namespace {

// The reference's boundary, the first polyline of its definition, lightweight or 2D, open for read
// as a lightweight polyline while this lives; none when the definition holds no polyline.
class OpenedBoundary {
public:
    explicit OpenedBoundary(const AcDbBlockReference* reference) {
        AcDbBlockTableRecord* definition = nullptr;
        if (acdbOpenObject(definition, reference->blockTableRecord(), AcDb::kForRead) != Acad::eOk) return;
        OpenedObject openedDefinition(definition);
        AcDbBlockTableRecordIterator* iterator = nullptr;
        if (definition->newIterator(iterator) != Acad::eOk) return;
        const std::unique_ptr<AcDbBlockTableRecordIterator> owned(iterator);
        for (iterator->start(); !iterator->done(); iterator->step()) {
            AcDbEntity* member = nullptr;
            if (iterator->getEntity(member, AcDb::kForRead) != Acad::eOk) continue;
            m_member.reset(member);
            m_polyline = CAcadUtilities::asLightweight(member, m_form);
            if (m_polyline) return;
            m_member.close();
        }
    }
    const AcDbPolyline* polyline() const { return m_polyline; }

private:
    OpenedObject m_member;
    AcDbPolyline m_form;
    const AcDbPolyline* m_polyline = nullptr;
};

} // namespace

bool CBlockDWG::boundaryCrossesItself() const {
    AcDbBlockReference* reference = nullptr;
    if (acdbOpenObject(reference, m_objectId, AcDb::kForRead) != Acad::eOk) return false;
    OpenedObject openedReference(reference);
    const OpenedBoundary boundary(reference);
    return boundary.polyline() &&
           CAcadUtilities().crossesItself(boundary.polyline(), CDrawingUnit(reference->database())) != FALSE;
}

void CBlockDWG::keepStored(const wchar_t* reason, const wchar_t* value) {
    acutPrintf(L"\tSpace %s (handle %s): %s, so its %s is kept as stored\n", static_cast<LPCWSTR>(getName()),
               static_cast<LPCWSTR>(CBlock::getHandle()), reason, value);
}

void CBlockDWG::recalculateArea(AcApDocument* document) {
    KELMO_TRY
        AcDbDatabase* database = document ? document->database() : nullptr;
        if (!database) return;
        takePreferenceUnitsWhenUnknown();
        double area = 0.0;
        {
            AcDbBlockReference* reference = nullptr;
            if (acdbOpenObject(reference, m_objectId, AcDb::kForRead) != Acad::eOk) return;
            OpenedObject openedReference(reference);
            const OpenedBoundary boundary(reference);
            // Where the boundary gives no area (or only its lobes' difference), the stored one stands.
            const wchar_t* unmeasured = nullptr;
            if (!boundary.polyline())
                unmeasured = L"no boundary polyline was found";
            else if (CAcadUtilities().crossesItself(boundary.polyline(), CDrawingUnit(database)))
                unmeasured = L"the boundary crosses itself";
            if (unmeasured) {
                keepStored(unmeasured, L"area");
                setArea(CUtilities::roundDouble(getArea(), getPrecision()));
                return;
            }
            area = CAcadUtilities().recalculateBlockArea(reference, boundary.polyline(), CDrawingUnit(database),
                                                         getUnits());
        }
        setArea(CUtilities::roundDouble(area - calcSubArea(document) + calcAddArea(document), getPrecision()));
    KELMO_CATCH(L"CBlockDWG::recalculateArea")
}

void CBlockDWG::recalculatePerimeter(AcApDocument* document) {
    KELMO_TRY
        AcDbDatabase* database = document ? document->database() : nullptr;
        if (!database) return;
        takePreferenceUnitsWhenUnknown();
        double perimeter = 0.0;
        {
            AcDbBlockReference* reference = nullptr;
            if (acdbOpenObject(reference, m_objectId, AcDb::kForRead) != Acad::eOk) return;
            OpenedObject openedReference(reference);
            const OpenedBoundary boundary(reference);
            const AcGeScale3d scale = reference->scaleFactors();
            const wchar_t* unmeasured = nullptr;
            if (!boundary.polyline())
                unmeasured = L"no boundary polyline was found";
            else if (std::fabs(scale.sx) != std::fabs(scale.sy))
                // No one factor carries a length stretched more one way than the other.
                unmeasured = L"the block is scaled unevenly";
            if (unmeasured) {
                keepStored(unmeasured, L"perimeter");
                return;
            }
            perimeter = CAcadUtilities().recalculateBlockPerimeter(reference, boundary.polyline(),
                                                                   CDrawingUnit(database), getUnits());
        }
        // Holes and additions both lengthen the boundary.
        setPerimeter(perimeter + calcSubAreaPerimeters(document) + calcAddAreaPerimeters(document));
    KELMO_CATCH(L"CBlockDWG::recalculatePerimeter")
}

void CBlockDWG::convertUnits(int units) {
    KELMO_TRY
        takePreferenceUnitsWhenUnknown();
        if (getUnits() == units) return;
        // The one units flag covers the room height and the volume too: they are converted with the
        // area and perimeter, or their numbers would mean other lengths under the new unit texts.
        if (units == 0) {
            setPerimeter(getPerimeter() / kelmo_model::feetPerMetre);
            setArea(getArea() / kelmo_model::squareFeetPerSquareMetre);
            setRoomHeight(getRoomHeight() / kelmo_model::feetPerMetre);
            setVolume(getVolume() / kelmo_model::cubicFeetPerCubicMetre);
            setUnits(0);
        } else {
            setPerimeter(getPerimeter() * kelmo_model::feetPerMetre);
            setArea(getArea() * kelmo_model::squareFeetPerSquareMetre);
            setRoomHeight(getRoomHeight() * kelmo_model::feetPerMetre);
            setVolume(getVolume() * kelmo_model::cubicFeetPerCubicMetre);
            setUnits(1);
        }
    KELMO_CATCH(L"CBlockDWG::convertUnits")
}
