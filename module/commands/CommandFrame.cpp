#include "commands/CommandFrame.h"

#include "cad/app/ApDocument.h"
#include "classlib/Resources.h"
#include "core/Globals.h"
#include "core/HostCalls.h"
#include "core/KelmoExceptions.h"
#include "drawing/DrawingUnit.h"
#include "entry/KelmoEntry.h"

KELMO_SOURCE_FILE(L"Brenvik");

namespace kelmo {

CommandResources::CommandResources() : m_previous(AfxGetResourceHandle()) {
    const HINSTANCE module = g_extensionModule.ModuleResourceInstance();
    acDocManager->pushResourceHandle(module);
    if (module != nullptr) {
        AfxSetResourceHandle(module);
    }
    // Which unit a drawing is measured in is said once in each command that measures it.
    CDrawingUnit::newCommand();
}

CommandResources::~CommandResources() {
    acDocManager->popResourceHandle();
    AfxSetResourceHandle(m_previous);
}

void printTitle(const wchar_t* title) {
    const CString line = CString(L"Kelmo ") + title + L" " + commandVersion;
    acutPrintf(L"%s\n", static_cast<const wchar_t*>(line));
}

std::unique_ptr<CAcadDrawing> workingDrawing() {
    AcApDocument* document = acDocManager->curDocument();
    if (document == nullptr) {
        throw new CEXCustom(L"No drawing is open.", KELMO_BANNER, kelmoSourceFile, L"workingDrawing", 0, nullptr);
    }
    auto drawing = std::make_unique<CAcadDrawing>();
    drawing->setDocument(document);
    drawing->setDrawingFilename(document->fileName());
    drawing->setDrawingOpen(1);
    drawing->setLeaveOpen(1);
    return drawing;
}

CString preferencesPath() {
    return g_hostDirectory + L"\\kelmo\\prefs\\prefs.cfg";
}

std::unique_ptr<CPreferences> loadedPreferences() {
    auto preferences = std::make_unique<CPreferences>();
    // A missing file leaves the defaults.
    preferences->loadPreferences(preferencesPath());
    return preferences;
}

} // namespace kelmo
