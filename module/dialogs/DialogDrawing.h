#pragma once
// What the modeless dialogs check before they work on the drawing they were opened on: the user may
// have closed it, or made another drawing current, while the dialog stayed open.
#include "cad/app/ApDocument.h"

namespace kelmo_dialogs {

enum class DrawingState { current, notCurrent, closed };

// Watches the document of a dialog's working drawing and is told when the host closes it; a file
// name may change (a drawing saved under another name) and a pointer may be reused, a close may not.
class DrawingWatch : public AcApDocManagerReactor {
public:
    DrawingWatch() = default;
    ~DrawingWatch() override;
    DrawingWatch(const DrawingWatch&) = delete;
    DrawingWatch& operator=(const DrawingWatch&) = delete;

    // Starts watching the document; none counts as closed.
    void watch(AcApDocument* document);
    DrawingState state() const;

    void documentToBeDestroyed(AcApDocument* document) override;

private:
    AcApDocument* m_document = nullptr;
    bool m_registered = false;
};

// Prints why the dialog cannot work on its drawing; nothing for a current one.
void reportDrawingState(DrawingState state);

} // namespace kelmo_dialogs
