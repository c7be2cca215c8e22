// Sending a space or gross area block to the planning tables.
#include "model/BlockDWG.h"

#include "model/RegisterSupport.h"

KELMO_SOURCE_FILE(L"BlockDWG");

namespace {

// The values both exports send after their first ones, in order.
void addRecordValues(kelmo_model::RegisterCall& call, CBlockDWG& block) {
    call.addDecimal(L"@area", block.getArea());
    call.addVarChar(L"@areaType", 255, block.getAreaType());
    call.addVarChar(L"@costCentre", 255, block.getCostCentre());
    call.addVarChar(L"@date", 255, block.getDate());
    call.addVarChar(L"@dateLastMove", 255, block.getDateLastMove());
    call.addVarChar(L"@deptCharge", 255, block.getDeptCharge());
    call.addVarChar(L"@handle", 255, block.CBlock::getHandle());
    call.addDecimal(L"@perimeter", block.getPerimeter());
    call.addDecimal(L"@roomHeight", block.getRoomHeight());
    call.addVarChar(L"@specialReq", 255, block.getSpecialReq());
    call.addVarChar(L"@tagType", 255, block.getTagType());
    call.addVarChar(L"@totStaff", 255, block.getTotStaff());
    call.addVarChar(L"@totWkStns", 255, block.getTotWkStns());
    call.addDecimal(L"@volume", block.getVolume());
}

} // namespace

void CBlockDWG::exportSpaceToTP(kelmo_model::RegisterCall& call, int timeout, int parentID,
                                const CString& exportParameters) {
    call.addInt(L"@parentID", 1, parentID);
    call.addVarChar(L"@name", 255, getName());
    call.addVarChar(L"@code", 255, getCode());
    addRecordValues(call, *this);
    call.addVarChar(L"@exportParameters", 255, exportParameters);
    call.prepare(L"__to_exportSpaceBlockToTP", timeout);
    call.procedure()->execSPNoReturnParas();
}

void CBlockDWG::exportGrossAreaToTP(kelmo_model::RegisterCall& call, int timeout, int locationID,
                                    const CString& exportParameters) {
    call.addInt(L"@locationID", 1, locationID);
    addRecordValues(call, *this);
    call.addVarChar(L"@exportParameters", 255, exportParameters);
    call.prepare(L"__to_exportGrossAreaBlocktoTP", timeout);
    call.procedure()->execSPNoReturnParas();
}
