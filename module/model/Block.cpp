#include "model/Block.h"

#include "core/Catch.h"
#include "model/Hyperlinks.h"

KELMO_SOURCE_FILE(L"Block");

CBlock::CBlock()
    : m_units(0),
      m_precision(2),
      m_area(0.0),
      m_perimeter(0.0),
      m_roomHeight(0.0),
      m_volume(0.0),
      m_blockType(typeRecord),
      m_hyperlinks(nullptr) {}

CBlock::~CBlock() {
    delete m_hyperlinks;
}

CBlock* CBlock::calculateVolume() {
    KELMO_TRY
        m_volume = m_area * m_roomHeight;
        return this;
    KELMO_CATCH(L"CBlock::calculateVolume")
}

CBlock* CBlock::copyInto(CBlock* target) {
    KELMO_TRY
        if (!target) return target;
        target->m_handle = m_handle;
        target->m_name = m_name;
        target->m_code = m_code;
        target->m_units = m_units;
        target->m_precision = m_precision;
        target->m_area = m_area;
        target->m_perimeter = m_perimeter;
        target->m_tagType = m_tagType;
        target->m_areaType = m_areaType;
        target->m_costCentre = m_costCentre;
        target->m_date = m_date;
        target->m_dateLastMove = m_dateLastMove;
        target->m_deptCharge = m_deptCharge;
        target->m_roomHeight = m_roomHeight;
        target->m_specialReq = m_specialReq;
        target->m_totStaff = m_totStaff;
        target->m_totWkStns = m_totWkStns;
        target->m_volume = m_volume;
        // The type code names the target's own class, which deletion relies on: it is not copied.
        return target;
    KELMO_CATCH(L"CBlock::copyInto")
}
