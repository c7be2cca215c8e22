#pragma once
// A site of the register: its gross area, written back by location id.
#include "model/BlockVXR.h"

class CBlockVXRSite : public CBlockVXR {
public:
    CBlockVXRSite();
    ~CBlockVXRSite() override = default;

    void applyToVXR(CStoredProcedure* procedure, int drawingID, int timeout) override;
};
