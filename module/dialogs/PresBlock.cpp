#include "dialogs/PresBlock.h"

#include <memory>

#include "cad/AcDb.h"
#include "core/Catch.h"
#include "core/Globals.h"
#include "core/KelmoExceptions.h"
#include "dialogs/DrawingWatch.h"
#include "dialogs/PresBrenvik.h"
#include "dialogs/TabData.h"
#include "dialogs/TabFormat.h"
#include "drawing/AcadDrawing.h"
#include "model/BlockDWG.h"
#include "model/ModelSupport.h"

KELMO_SOURCE_FILE(L"PresBlock");

BEGIN_MESSAGE_MAP(CPresBlock, CDialog)
ON_BN_CLICKED(IDC_BLOCK_RESET, &CPresBlock::OnCmdReset)
ON_BN_CLICKED(IDC_BLOCK_APPLY, &CPresBlock::OnCmdApply)
ON_WM_CLOSE()
ON_BN_CLICKED(IDOK, &CPresBlock::OnCmdOK)
ON_BN_CLICKED(IDC_BLOCK_CANCEL, &CPresBlock::OnCmdCancel)
END_MESSAGE_MAP()

CPresBlock::CPresBlock(CWnd* pParent)
    : CDialog(IDD, pParent),
      m_block(nullptr),
      m_opened(nullptr),
      m_drawing(nullptr),
      m_hostWindow(nullptr),
      m_owner(nullptr) {}

CPresBlock::~CPresBlock() {
    delete m_block;
    delete m_opened;
}

void CPresBlock::setBlock(CBlockDWG* block) {
    KELMO_TRY
        auto* copy = new CBlockDWG;
        block->copyInto(copy);
        delete m_block;
        m_block = copy;
        auto* opened = new CBlockDWG;
        block->copyInto(opened);
        delete m_opened;
        m_opened = opened;
    KELMO_CATCH(L"CPresBlock::setBlock")
}

void CPresBlock::copyBlockBack(CBlockDWG* block) {
    KELMO_TRY
        if (!m_block) return;
        m_block->copyInto(block);
        delete m_block;
        m_block = nullptr;
    KELMO_CATCH(L"CPresBlock::copyBlockBack")
}

BOOL CPresBlock::Create() {
    return CDialog::Create(IDD, nullptr);
}

CTabData* CPresBlock::getDataPage() const {
    return static_cast<CTabData*>(m_tabCtrl.m_tabPages[0]);
}

CTabFormat* CPresBlock::getFormatPage() const {
    return static_cast<CTabFormat*>(m_tabCtrl.m_tabPages[1]);
}

void CPresBlock::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_BLOCK_TAB, m_tabCtrl);
}

BOOL CPresBlock::OnInitDialog() {
    KELMO_TRY
        CDialog::OnInitDialog();
        m_tabCtrl.InsertItem(0, L"Space Data");
        m_tabCtrl.InsertItem(1, L"Format");
        m_tabCtrl.init();
        initialisePages();
    KELMO_CATCH_REPORT(L"CPresBlock::OnInitDialog", kelmo::catchClassLib)
    return TRUE;
}

void CPresBlock::initialisePages() {
    KELMO_TRY
        getDataPage()->initialiseData(m_block, this, m_hostWindow, m_drawing);
        getFormatPage()->initialiseData(m_block, this, m_hostWindow, m_drawing);
    KELMO_CATCH(L"CPresBlock::initialisePages")
}

BOOL CPresBlock::checkDrawing(BOOL forPick) {
    const CDrawingWatch::State state = CDrawingWatch::stateOf(m_drawing);
    const CString name = m_drawing ? m_drawing->getDrawingFilename() : CString();
    if (state == CDrawingWatch::drawingNotCurrent && forPick) {
        CDrawingWatch::reportNotCurrent(name);
        return FALSE;
    }
    if (state != CDrawingWatch::drawingClosed) return TRUE;
    CDrawingWatch::reportClosed(name);
    // Nothing of the drawing is touched on the way out: it is gone.
    CPresBrenvik* owner = m_owner;
    EndDialog(IDCANCEL);
    delete this;
    if (owner) owner->closeOnLostDrawing();
    return FALSE;
}

BOOL CPresBlock::applyToBlock() {
    KELMO_TRY
        if (!getDataPage()->applyChanges()) return FALSE;
        if (!getFormatPage()->applyChanges()) return FALSE;
        // A space that cannot take the write (deleted, or put on a locked layer, while the dialog was
        // open) is reported and the edits stay in the dialog, rather than the write being counted done.
        ensureWritable();
        const Acad::ErrorStatus locked = m_drawing->lock();
        if (locked != Acad::eOk)
            throw new CEXUnhandled(locked, KELMO_BANNER, kelmoSourceFile, L"CPresBlock::applyToBlock", 0,
                                   m_drawing->getDrawingFilename(), nullptr);
        BOOL taken = FALSE;
        bool written = false;
        CKelmoExceptions warnings;
        {
            // Read again and written under one hold of the lock.
            kelmo_model::HeldLock held(m_drawing);
            std::unique_ptr<CBlockDWG> current(readCurrent());
            taken = m_opened && takeEdits(current.get());
            if (taken) {
                written = current->applyToDWG(m_drawing, &warnings);
                if (written) restartFrom(current.get());
            }
        }
        if (!taken) {
            AfxMessageBox(
                L"The space has changed in the drawing since it was opened here, in a value edited here "
                L"too: nothing was written. Cancel and open the space again to edit it as it stands now.",
                MB_ICONEXCLAMATION);
            return FALSE;
        }
        if (warnings.getCount() > 0) warnings.reportToMessageBox();
        if (!written) {
            // The space was left whole, and the command line says why; the edits stay here for another try.
            if (warnings.getCount() == 0)
                AfxMessageBox(
                    L"Nothing was written: the space was left as it is, for the reason the command line "
                    L"gives (a label on a locked layer, a value longer than a drawing holds). Change the "
                    L"edits, or cancel them.",
                    MB_ICONEXCLAMATION);
            return FALSE;
        }
        // The editor's list, hidden while this dialog is open, is filled again as it closes.
        m_drawing->regenDrawing();
        return TRUE;
    KELMO_CATCH(L"CPresBlock::applyToBlock")
}

void CPresBlock::ensureWritable() {
    Acad::ErrorStatus status = m_drawing->lock();
    if (status == Acad::eOk) {
        kelmo_model::HeldLock held(m_drawing);
        AcDbEntity* reference = nullptr;
        status = acdbOpenAcDbEntity(reference, m_block->getObjectId(), AcDb::kForWrite);
        if (status == Acad::eOk) reference->close();
    }
    if (status != Acad::eOk)
        throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CPresBlock::applyToBlock", 0,
                               m_drawing->getDrawingFilename(), nullptr);
}

void CPresBlock::OnCmdApply() {
    KELMO_TRY
        if (!checkDrawing(FALSE)) return;
        applyToBlock();
    KELMO_CATCH_REPORT(L"CPresBlock::OnCmdApply", kelmo::catchClassLib)
}

void CPresBlock::OnCmdOK() {
    BOOL written = FALSE;
    KELMO_TRY
        if (!checkDrawing(FALSE)) return;
        written = applyToBlock();
    KELMO_CATCH_REPORT(L"CPresBlock::OnCmdOK", kelmo::catchClassLib)
    // A write that failed or was refused leaves the dialog open with the user's edits.
    if (!written) return;
    CDialog::OnOK();
    endDialog();
}

void CPresBlock::OnCmdCancel() {
    OnCancel();
}

void CPresBlock::OnCancel() {
    CDialog::OnCancel();
    endDialog();
}

void CPresBlock::OnClose() {
    CDialog::OnClose();
}

void CPresBlock::OnCmdReset() {
    KELMO_TRY
        initialisePages();
    KELMO_CATCH_REPORT(L"CPresBlock::OnCmdReset", kelmo::catchClassLib)
}

void CPresBlock::endDialog() {
    CPresBrenvik* owner = m_owner;
    const bool closed = CDrawingWatch::stateOf(m_drawing) == CDrawingWatch::drawingClosed;
    const CString name = m_drawing ? m_drawing->getDrawingFilename() : CString();
    if (!closed) {
        KELMO_TRY
            if (m_owner) m_owner->refreshList();
            if (m_block) m_block->highlightAreasSubtracted(m_drawing, 0, 0);
        KELMO_CATCH_REPORT(L"CPresBlock::endDialog", kelmo::catchClassLib)
    }
    delete this;
    if (!owner) return;
    if (closed) {
        CDrawingWatch::reportClosed(name);
        owner->closeOnLostDrawing();
        return;
    }
    owner->ShowWindow(SW_SHOWNORMAL);
}
