#include "model/BlockVXR.h"

#include "model/Asset.h"
#include "model/RegisterSupport.h"

KELMO_SOURCE_FILE(L"BlockVXR");

CBlockVXR::CBlockVXR() : m_id(0), m_parentId(0), m_statusDuplicate(0), m_statusExists(0), m_assets(nullptr) {
    KELMO_TRY
        setType(typeVXR);
    KELMO_CATCH(L"CBlockVXR::CBlockVXR")
}

CBlockVXR::~CBlockVXR() {
    delete m_assets;
}

void CBlockVXR::applyToVXR(CStoredProcedure*, int, int) {}

void CBlockVXR::applySpaceToVXR(kelmo_model::RegisterCall& call, const wchar_t* procedureName, int timeout) {
    call.addInt(L"@locationID", 3, m_id);
    call.addInt(L"@parentID", 1, m_parentId);
    call.addVarChar(L"@name", 255, getName());
    call.addVarChar(L"@code", 255, getCode());
    call.addBoolean(L"@statusExists", 1, m_statusExists);
    call.addBoolean(L"@statusDuplicate", 1, m_statusDuplicate);
    call.addDecimal(L"@area", getArea());
    call.addVarChar(L"@handle", 255, getHandle());
    call.addDecimal(L"@perimeter", getPerimeter());
    call.addInt(L"@precision", 1, getPrecision());
    call.prepare(procedureName, timeout);
    call.procedure()->execSPNoReturnParasReturn();
    m_id = call.outputInt(L"@locationID");
}

void CBlockVXR::applyGrossAreaToVXR(kelmo_model::RegisterCall& call, const wchar_t* procedureName, int timeout) {
    call.addInt(L"@locationID", 1, m_id);
    call.addDecimal(L"@area", getArea());
    call.addVarChar(L"@handle", 255, getHandle());
    call.addDecimal(L"@perimeter", getPerimeter());
    call.addInt(L"@precision", 1, getPrecision());
    call.prepare(procedureName, timeout);
    call.procedure()->execSPNoReturnParas();
}
