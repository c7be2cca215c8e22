#pragma once
// A floor of the register: its gross area, written back by location id.
#include "model/BlockVXR.h"

class CBlockVXRFloor : public CBlockVXR {
public:
    CBlockVXRFloor();
    ~CBlockVXRFloor() override = default;

    void applyToVXR(CStoredProcedure* procedure, int drawingID, int timeout) override;
};
