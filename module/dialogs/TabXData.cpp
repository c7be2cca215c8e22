#include "dialogs/TabXData.h"

#include "core/Catch.h"
#include "model/Block.h"

KELMO_SOURCE_FILE(L"TabXData");

CTabXData::CTabXData(CWnd* pParent) : CDialog(IDD, pParent) {}

void CTabXData::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_XDATA_AREA_TYPE, m_areaType);
    DDX_Text(pDX, IDC_XDATA_COST_CENTRE, m_costCentre);
    DDX_Text(pDX, IDC_XDATA_DATE, m_date);
    DDX_Text(pDX, IDC_XDATA_DATE_LAST_MOVE, m_dateLastMove);
    DDX_Text(pDX, IDC_XDATA_DEPT_CHARGE, m_deptCharge);
    DDX_Text(pDX, IDC_XDATA_SPECIAL_REQ, m_specialReq);
    DDX_Text(pDX, IDC_XDATA_TAG_TYPE, m_tagType);
    DDX_Text(pDX, IDC_XDATA_TOT_STAFF, m_totStaff);
    DDX_Text(pDX, IDC_XDATA_TOT_WKSTNS, m_totWkStns);
}

void CTabXData::initialiseData(CBlock* block) {
    KELMO_TRY
        m_areaType = block->getAreaType();
        m_costCentre = block->getCostCentre();
        m_date = block->getDate();
        m_dateLastMove = block->getDateLastMove();
        m_deptCharge = block->getDeptCharge();
        m_specialReq = block->getSpecialReq();
        m_tagType = block->getTagType();
        m_totStaff = block->getTotStaff();
        m_totWkStns = block->getTotWkStns();
        UpdateData(FALSE);
    KELMO_CATCH(L"CTabXData::initialiseData")
}

BOOL CTabXData::applyChanges(CBlock* block) {
    KELMO_TRY
        if (!UpdateData(TRUE)) return FALSE;
        block->setAreaType(m_areaType);
        block->setCostCentre(m_costCentre);
        block->setDate(m_date);
        block->setDateLastMove(m_dateLastMove);
        block->setDeptCharge(m_deptCharge);
        block->setSpecialReq(m_specialReq);
        block->setTagType(m_tagType);
        block->setTotStaff(m_totStaff);
        block->setTotWkStns(m_totWkStns);
        return TRUE;
    KELMO_CATCH(L"CTabXData::applyChanges")
}
