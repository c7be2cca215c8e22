#pragma once
// A room of the register: written back with the assets found in it.
#include "model/BlockVXR.h"

class CBlockVXRRoom : public CBlockVXR {
public:
    CBlockVXRRoom();
    ~CBlockVXRRoom() override = default;

    void applyToVXR(CStoredProcedure* procedure, int drawingID, int timeout) override;
};
