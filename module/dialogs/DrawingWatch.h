#pragma once
// The modeless dialogs keep a working drawing on the document that was current when they opened.
// The watch tells them whether that document is still open and still current before they touch
// it: a closed document is marked on the working drawing the moment the host destroys it, so no
// dialog follows a pointer to a document that is gone.
#include <vector>

#include "cad/app/ApDocument.h"
#include "classlib/Afx.h"

class CAcadDrawing;

class CDrawingWatch : public AcApDocManagerReactor {
public:
    enum State { drawingCurrent = 0, drawingNotCurrent = 1, drawingClosed = 2 };

    static CDrawingWatch& instance();

    CDrawingWatch(const CDrawingWatch&) = delete;
    CDrawingWatch& operator=(const CDrawingWatch&) = delete;
    ~CDrawingWatch() override;

    // A dialog watches its working drawing from when it makes it until it deletes it.
    void watch(CAcadDrawing* drawing);
    void forget(CAcadDrawing* drawing);
    static State stateOf(const CAcadDrawing* drawing);

    // The messages of a refused operation, in a message box.
    static void reportClosed(const CString& drawingName);
    static void reportNotCurrent(const CString& drawingName);

    void documentToBeDestroyed(AcApDocument* document) override;

private:
    CDrawingWatch();
    std::vector<CAcadDrawing*> m_drawings;
};
