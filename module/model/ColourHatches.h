#pragma once
// The hatches that colour spaces and assets: one per space or asset, in the layout that holds it, under
// that layout's own walls, furniture and labels, the asset hatches over the space hatches. A hatch made
// again for a space or an asset takes the place of the one made before.
#include "cad/AcDb.h"
#include "classlib/Afx.h"

class CAcadDrawing;

namespace kelmo_model {

// The application whose extended data marks a colour hatch: "SPACE" or "ASSET", the handle of what it
// colours, for an asset the handle of the outline it was built from, and the hatch's own handle.
constexpr const wchar_t* colourHatchApplication = L"KELMO_HATCH";

// Posts the hatch (the drawing takes it whatever happens) as the colour of the space or asset
// `coloured`, into `space`, the layout's block that holds it (model space when null), at the bottom of
// that layout's draw order with only the copies of colour hatches over it beneath it, and erases the
// colour hatch (and its outline) that was there before. The status of the posting.
Acad::ErrorStatus postColourHatch(CAcadDrawing* drawing, AcDbHatch*& hatch, AcDbObjectId* hatchId,
                                  AcDbObjectId coloured, AcDbObjectId space, bool asset,
                                  AcDbObjectId outline = AcDbObjectId());

// Erases the colour hatch the module made for the space or asset `coloured`, which leaves the drawing,
// with its outline; copies of it stay.
void eraseColourHatch(CAcadDrawing* drawing, AcDbObjectId coloured);

// The hatch the module made to colour the space or asset `coloured`, while it stands; null otherwise.
AcDbObjectId colourHatchOf(CAcadDrawing* drawing, AcDbObjectId coloured);

// The layer of the hatch the module made to colour the space or asset `coloured`, when that layer is
// locked: the hatch can then be neither replaced nor taken away. Empty otherwise.
CString lockedColourHatchLayer(CAcadDrawing* drawing, AcDbObjectId coloured);

// The layer a colour hatch would go on (the current layer when `layer` is empty), when it is locked: a
// hatch there could be neither marked as the module's nor sent under the plan. Empty otherwise.
CString lockedHatchLayer(CAcadDrawing* drawing, const CString& layer);

// Puts the space hatches back under the asset hatches that went to the bottom since they were last
// put there, in each layout that holds asset hatches.
void keepAssetHatchesOnTop(CAcadDrawing* drawing);

} // namespace kelmo_model
