#include "drawing/Layouts.h"

#include "cad/AcDb.h"
#include "core/Catch.h"
#include "core/Globals.h"
#include "core/KelmoExceptions.h"
#include "database/EXStoredProcedure.h"
#include "database/ParameterInt.h"
#include "database/Parameters.h"
#include "database/StoredProcedure.h"
#include "drawing/AcadDrawing.h"
#include "drawing/Layout.h"

KELMO_SOURCE_FILE(L"Layouts.cpp");

namespace {

struct ParameterBinding {
    CStoredProcedure* procedure;
    ~ParameterBinding() {
        try {
            procedure->setParameters(nullptr);
        } catch (...) {
        }
    }
};

} // namespace

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
        if (index < 0 || index >= m_layouts.GetSize()) AfxThrowInvalidArgException();
        return m_layouts.GetAt(index);
    KELMO_CATCH_ALSO(L"CLayouts::getAt", kelmo::catchClassLib)
}

BOOL CLayouts::add(CLayout* layout) {
    KELMO_TRY
        CString name = layout->getName();
        for (int i = 0; i < m_layouts.GetSize(); ++i)
            if (m_layouts.GetAt(i)->getName() == name) return FALSE;
        m_layouts.Add(layout);
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
                        BOOL taken = FALSE;
                        try {
                            taken = add(entry);
                        } catch (...) {
                            delete entry;
                            layout->close();
                            throw;
                        }
                        if (!taken) delete entry;
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
            } catch (...) {
            }
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
            ParameterBinding binding{procedure};
            CParameterInt* attach = new CParameterInt();
            attach->setName(L"@attachID");
            attach->setDirection(1);
            attach->setValue(attachID);
            parameters.add(attach);
            procedure->setName(L"__to_deleteDrawingLayouts");
            procedure->setParameters(&parameters);
            procedure->setTimeout(timeout);
            procedure->execSPNoReturnParas();
        } catch (const _com_error& error) {
            throw new CEXStoredProcedure(error, procedure, KELMO_BANNER, kelmoSourceFile, method, 2);
        }
    KELMO_CATCH_ALSO(method, kelmo::catchClassLib)
}

void CLayouts::deleteObjects() {
    KELMO_TRY
        for (int i = 0; i < m_layouts.GetSize(); ++i) delete m_layouts.GetAt(i);
        m_layouts.RemoveAll();
        m_count = 0;
    KELMO_CATCH(L"CLayouts::deleteObjects")
}
