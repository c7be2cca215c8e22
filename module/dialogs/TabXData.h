#pragma once
// A page for the nine text fields of the space record kept in the block's extended data. The block
// dialog shows no tab for it.
#include "classlib/AfxWin.h"
#include "resources/Resource.h"

class CBlock;

class CTabXData : public CDialog {
public:
    enum { IDD = IDD_TAB_XDATA };

    explicit CTabXData(CWnd* pParent = nullptr);

    void initialiseData(CBlock* block);
    // FALSE when the controls could not be read back; the block is untouched then.
    BOOL applyChanges(CBlock* block);

    CString getAreaType() const { return m_areaType; }
    void setAreaType(CString areaType) { m_areaType = areaType; }
    CString getCostCentre() const { return m_costCentre; }
    void setCostCentre(CString costCentre) { m_costCentre = costCentre; }
    CString getDate() const { return m_date; }
    void setDate(CString date) { m_date = date; }
    CString getDateLastMove() const { return m_dateLastMove; }
    void setDateLastMove(CString dateLastMove) { m_dateLastMove = dateLastMove; }
    CString getDeptCharge() const { return m_deptCharge; }
    void setDeptCharge(CString deptCharge) { m_deptCharge = deptCharge; }
    CString getSpecialReq() const { return m_specialReq; }
    void setSpecialReq(CString specialReq) { m_specialReq = specialReq; }
    CString getTagType() const { return m_tagType; }
    void setTagType(CString tagType) { m_tagType = tagType; }
    CString getTotStaff() const { return m_totStaff; }
    void setTotStaff(CString totStaff) { m_totStaff = totStaff; }
    CString getTotWkStns() const { return m_totWkStns; }
    void setTotWkStns(CString totWkStns) { m_totWkStns = totWkStns; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;

private:
    CString m_areaType;
    CString m_costCentre;
    CString m_date;
    CString m_dateLastMove;
    CString m_deptCharge;
    CString m_specialReq;
    CString m_tagType;
    CString m_totStaff;
    CString m_totWkStns;
};
