#pragma once
// An attribute of a space block in one of its three roles: 0 NAME, 1 AREA, 2 AUX.
#include "model/Attributes.h"

class CKelmoAttribute : public CAttribute {
public:
    CKelmoAttribute();
    ~CKelmoAttribute() override = default;

    int getSwapType() const { return m_swapType; }
    // Also sets the tag of the role; other numbers leave the tag.
    void setSwapType(int swapType);
    CAttribute* clone() override;

private:
    int m_swapType;
};
