#include "model/KelmoAttribute.h"

#include "core/Catch.h"

KELMO_SOURCE_FILE(L"KelmoAttribute");

// No role until the maker gives one.
CKelmoAttribute::CKelmoAttribute() : m_swapType(-1) {}

void CKelmoAttribute::setSwapType(int swapType) {
    KELMO_TRY
        m_swapType = swapType;
        if (swapType == 0)
            setTag(L"NAME");
        else if (swapType == 1)
            setTag(L"AREA");
        else if (swapType == 2)
            setTag(L"AUX");
    KELMO_CATCH(L"CKelmoAttribute::setSwapType")
}

CAttribute* CKelmoAttribute::clone() {
    KELMO_TRY
        CKelmoAttribute* copy = new CKelmoAttribute();
        copy->setTag(getTag());
        copy->setSwapType(m_swapType);
        copy->setValue(getValue());
        copy->setExists(getExists());
        return copy;
    KELMO_CATCH(L"CKelmoAttribute::clone")
}
