#pragma once
// What the modeless dialogs check before they work on the drawing they were opened on: the user may
// have closed it, or made another drawing current, while the dialog stayed open.
#include "drawing/AcadDrawing.h"

namespace kelmo_dialogs {

enum class DrawingState { current, notCurrent, closed };

// Closed when the drawing's document is no longer among the host's documents.
DrawingState drawingState(const CAcadDrawing* drawing);

// Prints why the dialog cannot work on its drawing; nothing for a current one.
void reportDrawingState(DrawingState state);

} // namespace kelmo_dialogs
