#include "model/BlockVXRSite.h"

#include "model/RegisterSupport.h"

KELMO_SOURCE_FILE(L"BlockVXRSite");

CBlockVXRSite::CBlockVXRSite() {
    setType(typeVXRSite);
}

void CBlockVXRSite::applyToVXR(CStoredProcedure* procedure, int, int timeout) {
    const wchar_t* method = L"CBlockVXRSite::applyToVXR";
    kelmo_model::RegisterCall call(procedure);
    KELMO_TRY
        applyGrossAreaToVXR(call, L"__to_setSiteBlockInVXR", timeout);
    KELMO_REGISTER_CATCH(procedure, method)
}
