#pragma once
// The host's main window, as the module sees it: a parent for its dialogs and the plot
// progress dialog. cadhost has no window of its own, so it has no handle.
class CWnd;
using CMDIFrameWnd = CWnd;

CMDIFrameWnd* acedGetAcadFrame();
