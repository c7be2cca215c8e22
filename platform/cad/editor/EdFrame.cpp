#include "cad/editor/EdFrame.h"

#include "classlib/Wnd.h"

CMDIFrameWnd* acedGetAcadFrame() {
    static CWnd* frame = new CWnd(); // lives as long as the host; never attached to a window
    return frame;
}
