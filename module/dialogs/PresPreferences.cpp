#include "dialogs/PresPreferences.h"

#include "core/Utilities.h"
#include "dialogs/TabFormat.h"

namespace {

// A value its box cannot take is refused with the box's message, and the dialog stays open.
void check(CDataExchange* pDX, bool usable, const wchar_t* message) {
    if (!pDX->m_bSaveAndValidate || usable) return;
    AfxMessageBox(message, MB_ICONEXCLAMATION);
    pDX->Fail();
}

} // namespace

BEGIN_MESSAGE_MAP(CPresPreferences, CDialog)
ON_WM_CLOSE()
ON_BN_CLICKED(IDOK, &CPresPreferences::OnOK)
END_MESSAGE_MAP()

CPresPreferences::CPresPreferences(CWnd* pParent)
    : CDialog(IDD, pParent),
      m_textSize(0.0),
      m_units(0),
      m_precision(0),
      m_zoomBorder(0.0),
      m_textScale(0.0),
      m_textRotation(0.0) {
    // The members start from the defaults of the preferences, built before them.
    m_textSize = m_preferences.getTextSize();
    m_textScale = m_preferences.getTextScale();
    m_textRotation = m_preferences.getTextRotation();
    m_units = m_preferences.getUnits();
    m_precision = m_preferences.getPrecision();
    m_csvOpener = m_preferences.getCsvOpener();
}

CPresPreferences::~CPresPreferences() = default;

void CPresPreferences::setValues(int& units, int& precision, double& textSize, double& textScale, double& textRotation,
                                 CString& csvOpener, double& zoomBorder) {
    if (textSize <= 0.0) {
        textSize = 0.1;
    }
    if (textScale <= 0.0) {
        textScale = 0.1;
    }
    textRotation = CPreferences::angleMeant(textRotation);
    m_units = units;
    m_precision = precision;
    m_textSize = textSize;
    m_textScale = textScale;
    m_textRotation = textRotation;
    m_csvOpener = csvOpener;
    m_zoomBorder = zoomBorder;
}

void CPresPreferences::getValues(int& units, int& precision, double& textSize, double& textScale, double& textRotation,
                                 CString& csvOpener, double& zoomBorder) const {
    units = m_units;
    precision = m_precision;
    textSize = m_textSize;
    textScale = m_textScale;
    textRotation = m_textRotation;
    csvOpener = m_csvOpener;
    zoomBorder = m_zoomBorder;
}

CString CPresPreferences::preferencesPath() const {
    return m_hostDirectory + L"\\kelmo\\prefs\\prefs.cfg";
}

INT_PTR CPresPreferences::DoModal() {
    loadValues();
    return CDialog::DoModal();
}

void CPresPreferences::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_PREF_TEXT_SIZE, m_textSize);
    // Labels are made from these, so they take what the block editor takes for a label; a size or scale
    // the file holds is the person's own, kept until changed.
    check(pDX, m_textSize == m_openingTextSize || (m_textSize > 0.0 && m_textSize <= CTabFormat::heightMax),
          L"Text Size: please enter a number above 0 and no more than 1000000.");
    DDX_Text(pDX, IDC_PREF_TEXT_SCALE, m_textScale);
    check(pDX, m_textScale == m_openingTextScale || CPreferences::labelsTake(m_textScale),
          L"Text Scale: please enter a number between 0.01 and 100.");
    DDX_Text(pDX, IDC_PREF_TEXT_ROTATION, m_textRotation);
    check(pDX, m_textRotation >= -CTabFormat::rotationLimit && m_textRotation <= CTabFormat::rotationLimit,
          L"Text Rotation: please enter a number between -360 and 360.");
    DDX_Radio(pDX, IDC_PREF_UNITS_METRIC, m_units);
    DDX_Text(pDX, IDC_PREF_PRECISION, m_precision);
    DDV_MinMaxInt(pDX, m_precision, 0, 9);
    DDX_Text(pDX, IDC_PREF_CSV_OPENER, m_csvOpener);
    // Saved as "?", such a character would name another program, which would then never start.
    if (const wchar_t notHeld = CUtilities::firstNotInWindows1252(m_csvOpener); notHeld != 0) {
        const CString message =
            L"CSV Opener: the preferences file holds Western European characters only "
            L"(Windows-1252), and this path holds one it cannot keep: \"" +
            CString(notHeld) + L"\". Please enter the path of a program whose folders and name it can keep.";
        check(pDX, false, message);
    }
    DDX_Text(pDX, IDC_PREF_ZOOM_BORDER, m_zoomBorder);
    DDV_MinMaxDouble(pDX, m_zoomBorder, 0.0, 10000.0);
    DDX_Text(pDX, IDC_PREF_TEXT_SCALE, m_textScale);
    DDX_Text(pDX, IDC_PREF_TEXT_ROTATION, m_textRotation);
}

void CPresPreferences::loadValues() {
    m_preferences.loadPreferences(preferencesPath());
    m_units = m_preferences.getUnits();
    m_textSize = m_preferences.getTextSize();
    // A size this small in the file is taken for a damaged entry.
    if (m_textSize < 1.0) {
        m_textSize = 250.0;
    }
    m_openingTextSize = m_textSize;
    m_precision = m_preferences.getPrecision();
    m_textScale = m_preferences.getTextScale();
    m_openingTextScale = m_textScale;
    m_textRotation = m_preferences.getTextRotation();
    m_csvOpener = m_preferences.getCsvOpener();
    m_zoomBorder = m_preferences.getZoomBorder();
}

BOOL CPresPreferences::saveValues() {
    // The controls are read one after the other: a value refused by its check leaves those read
    // before it in the members, and they must not outlive the refusal (Escape hands the members back).
    const double textSize = m_textSize;
    const int units = m_units;
    const int precision = m_precision;
    const CString csvOpener = m_csvOpener;
    const double zoomBorder = m_zoomBorder;
    const double textScale = m_textScale;
    const double textRotation = m_textRotation;
    if (!UpdateData(TRUE)) {
        m_textSize = textSize;
        m_units = units;
        m_precision = precision;
        m_csvOpener = csvOpener;
        m_zoomBorder = zoomBorder;
        m_textScale = textScale;
        m_textRotation = textRotation;
        return FALSE;
    }
    m_preferences.setUnits(m_units);
    if (m_textSize < 1.0) {
        m_textSize = 1.0;
    }
    m_preferences.setTextSize(m_textSize);
    m_preferences.setPrecision(m_precision);
    m_preferences.setTextScale(m_textScale);
    m_preferences.setTextRotation(m_textRotation);
    m_preferences.setCsvOpener(m_csvOpener);
    m_preferences.setZoomBorder(m_zoomBorder);
    m_preferences.savePreferences(preferencesPath());
    return TRUE;
}

void CPresPreferences::OnOK() {
    // A value that failed its check has had its message; the dialog stays open for the user to
    // mend it, and the same message is not shown a second time.
    if (saveValues()) {
        CDialog::OnOK();
    }
}

void CPresPreferences::OnClose() {
    // The close box confirms like OK, so a value that failed its check keeps the dialog open
    // rather than throwing away everything the user typed.
    if (saveValues()) {
        CDialog::OnClose();
    }
}
