#pragma once
// A space record as the register holds it: the location's register id, its parent's, two status
// flags and, for rooms, the assets found there. Each level writes itself back with its own procedure.
#include "model/Block.h"

class CAssets;
class CStoredProcedure;
namespace kelmo_model {
class RegisterCall;
}

class CBlockVXR : public CBlock {
public:
    CBlockVXR();
    ~CBlockVXR() override;

    int getId() const { return m_id; }
    void setId(int id) { m_id = id; }
    int getParentId() const { return m_parentId; }
    void setParentId(int parentId) { m_parentId = parentId; }
    int getStatusExists() const { return m_statusExists; }
    void setStatusExists(int statusExists) { m_statusExists = statusExists; }
    int getStatusDuplicate() const { return m_statusDuplicate; }
    void setStatusDuplicate(int statusDuplicate) { m_statusDuplicate = statusDuplicate; }
    // Takes ownership; a list held before is not deleted.
    CAssets* getAssets() const { return m_assets; }
    void setAssets(CAssets* assets) { m_assets = assets; }

    // Writes the block to the register. A plain register block has nowhere to go.
    virtual void applyToVXR(CStoredProcedure* procedure, int drawingID, int timeout);

protected:
    void setType(int blockType) { setBlockType(blockType); }
    // Rooms and buildings: the location is created when the register does not hold it, and `id`
    // takes the id it comes back with.
    void applySpaceToVXR(kelmo_model::RegisterCall& call, const wchar_t* procedureName, int timeout);
    // Floors and sites: the location's area, handle and perimeter.
    void applyGrossAreaToVXR(kelmo_model::RegisterCall& call, const wchar_t* procedureName, int timeout);

private:
    int m_id;
    int m_parentId;
    int m_statusDuplicate;
    int m_statusExists;
    CAssets* m_assets;
};
