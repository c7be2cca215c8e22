#include "drawing/Layouts.h"

#include "cad/AcDb.h"
#include "core/Catch.h"
#include "core/Globals.h"
#include "core/KelmoExceptions.h"
#include "database/EXStoredProcedure.h"
#include "database/Parameters.h"
#include "database/StoredProcedure.h"
#include "drawing/AcadDrawing.h"
#include "drawing/Layout.h"
#include "drawing/NamedList.h"
#include "drawing/RegisterCall.h"

KELMO_SOURCE_FILE(L"Layouts.cpp");

CLayouts::CLayouts() : m_count(0) {}

CLayouts::~CLayouts() {
    try {
        deleteObjects();
    } catch (...) {
        kelmo::reportWrapped(kelmoSourceFile, L"CLayouts::~CLayouts");
    }
}

CLayout* CLayouts::getAt(int index) {
    KELMO_TRY
        return namedlist::at(m_layouts, index);
    KELMO_CATCH_ALSO(L"CLayouts::getAt", kelmo::catchClassLib)
}

BOOL CLayouts::add(CLayout* layout) {
    KELMO_TRY
        if (!namedlist::addUnique(m_layouts, layout)) return FALSE;
        ++m_count;
        return TRUE;
    KELMO_CATCH(L"CLayouts::add")
}

void CLayouts::getDWGLayouts(CAcadDrawing* drawing) {
    KELMO_TRY
        if (drawing->lock() != Acad::eOk) return;
        AcDbBlockTable* table = nullptr;
        if (drawing->getDatabase()->getBlockTable(table, AcDb::kForRead) == Acad::eOk) {
            AcDbBlockTableIterator* iterator = nullptr;
            if (table->newIterator(iterator) == Acad::eOk) {
                for (iterator->start(); !iterator->done(); iterator->step()) {
                    AcDbBlockTableRecord* record = nullptr;
                    if (iterator->getRecord(record, AcDb::kForRead) != Acad::eOk) continue;
                    AcDbObjectId layoutId = record->isLayout() ? record->getLayoutId() : AcDbObjectId();
                    record->close();
                    if (layoutId.isNull()) continue;
                    AcDbLayout* layout = nullptr;
                    if (acdbOpenObject(layout, layoutId, AcDb::kForRead) != Acad::eOk) continue;
                    const ACHAR* name = nullptr;
                    if (layout->getLayoutName(name) == Acad::eOk && name) {
                        CLayout* entry = new CLayout();
                        entry->setName(name);
                        try {
                            namedlist::addOrDelete(*this, entry);
                        } catch (...) {
                            layout->close();
                            throw;
                        }
                    }
                    layout->close();
                }
                delete iterator;
            }
            table->close();
        }
        drawing->unlock(0);
    KELMO_CATCH_ALSO(L"CLayouts::getDWGLayouts", kelmo::catchClassLib)
}

int CLayouts::addLayoutsToVXR(CStoredProcedure* procedure, int timeout, int attachID) {
    KELMO_TRY
        // The register never holds a drawing half re-recorded: its old rows come back when an add fails.
        procedure->beginTrans();
        try {
            deleteDrawingLayouts(procedure, timeout, attachID);
            for (int i = 0; i < m_layouts.GetSize(); ++i)
                m_layouts.GetAt(i)->addLayoutToVXR(procedure, timeout, attachID);
            procedure->commitTrans();
        } catch (...) {
            try {
                procedure->rollbackTrans();
            } catch (CEXKelmo* rollbackFailure) {
                rollbackFailure->deleteException(); // the first failure is the one to report
            } catch (...) {}
            throw;
        }
        return 1;
    KELMO_CATCH_ALSO(L"CLayouts::addLayoutsToVXR", kelmo::catchClassLib)
}

void CLayouts::deleteDrawingLayouts(CStoredProcedure* procedure, int timeout, int attachID) {
    const wchar_t* method = L"CLayouts::deleteDrawingLayouts";
    KELMO_TRY
        try {
            CParameters parameters;
            parameters.add(registercall::intInput(L"@attachID", attachID));
            registercall::execute(procedure, L"__to_deleteDrawingLayouts", parameters, timeout);
        } catch (const _com_error& error) {
            throw new CEXStoredProcedure(error, procedure, KELMO_BANNER, kelmoSourceFile, method, 2);
        }
    KELMO_CATCH_ALSO(method, kelmo::catchClassLib)
}

void CLayouts::deleteObjects() {
    KELMO_TRY
        namedlist::deleteAll(m_layouts);
        m_count = 0;
    KELMO_CATCH(L"CLayouts::deleteObjects")
}
