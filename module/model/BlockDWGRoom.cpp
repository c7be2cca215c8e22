#include "model/BlockDWGRoom.h"

#include "core/Catch.h"
#include "drawing/AcadUtilities.h"
#include "model/Asset.h"
#include "model/ModelSupport.h"
#include "model/RegisterSupport.h"

KELMO_SOURCE_FILE(L"BlockDWGRoom");

CBlockDWGRoom::CBlockDWGRoom() {
    setBlockIdentifier(L"ROOM-");
    setType(typeDWGRoom);
    setAssets(nullptr);
}

CBlockDWGRoom::CBlockDWGRoom(AcDbBlockReference* reference, AcApDocument* document, int loadAssets)
    : CBlockDWG(reference, document) {
    setType(typeDWGRoom);
    if (loadAssets == 0) return;
    try {
        AcDbBlockTableRecord* definition = nullptr;
        if (acdbOpenObject(definition, reference->blockTableRecord(), AcDb::kForRead) != Acad::eOk) return;
        kelmo_model::OpenedObject openedDefinition(definition);
        for (const AcDbObjectId& id : definition->entityIds()) {
            AcDbEntity* member = nullptr;
            if (acdbOpenAcDbEntity(member, id, AcDb::kForRead) != Acad::eOk) continue;
            kelmo_model::OpenedObject openedMember(member);
            // The boundary is the first polyline, lightweight or 2D (as every one of an R12 drawing is).
            AcDbPolyline form;
            const AcDbPolyline* boundary = member->isErased() ? nullptr : CAcadUtilities::asLightweight(member, form);
            if (!boundary) continue;
            CAssets* assets = new CAssets();
            setAssets(assets);
            assets->getPolylineAssets(reference->blockTransform(), boundary, reference->ownerId());
            break;
        }
    } catch (...) {
        // The built block part frees the assets as the failure leaves the constructor.
        kelmo::rethrowWrapped(kelmoSourceFile, L"CBlockDWGRoom::CBlockDWGRoom", kelmo::catchClassLib);
    }
}

void CBlockDWGRoom::exportTP(CStoredProcedure* procedure, int timeout, int id, CString exportParameters) {
    const wchar_t* method = L"CBlockDWGRoom::exportTP";
    kelmo_model::RegisterCall call(procedure);
    KELMO_TRY
        exportSpaceToTP(call, timeout, id, exportParameters);
        if (getAssets()) getAssets()->exportTP(procedure, timeout, exportParameters);
    KELMO_REGISTER_CATCH(procedure, method)
}
