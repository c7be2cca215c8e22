#pragma once
// The hatches that colour spaces and assets: one per space or asset, under the drawing's own walls,
// furniture and labels, the asset hatches over the space hatches. A hatch made again for a space or
// an asset takes the place of the one made before.
#include "cad/AcDb.h"

class CAcadDrawing;

namespace kelmo_model {

// The application whose extended data marks a colour hatch: "SPACE" or "ASSET", the handle of what it
// colours, for an asset the handle of the outline it was built from, and the hatch's own handle.
constexpr const wchar_t* colourHatchApplication = L"KELMO_HATCH";

// Posts the hatch (the drawing takes it whatever happens) as the colour of the space or asset
// `coloured`, at the bottom of the draw order with only the copies of colour hatches over it beneath it,
// and erases the colour hatch (and its outline) that was there before. The status of the posting.
Acad::ErrorStatus postColourHatch(CAcadDrawing* drawing, AcDbHatch*& hatch, AcDbObjectId* hatchId,
                                  AcDbObjectId coloured, bool asset, AcDbObjectId outline = AcDbObjectId());

// Erases the colour hatch the module made for the space or asset `coloured`, which leaves the drawing,
// with its outline; copies of it stay.
void eraseColourHatch(CAcadDrawing* drawing, AcDbObjectId coloured);

// The colour hatch the module made for the space or asset `coloured`; null when it has none.
AcDbObjectId colourHatchOf(CAcadDrawing* drawing, AcDbObjectId coloured);

// Puts the space hatches back under the asset hatches that went to the bottom since they were last
// put there.
void keepAssetHatchesOnTop(CAcadDrawing* drawing);

} // namespace kelmo_model
