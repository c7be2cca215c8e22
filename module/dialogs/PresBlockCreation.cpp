#include "dialogs/PresBlockCreation.h"

#include <climits>
#include <memory>

#include "cad/app/ApDocument.h"
#include "cad/editor/EdSelection.h"
#include "classlib/DataExchange.h"
#include "core/Catch.h"
#include "core/Failures.h"
#include "core/HostCalls.h"
#include "core/KelmoExceptions.h"
#include "core/Utilities.h"
#include "dialogs/DrawingWatch.h"
#include "dialogs/PresAbout.h"
#include "dialogs/PresPreferences.h"
#include "dialogs/TabFormat.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadUtilities.h"
#include "model/Attributes.h"
#include "model/BlockDWGRoom.h"
#include "model/Blocks.h"
#include "model/KelmoAttribute.h"
#include "model/ModelSupport.h"
#include "model/SpaceName.h"

KELMO_SOURCE_FILE(L"PresBlockCreation");

using kelmo_model::OpenedObject;

namespace {

constexpr Acad::ErrorStatus onLockedLayer = static_cast<Acad::ErrorStatus>(87);

// The largest label size the block dialog's Format page takes.
bool labelSizeUsable(double size) {
    return size > 0.0 && size <= CTabFormat::heightMax;
}

bool rotationUsable(double rotation) {
    return rotation >= -CTabFormat::rotationLimit && rotation <= CTabFormat::rotationLimit;
}

// A box's value refused as the block editor refuses it: the message, and the exchange abandoned.
void check(CDataExchange* pDX, bool usable, const wchar_t* message) {
    if (!pDX->m_bSaveAndValidate || usable) return;
    AfxMessageBox(message, MB_ICONEXCLAMATION);
    pDX->Fail();
}

bool isDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// The decimal digits at the end of the text.
CString trailingDigits(const CString& text) {
    int start = text.GetLength();
    while (start > 0 && isDigit(text[start - 1])) --start;
    return text.Mid(start);
}

// Decimal digits plus a small number, worked on the digits so that no length of number overflows;
// leading zeros are dropped.
CString addToDigits(const CString& digits, int increment) {
    std::wstring sum(static_cast<const wchar_t*>(digits));
    long carry = increment;
    for (size_t i = sum.size(); i-- > 0 && carry > 0;) {
        const long digit = (sum[i] - L'0') + carry;
        sum[i] = static_cast<wchar_t>(L'0' + digit % 10);
        carry = digit / 10;
    }
    while (carry > 0) {
        sum.insert(sum.begin(), static_cast<wchar_t>(L'0' + carry % 10));
        carry /= 10;
    }
    const size_t first = sum.find_first_not_of(L'0');
    return first == std::wstring::npos ? CString(L"0") : CString(sum.substr(first).c_str());
}

CString leftPadded(const CString& text, int width) {
    return text.GetLength() < width ? CUtilities::padding(width - text.GetLength(), L"0") + text : text;
}

} // namespace

BEGIN_MESSAGE_MAP(CPresBlockCreation, CDialog)
ON_BN_CLICKED(IDC_CREATE_START, &CPresBlockCreation::OnCmdStart)
ON_COMMAND(ID_HELP_ABOUT, &CPresBlockCreation::OnCmdAbout)
ON_COMMAND(ID_FILE_EXIT, &CPresBlockCreation::OnCmdExit)
ON_BN_CLICKED(IDC_CREATE_SUB_AREA, &CPresBlockCreation::OnCmdSubArea)
ON_COMMAND(ID_TOOLS_OPTIONS, &CPresBlockCreation::OnCmdOptions)
ON_EN_CHANGE(IDC_CREATE_TEXT_SIZE, &CPresBlockCreation::OnChangeTextSize)
ON_MESSAGE(WM_ACAD_KEEPFOCUS, &CPresBlockCreation::OnAcadKeepFocus)
ON_WM_RBUTTONDOWN()
ON_BN_CLICKED(IDC_CREATE_ADD_AREA, &CPresBlockCreation::OnBnClickedCmdAdd)
ON_EN_CHANGE(IDC_CREATE_TEXT_SCALE, &CPresBlockCreation::OnChangeTextScale)
ON_EN_CHANGE(IDC_CREATE_TEXT_ROTATION, &CPresBlockCreation::OnChangeTextRotation)
END_MESSAGE_MAP()

CPresBlockCreation::CPresBlockCreation(CWnd* pParent)
    : CDialog(IDD, pParent),
      m_textSize(0.0),
      m_textScale(0.0),
      m_textRotation(0.0),
      m_drawing(nullptr),
      m_acadWindow(nullptr),
      m_nextIdentifier(0),
      m_numberWidth(1),
      m_nextNumber(1) {}

CPresBlockCreation::~CPresBlockCreation() {
    // Closing the dialog has deleted the working drawing already; this is for a dialog never closed.
    cleanUp();
}

void CPresBlockCreation::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CREATE_TEXT_SIZE, m_textSizeEdit);
    DDX_Control(pDX, IDC_CREATE_SUB_AREA, m_subAreaButton);
    DDX_Control(pDX, IDC_CREATE_ADD_AREA, m_addAreaButton);
    DDX_Control(pDX, IDCANCEL, m_closeButton);
    DDX_Control(pDX, IDC_CREATE_START, m_startButton);
    DDX_Text(pDX, IDC_CREATE_NEXT_NAME, m_nextSpaceName);
    DDX_Control(pDX, IDC_CREATE_TEXT_SCALE, m_textScaleEdit);
    DDX_Control(pDX, IDC_CREATE_TEXT_ROTATION, m_textRotationEdit);
    // Labels are made from these: they take what the block editor takes for a label, read whole. A scale
    // the preferences file holds is the person's own, kept until changed.
    DDX_Text(pDX, IDC_CREATE_TEXT_SIZE, m_textSize);
    check(pDX, labelSizeUsable(m_textSize), L"Text Size: please enter a number above 0 and no more than 1000000.");
    DDX_Text(pDX, IDC_CREATE_TEXT_SCALE, m_textScale);
    check(pDX, m_textScale == m_fileTextScale || CPreferences::labelsTake(m_textScale),
          L"Text Scale: please enter a number between 0.01 and 100.");
    DDX_Text(pDX, IDC_CREATE_TEXT_ROTATION, m_textRotation);
    check(pDX, rotationUsable(m_textRotation), L"Text Rotation: please enter a number between -360 and 360.");
}

// ---------------------------------------------------------------------------------------------------------
// Names and numbers

CString CPresBlockCreation::getNextBlockIdentifier() const {
    return L"ROOM-" + CUtilities::IntToCString(m_nextIdentifier);
}

void CPresBlockCreation::setNamePrefix(CString namePrefix) {
    if (!namePrefix.IsEmpty()) m_namePrefix = namePrefix;
}

void CPresBlockCreation::buildNextSpaceName() {
    const CString number = CUtilities::IntToCString(m_nextNumber);
    if (number.GetLength() >= m_numberWidth) m_numberWidth = number.GetLength();
    m_nextSpaceName = m_namePrefix + leftPadded(number, m_numberWidth);
}

void CPresBlockCreation::incrementSpaceName(CString name) {
    const CString digits = trailingDigits(name);
    const CString prefix = name.Left(name.GetLength() - digits.GetLength());
    const CString number = digits.IsEmpty() ? CString(L"1") : addToDigits(digits, m_preferences.getInc());
    m_nextSpaceName = prefix + leftPadded(number, digits.GetLength());
}

int CPresBlockCreation::getTrailingNumber(CString name, std::int64_t& number) {
    const CString digits = trailingDigits(name);
    number = digits.IsEmpty() ? 0 : CUtilities::CStringToInt64(digits);
    return 1;
}

void CPresBlockCreation::calcNextBlockIdentifier() {
    int highest = 0;
    KELMO_TRY
        AcDbDatabase* database = m_drawing && m_drawing->getDrawingOpen() ? m_drawing->getDatabase() : nullptr;
        AcDbBlockTable* table = nullptr;
        if (database && database->getBlockTable(table, AcDb::kForRead) == Acad::eOk) {
            OpenedObject openTable(table);
            AcDbBlockTableIterator* iterator = nullptr;
            table->newIterator(iterator);
            std::unique_ptr<AcDbBlockTableIterator> records(iterator);
            for (; records && !records->done(); records->step()) {
                AcDbBlockTableRecord* record = nullptr;
                if (records->getRecord(record, AcDb::kForRead) != Acad::eOk) continue;
                CString name = record->getName();
                record->close();
                CString start = name.Left(5);
                start.MakeUpper();
                if (start != L"ROOM-") continue;
                const LONG number = CUtilities::CStringToLong(name.Mid(5));
                if (number > highest) highest = number;
            }
        }
        // The largest number a name can carry is taken already: the creation reports the clash.
        m_nextIdentifier = highest == INT_MAX ? highest : highest + 1;
        return;
    KELMO_CATCH_REPORT(L"CPresBlockCreation::calcNextBlockIdentifier", kelmo::catchClassLib)
    m_nextIdentifier = highest;
}

CString CPresBlockCreation::getHighestExistingBlockName() {
    CString result;
    KELMO_TRY
        std::int64_t highest = 0;
        m_existingNames.RemoveAll();
        if (m_drawing && m_drawing->getDrawingOpen()) {
            CBlocks blocks;
            blocks.getKelmoDWGBlocks_SS(m_drawing, nullptr, 0, L"f");
            for (int i = 0; i < blocks.getCount(); ++i) {
                CBlock* block = blocks.getAt(i);
                if (!block || block->getBlockType() != CBlock::typeDWGRoom) continue;
                const CString name = block->getName();
                m_existingNames.Add(name);
                std::int64_t number = 0;
                getTrailingNumber(name, number);
                // Of equal numbers the later block wins.
                if (number >= highest) {
                    highest = number;
                    result = name;
                }
            }
        }
        return result;
    KELMO_CATCH_REPORT(L"CPresBlockCreation::getHighestExistingBlockName", kelmo::catchClassLib)
    return CString();
}

void CPresBlockCreation::calcNextBlockName() {
    KELMO_TRY
        CString name = getHighestExistingBlockName();
        if (name.IsEmpty()) name = L"Room ";
        try {
            incrementSpaceName(name);
        } catch (CEXKelmo* failure) {
            // The name shown stays as it was.
            failure->deleteException();
        } catch (CException* failure) {
            failure->Delete();
        } catch (...) {}
    KELMO_CATCH_REPORT(L"CPresBlockCreation::calcNextBlockName", kelmo::catchClassLib)
}

bool CPresBlockCreation::isAreaTypeName(CString text) {
    if (text.Find(L"AREA") < 0) return false;
    static const wchar_t* const types[] = {
        L"GROSS AREA",  L"CORE AREA",    L"NET AREA",      L"USABLE AREA",    L"BALANCE AREA",     L"LETTABLE AREA",
        L"COMMON AREA", L"CELULAR AREA", L"CELLULAR AREA", L"OPEN PLAN AREA", L"CIRCULATION AREA",
    };
    for (const wchar_t* type : types)
        if (text.Find(type) >= 0) return true;
    return false;
}

// ---------------------------------------------------------------------------------------------------------
// Preferences

void CPresBlockCreation::setPreferences(const CPreferences& preferences) {
    setPreferences(preferences.getUnits(), preferences.getPrecision(), preferences.getTextSize(),
                   preferences.getTextScale(), preferences.getTextRotation());
}

void CPresBlockCreation::setPreferences(int units, int precision, double textSize, double textScale,
                                        double textRotation) {
    m_preferences.setUnits(units);
    m_preferences.setPrecision(precision);
    m_preferences.setTextSize(textSize);
    m_preferences.setTextScale(textScale);
    m_preferences.setTextRotation(textRotation);
}

void CPresBlockCreation::loadPreferences() {
    m_preferences.loadPreferences(m_hostDirectory + L"\\kelmo\\prefs\\prefs.cfg");
}

void CPresBlockCreation::savePreferences() {
    m_preferences.savePreferences(m_hostDirectory + L"\\kelmo\\prefs\\prefs.cfg");
}

// ---------------------------------------------------------------------------------------------------------
// Opening and closing

BOOL CPresBlockCreation::OnInitDialog() {
    CDialog::OnInitDialog();
    loadPreferences();
    m_fileTextScale = m_preferences.getTextScale();
    m_nextIdentifier = 0;
    m_nextNumber = 1;
    m_numberWidth = 1;
    AcApDocument* document = acDocManager->curDocument();
    m_drawing = new CAcadDrawing();
    m_drawing->setDocument(document);
    m_drawing->setDrawingFilename(document ? CString(document->fileName()) : CString());
    m_drawing->setDrawingOpen(document ? 1 : 0);
    // Deleting the working drawing must neither save nor close the user's document.
    m_drawing->setLeaveOpen(1);
    CDrawingWatch::instance().watch(m_drawing);
    calcNextBlockIdentifier();
    calcNextBlockName();
    m_textSize = m_preferences.getTextSize();
    m_textScale = m_preferences.getTextScale();
    m_textRotation = m_preferences.getTextRotation();
    UpdateData(FALSE);
    return TRUE;
}

void CPresBlockCreation::cleanUp() {
    CDrawingWatch::instance().forget(m_drawing);
    delete m_drawing;
    m_drawing = nullptr;
    m_acadWindow = nullptr;
}

void CPresBlockCreation::OnOK() {}

void CPresBlockCreation::OnCancel() {
    cleanUp();
    CDialog::OnCancel();
    delete this;
}

void CPresBlockCreation::closeDialog() {
    OnCancel();
}

void CPresBlockCreation::OnCmdExit() {
    SendMessage(WM_CLOSE);
}

void CPresBlockCreation::OnCmdAbout() {
    CPresAbout about(nullptr);
    about.DoModal();
}

void CPresBlockCreation::OnCmdOptions() {
    CPresPreferences options(nullptr);
    options.setHostDirectory(m_hostDirectory);
    options.DoModal();
    int units = 0;
    int precision = 0;
    double textSize = 0.0;
    double textScale = 0.0;
    double textRotation = 0.0;
    CString csvOpener;
    double zoomBorder = 0.0;
    options.getValues(units, precision, textSize, textScale, textRotation, csvOpener, zoomBorder);
    // Every value the preferences dialog shows is taken over, so that the next keystroke in this
    // dialog saves them and not the values it held before.
    m_preferences.setUnits(units);
    m_preferences.setPrecision(precision);
    m_preferences.setTextSize(textSize);
    m_preferences.setTextScale(textScale);
    m_preferences.setTextRotation(textRotation);
    m_preferences.setCsvOpener(csvOpener);
    m_preferences.setZoomBorder(zoomBorder);
    m_textSize = m_preferences.getTextSize();
    m_textScale = m_preferences.getTextScale();
    m_textRotation = m_preferences.getTextRotation();
    acutPrintf(L"Units set to %s\n", units == 1 ? L"FT\u00B2" : L"M\u00B2");
    UpdateData(FALSE);
}

LRESULT CPresBlockCreation::OnAcadKeepFocus(WPARAM, LPARAM) {
    return TRUE;
}

void CPresBlockCreation::OnRButtonDown(UINT nFlags, CPoint point) {
    CDialog::OnRButtonDown(nFlags, point);
}

// ---------------------------------------------------------------------------------------------------------
// Text settings

bool CPresBlockCreation::boxValue(int box, double& value) const {
    CString text;
    GetDlgItemText(box, text);
    return classlib::detail::parseDouble(static_cast<const wchar_t*>(text), value);
}

// A value is taken, and kept for next time, as soon as the box reads whole within the label's limits;
// a text that does not (a sign or an exponent half typed, "1e3x", "-1") is left as typed and refused when
// a label is to be made from it.
void CPresBlockCreation::OnChangeTextSize() {
    double size = 0.0;
    if (!boxValue(IDC_CREATE_TEXT_SIZE, size) || !labelSizeUsable(size)) return;
    m_textSize = size;
    m_preferences.setTextSize(size);
    savePreferences();
}

void CPresBlockCreation::OnChangeTextScale() {
    double scale = 0.0;
    if (!boxValue(IDC_CREATE_TEXT_SCALE, scale) || (scale != m_fileTextScale && !CPreferences::labelsTake(scale)))
        return;
    m_textScale = scale;
    m_preferences.setTextScale(scale);
    savePreferences();
}

void CPresBlockCreation::OnChangeTextRotation() {
    double rotation = 0.0;
    if (!boxValue(IDC_CREATE_TEXT_ROTATION, rotation) || !rotationUsable(rotation)) return;
    m_textRotation = rotation;
    m_preferences.setTextRotation(rotation);
    savePreferences();
}

// ---------------------------------------------------------------------------------------------------------
// The creation session

bool CPresBlockCreation::documentUsable() {
    const CDrawingWatch::State state = CDrawingWatch::stateOf(m_drawing);
    if (state == CDrawingWatch::drawingCurrent) return true;
    const CString name = m_drawing ? m_drawing->getDrawingFilename() : CString();
    if (state == CDrawingWatch::drawingNotCurrent) {
        CDrawingWatch::reportNotCurrent(name);
        return false;
    }
    CDrawingWatch::reportClosed(name);
    closeDialog();
    return false;
}

void CPresBlockCreation::activateHost() {
    if (m_acadWindow) m_acadWindow->SetActiveWindow();
}

void CPresBlockCreation::enableSessionButtons(BOOL enable) {
    m_closeButton.EnableWindow(enable);
    m_startButton.EnableWindow(enable);
    m_subAreaButton.EnableWindow(enable);
    m_addAreaButton.EnableWindow(enable);
}

void CPresBlockCreation::enableTextBoxes(BOOL enable) {
    m_textSizeEdit.EnableWindow(enable);
    m_textScaleEdit.EnableWindow(enable);
    m_textRotationEdit.EnableWindow(enable);
}

void CPresBlockCreation::OnCmdStart() {
    if (!documentUsable()) return;
    // A box the labels cannot take has been refused with its message: no session starts.
    if (!UpdateData(TRUE)) return;
    enableSessionButtons(FALSE);
    activateHost();
    acutPrintf(L"\nBlock Creation Session Started\n");
    if (m_drawing->lock() == Acad::eOk) {
        try {
            runSession();
        } catch (...) {
            // A session that fails must still give the drawing back and leave the dialog closable.
            kelmo::reportWrapped(kelmoSourceFile, L"CPresBlockCreation::OnCmdStart", kelmo::catchClassLib);
        }
        m_drawing->unlock(0);
    }
    acutPrintf(L"\nBlock Creation Session Ended\n");
    if (AcApDocument* document = acDocManager->curDocument())
        acDocManager->sendStringToExecute(document, L"\x1b", false, false, true);
    enableSessionButtons(TRUE);
    SetActiveWindow();
}

void CPresBlockCreation::runSession() {
    CAcadUtilities utilities;
    for (;;) {
        enableTextBoxes(TRUE);
        AcDbObjectId id;
        if (utilities.selectObjectId(id, L"\nPlease select a polyline:\n", L"AcDbPolyline") != 0) return;
        if (!utilities.liesInModelSpace(id, L"Polyline")) continue;
        AcDbPolyline* polyline = nullptr;
        const Acad::ErrorStatus status = acdbOpenObject(polyline, id, AcDb::kForRead);
        if (status != Acad::eOk) {
            if (status == onLockedLayer)
                kelmo::sayPickRefused(L"\nPolyline On Locked Layer - Block Creation Failed\n");
            else
                kelmo::sayPickRefused(L"\nUnable get Polyline - Error " + CUtilities::IntToCString(status) +
                                      L" - Block Creation Failed\n");
            continue;
        }
        const bool closed = polyline->isClosed();
        // The lobes of a boundary that crosses itself offset each other's area.
        const bool crossing = closed && utilities.crossesItself(polyline, CDrawingUnit(polyline->database()));
        polyline->close();
        if (!closed) {
            kelmo::sayPickRefused(L"\nInvalid Selection - Polyline is not closed\n\n");
            continue;
        }
        if (crossing) {
            kelmo::sayPickRefused(
                L"\nInvalid Selection - Polyline crosses or touches itself, so it encloses no single area\n\n");
            continue;
        }
        // A label must have a size and a width to be seen, and not so large that it swamps the plan: a
        // box the labels cannot take refuses this space, with the block editor's message, and the next
        // polyline is asked for.
        if (!UpdateData(TRUE)) continue;
        m_preferences.setTextSize(m_textSize);
        m_preferences.setTextScale(m_textScale);
        m_preferences.setTextRotation(m_textRotation);
        // A scale the preferences file held is the person's own: it stays, these labels are made at 1,
        // and that is said once.
        double scale = m_preferences.getTextScale();
        if (!CPreferences::labelsTake(scale)) {
            scale = m_unusableScaleSaid ? 1.0 : m_preferences.labelTextScale();
            m_unusableScaleSaid = true;
        }
        enableTextBoxes(FALSE);
        createBlock(m_drawing, id, m_preferences.getUnits(), m_preferences.getTextSize(), scale,
                    m_preferences.getTextRotation(), m_preferences.getPrecision());
        calcNextBlockIdentifier();
        calcNextBlockName();
        UpdateData(FALSE);
    }
}

void CPresBlockCreation::createBlock(CAcadDrawing* drawing, AcDbObjectId polylineId, int units, double textSize,
                                     double textScale, double textRotation, int precision) {
    KELMO_TRY
        acutPrintf(L"Select Name and Area Text Position:\n");
        ads_point picked = {0, 0, 0};
        if (acedGetPoint(nullptr, L"\nEnter Attribute points: ", picked) != RTNORM) return;
        AcDbEntity* entity = nullptr;
        const Acad::ErrorStatus opened = acdbOpenAcDbEntity(entity, polylineId, AcDb::kForWrite);
        if (opened != Acad::eOk) {
            if (opened == onLockedLayer)
                kelmo::sayFailed(L"\nPolyline On Locked Layer - Block Creation Failed\n");
            else
                kelmo::sayFailed(L"\nUnable get Polyline - Error " + CUtilities::IntToCString(opened) +
                                 L" - Block Creation Failed\n");
            return;
        }
        OpenedObject open(entity);
        if (CString(entity->isA()->name()) != L"AcDbPolyline") {
            kelmo::sayFailed(L"\nInvalid Selection\n\n");
            return;
        }
        AcDbPolyline* polyline = AcDbPolyline::cast(entity);
        AcDbDatabase* database = drawing->getDatabase();
        CAcadUtilities utilities;
        const double area = utilities.calculatePolylineArea(polyline, CDrawingUnit(database), units);
        const double perimeter = utilities.calculatePolylinePerimeter(polyline, CDrawingUnit(database), units);
        const CString areaText = CUtilities::DoubleToCString(area, precision);

        CBlockDWGRoom block;
        block.setUnits(units);
        block.setPrecision(precision);
        // The name as it stands now: it may have been typed while the point was asked for.
        GetDlgItemText(IDC_CREATE_NEXT_NAME, m_nextSpaceName);
        const CString name = m_nextSpaceName;
        const CString tooLong = kelmo_model::nameTooLong(name);
        if (!tooLong.IsEmpty()) {
            kelmo::sayFailed(L"\n" + tooLong + L" - Block Creation Failed\n");
            return;
        }
        block.setName(name);
        block.setArea(area);
        block.setPerimeter(perimeter);
        block.setBlockIdentifier(getNextBlockIdentifier());

        CAttributes* attributes = new CAttributes();
        block.setAttributes(attributes);
        attributes->setHeight(textSize);
        attributes->setWidthFactor(textScale);
        attributes->setRotation(textRotation);
        const CString values[] = {name, areaText + (units == 1 ? L"sq.ft." : L"sq.m."), L" "};
        for (int role = 0; role < 3; ++role) {
            CKelmoAttribute* attribute = new CKelmoAttribute();
            attribute->setSwapType(role);
            attribute->setValue(values[role]);
            if (attributes->add(attribute, 0) != role + 1) delete attribute;
        }

        for (INT_PTR i = 0; i < m_existingNames.GetSize(); ++i) {
            if (m_existingNames[i] != name) continue;
            if (MessageBox(L"Room Name already exists in the drawing.\n\nDo you want another space of the same name "
                           L"creating?",
                           L"Duplicate Space Name", MB_YESNO) != IDYES)
                return;
            break;
        }

        // The definition is built in the user's coordinates; a creation that fails leaves the
        // boundary where it was drawn.
        AcGeMatrix3d ucs;
        acdbUcsMatrix(ucs, database);
        const AcDbObjectId owner = polyline->ownerId();
        polyline->transformBy(ucs.inverse());
        const AcGePoint3d position(picked[0], picked[1], picked[2]);
        Acad::ErrorStatus status = Acad::eOk;
        try {
            status = block.createBlock(drawing, polyline, &position, textSize, textScale, textRotation);
        } catch (...) {
            if (polyline->ownerId() == owner) polyline->transformBy(ucs);
            throw;
        }
        if (status != Acad::eOk && polyline->ownerId() == owner) polyline->transformBy(ucs);
        if (status == Acad::eOk)
            acutPrintf(L"Block Created Successfully\n");
        else if (status == Acad::eDuplicateRecordName)
            kelmo::sayFailed(L"Block Already Exists\n");
        else
            kelmo::sayFailed(L"Block Creation Failed\n");
    KELMO_CATCH_REPORT(L"CPresBlockCreation::createBlock", kelmo::catchClassLib)
}

// ---------------------------------------------------------------------------------------------------------
// The area buttons

void CPresBlockCreation::OnCmdSubArea() {
    KELMO_TRY
        changeAreas(true);
    KELMO_CATCH_REPORT(L"CPresBlockCreation::OnCmdSubArea", kelmo::catchModule)
}

void CPresBlockCreation::OnBnClickedCmdAdd() {
    KELMO_TRY
        changeAreas(false);
    KELMO_CATCH_REPORT(L"CPresBlockCreation::OnBnClickedCmdAdd", kelmo::catchModule)
}

void CPresBlockCreation::changeAreas(bool subtract) {
    if (!documentUsable()) return;
    AcApDocument* document = acDocManager->curDocument();
    CAcadDrawing drawing;
    drawing.setDrawingFilename(CString(document->fileName()));
    drawing.setDocument(document);
    drawing.setDrawingOpen(1);
    // The document stays open, and unsaved, when this working drawing goes.
    drawing.setLeaveOpen(1);
    ShowWindow(SW_SHOWMINIMIZED);
    activateHost();
    auto backToDialog = [this] {
        ShowWindow(SW_RESTORE);
        SetActiveWindow();
    };
    CAcadUtilities utilities;
    CBlockDWG block;
    if (utilities.userSelectKelmoBlock(document, &block) == 0) {
        kelmo::sayFailed(L"\nInvalid Space - Aborting...\n");
        backToDialog();
        return;
    }
    AcDbObjectIdArray ids;
    if (utilities.selectObjectIds(ids, subtract ? L"Please Select Areas to Subtract (selected room/space blocks will "
                                                  L"be ignored)"
                                                : L"Please Select Areas to Add") == 0) {
        if (subtract) kelmo::sayFailed(L"\nInvalid Areas to Subtract - Aborting...\n");
        backToDialog();
        return;
    }
    if (subtract)
        block.setHandlesToMinus(ids);
    else
        block.setHandlesToAdd(ids);
    block.setPrecision(m_preferences.getPrecision());
    block.setUnits(m_preferences.getUnits());
    block.recalculateArea(document);
    block.recalculatePerimeter(document);
    CKelmoExceptions warnings;
    block.applyToDWG(&drawing, &warnings);
    if (warnings.getCount() > 0) warnings.reportToMessageBox();
    backToDialog();
}
