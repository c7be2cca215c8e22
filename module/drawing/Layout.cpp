#include "drawing/Layout.h"

#include "core/Catch.h"
#include "core/Globals.h"
#include "database/EXStoredProcedure.h"
#include "database/Parameters.h"
#include "database/StoredProcedure.h"
#include "drawing/RegisterCall.h"

KELMO_SOURCE_FILE(L"Layout.cpp");

void CLayout::addLayoutToVXR(CStoredProcedure* procedure, int timeout, int attachID) {
    const wchar_t* method = L"CLayout::addLayoutToVXR";
    KELMO_TRY
        try {
            CParameters parameters;
            parameters.add(registercall::textInput(L"@layoutName", m_name));
            parameters.add(registercall::intInput(L"@attachID", attachID));
            registercall::execute(procedure, L"__to_addDrawingLayout", parameters, timeout);
        } catch (const _com_error& error) {
            throw new CEXStoredProcedure(error, procedure, KELMO_BANNER, kelmoSourceFile, method, 2);
        }
    KELMO_CATCH_ALSO(method, kelmo::catchClassLib)
}
