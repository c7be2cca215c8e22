#include "dialogs/DialogDrawing.h"

#include "core/HostCalls.h"

namespace kelmo_dialogs {

DrawingWatch::~DrawingWatch() {
    if (m_registered) acDocManager->removeReactor(this);
}

void DrawingWatch::watch(AcApDocument* document) {
    m_document = document;
    if (!m_registered) {
        acDocManager->addReactor(this);
        m_registered = true;
    }
}

DrawingState DrawingWatch::state() const {
    if (!m_document) return DrawingState::closed;
    return acDocManager->curDocument() == m_document ? DrawingState::current : DrawingState::notCurrent;
}

void DrawingWatch::documentToBeDestroyed(AcApDocument* document) {
    if (document == m_document) m_document = nullptr;
}

void reportDrawingState(DrawingState state) {
    if (state == DrawingState::closed)
        acutPrintf(L"\nThe drawing this dialog worked on has been closed - the dialog closes.\n");
    else if (state == DrawingState::notCurrent)
        acutPrintf(L"\nThe drawing this dialog works on is not the current drawing - make it current first.\n");
}

} // namespace kelmo_dialogs
