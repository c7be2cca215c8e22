#pragma once
// A room: a space block other than a gross area, read at the floor level, with the assets inside it on request.
#include "model/BlockDWG.h"

class CBlockDWGRoom : public CBlockDWG {
public:
    CBlockDWGRoom();
    CBlockDWGRoom(AcDbBlockReference* reference, AcApDocument* document, int loadAssets);
    ~CBlockDWGRoom() override = default;

    // Writes the block to the planning tables; id is the parent location.
    void exportTP(CStoredProcedure* procedure, int timeout, int id, CString exportParameters);
};
