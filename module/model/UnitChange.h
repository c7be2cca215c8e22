#pragma once
// A space record holds its lengths, areas and volumes in metres or in feet, as its one units flag says
// (0 metric, 1 imperial). A change of units converts every one of them, so that each still means the
// same length, area or volume; and a label that showed one as the record writes it follows it.
#include "classlib/Afx.h"
#include "model/BlockDWG.h"

namespace kelmo_model {

inline constexpr double feetPerMetre = 3.2808399;
inline constexpr double squareFeetPerSquareMetre = 10.7639104;
inline constexpr double cubicFeetPerCubicMetre = feetPerMetre * feetPerMetre * feetPerMetre;

// The area, length or volume held in units `from` in units `to`. Units that are not known (anything
// but 0 and 1) convert nothing: the value is taken as held.
double areaInUnits(double area, int from, int to);
double lengthInUnits(double length, int from, int to);
double volumeInUnits(double volume, int from, int to);

// Whether a label's text shows the block's stored value: as the record writes it (`written`), or as
// the record held it when the block was read.
bool showsStored(const CString& label, const CString& written, const CBlockDWG* block, CBlockDWG::StoredValue value);

// The room height and the volume as the record writes them (CBlockDWG::getRoomHeightText).
struct HeightAndVolumeTexts {
    CString height;
    CString volume;
};
HeightAndVolumeTexts heightAndVolumeTexts(CBlockDWG* block);

// After the block's units changed: its AREA or AUX label that showed the room height or the volume as
// written before (`before`) shows the converted value as the record now writes it. Any other text was
// typed by someone and stays.
void followHeightAndVolume(CBlockDWG* block, const HeightAndVolumeTexts& before);

} // namespace kelmo_model
