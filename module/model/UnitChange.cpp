#include "model/UnitChange.h"

#include "model/Attributes.h"
#include "model/BlockDWG.h"

namespace kelmo_model {

namespace {

constexpr int labelArea = 1;
constexpr int labelAux = 2;

bool knownUnits(int units) {
    return units == 0 || units == 1;
}

double inUnits(double value, int from, int to, double perMetric) {
    if (!knownUnits(from) || !knownUnits(to) || from == to) return value;
    return to == 1 ? value * perMetric : value / perMetric;
}

} // namespace

double areaInUnits(double area, int from, int to) {
    return inUnits(area, from, to, squareFeetPerSquareMetre);
}

double lengthInUnits(double length, int from, int to) {
    return inUnits(length, from, to, feetPerMetre);
}

double volumeInUnits(double volume, int from, int to) {
    return inUnits(volume, from, to, cubicFeetPerCubicMetre);
}

bool showsStored(const CString& label, const CString& written, const CBlockDWG* block, CBlockDWG::StoredValue value) {
    if (label == written) return true;
    const CString stored = block->getStoredText(value);
    return !stored.IsEmpty() && label == stored;
}

HeightAndVolumeTexts heightAndVolumeTexts(CBlockDWG* block) {
    return {block->getRoomHeightText(), block->getVolumeText()};
}

void followHeightAndVolume(CBlockDWG* block, const HeightAndVolumeTexts& before) {
    CAttributes* attributes = block->getAttributes();
    if (!attributes) return;
    const HeightAndVolumeTexts after = heightAndVolumeTexts(block);
    for (int role : {labelArea, labelAux}) {
        CAttribute* label = attributes->getAtAttribute(role);
        if (!label) continue;
        if (showsStored(label->getValue(), before.height, block, CBlockDWG::storedHeight))
            label->setValue(after.height);
        else if (showsStored(label->getValue(), before.volume, block, CBlockDWG::storedVolume))
            label->setValue(after.volume);
    }
}

} // namespace kelmo_model
