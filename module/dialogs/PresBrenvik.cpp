#include "dialogs/PresBrenvik.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "cad/app/ApDocument.h"
#include "core/Catch.h"
#include "core/Globals.h"
#include "core/HostCalls.h"
#include "core/KelmoExceptions.h"
#include "core/Preferences.h"
#include "core/Utilities.h"
#include "dialogs/DrawingWatch.h"
#include "dialogs/PresAbout.h"
#include "dialogs/PresBlock.h"
#include "dialogs/PresPreferences.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadUtilities.h"
#include "entry/KelmoEntry.h"
#include "model/Attributes.h"
#include "model/BlockDWG.h"
#include "model/Blocks.h"
#include "model/UnitChange.h"

KELMO_SOURCE_FILE(L"PresBrenvik");

namespace {

constexpr int filterRooms = 0;
constexpr int filterGrossAreas = 1;
constexpr int roomType = 7;
constexpr int attributeName = 0;
// The handle stands far to the right of the name, out of sight.

CString nameOf(CBlockDWG* block) {
    CAttributes* attributes = block->getAttributes();
    CAttribute* name = attributes ? attributes->getAtAttribute(attributeName) : nullptr;
    return name ? name->getValue() : CString();
}

bool knownUnits(int units) {
    return units == 0 || units == 1;
}

constexpr int attributeArea = 1;
constexpr int attributeAux = 2;

// A label that still shows the stored value as it was written follows the value; any other text was
// typed by someone and stays.
void followStoredValue(CBlockDWG* block, int role, const CString& before, const CString& after) {
    CAttributes* attributes = block->getAttributes();
    CAttribute* label = attributes ? attributes->getAtAttribute(role) : nullptr;
    const CBlockDWG::StoredValue value = role == attributeArea ? CBlockDWG::storedArea : CBlockDWG::storedPerimeter;
    if (label && kelmo_model::showsStored(label->getValue(), before, block, value)) label->setValue(after);
}

} // namespace

BEGIN_MESSAGE_MAP(CPresBrenvik, CDialog)
ON_BN_CLICKED(IDC_EDITOR_SELECT, &CPresBrenvik::OnCmdSelect)
ON_CBN_SELCHANGE(IDC_EDITOR_FILTER, &CPresBrenvik::OnSelchangeFilter)
ON_BN_CLICKED(IDC_EDITOR_CLOSE, &CPresBrenvik::OnCmdClose)
ON_LBN_DBLCLK(IDC_EDITOR_LIST, &CPresBrenvik::OnDblclkBlockList)
ON_COMMAND(ID_TOOLS_OPTIONS, &CPresBrenvik::OnCmdOptions)
ON_COMMAND(ID_HELP_ABOUT, &CPresBrenvik::OnCmdAbout)
ON_COMMAND(ID_FILE_EXIT, &CPresBrenvik::OnCmdExit)
END_MESSAGE_MAP()

CPresBrenvik::CPresBrenvik(CWnd* pParent)
    : CDialog(IDD, pParent),
      m_preferences(nullptr),
      m_drawing(nullptr),
      m_block(nullptr),
      m_blocks(nullptr),
      m_acadWindow(nullptr) {}

// The owned objects are freed by Close.
CPresBrenvik::~CPresBrenvik() = default;

BOOL CPresBrenvik::Create() {
    return CDialog::Create(IDD, nullptr);
}

CString CPresBrenvik::preferencesPath() const {
    return m_hostDirectory + L"\\kelmo\\prefs\\prefs.cfg";
}

void CPresBrenvik::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_EDITOR_COUNT, m_countLabel);
    DDX_Control(pDX, IDC_EDITOR_LIST, m_blockList);
    DDX_Control(pDX, IDC_EDITOR_FILTER, m_filter);
    DDX_Text(pDX, IDC_EDITOR_DRAWING_NAME, m_drawingName);
}

BOOL CPresBrenvik::OnInitDialog() {
    KELMO_TRY
        CDialog::OnInitDialog();
        loadPreferences(preferencesPath());
        AcApDocument* document = acDocManager->curDocument();
        m_drawing = new CAcadDrawing;
        m_drawing->setDocument(document);
        m_drawing->setDrawingFilename(document ? CString(document->fileName()) : CString());
        m_drawing->setDrawingOpen(document ? 1 : 0);
        m_drawing->setLeaveOpen(1);
        CDrawingWatch::instance().watch(m_drawing);
        m_block = nullptr;
        m_blocks = nullptr;
        SetWindowText(L"Kelmo Block Editor");
        m_drawingName = m_drawing->getDrawingFilename();
        UpdateData(FALSE);
        m_filter.SetCurSel(filterRooms);
        if (!document)
            throw new CEXCustom(L"No drawing is open.", KELMO_BANNER, kelmoSourceFile, L"CPresBrenvik::OnInitDialog", 0,
                                nullptr);
        refreshList();
    KELMO_CATCH_REPORT(L"CPresBrenvik::OnInitDialog", kelmo::catchClassLib)
    return TRUE;
}

void CPresBrenvik::showDrawingName() {
    // A drawing saved under another name since is shown, and named in messages, by its new one.
    AcApDocument* document = m_drawing ? m_drawing->getDocument() : nullptr;
    if (!document || CDrawingWatch::stateOf(m_drawing) == CDrawingWatch::drawingClosed) return;
    const CString name = document->fileName();
    if (name == m_drawingName) return;
    m_drawing->setDrawingFilename(name);
    m_drawingName = name;
    SetDlgItemText(IDC_EDITOR_DRAWING_NAME, m_drawingName);
}

void CPresBrenvik::refreshList() {
    KELMO_TRY
        showDrawingName();
        m_blockList.ResetContent();
        delete m_blocks;
        m_blocks = nullptr;
        m_blocks = new CBlocks;
        m_blocks->getKelmoDWGBlocks_SS(m_drawing, nullptr, 0, L"f");
        const int filter = getFilterIndex();
        m_listHandles.clear();
        std::vector<std::pair<CString, size_t>> shown; // a space's name, and its handle's place
        for (int i = 0; i < m_blocks->getCount(); ++i) {
            auto* block = dynamic_cast<CBlockDWG*>(m_blocks->getAt(i));
            if (!block || block->getBlockIdentifier().Left(5) != L"ROOM-") continue;
            const bool room = block->getBlockType() == roomType;
            if (!((room && filter == filterRooms) || (!room && filter == filterGrossAreas))) continue;
            shown.emplace_back(nameOf(block), m_listHandles.size());
            m_listHandles.push_back(block->CBlock::getHandle());
        }
        // Added in the list's own order, each lands at its end: the list fills in time that grows as
        // the rooms do. Spaces of one name stand in the order of their handles.
        std::stable_sort(shown.begin(), shown.end(), [this](const auto& a, const auto& b) {
            const int byName = a.first.CompareNoCase(b.first);
            return byName != 0 ? byName < 0 : m_listHandles[a.second].CompareNoCase(m_listHandles[b.second]) < 0;
        });
        for (const auto& [name, handle] : shown) m_blockList.SetItemData(m_blockList.AddString(name), handle);
        m_countLabel.SetWindowText(CString(std::to_wstring(shown.size()).c_str()) + L" item(s) found.");
    KELMO_CATCH(L"CPresBrenvik::refreshList")
}

void CPresBrenvik::showBlock(CString handle) {
    try {
        CAcModuleResourceOverride resources(g_extensionModule.ModuleResourceInstance());
        auto* block = dynamic_cast<CBlockDWG*>(m_blocks ? m_blocks->getAt(handle) : nullptr);
        if (!block) throw new CEXInvalidHandle(handle, KELMO_BANNER, kelmoSourceFile, L"CPresBrenvik::showBlock");
        if (m_preferences) {
            // Values in known units are converted; a block whose units are unknown is only labelled.
            const int units = m_preferences->getUnits();
            if (knownUnits(block->getUnits()))
                block->convertUnits(units);
            else
                block->setUnits(units);
            block->setPrecision(m_preferences->getPrecision());
        }
        auto* dialog = new CPresBlock(nullptr);
        dialog->setBlock(block);
        dialog->setDrawing(m_drawing);
        dialog->setHostWindow(m_acadWindow);
        dialog->setOwner(this);
        if (!dialog->Create()) {
            delete dialog;
            throw new CEXCustom(L"The block dialog could not be created.", KELMO_BANNER, kelmoSourceFile,
                                L"CPresBrenvik::showBlock", 0, nullptr);
        }
        dialog->ShowWindow(SW_SHOWNORMAL);
        ShowWindow(SW_HIDE);
    } catch (CEXInvalidHandle*) {
        throw; // the pick tells the user itself
    } catch (...) {
        kelmo::rethrowWrapped(kelmoSourceFile, L"CPresBrenvik::showBlock");
    }
}

BOOL CPresBrenvik::checkDrawing(BOOL forPick) {
    const CDrawingWatch::State state = CDrawingWatch::stateOf(m_drawing);
    if (state == CDrawingWatch::drawingNotCurrent && forPick) {
        CDrawingWatch::reportNotCurrent(m_drawingName);
        return FALSE;
    }
    if (state != CDrawingWatch::drawingClosed) {
        showDrawingName();
        return TRUE;
    }
    CDrawingWatch::reportClosed(m_drawingName);
    closeOnLostDrawing();
    return FALSE;
}

void CPresBrenvik::freeDrawingObjects() {
    CDrawingWatch::instance().forget(m_drawing);
    delete m_drawing;
    m_drawing = nullptr;
    delete m_block;
    m_block = nullptr;
    delete m_blocks;
    m_blocks = nullptr;
}

void CPresBrenvik::closeOnLostDrawing() {
    freeDrawingObjects();
    m_blockList.ResetContent();
    EndDialog(IDCANCEL);
}

void CPresBrenvik::restoreAfterPick() {
    ShowWindow(SW_RESTORE);
    SetActiveWindow();
}

void CPresBrenvik::OnCmdSelect() {
    try {
        if (!checkDrawing(TRUE)) return;
        ShowWindow(SW_SHOWMINIMIZED);
        if (m_acadWindow) m_acadWindow->SetActiveWindow();
        AcDbObjectId id;
        if (CAcadUtilities().selectObjectId(id, L"\nPlease select a space\n", L"AcDbBlockReference") != 0) {
            restoreAfterPick();
            return;
        }
        AcDbEntity* entity = nullptr;
        const Acad::ErrorStatus status = acdbOpenAcDbEntity(entity, id, AcDb::kForRead);
        if (status != Acad::eOk)
            throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CPresBrenvik::OnCmdSelect", 200, L"",
                                   nullptr);
        CString handle = entity->handle().text().c_str();
        entity->close();
        handle.Trim();
        showBlock(handle);
    } catch (CEXInvalidHandle* notListed) {
        restoreAfterPick();
        notListed->deleteException();
        acutPrintf(
            L"The specified AcDbBlockReference cannot be found in the list of Kelmo blocks.  The selected "
            L"object may not be a Kelmo block.");
    } catch (...) {
        restoreAfterPick();
        kelmo::reportWrapped(kelmoSourceFile, L"CPresBrenvik::OnCmdSelect", kelmo::catchClassLib);
    }
}

void CPresBrenvik::OnSelchangeFilter() {
    KELMO_TRY
        if (!checkDrawing(FALSE)) return;
        refreshList();
        m_blockList.SetFocus();
    KELMO_CATCH_REPORT(L"CPresBrenvik::OnSelchangeFilter", kelmo::catchClassLib)
}

void CPresBrenvik::OnDblclkBlockList() {
    KELMO_TRY
        const int selected = m_blockList.GetCurSel();
        if (selected < 0) return;
        if (!checkDrawing(FALSE)) return;
        const size_t handle = m_blockList.GetItemData(selected);
        if (handle < m_listHandles.size()) showBlock(m_listHandles[handle]);
    KELMO_CATCH_REPORT(L"CPresBrenvik::OnDblclkBlockList", kelmo::catchClassLib)
}

void CPresBrenvik::OnCmdClose() {
    KELMO_TRY
        if (m_preferences) savePreferences(preferencesPath());
        freeDrawingObjects();
    KELMO_CATCH_REPORT(L"CPresBrenvik::OnCmdClose", kelmo::catchClassLib)
    SendMessage(WM_CLOSE);
}

void CPresBrenvik::OnCmdExit() {
    EndDialog(IDCANCEL);
}

void CPresBrenvik::OnCmdOptions() {
    KELMO_TRY
        CPresPreferences dialog(nullptr);
        dialog.setHostDirectory(m_hostDirectory);
        dialog.DoModal();
        // The dialog's values (as saved, or as read from the file when it was cancelled) are the
        // editor's from now on, so a later Close does not write stale ones over them.
        if (m_preferences) {
            int units = 0;
            int precision = 0;
            double textSize = 0.0;
            double textScale = 0.0;
            double textRotation = 0.0;
            CString csvOpener;
            double zoomBorder = 0.0;
            dialog.getValues(units, precision, textSize, textScale, textRotation, csvOpener, zoomBorder);
            m_preferences->setUnits(units);
            m_preferences->setPrecision(precision);
            m_preferences->setTextSize(textSize);
            m_preferences->setTextScale(textScale);
            m_preferences->setTextRotation(textRotation);
            m_preferences->setCsvOpener(csvOpener);
            m_preferences->setZoomBorder(zoomBorder);
        }
        if (!checkDrawing(FALSE)) return;
        convertBlocksToPreferenceUnits();
    KELMO_CATCH_REPORT(L"CPresBrenvik::OnCmdOptions", kelmo::catchClassLib)
}

void CPresBrenvik::OnCmdAbout() {
    KELMO_TRY
        CPresAbout dialog(nullptr);
        dialog.DoModal();
    KELMO_CATCH_REPORT(L"CPresBrenvik::OnCmdAbout", kelmo::catchClassLib)
}

void CPresBrenvik::convertBlocksToPreferenceUnits() {
    KELMO_TRY
        if (!m_preferences) return;
        delete m_blocks;
        m_blocks = nullptr;
        m_blocks = new CBlocks;
        m_blocks->getKelmoDWGBlocks_SS(m_drawing, nullptr, 0, L"f");
        const int units = m_preferences->getUnits();
        for (int i = 0; i < m_blocks->getCount(); ++i) {
            auto* block = dynamic_cast<CBlockDWG*>(m_blocks->getAt(i));
            // Values whose units are unknown cannot be converted.
            if (!block || !knownUnits(block->getUnits()) || block->getUnits() == units) continue;
            const int precision = block->getPrecision();
            const CString area = CUtilities::DoubleToCString(block->getArea(), precision) + block->getAreaUnitText();
            const CString perimeter =
                CUtilities::DoubleToCString(block->getPerimeter(), precision) + block->getLengthUnitText();
            const kelmo_model::HeightAndVolumeTexts heightAndVolume = kelmo_model::heightAndVolumeTexts(block);
            block->convertUnits(units);
            // An area or perimeter that reads as no number keeps its text, and so does the label showing it.
            if (!block->keepsUnreadArea())
                followStoredValue(block, attributeArea, area,
                                  CUtilities::DoubleToCString(block->getArea(), precision) + block->getAreaUnitText());
            if (!block->keepsUnreadPerimeter())
                followStoredValue(
                    block, attributeAux, perimeter,
                    CUtilities::DoubleToCString(block->getPerimeter(), precision) + block->getLengthUnitText());
            kelmo_model::followHeightAndVolume(block, heightAndVolume);
            CKelmoExceptions warnings;
            block->applyToDWG(m_drawing, &warnings);
            if (warnings.getCount() > 0) warnings.reportToMessageBox();
        }
        m_drawing->regenDrawing();
    KELMO_CATCH(L"CPresBrenvik::convertBlocksToPreferenceUnits")
}

void CPresBrenvik::loadPreferences(CString path) {
    KELMO_TRY
        delete m_preferences;
        m_preferences = nullptr;
        m_preferences = new CPreferences;
        // A missing file leaves the defaults.
        m_preferences->loadPreferences(path);
    KELMO_CATCH(L"CPresBrenvik::loadPreferences")
}

void CPresBrenvik::savePreferences(CString path) {
    KELMO_TRY
        if (!m_preferences) return;
        m_preferences->savePreferences(path);
        delete m_preferences;
        m_preferences = nullptr;
    KELMO_CATCH(L"CPresBrenvik::savePreferences")
}

void CPresBrenvik::setBlock(CBlockDWG* block) {
    delete m_block;
    m_block = block;
}

int CPresBrenvik::getFilterIndex() const {
    return m_filter.GetSafeHwnd() ? m_filter.GetCurSel() : -1;
}

void CPresBrenvik::setFilterIndex(int index) {
    if (m_filter.GetSafeHwnd()) m_filter.SetCurSel(index);
}

void CPresBrenvik::setPreferences(CPreferences* preferences) {
    if (preferences == m_preferences) return;
    delete m_preferences;
    m_preferences = preferences;
}

void CPresBrenvik::setPreferenceUnitsAndPrecision(int units, int precision) {
    if (!m_preferences) return;
    m_preferences->setUnits(units);
    m_preferences->setPrecision(precision);
}
