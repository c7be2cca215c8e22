#pragma once
// A building: a space block other than a gross area, read at the site level.
#include "model/BlockDWG.h"

class CBlockDWGBuilding : public CBlockDWG {
public:
    CBlockDWGBuilding();
    CBlockDWGBuilding(AcDbBlockReference* reference, AcApDocument* document);
    ~CBlockDWGBuilding() override = default;

    // Writes the block to the planning tables; id is the parent location.
    void exportTP(CStoredProcedure* procedure, int timeout, int id, CString exportParameters);
};
