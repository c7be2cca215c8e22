#pragma once
// What the commands that walk the space blocks of a drawing share: gathering them, reaching their
// NAME, AREA and AUX attributes, writing one back with its own warnings, and the labels of a new one.
#include <memory>

#include "core/KelmoExceptions.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadUtilities.h"
#include "model/Attributes.h"
#include "model/BlockDWG.h"
#include "model/Blocks.h"
#include "model/KelmoAttribute.h"

namespace kelmo {

// Swap roles of a space block's attributes.
inline constexpr int attributeName = 0;
inline constexpr int attributeArea = 1;
inline constexpr int attributeAux = 2;

// The level-"f" space blocks of the drawing: rooms, and gross areas as floors.
inline std::unique_ptr<CBlocks> gatherSpaces(CAcadDrawing* drawing, int loadAssets = 0) {
    auto blocks = std::make_unique<CBlocks>();
    blocks->getKelmoDWGBlocks_SS(drawing, nullptr, loadAssets, L"f");
    return blocks;
}

// Every block the space query gives is a drawing block.
inline CBlockDWG* spaceAt(CBlocks& blocks, int index) {
    return dynamic_cast<CBlockDWG*>(blocks.getAt(index));
}

// Asks for a space and hands the work each gathered space block of the picked handle; nothing when
// the pick is cancelled. The number of blocks handed on, 0 when the pick is no space; -1 when cancelled.
template <class Work>
int eachPickedSpace(CAcadDrawing* drawing, Work&& work) {
    AcDbHandle picked;
    if (CAcadUtilities().selectSpace(picked) != 0) return -1;
    const CString pickedText = CString(picked.text().c_str());
    std::unique_ptr<CBlocks> blocks = gatherSpaces(drawing);
    int handed = 0;
    for (int i = 0; i < blocks->getCount(); ++i) {
        CBlockDWG* block = spaceAt(*blocks, i);
        if (block && block->CBlock::getHandle() == pickedText) {
            work(block);
            ++handed;
        }
    }
    return handed;
}

inline CAttribute* attributeOf(CBlockDWG* block, int swapType) {
    CAttributes* attributes = block->getAttributes();
    return attributes ? attributes->getAtAttribute(swapType) : nullptr;
}

// Writes one block back; what went wrong without stopping the work is shown before the next block.
// False when the block was left as it was (on a locked layer, say): a total counts only what was written.
inline bool writeBack(CAcadDrawing* drawing, CBlockDWG* block) {
    CKelmoExceptions warnings;
    const bool written = block->applyToDWG(drawing, &warnings);
    if (warnings.getCount() > 0) warnings.reportToMessageBox();
    return written;
}

// Writes back a block whose stored values the command does not measure: a space that holds no record
// is left without one, for the values it would hold were never measured.
inline bool writeBackKeepingRecord(CAcadDrawing* drawing, CBlockDWG* block) {
    if (!block->holdsStoredRecord()) block->setKeepsStoredRecord(true);
    return writeBack(drawing, block);
}

// The NAME, AREA and AUX attributes of a new space block, the AREA label in the units' words and
// AUX one blank.
inline CAttributes* newSpaceAttributes(const CString& name, const CString& areaText, int units) {
    CAttributes* attributes = new CAttributes();
    const CString values[] = {name, areaText + (units != 0 ? L"sq.ft." : L"sq.m."), L" "};
    for (int role = attributeName; role <= attributeAux; ++role) {
        CKelmoAttribute* attribute = new CKelmoAttribute();
        attribute->setSwapType(role);
        attribute->setValue(values[role]);
        const int before = attributes->getCount();
        if (attributes->add(attribute, 0) == before) delete attribute;
    }
    return attributes;
}

} // namespace kelmo
