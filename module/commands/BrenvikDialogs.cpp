// The commands that open a dialog and leave it to the user: the block editor ("mbe") stays open,
// modeless, while the user works in the drawing; it looks after its own life from then on.
#include <new>

#include "cad/app/ApDocument.h"
#include "classlib/AfxWin.h"
#include "commands/Brenvik.h"
#include "commands/CommandFrame.h"
#include "core/Globals.h"
#include "core/HostCalls.h"
#include "core/KelmoExceptions.h"
#include "dialogs/PresBrenvik.h"
#include "core/Failures.h"

KELMO_SOURCE_FILE(L"Brenvik");

void Brenvik() {
    KELMO_TRY
        kelmo::CommandResources resources;
        kelmo::printTitle(L"Block Edit");
        // The editor works on the current drawing: without one there is nothing to edit.
        if (acDocManager->curDocument() == nullptr)
            throw new CEXCustom(L"No drawing is open.", KELMO_BANNER, kelmoSourceFile, L"Brenvik", 0, nullptr);
        auto* editor = new (std::nothrow) CPresBrenvik(nullptr);
        if (editor == nullptr) {
            kelmo::sayFailed(L"unable to create the edit dialog box\n");
            return;
        }
        // The window the user worked in when the command ran is activated again before each pick.
        editor->setAcadWindow(CWnd::GetActiveWindow());
        editor->setHostDirectory(g_hostDirectory);
        if (!editor->Create()) {
            delete editor;
            kelmo::sayFailed(L"unable to create the edit dialog box\n");
            return;
        }
        editor->ShowWindow(SW_SHOWNORMAL);
        KELMO_COMMAND_CATCH_LINE(L"Brenvik", L"\nUnhandled Error - Block Edit Failed\n")
}
