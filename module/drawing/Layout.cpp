#include "drawing/Layout.h"

#include "core/Catch.h"
#include "core/Globals.h"
#include "database/EXStoredProcedure.h"
#include "database/ParameterInt.h"
#include "database/ParameterVarChar.h"
#include "database/Parameters.h"
#include "database/StoredProcedure.h"

KELMO_SOURCE_FILE(L"Layout.cpp");

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

void CLayout::addLayoutToVXR(CStoredProcedure* procedure, int timeout, int attachID) {
    const wchar_t* method = L"CLayout::addLayoutToVXR";
    KELMO_TRY
        try {
            CParameters parameters;
            ParameterBinding binding{procedure};
            CParameterVarChar* name = new CParameterVarChar();
            name->setName(L"@layoutName");
            name->setDirection(1);
            name->setSize(255);
            name->setValue(m_name);
            parameters.add(name);
            CParameterInt* attach = new CParameterInt();
            attach->setName(L"@attachID");
            attach->setDirection(1);
            attach->setValue(attachID);
            parameters.add(attach);
            procedure->setName(L"__to_addDrawingLayout");
            procedure->setParameters(&parameters);
            procedure->setTimeout(timeout);
            procedure->execSPNoReturnParas();
        } catch (const _com_error& error) {
            throw new CEXStoredProcedure(error, procedure, KELMO_BANNER, kelmoSourceFile, method, 2);
        }
    KELMO_CATCH_ALSO(method, kelmo::catchClassLib)
}
