#pragma once
// A building of the register: created in the register when it is not held there yet.
#include "model/BlockVXR.h"

class CBlockVXRBuilding : public CBlockVXR {
public:
    CBlockVXRBuilding();
    ~CBlockVXRBuilding() override = default;

    void applyToVXR(CStoredProcedure* procedure, int drawingID, int timeout) override;
};
