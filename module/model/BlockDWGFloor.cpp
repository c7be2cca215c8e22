#include "model/BlockDWGFloor.h"

CBlockDWGFloor::CBlockDWGFloor() {
    setBlockIdentifier(L"ROOM-GROSS_AREA");
    setType(typeDWGFloor);
    setAssets(nullptr);
}

CBlockDWGFloor::CBlockDWGFloor(AcDbBlockReference* reference, AcApDocument* document) : CBlockDWG(reference, document) {
    setType(typeDWGFloor);
}
