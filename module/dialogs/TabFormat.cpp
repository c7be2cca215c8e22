#include "dialogs/TabFormat.h"

#include "cad/AcDb.h"
#include "cad/AcEd.h"
#include "core/Catch.h"
#include "core/Globals.h"
#include "core/KelmoExceptions.h"
#include "dialogs/PresBlock.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadUtilities.h"
#include "model/Attributes.h"
#include "model/BlockDWG.h"

KELMO_SOURCE_FILE(L"TabFormat");

namespace {

// A label needs a size above nothing to be seen, and one that keeps its neighbours' places (set one
// and a half heights apart) inside the drawing; the host takes width factors of 0.01 to 100; the
// module's own labels are turned either way, up to a whole turn. A refusal names its box, which may lie
// on this page while the other is shown.
void check(CDataExchange* pDX, bool usable, const wchar_t* message) {
    if (!pDX->m_bSaveAndValidate || usable) return;
    AfxMessageBox(message, MB_ICONEXCLAMATION);
    pDX->Fail();
}

} // namespace

BEGIN_MESSAGE_MAP(CTabFormat, CDialog)
ON_BN_CLICKED(IDC_FORMAT_MOVE, &CTabFormat::OnCmdMoveAttributes)
END_MESSAGE_MAP()

CTabFormat::CTabFormat(CWnd* pParent)
    : CDialog(IDD, pParent),
      m_height(0.0),
      m_rotation(0.0),
      m_widthFactor(0.0),
      m_block(nullptr),
      m_drawing(nullptr),
      m_hostWindow(nullptr),
      m_parentDialog(nullptr) {}

void CTabFormat::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_FORMAT_HEIGHT, m_height);
    check(pDX, m_height > 0.0 && m_height <= heightMax,
          L"Format page, Height: please enter a number above 0 and no more than 1000000.");
    DDX_Text(pDX, IDC_FORMAT_ROTATION, m_rotation);
    check(pDX, m_rotation >= -rotationLimit && m_rotation <= rotationLimit,
          L"Format page, Rotation: please enter a number between -360 and 360.");
    DDX_Text(pDX, IDC_FORMAT_WIDTH_FACTOR, m_widthFactor);
    check(pDX, m_widthFactor >= widthFactorMin && m_widthFactor <= widthFactorMax,
          L"Format page, Width Factor: please enter a number between 0.01 and 100.");
}

void CTabFormat::initialiseData(CBlockDWG* block, CPresBlock* parentDialog, CWnd* hostWindow, CAcadDrawing* drawing) {
    KELMO_TRY
        m_block = block;
        m_parentDialog = parentDialog;
        m_hostWindow = hostWindow;
        m_drawing = drawing;
        if (CAttributes* attributes = m_block->getAttributes()) {
            m_height = attributes->getHeight();
            m_rotation = attributes->getRotation();
            m_widthFactor = attributes->getWidthFactor();
        }
        UpdateData(FALSE);
    KELMO_CATCH(L"CTabFormat::initialiseData")
}

BOOL CTabFormat::applyChanges() {
    KELMO_TRY
        if (!UpdateData(TRUE)) return FALSE;
        CAttributes* attributes = m_block->getAttributes();
        if (!attributes) {
            attributes = new CAttributes;
            m_block->setAttributes(attributes);
        }
        attributes->setHeight(m_height);
        attributes->setWidthFactor(m_widthFactor);
        attributes->setRotation(m_rotation);
        return TRUE;
    KELMO_CATCH(L"CTabFormat::applyChanges")
}

void CTabFormat::OnCmdMoveAttributes() {
    bool minimised = false;
    KELMO_TRY
        if (!m_parentDialog->checkDrawing(TRUE)) return;
        m_parentDialog->ShowWindow(SW_SHOWMINIMIZED);
        minimised = true;
        if (m_hostWindow) m_hostWindow->SetActiveWindow();
        ads_point picked = {0.0, 0.0, 0.0};
        const int answered = acedGetPoint(nullptr, L"\nPlease select a position for the Attributes\n", picked);
        m_parentDialog->ShowWindow(SW_RESTORE);
        minimised = false;
        SetActiveWindow();
        if (answered != RTNORM) return;
        const Acad::ErrorStatus status = m_drawing->lock();
        if (status != Acad::eOk)
            throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CTabFormat::OnCmdMoveAttributes", 0,
                                   m_drawing->getDrawingFilename(), nullptr);
        try {
            const AcGePoint3d point = CAcadUtilities().convertUCSToWCS(AcGePoint3d(picked[0], picked[1], picked[2]));
            AcGeMatrix3d ucs;
            acdbUcsMatrix(ucs, m_drawing->getDatabase());
            m_block->updateAttributes(ucs, &point);
        } catch (...) {
            m_drawing->unlock(0);
            throw;
        }
        m_drawing->unlock(0);
    KELMO_CATCH_REPORT(L"CTabFormat::OnCmdMoveAttributes", kelmo::catchClassLib)
    // A failure while the dialog was minimised still gives it back.
    if (minimised) m_parentDialog->ShowWindow(SW_RESTORE);
}
