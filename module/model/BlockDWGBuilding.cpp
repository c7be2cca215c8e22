#include "model/BlockDWGBuilding.h"

CBlockDWGBuilding::CBlockDWGBuilding() {
    setBlockIdentifier(L"ROOM-");
    setType(typeDWGBuilding);
    setAssets(nullptr);
}

CBlockDWGBuilding::CBlockDWGBuilding(AcDbBlockReference* reference, AcApDocument* document) : CBlockDWG(reference, document) {
    setType(typeDWGBuilding);
}
