// The commands that open the block creator and the hyperlink dialog. Both dialogs are modeless: the
// command shows one and returns, and the dialog looks after its own life from then on.
#include "classlib/AfxWin.h"
#include "commands/Brenvik.h"
#include "commands/CommandFrame.h"
#include "core/Globals.h"
#include "dialogs/HyperPres.h"
#include "dialogs/PresBlockCreation.h"

void blockHyperlink() {
    kelmo::CommandResources resources;
    kelmo::printTitle(L"Block Hyperlink");
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
    CPresBlockCreation* dialog = new CPresBlockCreation(nullptr);
    dialog->setAcadWindow(CWnd::GetActiveWindow());
    dialog->setHostDirectory(g_hostDirectory);
    if (!dialog->Create(CPresBlockCreation::IDD, nullptr)) {
        delete dialog;
        return;
    }
    dialog->ShowWindow(SW_SHOWNORMAL);
}
