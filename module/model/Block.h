#pragma once
// The space record: what the system keeps about one room, floor, building or site, wherever it is
// stored. The drawing and register forms derive from it.
#include "classlib/Afx.h"

class CHyperlinks;

class CBlock {
public:
    // Type codes of the block classes; an owner holding a block through this part deletes it by them.
    enum BlockType {
        typeRecord = 0,
        typeVXR = 1,
        typeVXRRoom = 2,
        typeVXRFloor = 3,
        typeVXRBuilding = 4,
        typeVXRSite = 5,
        typeDWG = 6,
        typeDWGRoom = 7,
        typeDWGFloor = 8,
        typeDWGBuilding = 9,
        typeDWGSite = 10,
    };

    CBlock();
    // Virtual: a block deleted through this part must still free what its own class holds.
    virtual ~CBlock();
    CBlock(const CBlock&) = delete;
    CBlock& operator=(const CBlock&) = delete;

    CString getHandle() const { return m_handle; }
    void setHandle(CString handle) { m_handle = handle; }
    CString getName() const { return m_name; }
    void setName(CString name) { m_name = name; }
    CString getCode() const { return m_code; }
    void setCode(CString code) { m_code = code; }
    int getUnits() const { return m_units; }
    void setUnits(int units) { m_units = units; }
    int getPrecision() const { return m_precision; }
    void setPrecision(int precision) { m_precision = precision; }
    double getArea() const { return m_area; }
    void setArea(double area) { m_area = area; }
    double getPerimeter() const { return m_perimeter; }
    void setPerimeter(double perimeter) { m_perimeter = perimeter; }
    CString getTagType() const { return m_tagType; }
    void setTagType(CString tagType) { m_tagType = tagType; }
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
    double getRoomHeight() const { return m_roomHeight; }
    void setRoomHeight(double roomHeight) { m_roomHeight = roomHeight; }
    CString getSpecialReq() const { return m_specialReq; }
    void setSpecialReq(CString specialReq) { m_specialReq = specialReq; }
    CString getTotStaff() const { return m_totStaff; }
    void setTotStaff(CString totStaff) { m_totStaff = totStaff; }
    CString getTotWkStns() const { return m_totWkStns; }
    void setTotWkStns(CString totWkStns) { m_totWkStns = totWkStns; }
    double getVolume() const { return m_volume; }
    void setVolume(double volume) { m_volume = volume; }
    int getBlockType() const { return m_blockType; }
    CHyperlinks* getHyperlinks() const { return m_hyperlinks; }
    // Takes ownership; a list held before is not deleted.
    void setHyperlinks(CHyperlinks* hyperlinks) { m_hyperlinks = hyperlinks; }

    CBlock* calculateVolume();
    // Every field but the hyperlink list, which the target keeps, and the type code of its class.
    CBlock* copyInto(CBlock* target);

protected:
    void setBlockType(int blockType) { m_blockType = blockType; }

private:
    CString m_handle;
    CString m_name;
    CString m_code;
    int m_units;
    int m_precision;
    double m_area;
    double m_perimeter;
    CString m_tagType;
    CString m_areaType;
    CString m_costCentre;
    CString m_date;
    CString m_dateLastMove;
    CString m_deptCharge;
    double m_roomHeight;
    CString m_specialReq;
    CString m_totStaff;
    CString m_totWkStns;
    double m_volume;
    int m_blockType;
    CHyperlinks* m_hyperlinks;
};
