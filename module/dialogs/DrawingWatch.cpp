#include "dialogs/DrawingWatch.h"

#include <algorithm>

#include "drawing/AcadDrawing.h"
#include "win/UiSink.h"

CDrawingWatch& CDrawingWatch::instance() {
    static CDrawingWatch watch;
    return watch;
}

CDrawingWatch::CDrawingWatch() {
    if (AcApDocManager* manager = acDocManagerPtr()) manager->addReactor(this);
}

CDrawingWatch::~CDrawingWatch() {
    if (AcApDocManager* manager = acDocManagerPtr()) manager->removeReactor(this);
}

void CDrawingWatch::watch(CAcadDrawing* drawing) {
    if (drawing && std::find(m_drawings.begin(), m_drawings.end(), drawing) == m_drawings.end())
        m_drawings.push_back(drawing);
}

void CDrawingWatch::forget(CAcadDrawing* drawing) {
    std::erase(m_drawings, drawing);
}

CDrawingWatch::State CDrawingWatch::stateOf(const CAcadDrawing* drawing) {
    if (!drawing || drawing->getDrawingOpen() != 1 || !drawing->getDocument()) return drawingClosed;
    return acDocManager->curDocument() == drawing->getDocument() ? drawingCurrent : drawingNotCurrent;
}

void CDrawingWatch::reportClosed(const CString& drawingName) {
    AfxMessageBox(L"The drawing \"" + drawingName + L"\" has been closed; the dialog working on it closes too.",
                  MB_OK | MB_ICONEXCLAMATION);
}

void CDrawingWatch::reportNotCurrent(const CString& drawingName) {
    AfxMessageBox(L"The drawing \"" + drawingName + L"\" is not the current drawing; make it current to pick in it.",
                  MB_OK | MB_ICONEXCLAMATION);
}

void CDrawingWatch::documentToBeDestroyed(AcApDocument* document) {
    for (CAcadDrawing* drawing : m_drawings) {
        if (drawing->getDocument() != document) continue;
        drawing->setDrawingOpen(0);
        drawing->setDocument(nullptr);
    }
}
