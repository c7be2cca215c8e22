#include "dialogs/HyperPres.h"

#include <memory>

#include "cad/app/ApDocument.h"
#include "core/Catch.h"
#include "core/Globals.h"
#include "core/HostCalls.h"
#include "core/KelmoExceptions.h"
#include "core/Utilities.h"
#include "dialogs/DrawingWatch.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadUtilities.h"
#include "model/BlockDWG.h"
#include "model/Blocks.h"
#include "model/Hyperlink.h"
#include "model/Hyperlinks.h"
#include "model/ModelSupport.h"

KELMO_SOURCE_FILE(L"HyperPres");

using kelmo_model::HeldLock;
using kelmo_model::OpenedObject;

namespace {

// Space blocks carry a space record; any other reference carries only what the user gives it here.
bool isSpaceBlock(const CBlockDWG* block) {
    CString start = block->getBlockIdentifier().Left(5);
    start.MakeUpper();
    return start == L"ROOM-";
}

} // namespace

BEGIN_MESSAGE_MAP(CHyperPres, CDialog)
ON_BN_CLICKED(IDC_LINK_APPLY, &CHyperPres::OnCmdApply)
ON_WM_SHOWWINDOW()
ON_BN_CLICKED(IDC_LINK_SELECT, &CHyperPres::OnCmdSelectBlock)
ON_BN_CLICKED(IDC_LINK_CANCEL, &CHyperPres::OnCmdCancel)
ON_MESSAGE(WM_ACAD_KEEPFOCUS, &CHyperPres::OnAcadKeepFocus)
ON_EN_CHANGE(IDC_LINK_HREF_1, &CHyperPres::OnChangeHref1)
ON_EN_CHANGE(IDC_LINK_HREF_2, &CHyperPres::OnChangeHref2)
ON_EN_CHANGE(IDC_LINK_HREF_3, &CHyperPres::OnChangeHref3)
ON_EN_CHANGE(IDC_LINK_HREF_4, &CHyperPres::OnChangeHref4)
ON_EN_CHANGE(IDC_LINK_HREF_5, &CHyperPres::OnChangeHref5)
ON_BN_CLICKED(IDOK, &CHyperPres::OnCmdOK)
END_MESSAGE_MAP()

CHyperPres::CHyperPres(CWnd* pParent)
    : CDialog(IDD, pParent),
      m_applyToAllSimilar(0),
      m_blockName(L"Block not Selected"),
      m_handle(L"Block not Selected"),
      m_drawing(nullptr),
      m_currentBlock(nullptr),
      m_acadWindow(nullptr) {}

CHyperPres::~CHyperPres() {
    // Closing the dialog has released these already; this is for a dialog never closed.
    delete m_currentBlock;
    CDrawingWatch::instance().forget(m_drawing);
    delete m_drawing;
}

void CHyperPres::DoDataExchange(CDataExchange* pDX) {
    static const int descriptions[rowCount] = {IDC_LINK_DESCRIPTION_1, IDC_LINK_DESCRIPTION_2, IDC_LINK_DESCRIPTION_3,
                                               IDC_LINK_DESCRIPTION_4, IDC_LINK_DESCRIPTION_5};
    static const int hrefs[rowCount] = {IDC_LINK_HREF_1, IDC_LINK_HREF_2, IDC_LINK_HREF_3, IDC_LINK_HREF_4,
                                        IDC_LINK_HREF_5};
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDOK, m_okButton);
    DDX_Control(pDX, IDC_LINK_SELECT, m_selectButton);
    DDX_Control(pDX, IDC_LINK_APPLY, m_applyButton);
    DDX_Control(pDX, IDC_LINK_CANCEL, m_cancelButton);
    for (int row = 0; row < rowCount; ++row) DDX_Text(pDX, descriptions[row], m_descriptions[row]);
    for (int row = 0; row < rowCount; ++row) DDX_Text(pDX, hrefs[row], m_hrefs[row]);
    DDX_Check(pDX, IDC_LINK_ALL_SIMILAR, m_applyToAllSimilar);
    DDX_Text(pDX, IDC_LINK_BLOCK_NAME, m_blockName);
    DDX_Text(pDX, IDC_LINK_HANDLE, m_handle);
}

// ---------------------------------------------------------------------------------------------------------
// Opening and closing

void CHyperPres::OnShowWindow(BOOL bShow, UINT nStatus) {
    CDialog::OnShowWindow(bShow, nStatus);
    if (!bShow || m_drawing) return;
    AcApDocument* document = acDocManager->curDocument();
    m_drawing = new CAcadDrawing();
    m_drawing->setDocument(document);
    m_drawing->setDrawingFilename(document ? CString(document->fileName()) : CString());
    m_drawing->setDrawingOpen(document ? 1 : 0);
    m_drawing->setLeaveOpen(1);
    CDrawingWatch::instance().watch(m_drawing);
    acutPrintf(L"Please select a block to hyperlink\n");
    m_okButton.EnableWindow(FALSE);
    m_applyButton.EnableWindow(FALSE);
}

LRESULT CHyperPres::OnAcadKeepFocus(WPARAM, LPARAM) {
    return TRUE;
}

void CHyperPres::releaseObjects() {
    delete m_currentBlock;
    m_currentBlock = nullptr;
    if (!m_drawing) return;
    // A prompt this dialog left waiting on the drawing's command line is cancelled.
    if (CDrawingWatch::stateOf(m_drawing) != CDrawingWatch::drawingClosed)
        acDocManager->sendStringToExecute(m_drawing->getDocument(), L"\x1b", false, false, true);
    CDrawingWatch::instance().forget(m_drawing);
    delete m_drawing;
    m_drawing = nullptr;
}

void CHyperPres::closeDialog() {
    releaseObjects();
    CDialog::OnCancel();
    delete this;
}

void CHyperPres::OnCmdCancel() {
    closeDialog();
}

void CHyperPres::OnCancel() {
    closeDialog();
}

void CHyperPres::OnCmdOK() {
    OnOK();
}

void CHyperPres::OnOK() {
    UpdateData(TRUE);
    // Every block of a kind is gathered from the current drawing.
    if (!drawingUsable(m_applyToAllSimilar != 0)) return;
    applyHyperlinks();
    // Nothing can reach the dialog once it is hidden: it goes, with what it holds.
    releaseObjects();
    CDialog::OnOK();
    delete this;
}

bool CHyperPres::drawingUsable(bool needCurrent) {
    const CDrawingWatch::State state = CDrawingWatch::stateOf(m_drawing);
    if (state == CDrawingWatch::drawingCurrent) return true;
    const CString name = m_drawing ? m_drawing->getDrawingFilename() : CString();
    if (state == CDrawingWatch::drawingNotCurrent) {
        if (!needCurrent) return true;
        CDrawingWatch::reportNotCurrent(name);
        return false;
    }
    CDrawingWatch::reportClosed(name);
    closeDialog();
    return false;
}

// ---------------------------------------------------------------------------------------------------------
// Picking and showing a block

void CHyperPres::OnCmdSelectBlock() {
    if (!drawingUsable(true)) return;
    UpdateData(TRUE);
    ShowWindow(SW_SHOWMINIMIZED);
    if (m_acadWindow) m_acadWindow->SetActiveWindow();
    try {
        AcDbObjectId id;
        if (CAcadUtilities().selectObjectId(id, L"\nSelect a Block: ")) {
            acutPrintf(L" \n \n");
            ShowWindow(SW_RESTORE);
            SetActiveWindow();
            if (isBlockReference(id)) {
                setCurrentAcadBlock(id);
                m_okButton.EnableWindow(TRUE);
                m_applyButton.EnableWindow(TRUE);
                acutPrintf(L"Block Selected\n");
            }
            UpdateData(FALSE);
        } else {
            acutPrintf(L"A new block has not been selected\n");
            ShowWindow(SW_RESTORE);
        }
    } catch (...) {
        ShowWindow(SW_RESTORE);
        kelmo::reportWrapped(kelmoSourceFile, L"CHyperPres::OnCmdSelectBlock", kelmo::catchClassLib);
    }
}

bool CHyperPres::isBlockReference(AcDbObjectId id) {
    try {
        AcDbEntity* entity = nullptr;
        if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk) return false;
        OpenedObject opened(entity);
        return CString(entity->isA()->name()) == L"AcDbBlockReference";
    } catch (CEXKelmo* failure) {
        failure->deleteException();
    } catch (CException* failure) {
        failure->Delete();
    } catch (...) {}
    return false;
}

// The block as the drawing holds it now becomes the current one; false when it cannot be read.
bool CHyperPres::readBlock(AcDbObjectId id) {
    if (!m_drawing || m_drawing->lock() != Acad::eOk) return false;
    HeldLock held(m_drawing);
    AcDbEntity* entity = nullptr;
    if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk) return false;
    OpenedObject opened(entity);
    AcDbBlockReference* reference = AcDbBlockReference::cast(entity);
    if (!reference) return false;
    CBlockDWG* block = new CBlockDWG(reference, m_drawing->getDocument());
    delete m_currentBlock;
    m_currentBlock = block;
    return true;
}

void CHyperPres::setCurrentAcadBlock(AcDbObjectId id) {
    try {
        readBlock(id);
        fillRows();
    } catch (...) {
        acutPrintf(L"Unable to hyperlink block(s).\n");
        kelmo::reportWrapped(kelmoSourceFile, L"CHyperPres::setCurrentAcadBlock", kelmo::catchModule);
    }
}

void CHyperPres::fillRows() {
    for (int row = 0; row < rowCount; ++row) {
        m_hrefs[row].Empty();
        m_descriptions[row].Empty();
    }
    m_applyToAllSimilar = 0;
    m_blockName.Empty();
    m_handle.Empty();
    if (m_currentBlock) {
        m_blockName = m_currentBlock->getName();
        m_handle = m_currentBlock->CBlock::getHandle();
        if (CHyperlinks* hyperlinks = m_currentBlock->getHyperlinks()) {
            // Only the first five are shown; the others are kept after them when the rows are written.
            for (int row = 0; row < rowCount && row < hyperlinks->getCount(); ++row) {
                m_hrefs[row] = hyperlinks->getAt(row)->getHref();
                m_descriptions[row] = hyperlinks->getAt(row)->getDescription();
            }
        }
    }
    UpdateData(FALSE);
}

void CHyperPres::descriptionFollowsHref(int row) {
    const CString previous = m_hrefs[row];
    UpdateData(TRUE);
    if (m_descriptions[row].IsEmpty() || m_descriptions[row] == previous) m_descriptions[row] = m_hrefs[row];
    UpdateData(FALSE);
}

void CHyperPres::OnChangeHref1() {
    descriptionFollowsHref(0);
}

void CHyperPres::OnChangeHref2() {
    descriptionFollowsHref(1);
}

void CHyperPres::OnChangeHref3() {
    descriptionFollowsHref(2);
}

void CHyperPres::OnChangeHref4() {
    descriptionFollowsHref(3);
}

void CHyperPres::OnChangeHref5() {
    descriptionFollowsHref(4);
}

// ---------------------------------------------------------------------------------------------------------
// Writing the hyperlinks

void CHyperPres::OnCmdApply() {
    UpdateData(TRUE);
    if (!drawingUsable(m_applyToAllSimilar != 0)) return;
    applyHyperlinks();
}

void CHyperPres::applyHyperlinks() {
    UpdateData(TRUE);
    if (!m_currentBlock) return;
    std::unique_ptr<CHyperlinks> hyperlinks(new CHyperlinks());
    for (int row = 0; row < rowCount; ++row) {
        if (m_hrefs[row].IsEmpty()) continue;
        if (m_descriptions[row].IsEmpty()) m_descriptions[row] = m_hrefs[row];
        CHyperlink* link = new CHyperlink(m_hrefs[row], m_descriptions[row]);
        // A second row with the same address is not stored twice.
        if (!hyperlinks->add(link)) delete link;
    }
    keepUnshownLinks(hyperlinks.get());
    if (m_applyToAllSimilar)
        hyperlinkAllBlocks(hyperlinks.get());
    else
        hyperlinkBlock(hyperlinks.get());
    setCurrentAcadBlock(m_currentBlock->getObjectId());
}

// The links past the rows shown follow the edited ones, as the block holds them now; a block that
// cannot be read again gives those it had when it was read.
void CHyperPres::keepUnshownLinks(CHyperlinks* hyperlinks) {
    try {
        readBlock(m_currentBlock->getObjectId());
    } catch (CEXKelmo* failure) {
        failure->deleteException();
    } catch (CException* failure) {
        failure->Delete();
    }
    CHyperlinks* held = m_currentBlock->getHyperlinks();
    for (int i = rowCount; held && i < held->getCount(); ++i) {
        CHyperlink* link = new CHyperlink(held->getAt(i)->getHref(), held->getAt(i)->getDescription());
        if (!hyperlinks->add(link)) delete link;
    }
}

void CHyperPres::writeHyperlinks(CBlockDWG* block, CHyperlinks* hyperlinks) {
    // Every block owns a list of its own; the one it held before is done with.
    CHyperlinks* own = new CHyperlinks();
    hyperlinks->copyTo(own);
    CHyperlinks* before = block->getHyperlinks();
    block->setHyperlinks(own);
    delete before;
    const Acad::ErrorStatus locked = m_drawing->lock();
    if (locked != Acad::eOk)
        throw new CEXUnhandled(locked, KELMO_BANNER, kelmoSourceFile, L"CHyperPres::writeHyperlinks", 0,
                               m_drawing->getDrawingFilename(), nullptr);
    HeldLock held(m_drawing);
    AcDbEntity* reference = nullptr;
    // A block that cannot take the links (a space on a locked layer among them) is reported, not
    // counted as linked.
    const Acad::ErrorStatus opened = acdbOpenAcDbEntity(reference, block->getObjectId(), AcDb::kForWrite);
    if (opened != Acad::eOk)
        throw new CEXUnhandled(opened, KELMO_BANNER, kelmoSourceFile, L"CHyperPres::writeHyperlinks", 0,
                               m_drawing->getDrawingFilename(), nullptr);
    if (isSpaceBlock(block)) {
        reference->close();
        CKelmoExceptions warnings;
        block->applyToDWG(m_drawing, &warnings);
        if (warnings.getCount() > 0) warnings.reportToMessageBox();
        return;
    }
    OpenedObject open(reference);
    block->hyperlinkBlock(reference, 0);
}

void CHyperPres::hyperlinkBlock(CHyperlinks* hyperlinks) {
    KELMO_TRY
        // The block is read again: a space edited since it was picked keeps those edits.
        const AcDbObjectId id = m_currentBlock->getObjectId();
        if (!readBlock(id))
            throw new CEXUnhandled(Acad::eWasErased, KELMO_BANNER, kelmoSourceFile, L"CHyperPres::hyperlinkBlock", 0,
                                   m_drawing->getDrawingFilename(), nullptr);
        writeHyperlinks(m_currentBlock, hyperlinks);
        acutPrintf(L"1 block affected.\n");
    KELMO_CATCH_REPORT(L"CHyperPres::hyperlinkBlock", kelmo::catchModule)
}

void CHyperPres::hyperlinkAllBlocks(CHyperlinks* hyperlinks) {
    KELMO_TRY
        const CString name = m_currentBlock->getBlockIdentifier();
        CBlocks blocks;
        blocks.getAcadBlocks(m_drawing, nullptr);
        LONG affected = 0;
        for (int i = 0; i < blocks.getCount(); ++i) {
            CBlockDWG* block = dynamic_cast<CBlockDWG*>(blocks.getAt(i));
            if (!block || block->getBlockIdentifier() != name) continue;
            try {
                writeHyperlinks(block, hyperlinks);
                ++affected;
            } catch (...) {
                kelmo::reportWrapped(kelmoSourceFile, L"CHyperPres::hyperlinkAllBlocks", kelmo::catchModule);
            }
        }
        acutPrintf(L"%s block(s) affected.\n", static_cast<const wchar_t*>(CUtilities::LongToCString(affected)));
    KELMO_CATCH_REPORT(L"CHyperPres::hyperlinkAllBlocks", kelmo::catchModule)
}
