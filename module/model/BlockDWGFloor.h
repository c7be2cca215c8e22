#pragma once
// The gross area of a floor: a space block whose definition is "ROOM-GROSS_AREA" or whose record is named "GROSS AREA".
#include "model/BlockDWG.h"

class CBlockDWGFloor : public CBlockDWG {
public:
    CBlockDWGFloor();
    CBlockDWGFloor(AcDbBlockReference* reference, AcApDocument* document);
    ~CBlockDWGFloor() override = default;

    // Writes the block to the planning tables; id is the location itself.
    void exportTP(CStoredProcedure* procedure, int timeout, int id, CString exportParameters);
};
