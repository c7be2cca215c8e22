#include "model/UnitChange.h"

#include "core/Utilities.h"
#include "model/Attributes.h"
#include "model/BlockDWG.h"

namespace kelmo_model {

namespace {

constexpr int labelArea = 1;
constexpr int labelAux = 2;

bool knownUnits(int units) {
    return units == 0 || units == 1;
}

} // namespace

double areaInUnits(double area, int from, int to) {
    if (!knownUnits(from) || !knownUnits(to) || from == to) return area;
    return to == 1 ? area * squareFeetPerSquareMetre : area / squareFeetPerSquareMetre;
}

HeightAndVolumeTexts heightAndVolumeTexts(CBlockDWG* block) {
    const bool imperial = block->getKnownUnits() == 1;
    const int precision = block->getPrecision();
    return {CUtilities::DoubleToCString(block->getRoomHeight(), precision) + (imperial ? L"ft." : L"m."),
            CUtilities::DoubleToCString(block->getVolume(), precision) + (imperial ? L"cu.ft." : L"cu.m.")};
}

void followHeightAndVolume(CBlockDWG* block, const HeightAndVolumeTexts& before) {
    CAttributes* attributes = block->getAttributes();
    if (!attributes) return;
    const HeightAndVolumeTexts after = heightAndVolumeTexts(block);
    for (int role : {labelArea, labelAux}) {
        CAttribute* label = attributes->getAtAttribute(role);
        if (!label) continue;
        if (label->getValue() == before.height)
            label->setValue(after.height);
        else if (label->getValue() == before.volume)
            label->setValue(after.volume);
    }
}

} // namespace kelmo_model
