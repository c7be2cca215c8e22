// The commands that open the block creator and the hyperlink dialog. Both dialogs are modeless: the
// command shows one and returns, and the dialog looks after its own life from then on.
#include "cad/app/ApDocument.h"
#include "classlib/AfxWin.h"
#include "commands/Brenvik.h"
#include "commands/CommandFrame.h"
#include "core/Catch.h"
#include "core/Globals.h"
#include "core/KelmoExceptions.h"
#include "dialogs/HyperPres.h"
#include "dialogs/PresBlockCreation.h"

KELMO_SOURCE_FILE(L"Brenvik");

namespace {

// The dialogs work on the drawing current when they open: without one, the user is told so in the
// error box, as the block editor's command does, and no dialog opens.
bool drawingIsOpen(const wchar_t* method) {
    if (acDocManager->curDocument() != nullptr) return true;
    try {
        throw new CEXCustom(L"No drawing is open.", KELMO_BANNER, kelmoSourceFile, method, 0, nullptr);
    } catch (...) {
        kelmo::reportWrapped(kelmoSourceFile, method);
    }
    return false;
}

} // namespace

void blockHyperlink() {
    kelmo::CommandResources resources;
    kelmo::printTitle(L"Block Hyperlink");
    if (!drawingIsOpen(L"blockHyperlink")) return;
    CHyperPres* dialog = new CHyperPres(nullptr);
    dialog->setAcadWindow(CWnd::GetActiveWindow());
    if (!dialog->Create(CHyperPres::IDD, nullptr)) {
        delete dialog;
        return;
    }
    dialog->ShowWindow(SW_SHOWNORMAL);
}

void blockCreate() {
    kelmo::CommandResources resources;
    kelmo::printTitle(L"Block Create");
    if (!drawingIsOpen(L"blockCreate")) return;
    CPresBlockCreation* dialog = new CPresBlockCreation(nullptr);
    dialog->setAcadWindow(CWnd::GetActiveWindow());
    dialog->setHostDirectory(g_hostDirectory);
    if (!dialog->Create(CPresBlockCreation::IDD, nullptr)) {
        delete dialog;
        return;
    }
    dialog->ShowWindow(SW_SHOWNORMAL);
}
