#include "dialogs/DialogDrawing.h"

#include "cad/app/ApDocument.h"
#include "core/HostCalls.h"

namespace kelmo_dialogs {

DrawingState drawingState(const CAcadDrawing* drawing) {
    AcApDocument* document = drawing ? drawing->getDocument() : nullptr;
    if (!document) return DrawingState::closed;
    bool open = false;
    AcApDocumentIterator* documents = acDocManager->newAcApDocumentIterator();
    for (; !documents->done(); documents->step()) {
        // A new document may take the place of a closed one: its file must be the same too.
        if (documents->document() == document && CString(document->fileName()) == drawing->getDrawingFilename())
            open = true;
    }
    delete documents;
    if (!open) return DrawingState::closed;
    return acDocManager->curDocument() == document ? DrawingState::current : DrawingState::notCurrent;
}

void reportDrawingState(DrawingState state) {
    if (state == DrawingState::closed)
        acutPrintf(L"\nThe drawing this dialog worked on has been closed - the dialog closes.\n");
    else if (state == DrawingState::notCurrent)
        acutPrintf(L"\nThe drawing this dialog works on is not the current drawing - make it current first.\n");
}

} // namespace kelmo_dialogs
