#pragma once
// The gross area of a site: a gross-area space block read at the site level.
#include "model/BlockDWG.h"

class CBlockDWGSite : public CBlockDWG {
public:
    CBlockDWGSite();
    CBlockDWGSite(AcDbBlockReference* reference, AcApDocument* document);
    ~CBlockDWGSite() override = default;

    // Writes the block to the planning tables; id is the location itself.
    void exportTP(CStoredProcedure* procedure, int timeout, int id, CString exportParameters);
};
