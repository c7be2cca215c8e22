#include "model/BlockDWGSite.h"

CBlockDWGSite::CBlockDWGSite() {
    setBlockIdentifier(L"ROOM-GROSS_AREA");
    setType(typeDWGSite);
    setAssets(nullptr);
}

CBlockDWGSite::CBlockDWGSite(AcDbBlockReference* reference, AcApDocument* document) : CBlockDWG(reference, document) {
    setType(typeDWGSite);
}
