#include "dialogs/TabData.h"

#include "cad/app/ApDocument.h"
#include "core/Catch.h"
#include "core/Utilities.h"
#include "dialogs/PresBlock.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadUtilities.h"
#include "model/Asset.h"
#include "model/Attributes.h"
#include "model/BlockDWG.h"
#include "model/KelmoAttribute.h"
#include "model/SpaceName.h"

KELMO_SOURCE_FILE(L"TabData");

namespace {

constexpr int attributeName = 0;
constexpr int attributeArea = 1;
constexpr int attributeAux = 2;

// An area or perimeter read back must be a number (the class library's own reading, which refuses
// letters, infinities and anything after the number) and not below nothing.
void readMeasure(CDataExchange* pDX, int control, double& value) {
    if (!pDX->m_bSaveAndValidate) return;
    DDX_Text(pDX, control, value);
    if (value >= 0.0) return;
    AfxMessageBox(L"Please enter an area and a perimeter of 0 or more.", MB_ICONEXCLAMATION);
    pDX->Fail();
}

// A name typed here must fit the drawing's stored form; one the space already has is kept as it is.
void checkName(CDataExchange* pDX, const CString& name, CBlockDWG* block) {
    if (!pDX->m_bSaveAndValidate || !block || name == block->getName()) return;
    CAttribute* shown = block->getAttributes() ? block->getAttributes()->getAtAttribute(attributeName) : nullptr;
    if (shown && name == shown->getValue()) return;
    const CString tooLong = kelmo_model::nameTooLong(name);
    if (tooLong.IsEmpty()) return;
    AfxMessageBox(tooLong, MB_ICONEXCLAMATION);
    pDX->Fail();
}

} // namespace

BEGIN_MESSAGE_MAP(CTabData, CDialog)
ON_BN_CLICKED(IDC_DATA_AREA_RECALC, &CTabData::OnCmdAreaRecalc)
ON_BN_CLICKED(IDC_DATA_PERIMETER_RECALC, &CTabData::OnCmdPerimeterRecalc)
ON_BN_CLICKED(IDC_DATA_SUB_SET, &CTabData::OnCmdSubArea)
ON_BN_CLICKED(IDC_DATA_SUB_HIGHLIGHT, &CTabData::OnCmdHighlight)
ON_BN_CLICKED(IDC_DATA_ADD_SET, &CTabData::OnBnClickedCmdAddArea)
ON_BN_CLICKED(IDC_DATA_ADD_HIGHLIGHT, &CTabData::OnBnClickedCmdAddHighlight)
ON_BN_CLICKED(IDC_DATA_AREA_COPY, &CTabData::OnBnClickedCmdAreacopy)
ON_BN_CLICKED(IDC_DATA_PERIMETER_COPY, &CTabData::OnBnClickedCmdPerimetercopy)
ON_BN_CLICKED(IDC_DATA_ADD_DELETE, &CTabData::OnBnClickedCmdDeleteAddAreas)
ON_BN_CLICKED(IDC_DATA_SUB_DELETE, &CTabData::OnBnClickedCmdDeleteSubAreas)
END_MESSAGE_MAP()

CTabData::CTabData(CWnd* pParent)
    : CDialog(IDD, pParent),
      m_assetCount(0),
      m_subtractedHighlighted(0),
      m_addedHighlighted(0),
      m_block(nullptr),
      m_drawing(nullptr),
      m_hostWindow(nullptr),
      m_parentDialog(nullptr) {}

CTabData::~CTabData() = default;

void CTabData::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_DATA_NAME, m_name);
    checkName(pDX, m_name, m_block);
    DDX_Text(pDX, IDC_DATA_AREA_TEXT, m_areaText);
    DDX_Text(pDX, IDC_DATA_AUX, m_aux);
    DDX_Text(pDX, IDC_DATA_AREA, m_area);
    readMeasure(pDX, IDC_DATA_AREA, m_areaValue);
    DDX_Text(pDX, IDC_DATA_PERIMETER, m_perimeter);
    readMeasure(pDX, IDC_DATA_PERIMETER, m_perimeterValue);
    DDX_Text(pDX, IDC_DATA_HEIGHT, m_height);
    DDX_Text(pDX, IDC_DATA_VOLUME, m_volume);
    DDX_Text(pDX, IDC_DATA_AREA_UNIT, m_areaUnit);
    DDX_Text(pDX, IDC_DATA_PERIMETER_UNIT, m_perimeterUnit);
    DDX_Text(pDX, IDC_DATA_HANDLE, m_handle);
    DDX_Text(pDX, IDC_DATA_ASSETS, m_assetCount);
}

void CTabData::initialiseData(CBlockDWG* block, CPresBlock* parentDialog, CWnd* hostWindow, CAcadDrawing* drawing) {
    KELMO_TRY
        m_block = block;
        m_drawing = drawing;
        m_hostWindow = hostWindow;
        m_parentDialog = parentDialog;
        if (CAttributes* attributes = m_block->getAttributes()) {
            if (CAttribute* name = attributes->getAtAttribute(attributeName)) m_name = name->getValue();
            if (CAttribute* area = attributes->getAtAttribute(attributeArea)) m_areaText = area->getValue();
            if (CAttribute* aux = attributes->getAtAttribute(attributeAux)) m_aux = aux->getValue();
        }
        m_handle = m_block->CBlock::getHandle();
        m_assetCount = m_block->getAssets() ? m_block->getAssets()->getCount() : 0;
        m_area = CUtilities::DoubleToCString(m_block->getArea(), m_block->getPrecision());
        m_perimeter = CUtilities::DoubleToCString(m_block->getPerimeter(), m_block->getPrecision());
        const bool imperial = m_block->getUnits() != 0;
        m_areaUnit = imperial ? L"ft\u00B2" : L"m\u00B2";
        m_perimeterUnit = imperial ? L"ft" : L"m";
        UpdateData(FALSE);
    KELMO_CATCH(L"CTabData::initialiseData")
}

void CTabData::setAttributeText(int swapType, const CString& text) {
    CAttributes* attributes = m_block->getAttributes();
    if (!attributes) {
        attributes = new CAttributes;
        m_block->setAttributes(attributes);
    }
    if (CAttribute* attribute = attributes->getAtAttribute(swapType)) {
        attribute->setValue(text);
        return;
    }
    auto* attribute = new CKelmoAttribute;
    attribute->setSwapType(swapType);
    attribute->setValue(text);
    const int before = attributes->getCount();
    if (attributes->add(attribute, 0) == before) {
        // A plain attribute with the same tag is held: it takes the text, and the refused one stays ours.
        if (CAttribute* sameTag = attributes->getAtAttribute(attribute->getTag())) sameTag->setValue(text);
        delete attribute;
    }
}

BOOL CTabData::applyChanges() {
    KELMO_TRY
        if (!UpdateData(TRUE)) return FALSE;
        m_block->setName(m_name);
        setAttributeText(attributeName, m_name);
        setAttributeText(attributeArea, m_areaText);
        m_block->setArea(m_areaValue);
        setAttributeText(attributeAux, m_aux);
        m_block->setPerimeter(m_perimeterValue);
        return TRUE;
    KELMO_CATCH(L"CTabData::applyChanges")
}

void CTabData::showArea() {
    m_area = CUtilities::DoubleToCString(m_block->getArea(), m_block->getPrecision());
}

void CTabData::showPerimeter() {
    m_perimeter = CUtilities::DoubleToCString(m_block->getPerimeter(), m_block->getPrecision());
}

void CTabData::recalculateBoth() {
    m_block->recalculateArea(m_drawing->getDocument());
    m_block->recalculatePerimeter(m_drawing->getDocument());
    showArea();
    showPerimeter();
    UpdateData(FALSE);
}

void CTabData::restoreParent() {
    m_parentDialog->ShowWindow(SW_RESTORE);
    SetActiveWindow();
}

void CTabData::OnCmdAreaRecalc() {
    KELMO_TRY
        if (!m_parentDialog->checkDrawing(FALSE)) return;
        m_block->recalculateArea(m_drawing->getDocument());
        showArea();
        UpdateData(FALSE);
    KELMO_CATCH_REPORT(L"CTabData::OnCmdAreaRecalc", kelmo::catchClassLib)
}

void CTabData::OnCmdPerimeterRecalc() {
    KELMO_TRY
        if (!m_parentDialog->checkDrawing(FALSE)) return;
        m_block->recalculatePerimeter(m_drawing->getDocument());
        showPerimeter();
        UpdateData(FALSE);
    KELMO_CATCH_REPORT(L"CTabData::OnCmdPerimeterRecalc", kelmo::catchClassLib)
}

void CTabData::pickAreas(bool subtracted) {
    if (!m_parentDialog->checkDrawing(TRUE)) return;
    m_parentDialog->ShowWindow(SW_SHOWMINIMIZED);
    if (m_hostWindow) m_hostWindow->SetActiveWindow();
    // A dialog minimised for a pick is always given back, whatever the pick did.
    struct Restore {
        CTabData* page;
        ~Restore() { page->restoreParent(); }
    } restore{this};
    if (subtracted) {
        m_subtractedHighlighted = 0;
        m_block->highlightAreasSubtracted(m_drawing, 0, 0);
    } else {
        m_addedHighlighted = 0;
        m_block->highlightAreasAdded(m_drawing, 0, 0);
    }
    AcDbObjectIdArray ids;
    CAcadUtilities().selectObjectIds(
        ids, subtracted ? L"Please Select Areas to Subtract (selected room/space blocks will be ignored)"
                        : L"Please Select Areas to Add (selected room/space blocks will be ignored)");
    restoreParent();
    if (subtracted)
        m_block->setHandlesToMinus(ids);
    else
        m_block->setHandlesToAdd(ids);
    recalculateBoth();
}

void CTabData::clearAreas(bool subtracted) {
    if (!m_parentDialog->checkDrawing(FALSE)) return;
    if (subtracted)
        m_block->setHandlesToMinus(CString(), m_drawing->getDatabase());
    else
        m_block->setHandlesToAdd(CString(), m_drawing->getDatabase());
    recalculateBoth();
}

void CTabData::toggleHighlight(bool subtracted) {
    if (!m_parentDialog->checkDrawing(FALSE)) return;
    int& flag = subtracted ? m_subtractedHighlighted : m_addedHighlighted;
    flag = flag ? 0 : 1;
    if (subtracted)
        m_block->highlightAreasSubtracted(m_drawing, flag, flag);
    else
        m_block->highlightAreasAdded(m_drawing, flag, flag);
    if (m_hostWindow) m_hostWindow->SetActiveWindow();
    SetActiveWindow();
}

void CTabData::copyWithUnit(bool area) {
    if (!UpdateData(TRUE)) return;
    const bool imperial = m_block->getUnits() == 1;
    if (area)
        m_areaText = m_area + (imperial ? L"sq.ft." : L"sq.m.");
    else
        m_aux = m_perimeter + (imperial ? L"ft." : L"m.");
    UpdateData(FALSE);
}

void CTabData::OnCmdSubArea() {
    KELMO_TRY
        pickAreas(true);
    KELMO_CATCH_REPORT(L"CTabData::OnCmdSubArea", kelmo::catchClassLib)
}

void CTabData::OnBnClickedCmdAddArea() {
    KELMO_TRY
        pickAreas(false);
    KELMO_CATCH_REPORT(L"CTabData::OnBnClickedCmdAddArea", kelmo::catchClassLib)
}

void CTabData::OnBnClickedCmdDeleteSubAreas() {
    KELMO_TRY
        clearAreas(true);
    KELMO_CATCH_REPORT(L"CTabData::OnBnClickedCmdDeleteSubAreas", kelmo::catchClassLib)
}

void CTabData::OnBnClickedCmdDeleteAddAreas() {
    KELMO_TRY
        clearAreas(false);
    KELMO_CATCH_REPORT(L"CTabData::OnBnClickedCmdDeleteAddAreas", kelmo::catchClassLib)
}

void CTabData::OnCmdHighlight() {
    KELMO_TRY
        toggleHighlight(true);
    KELMO_CATCH_REPORT(L"CTabData::OnCmdHighlight", kelmo::catchClassLib)
}

void CTabData::OnBnClickedCmdAddHighlight() {
    KELMO_TRY
        toggleHighlight(false);
    KELMO_CATCH_REPORT(L"CTabData::OnBnClickedCmdAddHighlight", kelmo::catchClassLib)
}

void CTabData::OnBnClickedCmdAreacopy() {
    KELMO_TRY
        copyWithUnit(true);
    KELMO_CATCH_REPORT(L"CTabData::OnBnClickedCmdAreacopy", kelmo::catchClassLib)
}

void CTabData::OnBnClickedCmdPerimetercopy() {
    KELMO_TRY
        copyWithUnit(false);
    KELMO_CATCH_REPORT(L"CTabData::OnBnClickedCmdPerimetercopy", kelmo::catchClassLib)
}
